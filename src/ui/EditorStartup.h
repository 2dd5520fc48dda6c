#pragma once

#include <QString>

namespace tess {

class QtHost;
class IFileChooser;

// The editor's run from start-up to the end of the event loop, inside an application object
// that already exists: the editor core, the main window (whose creation starts the core from
// `appDirectory`, empty: the executable's directory), then the event loop. Returns the exit
// status: QtHost::startupFailureExitCode, without showing a window, when the editor could not
// start (the user has been told why). A non-empty `fileName` is opened once the window shows, as
// the open window opens it with "Auto detect".
int runEditor(QtHost& host, IFileChooser& chooser, const QString& appDirectory = QString(),
              const QString& fileName = QString());

}  // namespace tess
