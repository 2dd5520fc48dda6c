#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "sprite/TSprite.h"
#include "sprite/TSpriteFile.h"
#include "support/TempDir.h"

namespace tess::testing {

using PixelRule = std::function<TColor32(int index)>;

inline std::unique_ptr<TBitmap32> makeBitmap(const PixelRule& pixel) {
  auto bitmap = std::make_unique<TBitmap32>();
  bitmap->SetSize(32, 32);
  for (int i = 0; i < 1024; ++i) bitmap->FBits()[i] = pixel(i);
  return bitmap;
}

inline std::unique_ptr<TSprite> makeSprite(const PixelRule& pixel) {
  auto sprite = std::make_unique<TSprite>();
  sprite->isDUmmy = false;
  sprite->bitmap = makeBitmap(pixel);
  return sprite;
}

inline std::unique_ptr<TSprite> makeEmptySprite() { return std::make_unique<TSprite>(); }

// Appends the way the editing commands do: the new sprite's ID is the new count.
inline void append(TSpriteFile& file, std::unique_ptr<TSprite> sprite) {
  file.Sprites.push_back(std::move(sprite));
  file.Sprites.back()->setID(static_cast<std::int32_t>(file.Sprites.size()));
}

inline std::vector<TColor32> pixelsOf(const TSprite& sprite) {
  if (!sprite.bitmap || sprite.bitmap->empty()) return {};
  return {sprite.bitmap->FBits(), sprite.bitmap->FBits() + 1024};
}

// Records every progress call.
struct ProgressLog {
  void onProgress(std::int32_t id, std::int32_t total) { calls.emplace_back(id, total); }
  std::vector<std::pair<std::int32_t, std::int32_t>> calls;
};

}  // namespace tess::testing
