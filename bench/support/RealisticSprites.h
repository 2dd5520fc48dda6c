#pragma once

// Sprite content shaped like the art of a real client file, for benchmarks whose figures depend
// on what the codec meets: about one sprite in seven is empty, and the others hold one solid
// shape of 350-500 opaque pixels in the lower right of the tile (where the corner pieces of
// multi-tile objects leave them), ragged on its upper left side and with a few holes, so that
// it takes about 20 run pairs. Random blobs spread over the whole tile flatter the decoder:
// they take fewer, longer runs than real art does.
//
// Every sprite is a pure function of its ID, so that programs that build the same file agree
// without sharing a generator's state.

#include <algorithm>
#include <cstdint>
#include <memory>

#include "bitmap/TBitmap32.h"
#include "bitmap/TColor32.h"
#include "sprite/TSprite.h"

namespace tess::bench {

// A small, fast hash (splitmix64) from which every decision about a sprite is drawn.
class TSpriteDice {
 public:
  explicit TSpriteDice(std::uint64_t seed) : FState(seed * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}

  std::uint64_t next() {
    std::uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number from `low` to `high`, both included.
  int between(int low, int high) {
    return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
  }
  bool chance(int percent) { return between(0, 99) < percent; }

 private:
  std::uint64_t FState;
};

// Real files have about 15% empty sprites.
inline bool realisticSpriteIsEmpty(std::int32_t id) {
  TSpriteDice dice(static_cast<std::uint64_t>(id) ^ 0xE3u);
  return dice.chance(15);
}

// Fills `pixels` (32 x 32, row by row) with the shape of sprite `id`; returns the opaque pixels.
inline int drawRealisticShape(std::int32_t id, TColor32* pixels) {
  std::fill_n(pixels, 32 * 32, clTransparentWhite32);
  TSpriteDice dice(static_cast<std::uint64_t>(id));
  const int height = dice.between(17, 22);
  const int area = dice.between(380, 500);
  // Most corner pieces touch the right border; some stop a few pixels short of it.
  const int right = dice.chance(70) ? 31 : 31 - dice.between(1, 4);
  const int base = dice.between(0, 255);
  int drawn = 0;
  for (int row = 0; row < height; ++row) {
    const int y = 32 - height + row;
    // Narrow at the top, widest at the bottom, ragged in between.
    const int mean = area * (6 + 8 * row / std::max(height - 1, 1)) / (10 * height);
    const int width = std::clamp(mean + dice.between(-3, 3), 1, right + 1);
    const int left = right - width + 1;
    for (int x = left; x <= right; ++x) {
      const int shade = base + 5 * x + 3 * y + dice.between(0, 24);
      pixels[y * 32 + x] =
          PackColor32(static_cast<std::uint8_t>(shade), static_cast<std::uint8_t>(shade * 7 / 8),
                      static_cast<std::uint8_t>(shade / 2), 0xFF);
      ++drawn;
    }
    // A hole in the odd row: outlines, windows, gaps between leaves.
    if (width > 6 && dice.chance(12)) {
      const int hole = dice.between(left + 2, right - 2);
      pixels[y * 32 + hole] = clTransparentWhite32;
      --drawn;
    }
  }
  return drawn;
}

// Sprite `id` with its ID set: empty, or a 32 x 32 image holding its shape.
inline std::unique_ptr<TSprite> makeRealisticSprite(std::int32_t id) {
  auto sprite = std::make_unique<TSprite>();
  sprite->setID(id);
  if (realisticSpriteIsEmpty(id)) return sprite;
  sprite->isDUmmy = false;
  sprite->bitmap = std::make_unique<TBitmap32>();
  sprite->bitmap->SetSize(32, 32);
  drawRealisticShape(id, sprite->bitmap->FBits());
  return sprite;
}

}  // namespace tess::bench
