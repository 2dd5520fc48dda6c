#pragma once

#include <cstdint>

namespace tess {

// One pixel: alpha in bits 24-31, then red, green, blue. Straight (not premultiplied) alpha.
// In memory the bytes run blue, green, red, alpha, which is Qt's Format_ARGB32 layout.
using TColor32 = std::uint32_t;

// The transparent pixel the program writes everywhere: white with alpha 0.
inline constexpr TColor32 clTransparentWhite32 = 0x00FFFFFFu;
// What a freshly sized bitmap holds.
inline constexpr TColor32 clOpaqueBlack32 = 0xFF000000u;
// The colour key of BMP import.
inline constexpr TColor32 clMagenta32 = 0xFFFF00FFu;

constexpr TColor32 PackColor32(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                               std::uint8_t alpha) noexcept {
  return (TColor32{alpha} << 24) | (TColor32{red} << 16) | (TColor32{green} << 8) | blue;
}

constexpr void UnpackColor32(TColor32 color, std::uint8_t& red, std::uint8_t& green,
                             std::uint8_t& blue, std::uint8_t& alpha) noexcept {
  red = static_cast<std::uint8_t>(color >> 16);
  green = static_cast<std::uint8_t>(color >> 8);
  blue = static_cast<std::uint8_t>(color);
  alpha = static_cast<std::uint8_t>(color >> 24);
}

constexpr std::uint8_t AlphaOf(TColor32 color) noexcept {
  return static_cast<std::uint8_t>(color >> 24);
}

// `bgr` is a 24-bit platform colour laid out as 0x00BBGGRR (red in the low byte).
constexpr TColor32 OpaqueFromBGR(std::uint32_t bgr) noexcept {
  return PackColor32(static_cast<std::uint8_t>(bgr), static_cast<std::uint8_t>(bgr >> 8),
                     static_cast<std::uint8_t>(bgr >> 16), 0xFF);
}

}  // namespace tess
