#include "assets/sheetImage.h"

#include <algorithm>
#include <cstring>

#include "assets/sheetFile.h"

namespace tess::assets {

namespace {

constexpr std::size_t kPixelsAt = 122;
constexpr std::uint32_t kInfoHeaderBytes = 108;
constexpr std::uint32_t kBitfields = 3;
constexpr std::size_t kRowBytes = kSheetSide * 4;
static_assert(kPixelsAt + kRowBytes * kSheetSide == kSheetBmpBytes);

std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return bytes[at] | (std::uint32_t{bytes[at + 1]} << 8) | (std::uint32_t{bytes[at + 2]} << 16) |
         (std::uint32_t{bytes[at + 3]} << 24);
}

std::uint16_t le16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The stored pixel for a TColor32: the masks put alpha, red, green and blue where TColor32 has
// them, so only the key colour of transparent pixels changes.
constexpr TColor32 storedPixel(TColor32 pixel) noexcept {
  return AlphaOf(pixel) == 0 ? 0x00FF00FFu : pixel;
}

}  // namespace

bool decodeSheetBmp(std::span<const std::uint8_t> bmp, TBitmap32& sheet, std::string& reason) {
  if (bmp.size() != kSheetBmpBytes) {
    reason = "holds a BMP of " + std::to_string(bmp.size()) + " bytes, not " +
             std::to_string(kSheetBmpBytes);
    return false;
  }
  if (bmp[0] != 'B' || bmp[1] != 'M') {
    reason = "does not hold a BMP";
    return false;
  }
  const auto width = static_cast<std::int32_t>(le32(bmp, 18));
  const auto height = static_cast<std::int32_t>(le32(bmp, 22));
  const bool kindMatches =
      le32(bmp, 10) == kPixelsAt && le32(bmp, 14) == kInfoHeaderBytes && le16(bmp, 26) == 1 &&
      le16(bmp, 28) == 32 && le32(bmp, 30) == kBitfields && le32(bmp, 54) == 0x00FF0000u &&
      le32(bmp, 58) == 0x0000FF00u && le32(bmp, 62) == 0x000000FFu && le32(bmp, 66) == 0xFF000000u;
  if (width != kSheetSide || (height != kSheetSide && height != -kSheetSide)) {
    reason =
        "holds a " + std::to_string(width) + "x" + std::to_string(height) + " BMP, not 384x384";
    return false;
  }
  if (!kindMatches) {
    reason = "holds a BMP of another kind than 32 bits with colour and alpha masks";
    return false;
  }
  sheet.SetSizeForOverwrite(kSheetSide, kSheetSide);
  const bool bottomUp = height > 0;
  for (int row = 0; row < kSheetSide; ++row) {
    const std::uint8_t* source = bmp.data() + kPixelsAt + kRowBytes * static_cast<std::size_t>(row);
    TColor32* const target = sheet.FBits() + (bottomUp ? kSheetSide - 1 - row : row) * kSheetSide;
    std::memcpy(target, source, kRowBytes);
    for (int x = 0; x < kSheetSide; ++x) {
      if (AlphaOf(target[x]) == 0) target[x] = clTransparentWhite32;
    }
  }
  return true;
}

std::vector<std::uint8_t> encodeSheetBmp(const TBitmap32& sheet) {
  std::vector<std::uint8_t> out(kSheetBmpBytes, 0);
  out[0] = 'B';
  out[1] = 'M';
  put32(out, 2, kSheetBmpBytes);
  put32(out, 10, kPixelsAt);
  put32(out, 14, kInfoHeaderBytes);
  put32(out, 18, kSheetSide);
  put32(out, 22, kSheetSide);
  out[26] = 1;
  out[28] = 32;
  put32(out, 30, kBitfields);
  put32(out, 34, kRowBytes * kSheetSide);
  put32(out, 54, 0x00FF0000u);
  put32(out, 58, 0x0000FF00u);
  put32(out, 62, 0x000000FFu);
  put32(out, 66, 0xFF000000u);
  put32(out, 70, 0x73524742u);  // 'sRGB': the end points and gammas that follow are unused
  for (int row = 0; row < kSheetSide; ++row) {
    const TColor32* const source = sheet.FBits() + (kSheetSide - 1 - row) * kSheetSide;
    const std::size_t at = kPixelsAt + kRowBytes * static_cast<std::size_t>(row);
    for (int x = 0; x < kSheetSide; ++x)
      put32(out, at + 4 * static_cast<std::size_t>(x), storedPixel(source[x]));
  }
  return out;
}

TBitmap32 cellOfSheet(const TBitmap32& sheet, TSheetType type, int cell) {
  const int width = cellWidth(type);
  const int height = cellHeight(type);
  const int left = cell % sheetColumns(type) * width;
  const int top = cell / sheetColumns(type) * height;
  TBitmap32 sprite;
  sprite.SetSizeForOverwrite(width, height);
  for (int y = 0; y < height; ++y) {
    const TColor32* const row = sheet.FBits() + (top + y) * kSheetSide + left;
    std::copy(row, row + width, sprite.FBits() + y * width);
  }
  return sprite;
}

void putCell(TBitmap32& sheet, TSheetType type, int cell, const TBitmap32& sprite) noexcept {
  const int width = cellWidth(type);
  const int height = cellHeight(type);
  const int left = cell % sheetColumns(type) * width;
  const int top = cell / sheetColumns(type) * height;
  for (int y = 0; y < height; ++y) {
    const TColor32* const row = sprite.FBits() + y * width;
    std::copy(row, row + width, sheet.FBits() + (top + y) * kSheetSide + left);
  }
}

bool loadSheetFile(const std::string& path, TBitmap32& sheet, std::string& reason) {
  std::vector<std::uint8_t> file;
  if (!readSheetFileBytes(path, file, reason)) return false;
  std::vector<std::uint8_t> bmp;
  if (!unpackSheet(file, bmp, reason)) return false;
  return decodeSheetBmp(bmp, sheet, reason);
}

}  // namespace tess::assets
