#include <QCoreApplication>
#include <QIcon>
#include <QStringList>
#include <csignal>

#include "core/editorCore.h"
#include "ui/EditorStartup.h"
#include "ui/FileChooser.h"
#include "ui/QtHost.h"
#include "ui/TApplication.h"
#include "ui/TfrmMain.h"

int main(int argc, char** argv) {
  // A save that runs into the file-size limit then fails like any other write error, with the
  // user's file left as it was, instead of ending the editor.
  std::signal(SIGXFSZ, SIG_IGN);

  tess::TApplication app(argc, argv);
  app.setApplicationName(QString::fromLatin1(tess::appTitle));
  // Lets a Wayland desktop tie the window to the installed menu entry and its icon.
  app.setDesktopFileName(QStringLiteral("io.github.tessaline.Tessaline"));
  app.setWindowIcon(QIcon(QStringLiteral(":/images/icon-main.png")));
  app.setFont(tess::TfrmMain::windowFont());

  tess::QtHost host;
  app.setErrorHost(&host);
  tess::QtFileChooser chooser;
  // The one argument is a sprite file to open, as a file manager passes it.
  const QStringList arguments = QCoreApplication::arguments();
  const QString file = arguments.size() > 1 ? arguments.at(1) : QString();
  const int status = tess::runEditor(host, chooser, QString(), file);
  app.setErrorHost(nullptr);
  return status;
}
