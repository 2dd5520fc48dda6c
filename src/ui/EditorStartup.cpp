#include "ui/EditorStartup.h"

#include <QApplication>

#include "core/editorCore.h"
#include "ui/QtHost.h"
#include "ui/TfrmMain.h"

namespace tess {

int runEditor(QtHost& host, IFileChooser& chooser, const QString& appDirectory) {
  TEditorCore core(host);
  TfrmMain window(core, host, chooser, nullptr, appDirectory);
  if (host.terminationRequested()) return QtHost::startupFailureExitCode;
  window.show();
  return QApplication::exec();
}

}  // namespace tess
