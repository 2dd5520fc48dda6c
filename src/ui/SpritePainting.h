#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

class QPainter;

namespace tess {

class TBitmap32;

// The two colours of the checkerboard that shows through transparent pixels, and the side of
// one of its squares in logical pixels.
inline const QColor kCheckerLight(0xFF, 0xFF, 0xFF);
inline const QColor kCheckerDark(0xD6, 0xD6, 0xD6);
inline constexpr int kCheckerSquare = 8;

// Fills `rect` with the checkerboard, its squares counted from the rectangle's top-left corner so
// that every cell of a view shows the same pattern.
void paintCheckerboard(QPainter& painter, const QRect& rect);

// The bitmap's pixels as an image without a copy; valid while the bitmap keeps its pixels. A
// null image for a bitmap without pixels.
QImage bitmapImage(const TBitmap32& bitmap);

// Draws `bitmap` with its alpha over whatever lies in `target`, scaled by nearest neighbour at
// every device pixel ratio, so that each sprite pixel stays one sharp block.
void drawBitmapSharp(QPainter& painter, const QRect& target, const TBitmap32& bitmap);

}  // namespace tess
