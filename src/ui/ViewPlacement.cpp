#include "ui/ViewPlacement.h"

#include <algorithm>

namespace tess {

QRect previewPlace(const QRect& free, const QSize& frame) {
  return QRect(QPoint(std::max(free.left(), free.right() + 1 - frame.width()), free.top()), frame);
}

QRect sheetPlace(const QRect& free, const std::optional<QRect>& preview) {
  if (!preview || !preview->intersects(free)) return free;
  const int left = preview->left() - kViewGap - free.left();
  if (left < kMinSheetBesideView) return free;
  return QRect(free.topLeft(), QSize(left, free.height()));
}

QRect keptInside(const QRect& frame, const QRect& free, int titleHeight, bool resizable) {
  QRect kept = frame;
  if (resizable && kept.width() > free.width()) kept.setWidth(std::max(1, free.width()));
  if (kept.right() > free.right()) kept.moveRight(free.right());
  if (kept.left() < free.left()) kept.moveLeft(free.left());
  // The whole frame where it fits; else at least its title bar.
  const int lowestTop =
      std::max(free.top(), free.bottom() + 1 - std::max(kept.height(), titleHeight));
  if (kept.top() > lowestTop) kept.moveTop(lowestTop);
  if (kept.top() < free.top()) kept.moveTop(free.top());
  return kept;
}

}  // namespace tess
