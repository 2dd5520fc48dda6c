#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "bitmap/TColor32.h"
#include "bitmap/TPixelPool.h"

namespace tess {

enum TDrawMode : std::uint8_t { dmOpaque = 0, dmBlend = 1, dmCustom = 2, dmTransparent = 3 };

// A rectangle of TColor32 pixels, row-major from the top row, in one contiguous block of plain
// memory. A bitmap whose width or height is 0 is empty and has no pixel array.
//
// There is no separate device store: the user interface paints a bitmap from FBits(), as an
// opaque copy whose alpha bytes are all 255.
class TBitmap32 {
 public:
  TBitmap32() = default;
  TBitmap32(const TBitmap32&) = delete;
  TBitmap32& operator=(const TBitmap32&) = delete;
  TBitmap32(TBitmap32&&) noexcept = default;
  TBitmap32& operator=(TBitmap32&&) noexcept = default;
  ~TBitmap32() = default;

  int Width() const noexcept { return FWidth; }
  int Height() const noexcept { return FHeight; }
  bool empty() const noexcept { return FWidth == 0 || FHeight == 0; }
  // Width * height: the number of pixels behind FBits().
  std::size_t pixelCount() const noexcept {
    return static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight);
  }

  // Resize. A negative dimension counts as 0. Returns false and changes nothing when the size
  // is the current one; otherwise the old pixels are lost and every new pixel is opaque black.
  // Throws std::bad_alloc (leaving the bitmap empty) when memory runs out.
  bool SetSize(int newWidth, int newHeight);
  // SetSize followed by filling every pixel with `fill`, whether or not the size changed, in a
  // single pass over the pixels. New pixels come from `pool` when it hands out arrays of
  // exactly that size.
  void SetSizeAndFill(int newWidth, int newHeight, TColor32 fill, TPixelPool* pool = nullptr);
  // SetSize for a caller that writes every pixel itself straight away: nothing is filled, and
  // the pixels' values are undefined until written. Takes from `pool` like SetSizeAndFill.
  void SetSizeForOverwrite(int newWidth, int newHeight, TPixelPool* pool = nullptr);
  bool SetWidth(int newWidth) { return SetSize(newWidth, FHeight); }
  bool SetHeight(int newHeight) { return SetSize(FWidth, newHeight); }

  // Direct access to width * height pixels; nullptr when empty.
  TColor32* FBits() noexcept { return FPixels.get(); }
  const TColor32* FBits() const noexcept { return FPixels.get(); }

  // No range check: callers keep 0 <= x < width and 0 <= y < height.
  TColor32 GetPixel(int x, int y) const noexcept { return FPixels[x + y * FWidth]; }

  // Puts `source` onto this bitmap with its top-left pixel at (x, y), clipped, combined by the
  // source's DrawMode. Nothing happens for no source or an empty source or destination.
  void Draw(int x, int y, const TBitmap32* source) noexcept;

  // Sets the alpha of every pixel to 255.
  void ResetAlpha() noexcept;

  // How this bitmap is combined with a destination when it is the source of Draw.
  TDrawMode DrawMode = dmOpaque;

 private:
  // Gives the bitmap its new size with uninitialised pixels (or none).
  void reallocate(int newWidth, int newHeight, TPixelPool* pool = nullptr);

  int FWidth = 0;
  int FHeight = 0;
  TPixelArray FPixels;
};

// Every pixel becomes 0x00FFFFFF.
void clearTransparent(TBitmap32& bitmap) noexcept;
// Every pixel equal to 0xFFFF00FF (all 32 bits) becomes 0x00FFFFFF.
void keyOutMagenta(TBitmap32& bitmap) noexcept;

}  // namespace tess
