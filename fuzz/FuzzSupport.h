#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sprite/EditorHost.h"

namespace tess::fuzz {

// Ends the run with a message when a property the target checks does not hold, so that
// libFuzzer keeps the input as a crash.
void require(bool condition, const char* what);

// A file of this process's own, in memory-backed storage where the system has it, that an input
// is written to before a file-reading entry point is called on it. Removed when the object goes.
class ScratchFile {
 public:
  // `suffix` ends the name, e.g. ".bmp", for readers that choose by the name.
  explicit ScratchFile(const std::string& suffix);
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile();

  const std::string& path() const noexcept { return FPath; }
  void write(const std::uint8_t* data, std::size_t size) const;

 private:
  std::string FPath;
};

// A window system that is not there: messages are counted, questions answered No.
class QuietHost : public IEditorHost {
 public:
  void showMessage(const std::string&, const std::string&, TMsgIcon) override { ++messages; }
  bool askYesNo(const std::string&, const std::string&, TMsgIcon) override { return false; }
  void setMainTitle(const std::string&) override {}
  void processPendingEvents() override {}
  void runSaveCommand() override {}
  void requestTermination() override {}

  int messages = 0;
};

}  // namespace tess::fuzz
