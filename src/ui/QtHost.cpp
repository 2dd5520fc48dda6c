#include "ui/QtHost.h"

#include <algorithm>

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <cstdint>
#include <ctime>
#include <limits>

#include "ui/TfrmMain.h"

namespace tess {

namespace {

// Boxes are owned by the main window once it is shown, so they sit over it; before that (the
// start-up failure) they stand alone.
QWidget* boxOwner(TfrmMain* mainWindow) {
  if (mainWindow && mainWindow->isVisible()) return mainWindow;
  return QApplication::activeWindow();
}

QMessageBox::Icon boxIcon(TMsgIcon icon) {
  switch (icon) {
    case TMsgIcon::Error:
      return QMessageBox::Critical;
    case TMsgIcon::Warning:
      return QMessageBox::Warning;
    case TMsgIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// Ample for a person and rare enough that calling it for every sprite costs nothing.
constexpr qint64 kEventSliceMs = 15;
constexpr std::int64_t kNsPerMs = 1000000;
constexpr std::int64_t kNoCoarseClock = std::numeric_limits<std::int64_t>::max();
// Looks at the clock per slice when the callers keep their pace, and the most calls between two
// looks, which bounds the delay when they slow down.
constexpr std::uint32_t kLooksPerSlice = 64;
constexpr std::uint32_t kMostCallsPerLook = 256;

// The system's cheap clock: a few nanoseconds a reading where the precise one takes tens, which
// counts when the writer asks for every run pair of every sprite. It lags the precise clock by
// at most its resolution. kNoCoarseClock when there is none.
std::int64_t coarseNowNs() noexcept {
#ifdef CLOCK_MONOTONIC_COARSE
  timespec now{};
  if (::clock_gettime(CLOCK_MONOTONIC_COARSE, &now) == 0) {
    return std::int64_t{now.tv_sec} * 1000 * kNsPerMs + now.tv_nsec;
  }
#endif
  return kNoCoarseClock;
}

std::int64_t coarseResolutionNs() noexcept {
#ifdef CLOCK_MONOTONIC_COARSE
  timespec resolution{};
  if (::clock_getres(CLOCK_MONOTONIC_COARSE, &resolution) == 0) {
    return std::int64_t{resolution.tv_sec} * 1000 * kNsPerMs + resolution.tv_nsec;
  }
#endif
  return kEventSliceMs * kNsPerMs;
}

}  // namespace

QtHost::QtHost() : FCoarseLagNs(coarseResolutionNs()) { startEventSlice(); }

void QtHost::setClockForTests(std::function<std::int64_t()> nowMs) {
  FTestClock = std::move(nowMs);
  startEventSlice();
}

void QtHost::startEventSlice() noexcept {
  if (FTestClock) {
    FTestSliceStartMs = FTestClock();
    return;
  }
  FSinceEvents.start();
  // The slice cannot have ended before the cheap clock shows this, however far it lags. Without
  // a cheap clock every call reads the precise one.
  const std::int64_t now = coarseNowNs();
  FPreciseCheckFromNs = now == kNoCoarseClock ? 0 : now + kEventSliceMs * kNsPerMs - FCoarseLagNs;
}

void QtHost::showMessage(const std::string& text, const std::string& caption, TMsgIcon icon) {
  presentMessage(text, caption, icon);
}

bool QtHost::askYesNo(const std::string& text, const std::string& caption, TMsgIcon icon) {
  return presentQuestion(text, caption, icon);
}

void QtHost::setMainTitle(const std::string& title) {
  if (FMainWindow) FMainWindow->setWindowTitle(QString::fromStdString(title));
}

void QtHost::processPendingEvents() {
  ++FCallsInSlice;
  if (--FCallsUntilLook > 0) return;
  FCallsUntilLook = FCallsPerLook;
  if (FTestClock) {
    if (FTestClock() - FTestSliceStartMs < kEventSliceMs) return;
  } else {
    if (coarseNowNs() < FPreciseCheckFromNs) return;
    if (FSinceEvents.elapsed() < kEventSliceMs) return;
  }
  QCoreApplication::processEvents();
  // About kLooksPerSlice looks at the clock in the next slice, if the callers keep their pace.
  FCallsPerLook = std::clamp<std::uint32_t>(FCallsInSlice / kLooksPerSlice, 1, kMostCallsPerLook);
  FCallsUntilLook = FCallsPerLook;
  FCallsInSlice = 0;
  startEventSlice();
}

void QtHost::runSaveCommand() {
  if (FMainWindow) FMainWindow->Save1Click();
}

void QtHost::requestTermination() {
  FTerminationRequested = true;
  endEventLoop();
}

void QtHost::reportError(const std::string& text) {
  presentMessage(text, "Error!", TMsgIcon::Error);
}

void QtHost::presentMessage(const std::string& text, const std::string& caption, TMsgIcon icon) {
  QMessageBox box(boxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok, boxOwner(FMainWindow));
  box.exec();
}

bool QtHost::presentQuestion(const std::string& text, const std::string& caption, TMsgIcon icon) {
  QMessageBox box(boxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Yes | QMessageBox::No, boxOwner(FMainWindow));
  // Every question the editor asks risks the user's work or file on Yes; Enter must not.
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void QtHost::endEventLoop() {
  // Queued, so that a request made before the event loop started (the start-up failure) still
  // ends it as soon as it runs; QCoreApplication::exit alone only ends a loop already running.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

}  // namespace tess
