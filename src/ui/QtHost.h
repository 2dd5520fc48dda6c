#pragma once

#include <QElapsedTimer>
#include <cstdint>
#include <functional>

#include "sprite/EditorHost.h"

namespace tess {

class TfrmMain;

// The editor's window-system services for the plain-C++ layers.
class QtHost : public IEditorHost {
 public:
  QtHost();

  // The window whose title and Save command the core reaches; the main window attaches itself
  // when it is created and detaches itself when it is destroyed.
  void attachMainWindow(TfrmMain* window) noexcept { FMainWindow = window; }
  TfrmMain* mainWindow() const noexcept { return FMainWindow; }

  void showMessage(const std::string& text, const std::string& caption, TMsgIcon icon) override;
  bool askYesNo(const std::string& text, const std::string& caption, TMsgIcon icon) override;
  void setMainTitle(const std::string& title) override;
  // Calls into Qt's event loop only when at least 15 ms have passed since it last did.
  void processPendingEvents() override;
  void runSaveCommand() override;
  // Ends the event loop as soon as it runs (also when it has not started yet) with exit code 0.
  void requestTermination() override;
  // Whether anything asked the program to end. The start-up reads it after creating the main
  // window: a request at that point means the editor could not start, and the program ends
  // with `startupFailureExitCode` without showing a window.
  bool terminationRequested() const noexcept { return FTerminationRequested; }
  static constexpr int startupFailureExitCode = 1;

  // Tests replace the clocks that time the event slices with one of their own, in milliseconds,
  // so that what they check does not depend on the machine's speed. An empty one restores the
  // real clocks.
  void setClockForTests(std::function<std::int64_t()> nowMs);

  // The application's general error report: an error that no handler caught. A message box with
  // the error's text, the caption "Error!" and the error icon.
  void reportError(const std::string& text);

 protected:
  // The modal boxes themselves; tests override these two to record and answer them.
  virtual void presentMessage(const std::string& text, const std::string& caption, TMsgIcon icon);
  virtual bool presentQuestion(const std::string& text, const std::string& caption, TMsgIcon icon);
  // Leaves the event loop once control returns to it; tests override it to only count.
  virtual void endEventLoop();

 private:
  void startEventSlice() noexcept;

  TfrmMain* FMainWindow = nullptr;
  QElapsedTimer FSinceEvents;
  std::function<std::int64_t()> FTestClock;
  std::int64_t FTestSliceStartMs = 0;
  // Before the cheap clock reaches this, the slice is surely not over and the precise clock is
  // not read.
  std::int64_t FCoarseLagNs = 0;
  std::int64_t FPreciseCheckFromNs = 0;
  // The clock is looked at only every FCallsPerLook-th call: a save asks once per run pair,
  // millions of times a second. The spacing follows the callers' pace, so that the clock is
  // still read many times a slice however slowly they call.
  std::uint32_t FCallsPerLook = 1;
  std::uint32_t FCallsUntilLook = 1;
  std::uint32_t FCallsInSlice = 0;
  bool FTerminationRequested = false;
};

}  // namespace tess
