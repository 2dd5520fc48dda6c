#include "bitmap/TBitmap32.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <new>

namespace tess {

namespace {

// One channel of the blend: weights 256 - a and a over 256, rounded half up.
inline std::uint32_t blendChannel(std::uint32_t d, std::uint32_t s, std::uint32_t a) noexcept {
  return (d * (256 - a) + s * a + 128) >> 8;
}

inline TColor32 blendPixel(TColor32 d, TColor32 s) noexcept {
  const std::uint32_t a = s >> 24;
  if (a == 0) return d;
  if (a == 255) return s;
  TColor32 result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    result |= blendChannel((d >> shift) & 0xFF, (s >> shift) & 0xFF, a) << shift;
  }
  return result;
}

}  // namespace

void TBitmap32::reallocate(int newWidth, int newHeight, TPixelPool* pool) {
  // Drop the old pixels first so that a failed allocation leaves the bitmap empty.
  FPixels.reset();
  FWidth = 0;
  FHeight = 0;
  if (newWidth > 0 && newHeight > 0) {
    const auto count = static_cast<std::size_t>(newWidth) * static_cast<std::size_t>(newHeight);
    // Pixel indices are plain ints (GetPixel), so the array must stay addressable by one.
    if (count > static_cast<std::size_t>(INT_MAX)) throw std::bad_alloc();
    if (pool != nullptr && pool->pixelsPerArray() == count) {
      FPixels = pool->take();
    } else {
      FPixels = TPixelArray(new TColor32[count], TPixelRelease{});
    }
  }
  FWidth = newWidth;
  FHeight = newHeight;
}

bool TBitmap32::SetSize(int newWidth, int newHeight) {
  newWidth = std::max(newWidth, 0);
  newHeight = std::max(newHeight, 0);
  if (newWidth == FWidth && newHeight == FHeight) return false;
  reallocate(newWidth, newHeight);
  std::fill_n(FPixels.get(), pixelCount(), clOpaqueBlack32);
  return true;
}

void TBitmap32::SetSizeAndFill(int newWidth, int newHeight, TColor32 fill, TPixelPool* pool) {
  SetSizeForOverwrite(newWidth, newHeight, pool);
  std::fill_n(FPixels.get(), pixelCount(), fill);
}

void TBitmap32::SetSizeForOverwrite(int newWidth, int newHeight, TPixelPool* pool) {
  newWidth = std::max(newWidth, 0);
  newHeight = std::max(newHeight, 0);
  if (newWidth != FWidth || newHeight != FHeight) reallocate(newWidth, newHeight, pool);
}

void TBitmap32::Draw(int x, int y, const TBitmap32* source) noexcept {
  if (source == nullptr || source->empty() || empty()) return;

  // Clip in 64 bits: x + width may not fit an int for extreme offsets.
  const long long left = std::max<long long>(x, 0);
  const long long top = std::max<long long>(y, 0);
  const long long right = std::min<long long>(static_cast<long long>(x) + source->FWidth, FWidth);
  const long long bottom =
      std::min<long long>(static_cast<long long>(y) + source->FHeight, FHeight);
  if (left >= right || top >= bottom) return;

  const auto rowLength = static_cast<std::size_t>(right - left);
  const bool blend = source->DrawMode == dmBlend;
  for (long long row = top; row < bottom; ++row) {
    TColor32* dst = FPixels.get() + row * FWidth + left;
    const TColor32* src =
        source->FPixels.get() + (row - y) * source->FWidth + (left - static_cast<long long>(x));
    if (blend) {
      for (std::size_t i = 0; i < rowLength; ++i) dst[i] = blendPixel(dst[i], src[i]);
    } else {
      std::copy_n(src, rowLength, dst);
    }
  }
}

void TBitmap32::ResetAlpha() noexcept {
  TColor32* const bits = FBits();
  const std::size_t count = pixelCount();
  for (std::size_t i = 0; i < count; ++i) bits[i] |= 0xFF000000u;
}

void clearTransparent(TBitmap32& bitmap) noexcept {
  std::fill_n(bitmap.FBits(), bitmap.pixelCount(), clTransparentWhite32);
}

void keyOutMagenta(TBitmap32& bitmap) noexcept {
  TColor32* const bits = bitmap.FBits();
  std::replace(bits, bits + bitmap.pixelCount(), clMagenta32, clTransparentWhite32);
}

}  // namespace tess
