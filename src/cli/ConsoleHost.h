#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "sprite/EditorHost.h"

namespace tess::cli {

// The host of the command-line tool. There is nobody to answer: messages the layers below show
// are kept as the reason of the failure they belong to, and every question is answered No.
class TConsoleHost : public IEditorHost {
 public:
  void showMessage(const std::string& text, const std::string& caption, TMsgIcon icon) override;
  bool askYesNo(const std::string& text, const std::string& caption, TMsgIcon icon) override;
  void setMainTitle(const std::string&) override {}
  void processPendingEvents() override {}
  void runSaveCommand() override {}
  void requestTermination() override {}

  // The last message shown since takeMessage was last called, then empty.
  std::string takeMessage();

 private:
  std::string FMessage;
};

// A progress line on standard error for work that takes longer than a second, and only when
// standard error is a terminal; otherwise it does nothing at all.
class TProgress {
 public:
  TProgress(std::string label, bool enabled);
  TProgress(const TProgress&) = delete;
  TProgress& operator=(const TProgress&) = delete;
  ~TProgress();

  void step(std::int32_t done, std::int32_t total);
  // As a sprite file's load and save listener.
  void onSprite(std::int32_t done, std::int32_t total) { step(done, total); }

 private:
  using Clock = std::chrono::steady_clock;
  std::string FLabel;
  bool FEnabled;
  bool FShown = false;
  Clock::time_point FStart;
  Clock::time_point FLastDrawn;
};

// Whether standard error is a terminal.
bool stderrIsTerminal() noexcept;

}  // namespace tess::cli
