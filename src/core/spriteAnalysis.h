#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "sprite/TSprite.h"

namespace tess {

// Whether a sprite shows nothing: it is empty, or every pixel of its image is transparent.
[[nodiscard]] bool showsNothing(const TSprite& sprite) noexcept;

// Sprites whose images are equal, as groups of IDs in ascending order; the groups are ordered by
// their first ID and each has at least two members. Empty sprites (cleared ones too) never count,
// nor do images whose pixels are all transparent, which a file keeps as empty sprites.
// Two images are equal when every pixel is, where all transparent pixels count as equal whatever
// their colour channels hold, since a file keeps no colour for them.
using TDuplicateGroups = std::vector<std::vector<std::int32_t>>;
[[nodiscard]] TDuplicateGroups findDuplicates(std::span<const std::unique_ptr<TSprite>> sprites);

}  // namespace tess
