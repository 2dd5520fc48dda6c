#pragma once

// A cheap sprite for benchmarks of the windows, where what is painted matters and what the codec
// meets does not: every seventh one is empty, the others a colour gradient inside a transparent
// border, fully opaque or fading from half to nearly whole opacity across the tile.

#include <cstdint>
#include <memory>

#include "bitmap/TBitmap32.h"
#include "bitmap/TColor32.h"
#include "sprite/TSprite.h"

namespace tess::bench {

enum class GradientAlpha { Opaque, Fading };

inline std::unique_ptr<TSprite> gradientSprite(std::int32_t id, bool withPicture,
                                               GradientAlpha alpha = GradientAlpha::Opaque) {
  auto sprite = std::make_unique<TSprite>();
  sprite->setID(id);
  if (!withPicture || id % 7 == 0) return sprite;
  sprite->isDUmmy = false;
  sprite->bitmap = std::make_unique<TBitmap32>();
  sprite->bitmap->SetSize(32, 32);
  TColor32* bits = sprite->bitmap->FBits();
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const bool border = x < 2 || y < 2 || x > 29 || y > 29;
      const auto opacity =
          static_cast<std::uint8_t>(alpha == GradientAlpha::Opaque ? 255 : 128 + x * 4);
      bits[y * 32 + x] =
          border ? clTransparentWhite32
                 : PackColor32(static_cast<std::uint8_t>(id * 7), static_cast<std::uint8_t>(x * 8),
                               static_cast<std::uint8_t>(y * 8), opacity);
    }
  }
  return sprite;
}

}  // namespace tess::bench
