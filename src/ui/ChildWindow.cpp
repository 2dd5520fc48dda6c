#include "ui/ChildWindow.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace tess {

TChildWindow::TChildWindow(TfrmMain& main) : QWidget(nullptr), FMain(main) {}

QWidget* TChildWindow::frame() const {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) return sub;
  return const_cast<TChildWindow*>(this);
}

bool TChildWindow::closeWindow() {
  // The hosting frame asks this window first, so a refusal in closeEvent keeps both open.
  return frame()->close();
}

void TChildWindow::moveTo(const QPoint& pos) { frame()->move(pos); }

void TChildWindow::bringToFront() {
  QWidget* host = frame();
  host->show();
  host->raise();
  if (auto* sub = qobject_cast<QMdiSubWindow*>(host)) {
    if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
  }
}

}  // namespace tess
