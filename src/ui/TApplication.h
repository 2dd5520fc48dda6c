#pragma once

#include <QApplication>

namespace tess {

class QtHost;

// The program's application object. An exception that escapes an event handler is shown through
// the host's general error report instead of ending the program, and the event loop goes on.
class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);

  // The host whose reportError shows uncaught errors; none: they are written to the log output.
  void setErrorHost(QtHost* host) noexcept { FErrorHost = host; }
  QtHost* errorHost() const noexcept { return FErrorHost; }

  // The running TApplication, or nullptr when the application object is of another kind.
  static TApplication* current() noexcept;

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void report(const char* text) const;

  QtHost* FErrorHost = nullptr;
};

}  // namespace tess
