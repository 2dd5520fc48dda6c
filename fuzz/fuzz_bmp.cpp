// Imports any bytes as a file named *.bmp, through the same entry point the editing commands
// use. A refused BMP must raise a std::exception the caller can report; an accepted one must
// give a picture within the import limits with no opaque magenta left in it, the same picture
// every time, whatever memory held before.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>

#include "FuzzSupport.h"
#include "bitmap/TBitmap32.h"
#include "image/imageFile.h"
#include "image/imageLimits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tess::fuzz::require;
  static const tess::fuzz::ScratchFile input(".bmp");
  input.write(data, size);

  tess::TBitmap32 bitmap;
  try {
    // Bytes that start with the PNG signature go to the PNG decoder, which refuses by saying
    // false; that must leave the bitmap as it was.
    if (!tess::loadImageFile(input.path(), bitmap)) {
      require(bitmap.empty(), "a refused import leaves the bitmap as it was");
      return 0;
    }
  } catch (const std::exception&) {
    return 0;
  }
  require(tess::imageSizeAllowed(bitmap.Width(), bitmap.Height()),
          "an imported picture is within the import limits");
  const std::size_t count = static_cast<std::size_t>(bitmap.Width()) * bitmap.Height();
  for (std::size_t i = 0; i < count; ++i) {
    require(bitmap.FBits()[i] != tess::clMagenta32, "opaque magenta is keyed out");
  }
  tess::TBitmap32 again;
  again.SetSizeAndFill(1, 1, 0x5A5A5A5Au);
  require(tess::loadImageFile(input.path(), again), "an accepted file is accepted again");
  require(again.Width() == bitmap.Width() && again.Height() == bitmap.Height() &&
              std::equal(bitmap.FBits(), bitmap.FBits() + count, again.FBits()),
          "a file gives the same picture every time");
  return 0;
}
