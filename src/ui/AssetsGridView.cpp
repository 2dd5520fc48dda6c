#include "ui/AssetsGridView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <string>

#include "assets/assetStore.h"
#include "bitmap/TBitmap32.h"
#include "ui/AssetsGridModel.h"
#include "ui/SpriteDelegate.h"
#include "ui/SpritePainting.h"

namespace tess {

namespace {

// Wide enough for the highest sprite ID a catalog may name.
const QString kWidestId = QStringLiteral("0000000000");
const QColor kUnreadable(0xD0, 0x20, 0x20);

}  // namespace

TAssetsGridView::TAssetsGridView(QWidget* parent) : QAbstractItemView(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setDragDropMode(QAbstractItemView::DragOnly);
  setDragEnabled(true);
  setDefaultDropAction(Qt::CopyAction);
  setAutoScroll(true);
  const QFontMetrics metrics(font());
  FCell = QSize(std::max(kSquare, metrics.horizontalAdvance(kWidestId)) + 2 * kMargin,
                kMargin + kSquare + 2 + metrics.height() + kMargin);
}

void TAssetsGridView::setStore(assets::TAssetStore* store) {
  FStore = store;
  FUnreadable.clear();
  viewport()->update();
}

void TAssetsGridView::setModel(QAbstractItemModel* model) {
  if (QAbstractItemModel* old = this->model()) disconnect(old, nullptr, this, nullptr);
  QAbstractItemView::setModel(model);
  if (!model) return;
  connect(model, &QAbstractItemModel::modelReset, this, &TAssetsGridView::rowsChanged);
  rowsChanged();
}

TAssetsGridModel* TAssetsGridView::gridModel() const {
  return qobject_cast<TAssetsGridModel*>(model());
}

void TAssetsGridView::rowsChanged() {
  updateGeometries();
  viewport()->update();
}

int TAssetsGridView::rowCount() const { return model() ? model()->rowCount() : 0; }

int TAssetsGridView::columns() const { return std::max(1, viewport()->width() / FCell.width()); }

QRect TAssetsGridView::cellRect(int row) const {
  const int cols = columns();
  return QRect(QPoint((row % cols) * FCell.width(), (row / cols) * FCell.height()), FCell);
}

int TAssetsGridView::rowAt(const QPoint& point) const {
  if (point.x() < 0 || point.y() + verticalOffset() < 0) return -1;
  const int cols = columns();
  const int col = point.x() / FCell.width();
  if (col >= cols) return -1;
  const std::int64_t line =
      (static_cast<std::int64_t>(point.y()) + verticalOffset()) / FCell.height();
  const std::int64_t row = line * cols + col;
  return row < rowCount() ? static_cast<int>(row) : -1;
}

QRect TAssetsGridView::visualRect(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != model()) return {};
  return cellRect(index.row()).translated(0, -verticalOffset());
}

QModelIndex TAssetsGridView::indexAt(const QPoint& point) const {
  const int row = rowAt(point);
  return row >= 0 ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

int TAssetsGridView::verticalOffset() const { return verticalScrollBar()->value(); }

void TAssetsGridView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (!index.isValid()) return;
  const QRect cell = cellRect(index.row());
  const int top = verticalOffset();
  const int height = viewport()->height();
  QScrollBar* bar = verticalScrollBar();
  if (hint == PositionAtTop) {
    bar->setValue(cell.top());
  } else if (hint == PositionAtBottom) {
    bar->setValue(cell.bottom() + 1 - height);
  } else if (hint == PositionAtCenter) {
    bar->setValue(cell.center().y() - height / 2);
  } else if (cell.top() < top) {
    bar->setValue(cell.top());
  } else if (cell.bottom() + 1 > top + height) {
    bar->setValue(cell.bottom() + 1 - height);
  }
  viewport()->update();
}

QModelIndex TAssetsGridView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers) {
  const int count = rowCount();
  if (count == 0) return {};
  const QModelIndex current = currentIndex();
  if (!current.isValid()) return model()->index(0, 0, rootIndex());
  const int cols = columns();
  const int page = cols * std::max(1, viewport()->height() / FCell.height());
  std::int64_t row = current.row();
  switch (cursorAction) {
    case MoveLeft:
    case MovePrevious:
      row -= 1;
      break;
    case MoveRight:
    case MoveNext:
      row += 1;
      break;
    case MoveUp:
      row -= cols;
      break;
    case MoveDown:
      row += cols;
      break;
    case MoveHome:
      row = 0;
      break;
    case MoveEnd:
      row = count - 1;
      break;
    case MovePageUp:
      row -= page;
      break;
    case MovePageDown:
      row += page;
      break;
  }
  row = std::clamp<std::int64_t>(row, 0, count - 1);
  return model()->index(static_cast<int>(row), 0, rootIndex());
}

void TAssetsGridView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
  // Whatever the corners of the press and the release touch, the rows between them in row order:
  // sprites are picked in ID order, as they will be appended.
  const QRect area = rect.normalized();
  const QPoint corners[] = {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()};
  int first = -1;
  int last = -1;
  for (const QPoint& corner : corners) {
    const int row = rowAt(corner);
    if (row < 0) continue;
    first = first < 0 ? row : std::min(first, row);
    last = std::max(last, row);
  }
  QItemSelection selection;
  if (first >= 0) {
    selection.select(model()->index(first, 0, rootIndex()), model()->index(last, 0, rootIndex()));
  }
  selectionModel()->select(selection, command);
}

QRegion TAssetsGridView::visualRegionForSelection(const QItemSelection& selection) const {
  const int cols = columns();
  const int firstVisible = (verticalOffset() / FCell.height()) * cols;
  const int lastVisible =
      ((verticalOffset() + viewport()->height()) / FCell.height() + 1) * cols - 1;
  QRegion region;
  for (const QItemSelectionRange& range : selection) {
    const int first = std::max(range.top(), firstVisible);
    const int last = std::min(range.bottom(), lastVisible);
    for (int row = first; row <= last; ++row) {
      region += cellRect(row).translated(0, -verticalOffset());
    }
  }
  return region;
}

void TAssetsGridView::updateGeometries() {
  const std::int64_t lines = (static_cast<std::int64_t>(rowCount()) + columns() - 1) / columns();
  const std::int64_t range =
      std::max<std::int64_t>(0, lines * FCell.height() - viewport()->height());
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, static_cast<int>(std::min<std::int64_t>(range, INT32_MAX)));
  bar->setSingleStep(FCell.height());
  bar->setPageStep(std::max(FCell.height(), viewport()->height()));
  QAbstractItemView::updateGeometries();
}

void TAssetsGridView::resizeEvent(QResizeEvent* event) {
  // Keeps the current sprite in view when the columns change.
  const QModelIndex keep = currentIndex();
  QAbstractItemView::resizeEvent(event);
  updateGeometries();
  if (keep.isValid()) scrollTo(keep);
}

void TAssetsGridView::mousePressEvent(QMouseEvent* event) {
  // The right button leaves the selection alone: the context menu acts on it.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QAbstractItemView::mousePressEvent(event);
}

void TAssetsGridView::paintCell(QPainter& painter, int row, const QRect& cell) {
  const TAssetsGridModel* const rows = gridModel();
  const std::optional<std::int64_t> id = rows->idAt(row);
  const assets::TSheetEntry* const sheet = rows->sheetAt(row);
  if (!id || !sheet) return;
  const QRect square(cell.left() + (cell.width() - kSquare) / 2, cell.top() + kMargin, kSquare,
                     kSquare);
  TBitmap32 sprite;
  bool shown = false;
  if (FStore && !FUnreadable.contains(sheet->firstId)) {
    std::string reason;
    shown = FStore->spriteImage(*id, sprite, reason);
    if (!shown) FUnreadable.insert(sheet->firstId);
  }
  if (shown) {
    const QRect target(square.left() + (kSquare - sprite.Width()) / 2,
                       square.top() + (kSquare - sprite.Height()) / 2, sprite.Width(),
                       sprite.Height());
    paintCheckerboard(painter, target);
    drawBitmapSharp(painter, target, sprite);
  } else {
    painter.setPen(QPen(kUnreadable, 1));
    painter.setBrush(Qt::NoBrush);
    const QRect frame = square.adjusted(0, 0, -1, -1);
    painter.drawRect(frame);
    painter.drawLine(frame.topLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomLeft());
  }
  painter.setPen(palette().color(QPalette::Text));
  const QRect text(cell.left(), square.bottom() + 3, cell.width(), painter.fontMetrics().height());
  painter.drawText(text, Qt::AlignHCenter | Qt::AlignTop, QString::number(*id));
}

void TAssetsGridView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const QRect dirty = event->rect();
  painter.fillRect(dirty, palette().color(QPalette::Base));
  const int count = rowCount();
  if (!gridModel() || count == 0) return;
  painter.setFont(font());
  const int cols = columns();
  const int offset = verticalOffset();
  const std::int64_t firstLine = (static_cast<std::int64_t>(dirty.top()) + offset) / FCell.height();
  const std::int64_t lastLine =
      (static_cast<std::int64_t>(dirty.bottom()) + offset) / FCell.height();
  const QItemSelectionModel* const selection = selectionModel();
  const QModelIndex current = currentIndex();
  for (std::int64_t line = firstLine; line <= lastLine; ++line) {
    for (int col = 0; col < cols; ++col) {
      const std::int64_t row64 = line * cols + col;
      if (row64 >= count) return;
      const int row = static_cast<int>(row64);
      const QRect cell = cellRect(row).translated(0, -offset);
      if (!cell.intersects(dirty)) continue;
      const QModelIndex index = model()->index(row, 0, rootIndex());
      if (selection && selection->isSelected(index)) {
        fillRectBlended(painter, cell, kSelectionOverlayBGR, kSelectionOverlayOpacity);
      }
      paintCell(painter, row, cell);
      if (hasFocus() && index == current) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = cell.adjusted(1, 1, -1, -1);
        focus.backgroundColor = palette().color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
      }
    }
  }
}

}  // namespace tess
