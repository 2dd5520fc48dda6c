#include "ui/EditorStartup.h"

#include <QApplication>
#include <QTimer>

#include "core/editorCore.h"
#include "ui/QtHost.h"
#include "ui/TfrmMain.h"

namespace tess {

int runEditor(QtHost& host, IFileChooser& chooser, const QString& appDirectory,
              const QString& fileName) {
  TEditorCore core(host);
  TfrmMain window(core, host, chooser, nullptr, appDirectory);
  if (host.terminationRequested()) return QtHost::startupFailureExitCode;
  window.show();
  if (!fileName.isEmpty()) {
    // From the event loop, so that the window is on screen behind any message the open shows.
    QTimer::singleShot(0, &window, [&window, fileName] { window.openFromCommandLine(fileName); });
  }
  return QApplication::exec();
}

}  // namespace tess
