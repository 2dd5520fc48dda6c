#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tess {

// How a sprite file is laid out. Nothing in the file tells: the client version does.
struct TSprLayout {
  // The sprite count is 32 bits wide (else 16).
  bool sprite32 = false;
  // Every coloured pixel is red, green, blue and alpha (else red, green, blue, fully opaque).
  bool alpha = false;

  constexpr std::size_t tableStart() const noexcept { return sprite32 ? 8 : 6; }
  constexpr std::size_t countBits() const noexcept { return sprite32 ? 32 : 16; }
  constexpr std::size_t pixelBytes() const noexcept { return alpha ? 4 : 3; }

  friend constexpr bool operator==(const TSprLayout&, const TSprLayout&) = default;
};

// Every layout there is, the plain 16-bit one first.
inline constexpr std::array<TSprLayout, 4> kSprLayouts = {
    TSprLayout{false, false}, TSprLayout{true, false}, TSprLayout{false, true},
    TSprLayout{true, true}};

// Which pixel loops the record reader and writer use. Both give the same bytes and pixels; the
// choice exists so that tests can run the portable loops on processors that have the fast ones.
enum class TSprCodecPath {
  Fastest,  // the vector loops where the processor has them
  Portable  // plain loops only
};

// What a save into a layout with alpha stores as the alpha of a coloured pixel.
enum class TSprSavedAlpha {
  AsItIs,  // the pixel's own alpha (1 to 255)
  Opaque   // 255: for sprites that come from a file without alpha, whose pixels are opaque
};

// Whether the fast loops run on this processor when Fastest is asked for.
bool sprFastPathAvailable() noexcept;

// Whether `bytes` read as a sprite file of `layout` hold together: a count above 0, an offset
// table inside the file, and every record inside the file and past the table, with run pairs
// that stay within the sprite's 1024 pixels and end exactly where the record's data size says.
// Looks only at the table and the run headers; no pixel is decoded.
bool sprLayoutReads(const std::uint8_t* bytes, std::size_t size, TSprLayout layout) noexcept;

}  // namespace tess
