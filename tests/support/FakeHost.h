#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sprite/EditorHost.h"

namespace tess::testing {

// Records every request the plain-C++ layers make of the user interface, and answers questions
// from a script.
class FakeHost : public IEditorHost {
 public:
  struct Message {
    std::string text;
    std::string caption;
    TMsgIcon icon;
    bool question;
  };

  void showMessage(const std::string& text, const std::string& caption, TMsgIcon icon) override {
    messages.push_back({text, caption, icon, false});
  }
  bool askYesNo(const std::string& text, const std::string& caption, TMsgIcon icon) override {
    messages.push_back({text, caption, icon, true});
    return answerYes;
  }
  void setMainTitle(const std::string& title) override { titles.push_back(title); }
  void processPendingEvents() override {
    ++eventPumps;
    if (onPendingEvents) onPendingEvents();
  }
  void runSaveCommand() override { ++saveCommands; }
  void requestTermination() override { ++terminations; }

  std::string lastTitle() const { return titles.empty() ? std::string() : titles.back(); }

  std::vector<Message> messages;
  std::vector<std::string> titles;
  bool answerYes = true;
  long eventPumps = 0;
  // Runs inside processPendingEvents, standing in for whatever command the user might start
  // while a long operation lets events through.
  std::function<void()> onPendingEvents;
  int saveCommands = 0;
  int terminations = 0;
};

}  // namespace tess::testing
