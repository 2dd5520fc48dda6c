#pragma once

#include <QAbstractItemDelegate>
#include <cstdint>

class QPainter;
class QRect;

namespace tess {

class TSprite;

// Blends `bgr` (a 24-bit colour laid out 0x00BBGGRR, red in the low byte) over `rect` at a
// constant `opacity`: every channel becomes (colour * opacity + destination * (255 - opacity))
// / 255. Opacity 255 is a plain fill.
void fillRectBlended(QPainter& canvas, const QRect& rect, std::uint32_t bgr, std::uint8_t opacity);

// The colour laid over selected rows, and how strongly.
inline constexpr std::uint32_t kSelectionOverlayBGR = 0xFFD2A6;  // red 166, green 210, blue 255
inline constexpr std::uint8_t kSelectionOverlayOpacity = 175;

// Paints the rows of the sprite list: the sprite's picture in the left 32 x 32 square with its
// alpha ignored, its ID (or "D:" and the ID for an empty sprite) to the right in the lower half,
// and a light-blue overlay on selected rows. Rows are 32 pixels high.
class TSpriteDelegate : public QAbstractItemDelegate {
  Q_OBJECT

 public:
  using QAbstractItemDelegate::QAbstractItemDelegate;

  static constexpr int kRowHeight = 32;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // Rows have no tooltips of their own: the list's tooltip shows over them.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;
};

// Paints the row of `sprite` (nullptr: a row without an entry) into option.rect.
void paintSpriteRow(QPainter& painter, const QStyleOptionViewItem& option, TSprite* sprite);

}  // namespace tess
