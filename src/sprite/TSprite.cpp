#include "sprite/TSprite.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "sprite/EditorHost.h"
#include "sprite/TNStream.h"

namespace tess {

namespace {

constexpr int kSpriteSide = 32;
constexpr std::size_t kSpritePixels = 1024;
constexpr std::size_t kRecordHeader = 5;  // colour key and data size
// Every run pair carries at least one coloured pixel, so a record never holds more than one
// pair per pixel; one more byte lets putRgb store whole words.
constexpr std::size_t kMaxRecord = kRecordHeader + kSpritePixels * (4 + 3) + 1;

inline std::uint32_t le32(const std::uint8_t* p) noexcept {
  return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

inline std::uint16_t le16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline void putLe16(std::uint8_t* p, std::size_t value) noexcept {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

// `count` pixels of three bytes (red, green, blue) become opaque pixels. When at least one more
// byte follows them (`slack`), each pixel is read as one 4-byte load.
inline void decodeRun(const std::uint8_t* rgb, std::size_t count, bool slack,
                      TColor32* out) noexcept {
  const std::size_t wide = slack ? count : count - 1;
  std::size_t n = 0;
  for (; n < wide; ++n, rgb += 3) {
    const std::uint32_t v = le32(rgb);
    out[n] = 0xFF000000u | (v & 0xFFu) << 16 | (v & 0xFF00u) | (v >> 16 & 0xFFu);
  }
  for (; n < count; ++n, rgb += 3) out[n] = PackColor32(rgb[0], rgb[1], rgb[2], 0xFF);
}

// The red, green and blue bytes of a pixel, in that order, as the low three bytes of a
// little-endian word: storing the whole word and advancing by 3 writes one pixel.
inline void putRgb(std::uint8_t* out, TColor32 pixel) noexcept {
  const std::uint32_t v = (pixel >> 16 & 0xFFu) | (pixel & 0xFF00u) | (pixel & 0xFFu) << 16;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &v, sizeof v);
  } else {
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
    out[2] = static_cast<std::uint8_t>(v >> 16);
    out[3] = 0;
  }
}

void writeTableEntry(TNStream& stream, std::size_t entryPosition, std::uint32_t offset) {
  stream.seek(entryPosition);
  stream.writeInteger(static_cast<std::int32_t>(offset));
}

// Encodes 1024 pixels as a record (colour key, data size, run pairs) into `record`; returns its
// length. The host may handle its pending events at the start of every run pair.
//
// `pixels` holds one more element after the sprite's 1024, a sentinel that each scan sets so
// that it stops there without testing the index.
std::size_t encodeRecord(TColor32* pixels, std::uint8_t* record, IEditorHost& host) {
  constexpr TColor32 kStopsTransparentScan = 0xFF000000u;
  constexpr TColor32 kStopsColouredScan = 0;
  TColor32& sentinel = pixels[kSpritePixels];
  record[0] = 0xFF;
  record[1] = 0x00;
  record[2] = 0xFF;
  std::uint8_t* out = record + kRecordHeader;
  std::size_t i = 0;
  while (i < kSpritePixels) {
    host.processPendingEvents();
    const std::size_t runStart = i;
    sentinel = kStopsTransparentScan;
    while (AlphaOf(pixels[i]) == 0) ++i;
    // Trailing transparent pixels are never written; a sprite that is nothing else is the
    // empty record.
    if (i == kSpritePixels) break;
    putLe16(out, i - runStart);
    std::uint8_t* const countAt = out + 2;
    out += 4;
    const std::size_t colouredStart = i;
    sentinel = kStopsColouredScan;
    while (AlphaOf(pixels[i]) != 0) {
      putRgb(out, pixels[i]);  // the record buffer has room for the fourth byte
      out += 3;
      ++i;
    }
    putLe16(countAt, i - colouredStart);
  }
  const auto length = static_cast<std::size_t>(out - record);
  putLe16(record + 3, length - kRecordHeader);
  return length;
}

}  // namespace

void TSprite::writeSprite(std::int32_t id, std::size_t tableStart, TNStream& stream,
                          IEditorHost& host) const {
  const std::size_t recordAt = stream.position();
  const std::size_t entryAt = tableStart + 4 * (static_cast<std::size_t>(id) - 1);
  if (isDUmmy) {
    writeTableEntry(stream, entryAt, 0);
    stream.seek(recordAt);
    return;
  }
  if (!bitmap || bitmap->Width() != kSpriteSide || bitmap->Height() != kSpriteSide) {
    throw std::logic_error("Sprite " + std::to_string(id) + " has no 32x32 image");
  }
  if (recordAt > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("The sprite file would outgrow its 32-bit offsets");
  }

  // The host may run any command while the record is encoded, even one that frees this sprite,
  // so the pixels are copied first and `this` is not touched once the host has been called.
  std::array<TColor32, kSpritePixels + 1> pixels;
  std::copy_n(bitmap->FBits(), kSpritePixels, pixels.begin());

  writeTableEntry(stream, entryAt, static_cast<std::uint32_t>(recordAt));
  stream.seek(recordAt);
  std::array<std::uint8_t, kMaxRecord> record;
  const std::size_t length = encodeRecord(pixels.data(), record.data(), host);
  stream.write(record.data(), length);
}

std::unique_ptr<TSprite> readSprite(std::int32_t id, std::size_t tableStart, const TNStream& stream,
                                    TPixelPool* pool) {
  if (id < 1) return nullptr;
  const std::uint8_t* const data = stream.bytes().data();
  const std::size_t size = stream.size();

  const std::size_t entryAt = tableStart + 4 * (static_cast<std::size_t>(id) - 1);
  if (entryAt > size || size - entryAt < 4) return nullptr;

  auto sprite = std::make_unique<TSprite>();
  sprite->setID(id);
  sprite->isDUmmy = false;

  const std::size_t recordAt = le32(data + entryAt);
  if (recordAt == 0) {
    sprite->isDUmmy = true;
    return sprite;
  }
  if (recordAt > size || size - recordAt < kRecordHeader) return nullptr;
  const std::size_t dataSize = le16(data + recordAt + 3);
  if (dataSize == 0) {
    sprite->isDUmmy = true;
    return sprite;
  }
  const std::size_t end = recordAt + kRecordHeader + dataSize;
  if (end > size) return nullptr;

  sprite->bitmap = std::make_unique<TBitmap32>();
  sprite->bitmap->SetSizeForOverwrite(kSpriteSide, kSpriteSide, pool);
  TColor32* const pixels = sprite->bitmap->FBits();

  // Every pixel is written once: the gaps before coloured runs and after the last one are the
  // transparent pixels. A run pair that starts before the end of the data is read whole, as long
  // as it stays inside the file and the sprite.
  std::size_t position = recordAt + kRecordHeader;
  std::size_t index = 0;
  std::size_t written = 0;
  while (position < end) {
    if (size - position < 4) return nullptr;
    const std::size_t transparent = le16(data + position);
    const std::size_t coloured = le16(data + position + 2);
    position += 4;
    index += transparent;
    if (coloured == 0) continue;
    if (index > kSpritePixels || kSpritePixels - index < coloured) return nullptr;
    if ((size - position) / 3 < coloured) return nullptr;
    std::fill(pixels + written, pixels + index, clTransparentWhite32);
    decodeRun(data + position, coloured, size - position > 3 * coloured, pixels + index);
    position += 3 * coloured;
    index += coloured;
    written = index;
  }
  std::fill(pixels + written, pixels + kSpritePixels, clTransparentWhite32);
  return sprite;
}

}  // namespace tess
