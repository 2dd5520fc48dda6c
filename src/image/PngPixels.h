#pragma once

#include <array>
#include <cstdint>

#include "bitmap/TBitmap32.h"
#include "image/PngDecoder.h"
#include "image/imageAlpha.h"

namespace tess {

// How an imported PNG's transparency becomes pixels.
enum class PngTransparency {
  opaque,        // grey, truecolour and palette images without tRNS
  singleColor,   // grey and truecolour with tRNS; palette with exactly one tRNS entry below 255
  alphaChannel,  // grey + alpha and truecolour + alpha
  paletteAlpha,  // palette with tRNS whose entries below 255 number zero or two and more
};

PngTransparency classifyTransparency(const DecodedPng& png) noexcept;

// v -> 255 * (v / 255) ^ (100000 / (2.2 * gamma)), to the nearest integer. The identity for a
// gamma of 0 (none).
using GammaTable = std::array<std::uint8_t, 256>;
GammaTable makeGammaTable(std::uint32_t gamma) noexcept;

// A colour value with alpha a composited over white, dividing by 255.
constexpr std::uint8_t compositeOverWhite(std::uint8_t color, std::uint8_t alpha) noexcept {
  return static_cast<std::uint8_t>((255u * (255u - alpha) + unsigned{color} * alpha + 127u) / 255u);
}

// A palette colour with transparency t lightened towards white, dividing by 256.
constexpr std::uint8_t paletteAlphaMix(std::uint8_t color, std::uint8_t t) noexcept {
  return static_cast<std::uint8_t>((unsigned{t} * color + (255u - t) * 255u + 255u) / 256u);
}

// The bitmap the program makes of a decoded PNG: its own size, samples brought to 8 bits (high
// byte of 16, low-bit grey scaled up), gAMA applied to the colours, and the transparency kind's
// rule applied to every pixel. A transparent colour is matched against the stored samples at
// the image's own depth, before gAMA, so neither 16-bit samples nor gamma can blur the match.
// With ImportAlpha::Keep, partly transparent pixels keep their own colour and alpha instead of
// being composited over white, and every palette entry keeps its own tRNS alpha.
// Throws std::bad_alloc when memory runs out.
TBitmap32 pngToBitmap(const DecodedPng& png, ImportAlpha alpha = ImportAlpha::OverWhite);

}  // namespace tess
