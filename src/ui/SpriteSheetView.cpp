#include "ui/SpriteSheetView.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <algorithm>
#include <cstdint>

#include "sprite/TSprite.h"
#include "ui/SpriteDelegate.h"
#include "ui/SpriteListModel.h"
#include "ui/SpritePainting.h"

namespace tess {

namespace {

// Wide enough for the ID of the last sprite a file can hold at its 32-bit count.
const QString kWidestId = QStringLiteral("0000000");

const QColor kEmptyFrame(0xA0, 0xA0, 0xA0);

}  // namespace

TSpriteSheetView::TSpriteSheetView(QWidget* parent) : QAbstractItemView(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setAutoScroll(true);
  viewport()->setMouseTracking(true);
  updateCellSize();
}

void TSpriteSheetView::setModel(QAbstractItemModel* model) {
  if (QAbstractItemModel* old = this->model()) disconnect(old, nullptr, this, nullptr);
  QAbstractItemView::setModel(model);
  if (!model) return;
  connect(model, &QAbstractItemModel::rowsInserted, this, &TSpriteSheetView::rowsChanged);
  connect(model, &QAbstractItemModel::rowsRemoved, this, &TSpriteSheetView::rowsChanged);
  connect(model, &QAbstractItemModel::modelReset, this, &TSpriteSheetView::rowsChanged);
  connect(model, &QAbstractItemModel::layoutChanged, this, &TSpriteSheetView::rowsChanged);
  rowsChanged();
}

void TSpriteSheetView::rowsChanged() {
  updateGeometries();
  viewport()->update();
}

void TSpriteSheetView::setCellZoom(int zoom) {
  const int chosen = zoom >= 3 ? 4 : (zoom >= 2 ? 2 : 1);
  if (chosen == FZoom) return;
  const QModelIndex keep = currentIndex();
  FZoom = chosen;
  updateCellSize();
  updateGeometries();
  if (keep.isValid()) scrollTo(keep);
  viewport()->update();
}

void TSpriteSheetView::updateCellSize() {
  const QFontMetrics metrics(font());
  const int side = kSpriteSide * FZoom;
  FCell = QSize(std::max(side, metrics.horizontalAdvance(kWidestId)) + 2 * kMargin,
                kMargin + side + 2 + metrics.height() + kMargin);
}

int TSpriteSheetView::rowCount() const { return model() ? model()->rowCount() : 0; }

int TSpriteSheetView::columns() const { return std::max(1, viewport()->width() / FCell.width()); }

QRect TSpriteSheetView::cellRect(int row) const {
  const int cols = columns();
  return QRect(QPoint((row % cols) * FCell.width(), (row / cols) * FCell.height()), FCell);
}

int TSpriteSheetView::rowAt(const QPoint& point) const {
  if (point.x() < 0 || point.y() + verticalOffset() < 0) return -1;
  const int cols = columns();
  const int col = point.x() / FCell.width();
  if (col >= cols) return -1;
  const std::int64_t line =
      (static_cast<std::int64_t>(point.y()) + verticalOffset()) / FCell.height();
  const std::int64_t row = line * cols + col;
  return row < rowCount() ? static_cast<int>(row) : -1;
}

QRect TSpriteSheetView::visualRect(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != model()) return {};
  return cellRect(index.row()).translated(0, -verticalOffset());
}

QModelIndex TSpriteSheetView::indexAt(const QPoint& point) const {
  const int row = rowAt(point);
  return row >= 0 ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

void TSpriteSheetView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (!index.isValid()) return;
  const QRect cell = cellRect(index.row());
  const int top = verticalOffset();
  const int height = viewport()->height();
  QScrollBar* bar = verticalScrollBar();
  switch (hint) {
    case PositionAtTop:
      bar->setValue(cell.top());
      break;
    case PositionAtBottom:
      bar->setValue(cell.bottom() + 1 - height);
      break;
    case PositionAtCenter:
      bar->setValue(cell.center().y() - height / 2);
      break;
    case EnsureVisible:
      if (cell.top() < top) {
        bar->setValue(cell.top());
      } else if (cell.bottom() + 1 > top + height) {
        bar->setValue(cell.bottom() + 1 - height);
      }
      break;
  }
  viewport()->update();
}

QModelIndex TSpriteSheetView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers) {
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

int TSpriteSheetView::horizontalOffset() const { return 0; }

int TSpriteSheetView::verticalOffset() const { return verticalScrollBar()->value(); }

bool TSpriteSheetView::isIndexHidden(const QModelIndex&) const { return false; }

void TSpriteSheetView::setSelection(const QRect& rect,
                                    QItemSelectionModel::SelectionFlags command) {
  const QRect area = rect.normalized();
  QItemSelection selection;
  // A click, a shift-click or a key runs from the anchor's cell to the current one (the two
  // opposite corners of `rect`); what lies between them in row order is selected, as in the list.
  const QModelIndex current = currentIndex();
  if (current.isValid()) {
    const QPoint centre = visualRect(current).center();
    const QPoint corners[] = {area.topLeft(), area.topRight(), area.bottomLeft(),
                              area.bottomRight()};
    const QPoint opposite[] = {area.bottomRight(), area.bottomLeft(), area.topRight(),
                               area.topLeft()};
    int nearest = 0;
    for (int k = 1; k < 4; ++k) {
      if ((corners[k] - centre).manhattanLength() < (corners[nearest] - centre).manhattanLength()) {
        nearest = k;
      }
    }
    const int anchor = rowAt(opposite[nearest]);
    if (anchor >= 0 && rowAt(corners[nearest]) == current.row()) {
      const int first = std::min(anchor, current.row());
      const int last = std::max(anchor, current.row());
      selection.select(model()->index(first, 0, rootIndex()), model()->index(last, 0, rootIndex()));
      selectionModel()->select(selection, command);
      return;
    }
  }
  // A rubber band: every cell it touches.
  const int count = rowCount();
  const int cols = columns();
  const int firstCol = std::clamp(area.left() / FCell.width(), 0, cols - 1);
  const int lastCol = std::clamp(area.right() / FCell.width(), 0, cols - 1);
  const std::int64_t firstLine =
      std::max<std::int64_t>(0, (area.top() + verticalOffset()) / FCell.height());
  const std::int64_t lastLine =
      (static_cast<std::int64_t>(area.bottom()) + verticalOffset()) / FCell.height();
  if (area.right() >= 0 && area.left() < cols * FCell.width()) {
    for (std::int64_t line = firstLine; line <= lastLine; ++line) {
      const std::int64_t first = line * cols + firstCol;
      const std::int64_t last = std::min<std::int64_t>(line * cols + lastCol, count - 1);
      if (first >= count) break;
      selection.select(model()->index(static_cast<int>(first), 0, rootIndex()),
                       model()->index(static_cast<int>(last), 0, rootIndex()));
    }
  }
  selectionModel()->select(selection, command);
}

QRegion TSpriteSheetView::visualRegionForSelection(const QItemSelection& selection) const {
  // Only the visible part of each range matters, so a range over a million rows costs a screenful.
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

void TSpriteSheetView::updateGeometries() {
  const std::int64_t lines = (static_cast<std::int64_t>(rowCount()) + columns() - 1) / columns();
  const std::int64_t content = lines * FCell.height();
  const std::int64_t range = std::max<std::int64_t>(0, content - viewport()->height());
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, static_cast<int>(std::min<std::int64_t>(range, INT32_MAX)));
  bar->setSingleStep(FCell.height());
  bar->setPageStep(std::max(FCell.height(), viewport()->height()));
  FLaidColumns = columns();
  QAbstractItemView::updateGeometries();
}

void TSpriteSheetView::resizeEvent(QResizeEvent* event) {
  // The first sprite in view stays in view: with another number of columns its line moves.
  const std::int64_t firstShown =
      FLaidColumns > 0 && FCell.height() > 0
          ? static_cast<std::int64_t>(verticalOffset() / FCell.height()) * FLaidColumns
          : 0;
  QAbstractItemView::resizeEvent(event);
  updateGeometries();
  if (firstShown > 0 && firstShown < rowCount()) {
    verticalScrollBar()->setValue(cellRect(static_cast<int>(firstShown)).top());
  }
}

void TSpriteSheetView::mousePressEvent(QMouseEvent* event) {
  emit mouseDown(event->button(), event->position().toPoint());
  // As in the list, the right button leaves the selection alone for the context menu.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QAbstractItemView::mousePressEvent(event);
}

bool TSpriteSheetView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const auto* rows = qobject_cast<const TSpriteListModel*>(model());
    const int row = rowAt(help->pos());
    const TSprite* sprite = rows && row >= 0 ? rows->spriteAt(row) : nullptr;
    if (sprite) {
      QToolTip::showText(help->globalPos(), QStringLiteral("ID %1").arg(sprite->ID()), viewport(),
                         visualRect(model()->index(row, 0, rootIndex())));
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QAbstractItemView::viewportEvent(event);
}

void TSpriteSheetView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const QRect dirty = event->rect();
  const QPalette& colours = palette();
  painter.fillRect(dirty, colours.color(QPalette::Base));

  const auto* rows = qobject_cast<const TSpriteListModel*>(model());
  const int count = rowCount();
  if (!rows || count == 0) return;
  const int cols = columns();
  const int offset = verticalOffset();
  const std::int64_t firstLine = (static_cast<std::int64_t>(dirty.top()) + offset) / FCell.height();
  const std::int64_t lastLine =
      (static_cast<std::int64_t>(dirty.bottom()) + offset) / FCell.height();
  const int side = kSpriteSide * FZoom;
  const QFontMetrics metrics(font());
  const QItemSelectionModel* selection = selectionModel();
  const QModelIndex current = currentIndex();
  const bool focused = hasFocus();
  painter.setFont(font());

  for (std::int64_t line = firstLine; line <= lastLine; ++line) {
    for (int col = 0; col < cols; ++col) {
      const std::int64_t row64 = line * cols + col;
      if (row64 >= count) return;
      const int row = static_cast<int>(row64);
      const QRect cell = cellRect(row).translated(0, -offset);
      if (!cell.intersects(dirty)) continue;
      const QModelIndex index = rows->index(row, 0);
      const bool selected = selection && selection->isSelected(index);
      if (selected) {
        fillRectBlended(painter, cell, kSelectionOverlayBGR, kSelectionOverlayOpacity);
      }
      const QRect square(cell.left() + (cell.width() - side) / 2, cell.top() + kMargin, side, side);
      const TSprite* sprite = rows->spriteAt(row);
      if (sprite && !sprite->isDUmmy && sprite->bitmap) {
        paintCheckerboard(painter, square);
        drawBitmapSharp(painter, square, *sprite->bitmap);
      } else {
        painter.setPen(kEmptyFrame);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(square.adjusted(0, 0, -1, -1));
      }
      if (sprite) {
        painter.setPen(colours.color(QPalette::Text));
        const QRect text(cell.left(), square.bottom() + 3, cell.width(), metrics.height());
        painter.drawText(text, Qt::AlignHCenter | Qt::AlignTop, QString::number(sprite->ID()));
      }
      if (focused && index == current) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = cell.adjusted(1, 1, -1, -1);
        focus.backgroundColor = colours.color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
      }
    }
  }
}

}  // namespace tess
