// Decodes any bytes as a PNG. A refused file must leave the bitmap exactly as it was; an
// accepted one must give an image within the import limits, and exporting that image and
// importing the export again must keep every fully opaque and fully transparent pixel.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>

#include "FuzzSupport.h"
#include "bitmap/TBitmap32.h"
#include "image/PNG.h"
#include "image/imageLimits.h"

namespace {

using tess::TBitmap32;
using tess::TColor32;
using tess::fuzz::require;

// Export compresses at the highest level, which is slow for large pictures; their round trip
// adds little over a small one.
constexpr std::int64_t kRoundTripPixels = 64 * 64;

void fillSentinel(TBitmap32& bitmap) {
  bitmap.SetSize(3, 2);
  for (int i = 0; i < 6; ++i) bitmap.FBits()[i] = 0x12345678u + static_cast<TColor32>(i);
  bitmap.DrawMode = tess::dmBlend;
}

bool isSentinel(const TBitmap32& bitmap) {
  if (bitmap.Width() != 3 || bitmap.Height() != 2 || bitmap.DrawMode != tess::dmBlend) return false;
  for (int i = 0; i < 6; ++i) {
    if (bitmap.FBits()[i] != 0x12345678u + static_cast<TColor32>(i)) return false;
  }
  return true;
}

void checkRoundTrip(const TBitmap32& imported) {
  const auto png = tess::bitmapToPng(imported);
  require(png.has_value(), "an imported picture can be exported");
  TBitmap32 again;
  require(tess::loadPngStream(again, *png), "an export imports again");
  require(again.Width() == imported.Width() && again.Height() == imported.Height(),
          "an export keeps the size");
  const std::size_t count = static_cast<std::size_t>(imported.Width()) * imported.Height();
  for (std::size_t i = 0; i < count; ++i) {
    const TColor32 before = imported.FBits()[i];
    const TColor32 after = again.FBits()[i];
    if (tess::AlphaOf(before) == 0xFF) require(after == before, "an opaque pixel survives");
    if (tess::AlphaOf(before) == 0)
      require(after == tess::clTransparentWhite32, "a transparent pixel comes back white");
  }
}

// The import for files with alpha reads the same files at the same size, and its export comes
// back pixel for pixel.
void checkKeepMode(std::span<const std::uint8_t> data, const TBitmap32& overWhite) {
  TBitmap32 kept;
  require(tess::loadPngStream(kept, data, tess::ImportAlpha::Keep),
          "a PNG accepted for files without alpha is accepted for files with alpha");
  require(kept.Width() == overWhite.Width() && kept.Height() == overWhite.Height(),
          "both imports give the same size");
  const std::size_t count = static_cast<std::size_t>(kept.Width()) * kept.Height();
  if (static_cast<std::int64_t>(count) > kRoundTripPixels) return;
  const auto png = tess::bitmapToPng(kept);
  require(png.has_value(), "a kept picture can be exported");
  TBitmap32 again;
  require(tess::loadPngStream(again, *png, tess::ImportAlpha::Keep), "its export imports again");
  require(std::equal(kept.FBits(), kept.FBits() + count, again.FBits()),
          "an export imported for a file with alpha keeps every pixel");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TBitmap32 bitmap;
  fillSentinel(bitmap);
  bool ok = false;
  try {
    ok = tess::loadPngStream(bitmap, std::span<const std::uint8_t>(data, size));
  } catch (const std::exception&) {
    require(isSentinel(bitmap), "a refused PNG leaves the bitmap as it was");
    return 0;
  }
  require(ok, "loadPngStream reports failure by throwing");
  require(tess::imageSizeAllowed(bitmap.Width(), bitmap.Height()),
          "an imported picture is within the import limits");
  require(bitmap.DrawMode == tess::dmBlend, "import keeps the draw mode");
  if (std::int64_t{bitmap.Width()} * bitmap.Height() <= kRoundTripPixels) checkRoundTrip(bitmap);
  checkKeepMode(std::span<const std::uint8_t>(data, size), bitmap);
  return 0;
}
