#include "core/spriteEdits.h"

#include <algorithm>

namespace tess {

std::unique_ptr<TBitmap32> fitToSprite(TBitmap32& picture) {
  auto bitmap = std::make_unique<TBitmap32>();
  bitmap->SetSizeAndFill(kSpriteSide, kSpriteSide, clOpaqueBlack32);
  picture.DrawMode = dmOpaque;
  bitmap->Draw(0, 0, &picture);
  return bitmap;
}

std::string fitNote(const std::string& name, int width, int height) {
  const bool cut = width > kSpriteSide || height > kSpriteSide;
  const bool padded = width < kSpriteSide || height < kSpriteSide;
  if (!cut && !padded) return {};
  const std::string how = cut && padded ? "cut and padded to 32x32 with black"
                          : cut         ? "cut to 32x32"
                                        : "padded to 32x32 with black";
  return name + " is " + std::to_string(width) + "x" + std::to_string(height) + ": " + how;
}

std::string transparentNote(const std::string& name, const TBitmap32& image) {
  const TColor32* const pixels = image.FBits();
  if (pixels == nullptr) return {};
  const bool transparent = std::all_of(pixels, pixels + image.pixelCount(),
                                       [](TColor32 pixel) { return (pixel >> 24) == 0; });
  return transparent ? name + ": every pixel is transparent; the sprite is empty" : std::string();
}

std::unique_ptr<TSprite> spriteWithImage(std::unique_ptr<TBitmap32> image) {
  auto sprite = std::make_unique<TSprite>();
  sprite->isDUmmy = false;
  sprite->bitmap = std::move(image);
  return sprite;
}

std::unique_ptr<TSprite> copySprite(const TSprite& source, TDrawMode sourceMode) {
  auto copy = std::make_unique<TSprite>();
  copy->isDUmmy = source.isDUmmy || !source.bitmap;
  if (copy->isDUmmy) return copy;
  copy->bitmap = std::make_unique<TBitmap32>();
  TBitmap32& image = *copy->bitmap;
  if (sourceMode == dmOpaque && source.bitmap->Width() == kSpriteSide &&
      source.bitmap->Height() == kSpriteSide) {
    // An exact copy of every pixel needs no fill first.
    image.SetSizeForOverwrite(kSpriteSide, kSpriteSide);
    std::copy_n(source.bitmap->FBits(), image.pixelCount(), image.FBits());
    return copy;
  }
  image.SetSizeAndFill(kSpriteSide, kSpriteSide, clTransparentWhite32);
  // Draw takes the mode from its source. The image is lent the mode for the one call and gets its
  // own back at once; Draw cannot throw, so nothing can leave it changed.
  auto& sourceBitmap = const_cast<TBitmap32&>(*source.bitmap);
  const TDrawMode own = sourceBitmap.DrawMode;
  sourceBitmap.DrawMode = sourceMode;
  image.Draw(0, 0, &sourceBitmap);
  sourceBitmap.DrawMode = own;
  return copy;
}

std::unique_ptr<TSprite> copySprite(const TSprite& source) {
  return copySprite(source, source.bitmap ? source.bitmap->DrawMode : dmOpaque);
}

}  // namespace tess
