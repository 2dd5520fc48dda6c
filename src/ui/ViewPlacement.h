#pragma once

#include <QRect>
#include <QSize>
#include <optional>

namespace tess {

// Where the child windows of the main window go. `free` is the part of the client area that no
// fixed control covers: left of the list, the whole height. All rectangles are frames, in
// client-area coordinates.

// The gap kept between a view and the list.
inline constexpr int kViewGap = 4;
// Narrower than this, the sprite sheet is of little use beside the preview: it takes the whole
// free area and the preview lies over its right part.
inline constexpr int kMinSheetBesideView = 240;

// The preview at the size of its frame, at the top right of the free area, next to the list.
QRect previewPlace(const QRect& free, const QSize& frame);
// The sprite sheet fills the free area, left of the preview when one is open and room is left.
QRect sheetPlace(const QRect& free, const std::optional<QRect>& preview);
// `frame` moved (and, when `resizable`, narrowed) so that it lies left of the list and inside
// the free area; a frame taller than the area keeps its title bar, `titleHeight` high, inside.
QRect keptInside(const QRect& frame, const QRect& free, int titleHeight, bool resizable);

}  // namespace tess
