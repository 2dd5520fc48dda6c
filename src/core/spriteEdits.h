#pragma once

#include <memory>
#include <string>

#include "bitmap/TBitmap32.h"
#include "sprite/TSprite.h"

namespace tess {

// The side of every sprite image.
inline constexpr int kSpriteSide = 32;
// The bytes one sprite image holds.
inline constexpr std::size_t kSpriteImageBytes = kSpriteSide * kSpriteSide * sizeof(TColor32);

// A sprite image made from a picture of any size: the picture's pixels copied whole at (0, 0)
// onto opaque black, cut to 32x32. The picture is drawn as an exact copy.
[[nodiscard]] std::unique_ptr<TBitmap32> fitToSprite(TBitmap32& picture);

// What fitToSprite does to a picture of `width` x `height` called `name`, for the user: "icon.png
// is 40x30: cut and padded to 32x32 with black". Empty for a 32x32 picture.
[[nodiscard]] std::string fitNote(const std::string& name, int width, int height);
// "name: every pixel is transparent; the sprite is empty" when every pixel of `image` has alpha
// 0 (a file stores such a sprite as an empty one); else empty.
[[nodiscard]] std::string transparentNote(const std::string& name, const TBitmap32& image);

// A sprite that shows `image`, which must be 32x32.
[[nodiscard]] std::unique_ptr<TSprite> spriteWithImage(std::unique_ptr<TBitmap32> image);

// The copy of a sprite that Clone appends, drawn as if the source image's draw mode were
// `sourceMode`: in blend mode each pixel is blended over transparent white, in opaque mode it is
// copied exactly. An empty source gives an empty copy without an image, even when it keeps a
// hidden one; so does a source without an image, whatever its flag says.
[[nodiscard]] std::unique_ptr<TSprite> copySprite(const TSprite& source, TDrawMode sourceMode);
// The same with the source image's own draw mode.
[[nodiscard]] std::unique_ptr<TSprite> copySprite(const TSprite& source);

// The empty flag Clear gives a sprite: one with an image toggles between shown and hidden, one
// without stays empty.
[[nodiscard]] inline bool clearedFlag(const TSprite& sprite) noexcept {
  return sprite.bitmap ? !sprite.isDUmmy : true;
}

}  // namespace tess
