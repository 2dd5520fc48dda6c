// Reads any bytes as a newer client's sheet file: the header, the LZMA stream and the BMP inside.
// A refused file says why and hands back nothing; an accepted one is exactly one 384x384 picture
// whose transparent pixels are all the program's transparent white, that writes back to the same
// picture, and that reads the same from disk as from memory.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "assets/sheetFile.h"
#include "assets/sheetImage.h"
#include "bitmap/TBitmap32.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tess::fuzz::require;
  namespace assets = tess::assets;
  static const tess::fuzz::ScratchFile input(".bmp.lzma");
  input.write(data, size);

  const std::span<const std::uint8_t> file(data, size);
  std::vector<std::uint8_t> bmp;
  std::string reason;
  tess::TBitmap32 sheet;
  const bool unpacked = assets::unpackSheet(file, bmp, reason);
  require(unpacked ? bmp.size() == assets::kSheetBmpBytes : bmp.empty() && !reason.empty(),
          "an unpacked sheet is one BMP; a refused one says why and gives nothing");
  const bool decoded = unpacked && assets::decodeSheetBmp(bmp, sheet, reason);
  tess::TBitmap32 fromDisk;
  std::string diskReason;
  require(assets::loadSheetFile(input.path(), fromDisk, diskReason) == decoded,
          "the file on disk reads as the bytes in memory do");
  if (!decoded) {
    require(sheet.empty() && !reason.empty(), "a refused BMP says why and leaves the bitmap");
    return 0;
  }
  require(sheet.Width() == assets::kSheetSide && sheet.Height() == assets::kSheetSide,
          "a sheet is 384x384");
  const tess::TColor32* const pixels = sheet.FBits();
  const std::size_t count = sheet.pixelCount();
  require(std::none_of(pixels, pixels + count,
                       [](tess::TColor32 p) {
                         return tess::AlphaOf(p) == 0 && p != tess::clTransparentWhite32;
                       }),
          "every transparent pixel is transparent white");
  require(std::equal(pixels, pixels + count, fromDisk.FBits()), "disk and memory agree");
  tess::TBitmap32 again;
  require(assets::decodeSheetBmp(assets::encodeSheetBmp(sheet), again, reason) &&
              std::equal(pixels, pixels + count, again.FBits()),
          "a decoded sheet writes back to the same picture");
  return 0;
}
