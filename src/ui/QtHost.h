#pragma once

#include <QElapsedTimer>

#include "sprite/EditorHost.h"

namespace tess {

class TfrmMain;

// The editor's window-system services for the plain-C++ layers.
class QtHost : public IEditorHost {
 public:
  QtHost();

  // The window whose title and Save command the core reaches; set once it exists.
  void attachMainWindow(TfrmMain* window) noexcept { FMainWindow = window; }
  TfrmMain* mainWindow() const noexcept { return FMainWindow; }

  void showMessage(const std::string& text, const std::string& caption, TMsgIcon icon) override;
  bool askYesNo(const std::string& text, const std::string& caption, TMsgIcon icon) override;
  void setMainTitle(const std::string& title) override;
  // Calls into Qt's event loop only when about 15 ms have passed since it last did.
  void processPendingEvents() override;
  void runSaveCommand() override;
  // Ends the event loop with exit code 0, or with `failureExitCode()` after a start-up failure.
  void requestTermination() override;

  // The application's general error report: an error that no handler caught.
  void reportError(const std::string& text);

 protected:
  // The modal boxes themselves; tests override these two to record and answer them.
  virtual void presentMessage(const std::string& text, const std::string& caption, TMsgIcon icon);
  virtual bool presentQuestion(const std::string& text, const std::string& caption,
                               TMsgIcon icon);

 private:
  TfrmMain* FMainWindow = nullptr;
  QElapsedTimer FSinceEvents;
};

}  // namespace tess
