#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tess::artwork {

using GifColour = std::array<std::uint8_t, 3>;

struct GifFrame {
  // One palette index per pixel, row-major from the top row.
  std::vector<std::uint8_t> indices;
  int delayCentiseconds = 0;
};

struct GifAnimation {
  int width = 0;
  int height = 0;
  // At most 256 entries; the encoder pads the table to 256.
  std::vector<GifColour> palette;
  int transparentIndex = 0;
  // 0 plays the frames without end.
  int loopCount = 0;
  std::vector<GifFrame> frames;
};

// Encodes a full-frame GIF89a animation. Every frame is disposed to the (transparent) background
// before the next one is drawn, so frames never show through each other. Throws
// std::invalid_argument when the animation is not encodable.
std::vector<std::uint8_t> encodeGif(const GifAnimation& animation);

}  // namespace tess::artwork
