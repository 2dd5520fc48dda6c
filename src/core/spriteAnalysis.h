#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "sprite/TSprite.h"

namespace tess {

// Whether a sprite shows nothing: it is empty, or every pixel of its image is transparent.
[[nodiscard]] bool showsNothing(const TSprite& sprite) noexcept;

// Whether two sprites show the same picture, as a file would store them: sprites that show
// nothing equal each other, and transparent pixels are equal whatever colour they keep.
[[nodiscard]] bool samePixels(const TSprite& a, const TSprite& b) noexcept;

// Pixels whose alpha lies strictly between 0 and 255, and the sprites that hold them: what a
// save into a layout without alpha makes opaque.
struct TPartialAlpha {
  std::size_t pixels = 0;
  std::size_t sprites = 0;
};
[[nodiscard]] TPartialAlpha countPartialAlpha(
    std::span<const std::unique_ptr<TSprite>> sprites) noexcept;

// Sprites whose images are equal, as groups of IDs in ascending order; the groups are ordered by
// their first ID and each has at least two members. Empty sprites (cleared ones too) never count,
// nor do images whose pixels are all transparent, which a file keeps as empty sprites.
// Two images are equal when every pixel is, where all transparent pixels count as equal whatever
// their colour channels hold, since a file keeps no colour for them.
using TDuplicateGroups = std::vector<std::vector<std::int32_t>>;
[[nodiscard]] TDuplicateGroups findDuplicates(std::span<const std::unique_ptr<TSprite>> sprites);

}  // namespace tess
