#include "image/BmpUncompressed.h"

#include <algorithm>
#include <array>
#include <bit>
#include <stdexcept>
#include <string>

#include "image/imageLimits.h"

namespace tess {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;
constexpr std::uint32_t kAlphaBitfields = 6;

std::uint16_t little16(std::span<const std::uint8_t> bytes, std::size_t at) noexcept {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t little32(std::span<const std::uint8_t> bytes, std::size_t at) noexcept {
  return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) |
         (std::uint32_t{bytes[at + 2]} << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}

[[noreturn]] void fail(const std::string& why) { throw std::runtime_error("Invalid BMP: " + why); }

bool knownInfoSize(std::uint32_t size) noexcept {
  switch (size) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
      return true;
    default:
      return false;
  }
}

bool isOs2(std::uint32_t infoSize) noexcept {
  return infoSize == 12 || infoSize == 16 || infoSize == 64;
}

void readMasks(BmpLayout& layout, std::span<const std::uint8_t> file, std::size_t& afterHeader) {
  const std::size_t masksAt = kFileHeaderBytes + 40;
  if (layout.compression == kRgb) {
    if (layout.bitCount == 16) {
      layout.masks[0] = 0x7C00;
      layout.masks[1] = 0x03E0;
      layout.masks[2] = 0x001F;
    } else if (layout.bitCount == 32) {
      layout.masks[0] = 0x00FF0000;
      layout.masks[1] = 0x0000FF00;
      layout.masks[2] = 0x000000FF;
    }
    return;
  }
  if (layout.compression != kBitfields && layout.compression != kAlphaBitfields) return;
  const std::size_t count = layout.compression == kAlphaBitfields ? 4 : 3;
  // A 40-byte header is followed by its masks; the larger ones hold them (and the alpha mask
  // from 56 bytes on).
  const std::size_t inHeader = layout.infoSize >= 56 ? 4 : (layout.infoSize >= 52 ? 3 : 0);
  const std::size_t present = std::max(inHeader, count);
  if (masksAt + 4 * present > file.size()) fail("the file ends inside its colour masks");
  for (std::size_t i = 0; i < present; ++i) layout.masks[i] = little32(file, masksAt + 4 * i);
  if (inHeader == 0) afterHeader += 4 * count;
}

// A w-bit value brought to 8 bits, to the nearest: files of fewer or more bits than 8 are
// written by rounding, so this gives back the colours they were made from.
std::uint8_t toEight(std::uint32_t value, int width) noexcept {
  if (width <= 0) return 0;
  const std::uint64_t most = (std::uint64_t{1} << width) - 1;
  return static_cast<std::uint8_t>((value * std::uint64_t{255} + most / 2) / most);
}

struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int width = 0;

  explicit Channel(std::uint32_t m) noexcept : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    width = 32 - std::countl_zero(m) - shift;
  }
  std::uint8_t operator()(std::uint32_t pixel) const noexcept {
    if (mask == 0) return 0;
    return toEight((pixel & mask) >> shift, std::min(width, 32));
  }
};

}  // namespace

BmpLayout readBmpLayout(std::span<const std::uint8_t> file) {
  BmpLayout layout;
  layout.infoSize = little32(file, 14);
  if (!knownInfoSize(layout.infoSize))
    fail("unknown header size " + std::to_string(layout.infoSize));
  int planes = 0;
  if (layout.infoSize == 12) {
    layout.width = little16(file, 18);
    layout.height = little16(file, 20);
    planes = little16(file, 22);
    layout.bitCount = little16(file, 24);
  } else {
    layout.width = static_cast<std::int32_t>(little32(file, 18));
    const std::int64_t height = static_cast<std::int32_t>(little32(file, 22));
    layout.topDown = height < 0;
    layout.height = height < 0 ? -height : height;
    planes = little16(file, 26);
    layout.bitCount = little16(file, 28);
    if (layout.infoSize >= 20) layout.compression = little32(file, 30);
  }
  if (planes != 1) fail("the plane count is " + std::to_string(planes));
  if (!imageSizeAllowed(layout.width, layout.height))
    fail("unsupported image size " + std::to_string(layout.width) + " x " +
         std::to_string(layout.height));
  // OS/2 2.x gives compression values 3 and 4 other meanings (Huffman, 24-bit run lengths).
  if (isOs2(layout.infoSize) && layout.compression > kRle4)
    fail("unsupported OS/2 compression " + std::to_string(layout.compression));

  std::size_t afterHeader = kFileHeaderBytes + layout.infoSize;
  if (layout.bitCount == 16 || layout.bitCount == 32) readMasks(layout, file, afterHeader);

  const std::uint32_t declaredOffset = little32(file, 10);
  layout.paletteAt = afterHeader;
  if (layout.bitCount <= 8) {
    const std::size_t most = std::size_t{1} << layout.bitCount;
    layout.paletteEntryBytes = layout.infoSize == 12 ? 3 : 4;
    std::size_t declared = layout.infoSize >= 36 ? little32(file, 46) : 0;
    if (layout.infoSize == 12 && declaredOffset > afterHeader) {
      // OS/2 1.x has no count: the palette fills the room before the pixels.
      declared = (declaredOffset - afterHeader) / 3;
    }
    if (declared == 0) declared = most;
    if (declared > most && afterHeader + declared * layout.paletteEntryBytes >
                               std::max<std::size_t>(declaredOffset, afterHeader))
      fail("the palette is larger than the room before the pixels");
    layout.paletteEntries = std::min(declared, most);
    // A palette that would run into the pixels ends where they begin.
    if (declaredOffset >= afterHeader)
      layout.paletteEntries = std::min(layout.paletteEntries,
                                       (declaredOffset - afterHeader) / layout.paletteEntryBytes);
    if (layout.paletteAt + layout.paletteEntries * layout.paletteEntryBytes > file.size())
      fail("the file ends inside its palette");
  }
  const std::size_t paletteEnd =
      layout.paletteAt + layout.paletteEntries * layout.paletteEntryBytes;
  // Writers that leave the offset 0 or point into the header get the pixels right after the
  // palette.
  layout.pixelsAt = declaredOffset < afterHeader ? paletteEnd : declaredOffset;
  return layout;
}

bool isUncompressed(const BmpLayout& layout) noexcept {
  switch (layout.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 24:
      return layout.compression == kRgb;
    case 16:
    case 32:
      return layout.compression == kRgb || layout.compression == kBitfields ||
             layout.compression == kAlphaBitfields;
    default:
      return false;
  }
}

std::array<TColor32, 256> bmpPalette(const BmpLayout& layout, std::span<const std::uint8_t> file) {
  std::array<TColor32, 256> palette{};
  palette.fill(clOpaqueBlack32);
  for (std::size_t i = 0; i < layout.paletteEntries; ++i) {
    const std::uint8_t* entry = file.data() + layout.paletteAt + i * layout.paletteEntryBytes;
    palette[i] = PackColor32(entry[2], entry[1], entry[0], 255);
  }
  return palette;
}

TBitmap32 readUncompressedBmp(const BmpLayout& layout, std::span<const std::uint8_t> file) {
  const auto width = static_cast<std::size_t>(layout.width);
  const auto height = static_cast<std::size_t>(layout.height);
  const std::size_t stride = (width * static_cast<std::size_t>(layout.bitCount) + 31) / 32 * 4;
  if (layout.pixelsAt > file.size() || stride * height > file.size() - layout.pixelsAt)
    fail("the file ends before all its pixels");

  const std::array<TColor32, 256> palette = bmpPalette(layout, file);
  const Channel red(layout.masks[0]);
  const Channel green(layout.masks[1]);
  const Channel blue(layout.masks[2]);
  // Only 32 bits bring their own alpha; every BMP of 1 to 24 bits comes in opaque.
  const Channel alpha(layout.bitCount == 32 ? layout.masks[3] : 0);

  TBitmap32 bitmap;
  bitmap.SetSize(static_cast<int>(width), static_cast<int>(height));
  for (std::size_t stored = 0; stored < height; ++stored) {
    const std::uint8_t* row = file.data() + layout.pixelsAt + stored * stride;
    TColor32* out = bitmap.FBits() + (layout.topDown ? stored : height - 1 - stored) * width;
    switch (layout.bitCount) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const int bits = layout.bitCount;
        const unsigned valueMask = (1u << bits) - 1;
        for (std::size_t x = 0; x < width; ++x) {
          const std::size_t bit = x * static_cast<std::size_t>(bits);
          const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & valueMask;
          out[x] = palette[index];
        }
        break;
      }
      case 24:
        for (std::size_t x = 0; x < width; ++x, row += 3)
          out[x] = PackColor32(row[2], row[1], row[0], 255);
        break;
      default: {
        const bool wide = layout.bitCount == 32;
        for (std::size_t x = 0; x < width; ++x) {
          const std::uint32_t pixel = wide ? little32({row, 4}, 0) : little16({row, 2}, 0);
          row += wide ? 4 : 2;
          out[x] = PackColor32(red(pixel), green(pixel), blue(pixel),
                               alpha.mask != 0 ? alpha(pixel) : 255);
        }
        break;
      }
    }
  }
  return bitmap;
}

}  // namespace tess
