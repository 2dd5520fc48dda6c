#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tess {

class FileReader;

struct PngRgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const PngRgb&, const PngRgb&) = default;
};

// A PNG as stored, before any of the program's colour rules: samples at their own depth, so that
// a transparent colour can be matched exactly.
struct DecodedPng {
  int width = 0;
  int height = 0;
  int bitDepth = 0;   // 1, 2, 4, 8 or 16
  int colorType = 0;  // 0 grey, 2 truecolour, 3 palette, 4 grey + alpha, 6 truecolour + alpha
  int channels = 0;

  // Rows one after another, rowBytes each. Samples below 8 bits are one to a byte, not
  // scaled; 16-bit samples are two bytes, high byte first.
  std::vector<std::uint8_t> samples;
  std::size_t rowBytes = 0;

  std::array<PngRgb, 256> palette{};
  int paletteSize = 0;

  // The tRNS chunk. For a palette image, the alpha of each entry (255 past the chunk's end);
  // for grey and truecolour, the transparent sample values at the image's own depth.
  bool hasTransparency = false;
  int transparencyCount = 0;
  std::array<std::uint8_t, 256> paletteAlpha{};
  std::uint16_t transparentGray = 0;
  std::uint16_t transparentRed = 0;
  std::uint16_t transparentGreen = 0;
  std::uint16_t transparentBlue = 0;

  // The gAMA value (gamma times 100000), 0 when the image has none.
  std::uint32_t gamma = 0;
};

// Decodes a whole PNG file held in memory, every colour type, bit depth and interlacing. Throws
// std::runtime_error for anything that is not a valid PNG: a bad signature, a CRC error in any
// chunk, a truncated stream, a chunk declaring more bytes than the file still holds (checked for
// every chunk before the codec sees any), or a header declaring more than the import limits or
// more pixels than the file's compressed data could hold.
[[nodiscard]] DecodedPng decodePng(std::span<const std::uint8_t> file);

// The same for a file on disk, read as the decoder goes: the chunks it skips (text, profiles,
// chunks of unknown kind) are checked but never held, so the memory it takes follows the
// picture, not the file.
[[nodiscard]] DecodedPng decodePng(FileReader& file);

// The gAMA value the file declares where the format allows it (before PLTE and IDAT, 4 bytes,
// the first one only), or 0. `file` must start at the signature.
[[nodiscard]] std::uint32_t findGamma(std::span<const std::uint8_t> file) noexcept;

}  // namespace tess
