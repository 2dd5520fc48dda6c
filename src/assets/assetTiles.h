#pragma once

#include <memory>
#include <span>
#include <vector>

#include "bitmap/TBitmap32.h"

namespace tess::assets {

// Cuts a sprite whose sides are whole multiples of 32 into 32x32 tiles in the order the older
// clients' object files number an object's parts: the bottom-right tile first, then leftwards
// along its row, then the row above, and so on. A tile whose every pixel has alpha 0 is nullptr
// (an empty sprite in a sprite file).
[[nodiscard]] std::vector<std::unique_ptr<TBitmap32>> cutIntoTiles(const TBitmap32& sprite);

// The reverse of cutIntoTiles: a `width` x `height` sprite from its tiles in that order; a
// nullptr tile, or one missing at the end, leaves its place transparent (clTransparentWhite32).
[[nodiscard]] TBitmap32 assembleFromTiles(std::span<const TBitmap32* const> tiles, int width,
                                          int height);

}  // namespace tess::assets
