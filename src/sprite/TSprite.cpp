#include "sprite/TSprite.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define TESS_RGB_SHUFFLE 1
#endif

#include "sprite/EditorHost.h"
#include "sprite/TNStream.h"

namespace tess {

namespace {

constexpr int kSpriteSide = 32;
constexpr std::size_t kSpritePixels = 1024;
constexpr std::size_t kRecordHeader = 5;  // colour key and data size
// The RGB writers store whole words and may write this far past their end.
constexpr std::size_t kRecordSlack = 4;
static_assert(kSpriteRecordRoom >= kRecordHeader + 512 * 4 + 513 * 3 + kRecordSlack);

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

// `count` pixels of three bytes (red, green, blue) become opaque pixels. `readable` is how many
// bytes may be read from `rgb` on: where they reach past the run, pixels are read as whole words.
inline void decodeRunScalar(const std::uint8_t* rgb, std::size_t count, std::size_t readable,
                            TColor32* out) noexcept {
  std::size_t n = 0;
  for (; n < count && readable - 3 * n >= 4; ++n, rgb += 3) {
    const std::uint32_t v = le32(rgb);
    out[n] = 0xFF000000u | (v & 0xFFu) << 16 | (v & 0xFF00u) | (v >> 16 & 0xFFu);
  }
  for (; n < count; ++n, rgb += 3) out[n] = PackColor32(rgb[0], rgb[1], rgb[2], 0xFF);
}

#if defined(TESS_RGB_SHUFFLE)
// The same, four pixels to a byte shuffle.
__attribute__((target("ssse3"))) void decodeRunShuffled(const std::uint8_t* rgb, std::size_t count,
                                                        std::size_t readable,
                                                        TColor32* out) noexcept {
  const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  std::size_t n = 0;
  // Each step reads 16 bytes to use 12.
  for (; n + 4 <= count && readable - 3 * n >= 16; n += 4) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 3 * n));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n),
                     _mm_or_si128(_mm_shuffle_epi8(bytes, order), opaque));
  }
  decodeRunScalar(rgb + 3 * n, count - n, readable - 3 * n, out + n);
}
#endif

// The red, green and blue bytes of a pixel, in that order, as the low three bytes of a
// little-endian word: storing the whole word and advancing by 3 writes one pixel.
inline void putRgb(std::uint8_t* out, TColor32 pixel) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint32_t v = __builtin_bswap32(pixel) >> 8;
    std::memcpy(out, &v, sizeof v);
  } else {
    out[0] = static_cast<std::uint8_t>(pixel >> 16);
    out[1] = static_cast<std::uint8_t>(pixel >> 8);
    out[2] = static_cast<std::uint8_t>(pixel);
    out[3] = 0;
  }
}

// Writes `count` pixels as their red, green and blue bytes; returns the end. May store up to 4
// bytes past the end (see kRecordSlack).
std::uint8_t* putRgbRunScalar(std::uint8_t* out, const TColor32* pixels,
                              std::size_t count) noexcept {
  for (std::size_t n = 0; n < count; ++n, out += 3) putRgb(out, pixels[n]);
  return out;
}

#if defined(TESS_RGB_SHUFFLE)
// The same, four pixels to a byte shuffle, on processors that have one (nearly all x86-64 ones).
__attribute__((target("ssse3"))) std::uint8_t* putRgbRunShuffled(std::uint8_t* out,
                                                                 const TColor32* pixels,
                                                                 std::size_t count) noexcept {
  // Pixels are stored blue, green, red, alpha; the record wants red, green, blue.
  const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  std::size_t n = 0;
  for (; n + 4 <= count; n += 4, out += 12) {
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + n));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(four, order));
  }
  return putRgbRunScalar(out, pixels + n, count - n);
}

// Asked at start-up, possibly before the run-time library has looked at the processor itself.
const bool kHasShuffle = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") != 0;
}();
#endif

void decodeRun(const std::uint8_t* rgb, std::size_t count, std::size_t readable,
               TColor32* out) noexcept {
#if defined(TESS_RGB_SHUFFLE)
  if (kHasShuffle) return decodeRunShuffled(rgb, count, readable, out);
#endif
  decodeRunScalar(rgb, count, readable, out);
}

std::uint8_t* putRgbRun(std::uint8_t* out, const TColor32* pixels, std::size_t count) noexcept {
#if defined(TESS_RGB_SHUFFLE)
  if (kHasShuffle) return putRgbRunShuffled(out, pixels, count);
#endif
  return putRgbRunScalar(out, pixels, count);
}

// Bit b of word w is set when pixel 64 * w + b is coloured (alpha not 0). Runs are then found a
// word at a time instead of a pixel at a time.
using TColouredMask = std::array<std::uint64_t, kSpritePixels / 64>;

TColouredMask colouredMask(const TColor32* pixels) noexcept {
  TColouredMask mask;
#if defined(__SSE2__)
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i zero = _mm_setzero_si128();
  const auto transparent4 = [&](const TColor32* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm_cmpeq_epi32(_mm_and_si128(v, alpha), zero);
  };
  for (std::size_t w = 0; w < mask.size(); ++w) {
    std::uint64_t bits = 0;
    for (std::size_t part = 0; part < 4; ++part) {
      const TColor32* const p = pixels + 64 * w + 16 * part;
      // All-ones and all-zero lanes survive the saturating packs, in pixel order.
      const __m128i low = _mm_packs_epi32(transparent4(p), transparent4(p + 4));
      const __m128i high = _mm_packs_epi32(transparent4(p + 8), transparent4(p + 12));
      const auto transparent =
          static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
      bits |= std::uint64_t{~transparent & 0xFFFFu} << (16 * part);
    }
    mask[w] = bits;
  }
#else
  for (std::size_t w = 0; w < mask.size(); ++w) {
    std::uint64_t bits = 0;
    for (std::size_t b = 0; b < 64; ++b) {
      bits |= std::uint64_t{AlphaOf(pixels[64 * w + b]) != 0} << b;
    }
    mask[w] = bits;
  }
#endif
  return mask;
}

// The first pixel from `i` on that is coloured (or transparent, when `coloured` is false), or
// 1024 when there is none.
std::size_t findPixel(const TColouredMask& mask, std::size_t i, bool coloured) noexcept {
  while (i < kSpritePixels) {
    const std::uint64_t word = coloured ? mask[i / 64] : ~mask[i / 64];
    const std::uint64_t ahead = word >> (i % 64);
    if (ahead != 0) return i + static_cast<std::size_t>(std::countr_zero(ahead));
    i = (i / 64 + 1) * 64;
  }
  return kSpritePixels;
}

void writeTableEntry(TNStream& stream, std::size_t entryPosition, std::uint32_t offset) {
  stream.seek(entryPosition);
  stream.writeInteger(static_cast<std::int32_t>(offset));
}

// Encodes 1024 pixels as a record (colour key, data size, run pairs) into `record`; returns its
// length and, in `runPairs`, how many run pairs the encoder started, counting a last one that
// found only transparent pixels.
std::size_t encodeRecord(const TColor32* pixels, std::uint8_t* record,
                         std::size_t& runPairs) noexcept {
  const TColouredMask mask = colouredMask(pixels);
  record[0] = 0xFF;
  record[1] = 0x00;
  record[2] = 0xFF;
  std::uint8_t* out = record + kRecordHeader;
  runPairs = 0;
  std::size_t i = 0;
  while (i < kSpritePixels) {
    ++runPairs;
    const std::size_t colouredStart = findPixel(mask, i, true);
    // Trailing transparent pixels are never written; a sprite that is nothing else is the
    // empty record.
    if (colouredStart == kSpritePixels) break;
    const std::size_t colouredEnd = findPixel(mask, colouredStart, false);
    putLe16(out, colouredStart - i);
    putLe16(out + 2, colouredEnd - colouredStart);
    out += 4;
    out = putRgbRun(out, pixels + colouredStart, colouredEnd - colouredStart);
    i = colouredEnd;
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

  writeTableEntry(stream, entryAt, static_cast<std::uint32_t>(recordAt));
  stream.seek(recordAt);
  // The whole record is encoded before the host runs the pending events of its run pairs: a
  // command run from there may change or free this sprite, and `this` is not touched after.
  std::size_t runPairs = 0;
  const TColor32* const pixels = bitmap->FBits();
  stream.writeInPlace(kSpriteRecordRoom,
                      [&](std::uint8_t* record) { return encodeRecord(pixels, record, runPairs); });
  for (std::size_t pair = 0; pair < runPairs; ++pair) host.processPendingEvents();
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
    decodeRun(data + position, coloured, size - position, pixels + index);
    position += 3 * coloured;
    index += coloured;
    written = index;
  }
  std::fill(pixels + written, pixels + kSpritePixels, clTransparentWhite32);
  return sprite;
}

}  // namespace tess
