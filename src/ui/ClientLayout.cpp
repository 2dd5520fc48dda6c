#include "ui/ClientLayout.h"

#include <QWidget>
#include <QWidgetItem>

namespace tess {

TClientLayout::TClientLayout(const QSize& designSize, QWidget* parent)
    : QLayout(parent), FDesignSize(designSize) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
}

TClientLayout::~TClientLayout() {
  for (const Entry& entry : FEntries) delete entry.item;
}

void TClientLayout::addWidget(QWidget* widget, const QRect& geometry, Anchor anchor) {
  addChildWidget(widget);
  FEntries.push_back({new QWidgetItem(widget), geometry, anchor});
  invalidate();
}

void TClientLayout::addItem(QLayoutItem* item) {
  FEntries.push_back({item, QRect(QPoint(0, 0), FDesignSize), Anchor::Fill});
}

QLayoutItem* TClientLayout::itemAt(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return FEntries[static_cast<std::size_t>(index)].item;
}

QLayoutItem* TClientLayout::takeAt(int index) {
  if (index < 0 || index >= count()) return nullptr;
  QLayoutItem* item = FEntries[static_cast<std::size_t>(index)].item;
  FEntries.erase(FEntries.begin() + index);
  return item;
}

int TClientLayout::count() const { return static_cast<int>(FEntries.size()); }

QSize TClientLayout::sizeHint() const { return FDesignSize; }

// The area never gets smaller than it was designed, so no control is cut off.
QSize TClientLayout::minimumSize() const { return FDesignSize; }

void TClientLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  const int grownWidth = rect.width() - FDesignSize.width();
  const int grownHeight = rect.height() - FDesignSize.height();
  for (const Entry& entry : FEntries) {
    QRect place = entry.geometry;
    switch (entry.anchor) {
      case Anchor::Fill:
        place = QRect(QPoint(0, 0), rect.size());
        break;
      case Anchor::Right:
        place.translate(grownWidth, 0);
        break;
      case Anchor::RightGrowing:
        place.translate(grownWidth, 0);
        place.setHeight(place.height() + grownHeight);
        break;
    }
    entry.item->setGeometry(place.translated(rect.topLeft()));
  }
}

}  // namespace tess
