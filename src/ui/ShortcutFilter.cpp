#include "ui/ShortcutFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <utility>

namespace tess {

TShortcutFilter::TShortcutFilter(Handler handler, Claim claims, QObject* parent)
    : QObject(parent), FHandler(std::move(handler)), FClaims(std::move(claims)) {}

bool TShortcutFilter::isPropagation(const QEvent* event, const QWidget* receiver) const {
  if (event != FLastPress) return false;
  if (!FLastReceiver) return true;
  return receiver != FLastReceiver && receiver->isAncestorOf(FLastReceiver);
}

bool TShortcutFilter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride && type != QEvent::KeyRelease) {
    return false;
  }
  // Key events reach the window object first and then its focused widget; the widget is the
  // one that counts.
  auto* receiver = qobject_cast<QWidget*>(watched);
  if (!receiver || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
    return false;
  }
  const auto& key = static_cast<const QKeyEvent&>(*event);

  if (type == QEvent::KeyRelease) {
    FLastPress = nullptr;
    FLastReceiver = nullptr;
    return false;
  }
  if (type == QEvent::ShortcutOverride) {
    if (!FClaims(key)) return false;
    event->accept();
    return true;
  }
  if (isPropagation(event, receiver)) return false;
  FLastPress = event;
  FLastReceiver = receiver;
  if (!FHandler(key)) return false;
  event->accept();
  return true;
}

}  // namespace tess
