#pragma once

#include <string>

namespace tess {

enum class TMsgIcon { None, Error, Warning };

// What the plain-C++ layers need from the window system. The user interface implements it;
// tests use a fake that records every request.
class IEditorHost {
 public:
  virtual ~IEditorHost() = default;

  // A modal message box with an OK button.
  virtual void showMessage(const std::string& text, const std::string& caption, TMsgIcon icon) = 0;
  // A modal Yes/No question; true when the answer is Yes.
  virtual bool askYesNo(const std::string& text, const std::string& caption, TMsgIcon icon) = 0;
  virtual void setMainTitle(const std::string& title) = 0;
  // Lets the user interface handle pending events in the middle of a long operation. The
  // editor's own implementation only does real work once a short time slice has passed, so
  // callers may call it as often as they like; they must not assume anything about what it does.
  virtual void processPendingEvents() = 0;
  // The main window's Save command.
  virtual void runSaveCommand() = 0;
  // Ends the program once control returns to the event loop.
  virtual void requestTermination() = 0;
};

}  // namespace tess
