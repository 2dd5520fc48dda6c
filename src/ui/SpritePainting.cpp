#include "ui/SpritePainting.h"

#include <QBrush>
#include <QPainter>
#include <QPixmap>

#include "bitmap/TBitmap32.h"

namespace tess {

namespace {

// Two squares by two, tiled by the brush.
QImage checkerTile() {
  QImage tile(2 * kCheckerSquare, 2 * kCheckerSquare, QImage::Format_RGB32);
  tile.fill(kCheckerLight);
  for (int y = 0; y < tile.height(); ++y) {
    for (int x = 0; x < tile.width(); ++x) {
      if ((x / kCheckerSquare + y / kCheckerSquare) % 2 == 1)
        tile.setPixelColor(x, y, kCheckerDark);
    }
  }
  return tile;
}

}  // namespace

void paintCheckerboard(QPainter& painter, const QRect& rect) {
  static const QBrush brush(checkerTile());
  const QPoint origin = painter.brushOrigin();
  painter.setBrushOrigin(rect.topLeft());
  painter.fillRect(rect, brush);
  painter.setBrushOrigin(origin);
}

QImage bitmapImage(const TBitmap32& bitmap) {
  const TColor32* bits = bitmap.FBits();
  if (!bits || bitmap.empty()) return {};
  // The memory layout of TColor32 is that of Format_ARGB32 (B, G, R, A); the image only reads it.
  return QImage(reinterpret_cast<const uchar*>(bits), bitmap.Width(), bitmap.Height(),
                bitmap.Width() * static_cast<int>(sizeof(TColor32)), QImage::Format_ARGB32);
}

void drawBitmapSharp(QPainter& painter, const QRect& target, const TBitmap32& bitmap) {
  const QImage image = bitmapImage(bitmap);
  if (image.isNull()) return;
  const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, image);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

}  // namespace tess
