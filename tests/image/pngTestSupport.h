#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace tess::testing {

using Bytes = std::vector<std::uint8_t>;

// A PNG to write for a test: samples at the image's own depth, `channels` per pixel, row-major.
struct PngFixture {
  int width = 1;
  int height = 1;
  int colorType = 6;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<std::uint16_t> samples;
  std::vector<std::array<std::uint8_t, 3>> palette;
  // tRNS: palette alphas for colour type 3, or grey / red, green, blue sample values.
  std::optional<std::vector<std::uint16_t>> transparency;
  std::optional<std::uint32_t> gamma;
};

int channelsOf(int colorType);

// Encodes a fixture with libpng; fails the current test (and returns nothing) on a libpng error.
Bytes encodePng(const PngFixture& fixture);

struct Chunk {
  std::string type;
  Bytes data;
};

// The chunks of a PNG file after its signature; empty when the structure is broken.
std::vector<Chunk> parseChunks(const Bytes& png);
// A PNG file made of exactly these chunks, with correct lengths and CRCs.
Bytes assemblePng(const std::vector<Chunk>& chunks);
Bytes ihdrData(std::uint32_t width, std::uint32_t height, int bitDepth, int colorType,
               int interlace = 0);

Bytes readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const Bytes& bytes);

}  // namespace tess::testing
