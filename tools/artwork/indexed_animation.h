#pragma once

#include "gif_encoder.h"

#include <QColor>
#include <QImage>

#include <vector>

namespace tess::artwork {

// Reduces anti-aliased frames to GIF's one-bit transparency: pixels at least half covered are
// blended over `backdrop` (the colour the animation is usually shown on) and kept opaque, the
// rest become the transparent index 0. Throws std::runtime_error beyond 255 distinct colours.
GifAnimation indexFrames(const std::vector<QImage>& frames, const QColor& backdrop,
                         int delayCentiseconds);

// The frame a decoder should show for `frame` of `animation`, as non-premultiplied ARGB32.
QImage expectedFrame(const GifAnimation& animation, std::size_t frame);

}  // namespace tess::artwork
