#include "image/BMP.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <stdexcept>
#include <string>

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
// two bytes), so a file declaring more than this per byte is refused before Qt allocates.
constexpr std::uint64_t kMaxPixelsPerByte = 256;
constexpr std::uint64_t kUnbackedPixels = std::uint64_t{1} << 20;
// Qt's own cap on the memory for one decoded image, in MiB: the import limit as ARGB32.
constexpr int kQtAllocationLimitMiB = static_cast<int>(kMaxImagePixels * 4 >> 20);

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

void readWithQt(TBitmap32& bitmap, std::span<const std::uint8_t> file) {
  QBuffer buffer;
  buffer.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()),
                                         static_cast<qsizetype>(file.size())));
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "bmp");
  reader.setAutoDetectImageFormat(false);
  reader.setAllocationLimit(kQtAllocationLimitMiB);

  // Qt reports a top-down image's height as stored, negative.
  const QSize size = reader.size();
  if (size.width() <= 0 || size.height() == 0) fail("the header cannot be read");
  const std::int64_t width = size.width();
  const std::int64_t height = std::abs(static_cast<std::int64_t>(size.height()));
  if (!imageSizeAllowed(width, height)) fail("unsupported image size " + sizeText(width, height));
  if (static_cast<std::uint64_t>(width * height) >
      kMaxPixelsPerByte * file.size() + kUnbackedPixels)
    fail("the header declares " + sizeText(width, height) +
         " pixels, far more than the file holds");

  QImage image = reader.read();
  if (image.isNull()) fail(reader.errorString().toStdString());
  // Only run-length encoded palette files come here, and those are opaque.
  image = image.convertToFormat(QImage::Format_RGB32);
  if (image.isNull()) throw std::bad_alloc();

  TBitmap32 decoded;
  decoded.SetSize(image.width(), image.height());
  constexpr TColor32 opaque = 0xFF000000u;
  TColor32* out = decoded.FBits();
  for (int y = 0; y < image.height(); ++y) {
    // QRgb is 0xAARRGGBB, the same packing as TColor32.
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    out = std::transform(line, line + image.width(), out,
                         [](QRgb pixel) { return TColor32{pixel} | opaque; });
  }
  decoded.DrawMode = bitmap.DrawMode;
  bitmap = std::move(decoded);
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
  if (isUncompressed(layout)) {
    TBitmap32 decoded = readUncompressedBmp(layout, file);
    decoded.DrawMode = bitmap.DrawMode;
    bitmap = std::move(decoded);
  } else if (layout.bitCount <= 8 && (layout.compression == kRle8 || layout.compression == kRle4)) {
    readWithQt(bitmap, file);
  } else {
    fail("unsupported bit count " + std::to_string(layout.bitCount) + " with compression " +
         std::to_string(layout.compression));
  }
}

void loadBmpFile(TBitmap32& bitmap, const std::string& fileName) {
  loadBmpBytes(bitmap, readWholeFile(fileName));
}

}  // namespace tess
