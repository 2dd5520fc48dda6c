#include "image/BMP.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

#include "image/BmpUncompressed.h"
#include "image/fileBytes.h"
#include "image/imageLimits.h"

namespace tess {

namespace {

// File header (14 bytes) and the classic 40-byte info header.
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kHeaderBytes = kFileHeaderBytes + 40;
constexpr std::size_t kPixelOffsetAt = 10;
constexpr std::size_t kWidthAt = 18;
constexpr std::size_t kHeightAt = 22;
constexpr std::size_t kPlanesAt = 26;
constexpr std::size_t kBitCountAt = 28;
constexpr std::size_t kCompressionAt = 30;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

// A plain 32-bit BMP that ends early is still read as far as it goes, but only when the file
// holds at least half of the pixel data it declares, or is short of no more than this: beyond
// that the header is not believed and nothing is allocated for it.
constexpr std::uint64_t kUnbackedPixelBytes = std::uint64_t{1} << 20;
// No BMP encoding packs more pixels into a byte than run-length encoding does (255 pixels in
// two bytes), so a file declaring more than this per byte is refused before anything is
// allocated for it.
constexpr std::uint64_t kMaxPixelsPerByte = 256;
constexpr std::uint64_t kUnbackedPixels = std::uint64_t{1} << 20;

std::uint16_t readLittle16(std::span<const std::uint8_t> bytes, std::size_t at) noexcept {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t readLittle32(std::span<const std::uint8_t> bytes, std::size_t at) noexcept {
  return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) |
         (std::uint32_t{bytes[at + 2]} << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}

std::int32_t readSigned32(std::span<const std::uint8_t> bytes, std::size_t at) noexcept {
  return static_cast<std::int32_t>(readLittle32(bytes, at));
}

[[noreturn]] void fail(const std::string& why) { throw std::runtime_error("Invalid BMP: " + why); }

std::string sizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

bool isPlain32(std::span<const std::uint8_t> file) noexcept {
  return readLittle16(file, kPlanesAt) == 1 && readLittle16(file, kBitCountAt) == 32 &&
         readLittle32(file, kCompressionAt) == 0;
}

// Where the pixels start. Files with a larger info header say so in the file header; writers
// that leave that field 0 or too small get the 54 bytes of the classic layout.
std::size_t plainPixelOffset(std::span<const std::uint8_t> file) noexcept {
  const std::uint32_t declared = readLittle32(file, kPixelOffsetAt);
  if (declared < kHeaderBytes) return kHeaderBytes;
  return static_cast<std::size_t>(std::min<std::uint64_t>(declared, file.size()));
}

void readPlain32(TBitmap32& bitmap, std::span<const std::uint8_t> file) {
  const std::int64_t width = readSigned32(file, kWidthAt);
  const std::int64_t storedHeight = readSigned32(file, kHeightAt);
  const std::int64_t height = storedHeight < 0 ? -storedHeight : storedHeight;
  if (!imageSizeAllowed(width, height)) fail("unsupported image size " + sizeText(width, height));

  const std::size_t offset = plainPixelOffset(file);
  const std::uint64_t held = file.size() - offset;
  const std::uint64_t declared = static_cast<std::uint64_t>(width * height) * 4;
  if (declared > 2 * held + kUnbackedPixelBytes)
    fail("the header declares " + sizeText(width, height) +
         " pixels, far more than the file holds");

  bitmap.SetSize(static_cast<int>(width), static_cast<int>(height));
  // SetSize keeps the pixels when the size is unchanged; unread pixels must be black regardless.
  TColor32* const bits = bitmap.FBits();
  std::fill_n(bits, static_cast<std::size_t>(width * height), clOpaqueBlack32);

  const bool bottomUp = storedHeight > 0;
  const std::uint8_t* source = file.data() + offset;
  std::size_t remaining = file.size() - offset;
  for (std::int64_t row = 0; row < height; ++row) {
    TColor32* const target = bits + (bottomUp ? height - 1 - row : row) * width;
    const auto count = std::min(static_cast<std::size_t>(width), remaining / 4);
    for (std::size_t x = 0; x < count; ++x, source += 4) {
      target[x] = PackColor32(source[2], source[1], source[0], source[3]);
    }
    remaining -= count * 4;
    if (count < static_cast<std::size_t>(width)) fail("the file ends before all its pixels");
  }
}

// Where run-length codes put their pixels: a cursor that drops whatever falls outside the
// picture, so that runs past a row's end or moves past the last row do no harm.
class RunTarget {
 public:
  RunTarget(TBitmap32& bitmap, const BmpLayout& layout) noexcept
      : FBits(bitmap.FBits()),
        FWidth(static_cast<std::size_t>(layout.width)),
        FHeight(static_cast<std::size_t>(layout.height)),
        FTopDown(layout.topDown) {}

  void put(TColor32 color) noexcept {
    if (FX < FWidth && FRow < FHeight)
      FBits[(FTopDown ? FRow : FHeight - 1 - FRow) * FWidth + FX] = color;
    ++FX;
  }
  void nextRow() noexcept {
    FX = 0;
    ++FRow;
  }
  void move(std::size_t right, std::size_t up) noexcept {
    FX += right;
    FRow += up;
  }
  [[nodiscard]] bool done() const noexcept { return FRow >= FHeight; }
  [[nodiscard]] bool rowFull() const noexcept { return FX >= FWidth; }

 private:
  TColor32* FBits;
  std::size_t FWidth;
  std::size_t FHeight;
  bool FTopDown;
  std::size_t FX = 0;
  std::size_t FRow = 0;
};

// The index of the k-th pixel of a run: 8-bit codes give one index a byte, 4-bit codes two,
// high half first.
unsigned runIndex(int bitCount, const std::uint8_t* bytes, std::size_t k) noexcept {
  if (bitCount == 8) return bytes[k];
  const std::uint8_t pair = bytes[k / 2];
  return k % 2 == 0 ? pair >> 4 : pair & 15u;
}

// Run-length encoded palette pixels of 4 or 8 bits. Pixels the codes never set (skipped by an
// end of line, a move or an early end) come in opaque black, as indices past the palette's end
// do, so that the picture never depends on memory the decoder did not write. Codes past the end
// of the file end the picture.
TBitmap32 readRunLengths(const BmpLayout& layout, std::span<const std::uint8_t> file) {
  const std::uint64_t pixels = static_cast<std::uint64_t>(layout.width * layout.height);
  if (pixels > kMaxPixelsPerByte * file.size() + kUnbackedPixels)
    fail("the header declares " + sizeText(layout.width, layout.height) +
         " pixels, far more than the file holds");
  const std::array<TColor32, 256> palette = bmpPalette(layout, file);

  TBitmap32 bitmap;
  bitmap.SetSize(static_cast<int>(layout.width), static_cast<int>(layout.height));
  std::fill_n(bitmap.FBits(), static_cast<std::size_t>(pixels), clOpaqueBlack32);
  RunTarget target(bitmap, layout);
  const int bits = layout.bitCount;
  std::size_t at = std::min<std::size_t>(layout.pixelsAt, file.size());
  while (!target.done() && file.size() - at >= 2) {
    const std::uint8_t count = file[at];
    const std::uint8_t code = file[at + 1];
    at += 2;
    if (count > 0) {
      // A repeated run: `code` holds the index (or, for 4 bits, two indices taking turns).
      const std::uint8_t pattern[2] = {code, code};
      for (std::size_t k = 0; k < count && !target.rowFull(); ++k)
        target.put(palette[runIndex(bits, pattern, k % 2)]);
    } else if (code == 0) {
      target.nextRow();
    } else if (code == 1) {
      break;
    } else if (code == 2) {
      if (file.size() - at < 2) break;
      target.move(file[at], file[at + 1]);
      at += 2;
    } else {
      // A literal run of `code` indices, padded to an even number of bytes.
      const std::size_t bytes = bits == 8 ? code : (code + 1u) / 2;
      if (file.size() - at < bytes) break;
      for (std::size_t k = 0; k < code; ++k)
        target.put(palette[runIndex(bits, file.data() + at, k)]);
      at += std::min(file.size() - at, bytes + bytes % 2);
    }
  }
  return bitmap;
}

}  // namespace

void loadBmpBytes(TBitmap32& bitmap, std::span<const std::uint8_t> file) {
  if (file.size() < kHeaderBytes) fail("the file is shorter than a BMP header");
  if (file[0] != 'B' || file[1] != 'M') fail("the file does not start with \"BM\"");
  if (isPlain32(file)) {
    readPlain32(bitmap, file);
    return;
  }
  const BmpLayout layout = readBmpLayout(file);
  TBitmap32 decoded;
  if (isUncompressed(layout)) {
    decoded = readUncompressedBmp(layout, file);
  } else if ((layout.bitCount == 8 && layout.compression == kRle8) ||
             (layout.bitCount == 4 && layout.compression == kRle4)) {
    decoded = readRunLengths(layout, file);
  } else {
    fail("unsupported bit count " + std::to_string(layout.bitCount) + " with compression " +
         std::to_string(layout.compression));
  }
  // The import replaces the picture, not how the bitmap is drawn.
  decoded.DrawMode = bitmap.DrawMode;
  bitmap = std::move(decoded);
}

void loadBmpFile(TBitmap32& bitmap, const std::string& fileName) {
  loadBmpBytes(bitmap, readWholeFile(fileName));
}

}  // namespace tess
