#pragma once

#include <cstdint>

namespace tess {

// The largest images import accepts. A sprite is 32x32, so these only have to keep any sprite
// sheet someone might really draw, while refusing a hostile header before anything is allocated
// for it. 1 << 28 pixels is 1 GiB of TColor32.
inline constexpr std::int64_t kMaxImageSide = 32768;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;

constexpr bool imageSizeAllowed(std::int64_t width, std::int64_t height) noexcept {
  return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

}  // namespace tess
