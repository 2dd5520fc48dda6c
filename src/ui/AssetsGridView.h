#pragma once

#include <QAbstractItemView>
#include <cstdint>
#include <set>

namespace tess {

namespace assets {
class TAssetStore;
}

class TAssetsGridModel;

// A client's sprites as a grid of uniform cells, each sprite at its own size (32x32 to 64x64)
// over the checkerboard with its ID underneath. Like the sprite sheet, the geometry is arithmetic
// on the row, and only the cells in view are decoded, through the store (whose cache bounds what
// is kept). A sheet that cannot be read shows its cells as red-crossed frames, and is not tried
// again until another source is shown. Selections run in row order; dragging carries the IDs.
class TAssetsGridView : public QAbstractItemView {
  Q_OBJECT

 public:
  static constexpr int kSquare = 64;  // the largest sprite a client sheet holds
  static constexpr int kMargin = 4;

  explicit TAssetsGridView(QWidget* parent = nullptr);

  // The source the cells are decoded from; nullptr paints none. Forgets unreadable sheets.
  void setStore(assets::TAssetStore* store);
  void setModel(QAbstractItemModel* model) override;
  TAssetsGridModel* gridModel() const;

  QSize cellSize() const noexcept { return FCell; }
  int columns() const;
  // How many sheets failed to decode while painting, since the store was set.
  std::size_t unreadableSheets() const noexcept { return FUnreadable.size(); }

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;

 protected:
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override { return 0; }
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex&) const override { return false; }
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void updateGeometries() override;

 private:
  int rowCount() const;
  QRect cellRect(int row) const;  // content coordinates
  int rowAt(const QPoint& point) const;
  void rowsChanged();
  void paintCell(QPainter& painter, int row, const QRect& cell);

  QSize FCell;
  assets::TAssetStore* FStore = nullptr;
  // First IDs of the sheets that would not decode.
  std::set<std::int64_t> FUnreadable;
};

}  // namespace tess
