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
static_assert(kSpriteRecordRoom >= kRecordHeader + 512 * 4 + 513 * 4 + kRecordSlack);

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

// Red, green, blue and alpha bytes, read as one little-endian word, as a pixel. Alpha 0 is the
// one transparent pixel there is, whatever colour the file gives it.
inline TColor32 fromRgbaWord(std::uint32_t v) noexcept {
  if ((v >> 24) == 0) return clTransparentWhite32;
  return (v & 0xFF00FF00u) | (v & 0xFFu) << 16 | (v >> 16 & 0xFFu);
}

void decodeRgbaRunScalar(const std::uint8_t* rgba, std::size_t count, TColor32* out) noexcept {
  for (std::size_t n = 0; n < count; ++n) out[n] = fromRgbaWord(le32(rgba + 4 * n));
}

#if defined(TESS_RGB_SHUFFLE)
__attribute__((target("ssse3"))) void decodeRgbaRunShuffled(const std::uint8_t* rgba,
                                                            std::size_t count,
                                                            TColor32* out) noexcept {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i white = _mm_set1_epi32(static_cast<int>(clTransparentWhite32));
  const __m128i zero = _mm_setzero_si128();
  std::size_t n = 0;
  for (; n + 4 <= count; n += 4) {
    const __m128i pixels =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba + 4 * n)), order);
    const __m128i transparent = _mm_cmpeq_epi32(_mm_and_si128(pixels, alpha), zero);
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(out + n),
        _mm_or_si128(_mm_andnot_si128(transparent, pixels), _mm_and_si128(transparent, white)));
  }
  decodeRgbaRunScalar(rgba + 4 * n, count - n, out + n);
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

// A pixel as its red, green, blue and alpha bytes, in that order.
inline void putRgba(std::uint8_t* out, TColor32 pixel) noexcept {
  const std::uint32_t v = (pixel & 0xFF00FF00u) | (pixel >> 16 & 0xFFu) | (pixel & 0xFFu) << 16;
  out[0] = static_cast<std::uint8_t>(v);
  out[1] = static_cast<std::uint8_t>(v >> 8);
  out[2] = static_cast<std::uint8_t>(v >> 16);
  out[3] = static_cast<std::uint8_t>(v >> 24);
}

// `raise` is or-ed into every pixel: 0xFF000000 stores every coloured pixel opaque.
std::uint8_t* putRgbaRunScalar(std::uint8_t* out, const TColor32* pixels, std::size_t count,
                               TColor32 raise) noexcept {
  for (std::size_t n = 0; n < count; ++n, out += 4) putRgba(out, pixels[n] | raise);
  return out;
}

#if defined(TESS_RGB_SHUFFLE)
__attribute__((target("ssse3"))) std::uint8_t* putRgbaRunShuffled(std::uint8_t* out,
                                                                  const TColor32* pixels,
                                                                  std::size_t count,
                                                                  TColor32 raise) noexcept {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  const __m128i raised = _mm_set1_epi32(static_cast<int>(raise));
  std::size_t n = 0;
  for (; n + 4 <= count; n += 4, out += 16) {
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + n));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_or_si128(_mm_shuffle_epi8(four, order), raised));
  }
  return putRgbaRunScalar(out, pixels + n, count - n, raise);
}
#endif

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

bool useFastLoops(TSprCodecPath path) noexcept {
  return path == TSprCodecPath::Fastest && sprFastPathAvailable();
}

// `count` pixels of `PixelBytes` bytes each, from `at`, where `readable` bytes may be read.
template <std::size_t PixelBytes>
void decodeRun(const std::uint8_t* at, std::size_t count, std::size_t readable, TColor32* out,
               [[maybe_unused]] bool fast) noexcept {
  if constexpr (PixelBytes == 3) {
#if defined(TESS_RGB_SHUFFLE)
    if (fast) return decodeRunShuffled(at, count, readable, out);
#endif
    decodeRunScalar(at, count, readable, out);
  } else {
    static_assert(PixelBytes == 4);
#if defined(TESS_RGB_SHUFFLE)
    if (fast) return decodeRgbaRunShuffled(at, count, out);
#endif
    decodeRgbaRunScalar(at, count, out);
  }
}

// Writes `count` pixels of `PixelBytes` bytes each; returns the end. May store up to
// kRecordSlack bytes past it.
template <std::size_t PixelBytes>
std::uint8_t* putRun(std::uint8_t* out, const TColor32* pixels, std::size_t count,
                     [[maybe_unused]] bool fast, [[maybe_unused]] TColor32 raise) noexcept {
  if constexpr (PixelBytes == 3) {
#if defined(TESS_RGB_SHUFFLE)
    if (fast) return putRgbRunShuffled(out, pixels, count);
#endif
    return putRgbRunScalar(out, pixels, count);
  } else {
    static_assert(PixelBytes == 4);
#if defined(TESS_RGB_SHUFFLE)
    if (fast) return putRgbaRunShuffled(out, pixels, count, raise);
#endif
    return putRgbaRunScalar(out, pixels, count, raise);
  }
}

// Bit b of word w is set when pixel 64 * w + b is coloured (alpha not 0). Runs are then found a
// word at a time instead of a pixel at a time.
using TColouredMask = std::array<std::uint64_t, kSpritePixels / 64>;

TColouredMask colouredMaskScalar(const TColor32* pixels) noexcept {
  TColouredMask mask;
  for (std::size_t w = 0; w < mask.size(); ++w) {
    std::uint64_t bits = 0;
    for (std::size_t b = 0; b < 64; ++b) {
      bits |= std::uint64_t{AlphaOf(pixels[64 * w + b]) != 0} << b;
    }
    mask[w] = bits;
  }
  return mask;
}

TColouredMask colouredMask(const TColor32* pixels, [[maybe_unused]] bool fast) noexcept {
#if defined(__SSE2__)
  if (!fast) return colouredMaskScalar(pixels);
  TColouredMask mask;
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
  return mask;
#else
  return colouredMaskScalar(pixels);
#endif
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
template <std::size_t PixelBytes>
std::size_t encodeRecord(const TColor32* pixels, std::uint8_t* record, std::size_t& runPairs,
                         bool fast, TColor32 raise) noexcept {
  const TColouredMask mask = colouredMask(pixels, fast);
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
    out = putRun<PixelBytes>(out, pixels + colouredStart, colouredEnd - colouredStart, fast, raise);
    i = colouredEnd;
  }
  const auto length = static_cast<std::size_t>(out - record);
  putLe16(record + 3, length - kRecordHeader);
  return length;
}

// Where a record's run data lies, once its table entry and header have been found inside the
// file.
struct TRecordSpan {
  enum class Kind { Outside, Empty, Runs };
  Kind kind = Kind::Outside;
  std::size_t begin = 0;  // the first run pair
  std::size_t end = 0;    // past the data size
};

TRecordSpan recordSpan(const std::uint8_t* data, std::size_t size, std::size_t entryAt,
                       std::size_t tableEnd) noexcept {
  using Kind = TRecordSpan::Kind;
  if (entryAt > size || size - entryAt < 4) return {};
  const std::size_t recordAt = le32(data + entryAt);
  if (recordAt == 0) return {Kind::Empty};
  if (recordAt < tableEnd || recordAt > size || size - recordAt < kRecordHeader) return {};
  const std::size_t dataSize = le16(data + recordAt + 3);
  if (dataSize == 0) return {Kind::Empty};
  const std::size_t begin = recordAt + kRecordHeader;
  const std::size_t end = begin + dataSize;
  if (end > size) return {};
  return {Kind::Runs, begin, end};
}

// How a walk over a record's run pairs ended.
struct TRunsWalked {
  bool inside = false;    // every pair read lay inside the file and the sprite
  std::size_t end = 0;    // the position after the last pair
  std::size_t index = 0;  // the pixel index after the last pair
};

// Walks the run pairs from `position` while it is before `end`, calling onRun(index, count,
// position) for every coloured run. A pair that starts before `end` is read whole, as long as
// it stays inside the file and the sprite.
template <std::size_t PixelBytes, typename OnRun>
TRunsWalked walkRuns(const std::uint8_t* data, std::size_t size, std::size_t position,
                     std::size_t end, OnRun&& onRun) noexcept {
  std::size_t index = 0;
  while (position < end) {
    if (size - position < 4) return {};
    const std::size_t transparent = le16(data + position);
    const std::size_t coloured = le16(data + position + 2);
    position += 4;
    index += transparent;
    if (coloured == 0) continue;
    if (index > kSpritePixels || kSpritePixels - index < coloured) return {};
    if ((size - position) / PixelBytes < coloured) return {};
    onRun(index, coloured, position);
    position += PixelBytes * coloured;
    index += coloured;
  }
  return {true, position, index};
}

template <std::size_t PixelBytes>
bool decodeRecord(const std::uint8_t* data, std::size_t size, const TRecordSpan& span,
                  TColor32* pixels, bool fast) noexcept {
  // Every pixel is written once: the gaps before coloured runs and after the last one are the
  // transparent pixels.
  std::size_t written = 0;
  const TRunsWalked walked = walkRuns<PixelBytes>(
      data, size, span.begin, span.end,
      [&](std::size_t index, std::size_t count, std::size_t position) {
        std::fill(pixels + written, pixels + index, clTransparentWhite32);
        decodeRun<PixelBytes>(data + position, count, size - position, pixels + index, fast);
        written = index + count;
      });
  if (!walked.inside) return false;
  std::fill(pixels + written, pixels + kSpritePixels, clTransparentWhite32);
  return true;
}

template <std::size_t PixelBytes>
bool runsHoldTogether(const std::uint8_t* data, std::size_t size,
                      const TRecordSpan& span) noexcept {
  const TRunsWalked walked = walkRuns<PixelBytes>(data, size, span.begin, span.end,
                                                  [](std::size_t, std::size_t, std::size_t) {});
  return walked.inside && walked.end == span.end && walked.index <= kSpritePixels;
}

}  // namespace

bool sprFastPathAvailable() noexcept {
#if defined(TESS_RGB_SHUFFLE)
  return kHasShuffle;
#else
  return false;
#endif
}

bool sprLayoutReads(const std::uint8_t* bytes, std::size_t size, TSprLayout layout) noexcept {
  const std::size_t tableStart = layout.tableStart();
  if (size < tableStart) return false;
  const std::int64_t count = layout.sprite32
                                 ? std::int64_t{static_cast<std::int32_t>(le32(bytes + 4))}
                                 : std::int64_t{le16(bytes + 4)};
  if (count <= 0) return false;
  const auto total = static_cast<std::size_t>(count);
  if ((size - tableStart) / 4 < total) return false;
  const std::size_t tableEnd = tableStart + 4 * total;
  for (std::size_t entryAt = tableStart; entryAt < tableEnd; entryAt += 4) {
    const TRecordSpan span = recordSpan(bytes, size, entryAt, tableEnd);
    if (span.kind == TRecordSpan::Kind::Outside) return false;
    if (span.kind == TRecordSpan::Kind::Empty) continue;
    const bool fits = layout.alpha ? runsHoldTogether<4>(bytes, size, span)
                                   : runsHoldTogether<3>(bytes, size, span);
    if (!fits) return false;
  }
  return true;
}

void TSprite::writeSprite(std::int32_t id, TSprLayout layout, TNStream& stream, IEditorHost& host,
                          TSprCodecPath path, TSprSavedAlpha alpha) const {
  const std::size_t recordAt = stream.position();
  const std::size_t entryAt = layout.tableStart() + 4 * (static_cast<std::size_t>(id) - 1);
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
  const bool fast = useFastLoops(path);
  const TColor32 raise = alpha == TSprSavedAlpha::Opaque ? 0xFF000000u : 0u;
  stream.writeInPlace(kSpriteRecordRoom, [&](std::uint8_t* record) {
    return layout.alpha ? encodeRecord<4>(pixels, record, runPairs, fast, raise)
                        : encodeRecord<3>(pixels, record, runPairs, fast, raise);
  });
  for (std::size_t pair = 0; pair < runPairs; ++pair) host.processPendingEvents();
}

std::size_t encodeSpriteRecord(const TSprite& sprite, TSprLayout layout, std::uint8_t* record,
                               TSprSavedAlpha alpha, TSprCodecPath path) {
  if (sprite.isDUmmy) return 0;
  const TBitmap32* const image = sprite.bitmap.get();
  if (!image || image->Width() != kSpriteSide || image->Height() != kSpriteSide) {
    throw std::logic_error("Sprite " + std::to_string(sprite.ID()) + " has no 32x32 image");
  }
  std::size_t runPairs = 0;
  const bool fast = useFastLoops(path);
  const TColor32 raise = alpha == TSprSavedAlpha::Opaque ? 0xFF000000u : 0u;
  return layout.alpha ? encodeRecord<4>(image->FBits(), record, runPairs, fast, raise)
                      : encodeRecord<3>(image->FBits(), record, runPairs, fast, raise);
}

namespace {

// Why sprite `id` cannot be read, in words. The checks follow the reader's, in its order, so the
// first one that fails is the reader's reason; only asked for once the reader has refused.
std::string recordProblem(std::int32_t id, TSprLayout layout, const std::uint8_t* data,
                          std::size_t size) {
  const std::size_t entryAt = layout.tableStart() + 4 * (static_cast<std::size_t>(id) - 1);
  if (entryAt > size || size - entryAt < 4) return "its table entry lies past the end of the file";
  const std::size_t recordAt = le32(data + entryAt);
  const std::string at = " (record at offset " + std::to_string(recordAt) + ")";
  if (recordAt > size || size - recordAt < kRecordHeader) {
    return "its record starts past the end of the file" + at;
  }
  const std::size_t end = recordAt + kRecordHeader + le16(data + recordAt + 3);
  if (end > size) return "its record runs past the end of the file" + at;
  std::size_t position = recordAt + kRecordHeader;
  std::size_t index = 0;
  while (position < end) {
    if (size - position < 4) return "a run pair runs past the end of the file" + at;
    const std::size_t transparent = le16(data + position);
    const std::size_t coloured = le16(data + position + 2);
    position += 4;
    index += transparent;
    if (coloured == 0) continue;
    if (index > kSpritePixels || kSpritePixels - index < coloured) {
      return "its runs cover more than 1024 pixels" + at;
    }
    if ((size - position) / layout.pixelBytes() < coloured) {
      return "its pixels run past the end of the file" + at;
    }
    position += layout.pixelBytes() * coloured;
    index += coloured;
  }
  return "its record cannot be read" + at;
}

std::unique_ptr<TSprite> decodeSprite(std::int32_t id, TSprLayout layout, const TNStream& stream,
                                      TPixelPool* pool, TSprCodecPath path) {
  if (id < 1) return nullptr;
  const std::uint8_t* const data = stream.bytes().data();
  const std::size_t size = stream.size();

  const std::size_t entryAt = layout.tableStart() + 4 * (static_cast<std::size_t>(id) - 1);
  // Records may lie anywhere in the file, the table included.
  const TRecordSpan span = recordSpan(data, size, entryAt, 0);
  if (span.kind == TRecordSpan::Kind::Outside) return nullptr;

  auto sprite = std::make_unique<TSprite>();
  sprite->setID(id);
  sprite->isDUmmy = span.kind == TRecordSpan::Kind::Empty;
  if (sprite->isDUmmy) return sprite;

  sprite->bitmap = std::make_unique<TBitmap32>();
  sprite->bitmap->SetSizeForOverwrite(kSpriteSide, kSpriteSide, pool);
  TColor32* const pixels = sprite->bitmap->FBits();
  const bool fast = useFastLoops(path);
  const bool decoded = layout.alpha ? decodeRecord<4>(data, size, span, pixels, fast)
                                    : decodeRecord<3>(data, size, span, pixels, fast);
  if (!decoded) return nullptr;
  return sprite;
}

}  // namespace

std::unique_ptr<TSprite> readSprite(std::int32_t id, TSprLayout layout, const TNStream& stream,
                                    TPixelPool* pool, TSprCodecPath path, std::string* why) {
  std::unique_ptr<TSprite> sprite = decodeSprite(id, layout, stream, pool, path);
  if (!sprite && why && id >= 1) {
    *why = recordProblem(id, layout, stream.bytes().data(), stream.size());
  }
  return sprite;
}

}  // namespace tess
