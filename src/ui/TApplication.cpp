#include "ui/TApplication.h"

#include <QtGlobal>
#include <exception>
#include <new>

#include "ui/QtHost.h"

namespace tess {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

TApplication* TApplication::current() noexcept {
  return qobject_cast<TApplication*>(QCoreApplication::instance());
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    report("Out of memory.");
  } catch (const std::exception& error) {
    report(error.what());
  } catch (...) {
    report("An unknown error occurred.");
  }
  return false;
}

void TApplication::report(const char* text) const {
  if (FErrorHost) {
    FErrorHost->reportError(text);
  } else {
    qWarning("%s", text);
  }
}

}  // namespace tess
