#include "ui/SpriteDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>
#include <QToolTip>
#include <cstddef>

#include "sprite/TSprite.h"
#include "ui/SpriteListModel.h"

namespace tess {

namespace {

QColor fromBGR(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

constexpr std::uint32_t kWhiteBGR = 0xFFFFFF;
constexpr QPoint kTextOffset(40, 16);

// The ID in the surface's font and colours on an opaque text box, its top-left corner at `at`.
void writeText(QPainter& painter, const QStyleOptionViewItem& option, const QPoint& at,
               const QString& text) {
  const bool selected = option.state.testFlag(QStyle::State_Selected);
  const QPalette::ColorGroup group =
      option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
  const QColor back = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
  const QColor fore =
      option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
  const QFontMetrics metrics(option.font);
  painter.setFont(option.font);
  painter.fillRect(QRect(at, QSize(metrics.horizontalAdvance(text), metrics.height())), back);
  painter.setPen(fore);
  painter.drawText(at + QPoint(0, metrics.ascent()), text);
}

// Copies the bitmap's colour channels as they are, alpha ignored. The pixels have the byte
// layout of Format_RGB32, but Qt copies that format's fourth byte unchanged and takes it for
// alpha on surfaces that have one, so a view of the sprite's own memory would punch holes
// wherever a pixel is transparent; the 4 KB copy with the fourth byte set to 255 is cheap.
void copyOpaque(QPainter& painter, const QPoint& at, const TBitmap32& bitmap) {
  const TColor32* bits = bitmap.FBits();
  if (!bits) return;
  QImage opaque(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
  if (opaque.isNull()) return;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const TColor32* from = bits + static_cast<std::ptrdiff_t>(y) * bitmap.Width();
    auto* to = reinterpret_cast<TColor32*>(opaque.scanLine(y));
    for (int x = 0; x < bitmap.Width(); ++x) to[x] = from[x] | 0xFF000000u;
  }
  painter.drawImage(at, opaque);
}

}  // namespace

void fillRectBlended(QPainter& canvas, const QRect& rect, std::uint32_t bgr, std::uint8_t opacity) {
  if (rect.isEmpty() || opacity == 0) return;
  if (opacity == 255) {
    canvas.fillRect(rect, fromBGR(bgr));
    return;
  }
  const qreal before = canvas.opacity();
  canvas.setOpacity(opacity / 255.0);
  canvas.fillRect(rect, fromBGR(bgr));
  canvas.setOpacity(before);
}

void paintSpriteRow(QPainter& painter, const QStyleOptionViewItem& option, TSprite* sprite) {
  const QRect& rect = option.rect;
  const QPoint textAt = rect.topLeft() + kTextOffset;
  if (sprite) {
    if (sprite->isDUmmy) {
      fillRectBlended(painter, rect, kWhiteBGR, 255);
      writeText(painter, option, textAt, QStringLiteral("D:") + QString::number(sprite->ID()));
    } else if (sprite->bitmap) {
      fillRectBlended(painter, rect, kWhiteBGR, 255);
      // Kept after painting: cloning a sprite copies it with this mode.
      sprite->bitmap->DrawMode = dmBlend;
      copyOpaque(painter, rect.topLeft(), *sprite->bitmap);
      writeText(painter, option, textAt, QString::number(sprite->ID()));
    }
  }
  if (option.state.testFlag(QStyle::State_Selected)) {
    fillRectBlended(painter, rect, kSelectionOverlayBGR, kSelectionOverlayOpacity);
  }
}

void TSpriteDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const auto* model = qobject_cast<const TSpriteListModel*>(index.model());
  painter->save();
  painter->setClipRect(option.rect, Qt::IntersectClip);
  // At a fractional display scale a smoothed copy would blur the pixel art.
  painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
  paintSpriteRow(*painter, option, model ? model->spriteAt(index.row()) : nullptr);
  painter->restore();

  if (option.state.testFlag(QStyle::State_HasFocus)) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.backgroundColor = option.palette.color(
        option.state.testFlag(QStyle::State_Selected) ? QPalette::Highlight : QPalette::Base);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
  }
}

bool TSpriteDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event && view && event->type() == QEvent::ToolTip) {
    QToolTip::showText(event->globalPos(), view->toolTip(), view);
    return true;
  }
  return QAbstractItemDelegate::helpEvent(event, view, option, index);
}

QSize TSpriteDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
  return {kRowHeight, kRowHeight};
}

}  // namespace tess
