#pragma once

// The host of benchmarks that load and save without a window system: nothing to report to, no
// events to process, nobody to ask.

#include <string>

#include "sprite/EditorHost.h"

namespace tess::bench {

class QuietHost : public IEditorHost {
 public:
  void showMessage(const std::string&, const std::string&, TMsgIcon) override {}
  bool askYesNo(const std::string&, const std::string&, TMsgIcon) override { return false; }
  void setMainTitle(const std::string&) override {}
  void processPendingEvents() override {}
  void runSaveCommand() override {}
  void requestTermination() override {}
};

}  // namespace tess::bench
