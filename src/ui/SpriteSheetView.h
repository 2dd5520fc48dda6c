#pragma once

#include <QAbstractItemView>

namespace tess {

class TSpriteListModel;

// The rows of the sprite list as a grid of cells in row order, as many columns as fit, each cell
// the sprite at 1x, 2x or 4x over the checkerboard with its ID underneath. The geometry is
// arithmetic on the row number, so nothing is kept per row and only the visible cells are
// painted. Shift-click and keyboard ranges run in row order, as in the list.
class TSpriteSheetView : public QAbstractItemView {
  Q_OBJECT

 public:
  static constexpr int kSpriteSide = 32;
  static constexpr int kMargin = 4;

  explicit TSpriteSheetView(QWidget* parent = nullptr);

  // 1, 2 or 4; other values are taken to the nearest of these.
  void setCellZoom(int zoom);
  int cellZoom() const noexcept { return FZoom; }
  QSize cellSize() const noexcept { return FCell; }
  int columns() const;

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;
  void setModel(QAbstractItemModel* model) override;

 signals:
  // Every mouse-button press, before the view handles it.
  void mouseDown(Qt::MouseButton button, const QPoint& pos);

 protected:
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override;
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex& index) const override;
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void updateGeometries() override;

 private:
  int rowCount() const;
  // The cell's rectangle in content coordinates (not scrolled).
  QRect cellRect(int row) const;
  // The row whose cell lies under `point` (viewport coordinates), or -1.
  int rowAt(const QPoint& point) const;
  void updateCellSize();
  void rowsChanged();

  int FZoom = 1;
  QSize FCell;
  // The columns the scroll range was last laid out for.
  int FLaidColumns = 0;
};

}  // namespace tess
