#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QKeyEvent;
class QWidget;

namespace tess {

// Shows every key press in any widget of the program to one handler before the focused control
// sees it. When the handler reports the key handled, nobody else sees it. Installed on the
// application object.
//
// Keys that `claims` names are also taken from Qt's shortcut system (menu shortcuts included),
// so such a key reaches the handler, and its command runs, exactly once per press. Key presses
// meant for a modal dialog, a message box or an open menu or drop-down list are left to it, so
// that Esc there closes just that.
class TShortcutFilter : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<bool(const QKeyEvent&)>;
  using Claim = std::function<bool(const QKeyEvent&)>;

  TShortcutFilter(Handler handler, Claim claims, QObject* parent = nullptr);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Qt offers a key the focused widget did not take to its parents, through the same filter.
  bool isPropagation(const QEvent* event, const QWidget* receiver) const;

  Handler FHandler;
  Claim FClaims;
  const QEvent* FLastPress = nullptr;
  QPointer<QWidget> FLastReceiver;
};

}  // namespace tess
