#include "image/PNG.h"

#include <exception>

#include "fileio/AtomicFile.h"
#include "image/PngDecoder.h"
#include "image/PngPixels.h"
#include "image/fileBytes.h"

namespace tess {

namespace {

// The import replaces the picture, not how the bitmap is drawn.
void takePicture(TBitmap32& bitmap, TBitmap32 decoded) noexcept {
  decoded.DrawMode = bitmap.DrawMode;
  bitmap = std::move(decoded);
}

}  // namespace

bool loadPngFile(TBitmap32& bitmap, const std::string& fileName, ImportAlpha alpha) noexcept {
  try {
    FileReader file(fileName);
    return loadPngFrom(file, bitmap, alpha);
  } catch (...) {
    return false;
  }
}

bool loadPngFrom(FileReader& file, TBitmap32& bitmap, ImportAlpha alpha) noexcept {
  try {
    // Read as it is decoded, never held whole: chunks the decoder skips cost no memory. Decoded
    // aside first, so that a failure leaves the bitmap as it was.
    takePicture(bitmap, pngToBitmap(decodePng(file), alpha));
    return true;
  } catch (...) {
    return false;
  }
}

bool loadPngStream(TBitmap32& bitmap, std::span<const std::uint8_t> data, ImportAlpha alpha) {
  // Everything is decoded aside first, so a failure at any point leaves the bitmap as it was.
  takePicture(bitmap, pngToBitmap(decodePng(data), alpha));
  return true;
}

bool savePngFile(const TBitmap32& bitmap, const std::string& fileName,
                 std::string* reason) noexcept {
  const auto fail = [&](const char* why) {
    if (reason) {
      try {
        *reason = why;
      } catch (...) {
      }
    }
    return false;
  };
  try {
    const auto png = bitmapToPng(bitmap);
    if (!png) return fail("the image could not be encoded");
    // An export writes thousands of small files that can always be written again; a flush to
    // the disk for each would make it a hundred times slower. The rename keeps it atomic.
    writeFileAtomically(fileName, png->data(), png->size(), /*durable=*/false);
    return true;
  } catch (const std::exception& error) {
    // The atomic write has left nothing behind.
    return fail(error.what());
  } catch (...) {
    return fail("unknown error");
  }
}

}  // namespace tess
