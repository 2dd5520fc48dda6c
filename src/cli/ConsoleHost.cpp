#include "cli/ConsoleHost.h"

#include <unistd.h>

#include <utility>

namespace tess::cli {

void TConsoleHost::showMessage(const std::string& text, const std::string&, TMsgIcon) {
  FMessage = text;
}

bool TConsoleHost::askYesNo(const std::string& text, const std::string&, TMsgIcon) {
  FMessage = text;
  return false;
}

std::string TConsoleHost::takeMessage() { return std::exchange(FMessage, std::string()); }

bool stderrIsTerminal() noexcept { return ::isatty(STDERR_FILENO) == 1; }

TProgress::TProgress(std::string label, bool enabled)
    : FLabel(std::move(label)), FEnabled(enabled), FStart(Clock::now()), FLastDrawn(FStart) {}

TProgress::~TProgress() {
  if (FShown) std::fputs("\r\033[K", stderr);
}

void TProgress::step(std::int32_t done, std::int32_t total) {
  if (!FEnabled) return;
  // Asking the clock on every sprite would cost more than the sprite; every 256th is plenty.
  if ((done & 0xFF) != 0 && done != total) return;
  const Clock::time_point now = Clock::now();
  if (now - FStart < std::chrono::seconds(1)) return;
  if (FShown && now - FLastDrawn < std::chrono::milliseconds(100) && done != total) return;
  FShown = true;
  FLastDrawn = now;
  const int percent = total > 0 ? static_cast<int>(std::int64_t{done} * 100 / total) : 100;
  std::fprintf(stderr, "\r%s: %d of %d sprites (%d%%)\033[K", FLabel.c_str(), done, total, percent);
  std::fflush(stderr);
}

}  // namespace tess::cli
