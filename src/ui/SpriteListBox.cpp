#include "ui/SpriteListBox.h"

#include <QMouseEvent>

namespace tess {

TSpriteListBox::TSpriteListBox(QWidget* parent) : QListView(parent) {}

void TSpriteListBox::mousePressEvent(QMouseEvent* event) {
  // A double click may hand its press on to this handler; it was reported already.
  if (!FReportedPress) emit mouseDown(event->button(), event->position().toPoint());
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QListView::mousePressEvent(event);
}

void TSpriteListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  emit mouseDown(event->button(), event->position().toPoint());
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  FReportedPress = true;
  QListView::mouseDoubleClickEvent(event);
  FReportedPress = false;
}

}  // namespace tess
