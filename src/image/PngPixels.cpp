#include "image/PngPixels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tess {

namespace {

constexpr int kGray = 0;
constexpr int kTruecolor = 2;
constexpr int kPalette = 3;
constexpr int kGrayAlpha = 4;
constexpr int kTruecolorAlpha = 6;

// Reads the samples of one stored row.
class RowSamples {
 public:
  RowSamples(const DecodedPng& png, int y) noexcept
      : FRow(png.samples.data() + static_cast<std::size_t>(y) * png.rowBytes),
        FWide(png.bitDepth == 16),
        // Grey below 8 bits is scaled by bit replication, which for these depths is a product.
        FScale(png.bitDepth < 8 && png.colorType == kGray ? 255 / ((1 << png.bitDepth) - 1) : 1) {}

  // The sample brought to 8 bits.
  std::uint8_t eight(std::size_t k) const noexcept {
    return FWide ? FRow[2 * k] : static_cast<std::uint8_t>(FRow[k] * FScale);
  }
  // The sample as stored, at the image's own depth.
  std::uint16_t stored(std::size_t k) const noexcept {
    return FWide ? static_cast<std::uint16_t>((FRow[2 * k] << 8) | FRow[2 * k + 1]) : FRow[k];
  }
  std::uint8_t index(std::size_t k) const noexcept { return FRow[k]; }

 private:
  const std::uint8_t* FRow;
  bool FWide;
  int FScale;
};

int entriesBelowOpaque(const DecodedPng& png) noexcept {
  return static_cast<int>(std::count_if(png.paletteAlpha.begin(),
                                        png.paletteAlpha.begin() + png.transparencyCount,
                                        [](std::uint8_t t) { return t != 255; }));
}

// Every one of the 256 possible indices gets a colour, so a stored index past the palette's end
// reads as opaque black instead of outside the table.
std::array<TColor32, 256> paletteColors(const DecodedPng& png, PngTransparency kind,
                                        const GammaTable& gamma, ImportAlpha alpha) noexcept {
  std::array<PngRgb, 256> stored{};
  std::copy_n(png.palette.begin(), png.paletteSize, stored.begin());

  PngRgb key{};  // black when no entry is fully transparent
  const auto* const keyEntry = std::find(
      png.paletteAlpha.begin(), png.paletteAlpha.begin() + png.transparencyCount, std::uint8_t{0});
  if (keyEntry != png.paletteAlpha.begin() + png.transparencyCount) {
    key = stored[static_cast<std::size_t>(keyEntry - png.paletteAlpha.begin())];
  }

  std::array<TColor32, 256> colors{};
  for (std::size_t i = 0; i < colors.size(); ++i) {
    const std::uint8_t r = gamma[stored[i].red];
    const std::uint8_t g = gamma[stored[i].green];
    const std::uint8_t b = gamma[stored[i].blue];
    if (alpha == ImportAlpha::Keep) {
      // Entries past the tRNS chunk are opaque, as the format says.
      const std::uint8_t a =
          i < static_cast<std::size_t>(png.transparencyCount) ? png.paletteAlpha[i] : 255;
      colors[i] = PackColor32(r, g, b, a);
      continue;
    }
    switch (kind) {
      case PngTransparency::singleColor:
        colors[i] = PackColor32(r, g, b, stored[i] == key ? 0 : 255);
        break;
      case PngTransparency::paletteAlpha: {
        const std::uint8_t t = png.paletteAlpha[i];
        colors[i] =
            PackColor32(paletteAlphaMix(r, t), paletteAlphaMix(g, t), paletteAlphaMix(b, t), 255);
        break;
      }
      default:
        colors[i] = PackColor32(r, g, b, 255);
        break;
    }
  }
  return colors;
}

void convertPalette(const DecodedPng& png, PngTransparency kind, const GammaTable& gamma,
                    ImportAlpha alpha, TColor32* out) noexcept {
  const auto colors = paletteColors(png, kind, gamma, alpha);
  for (int y = 0; y < png.height; ++y) {
    const RowSamples row(png, y);
    for (int x = 0; x < png.width; ++x) *out++ = colors[row.index(static_cast<std::size_t>(x))];
  }
}

void convertGray(const DecodedPng& png, PngTransparency kind, const GammaTable& gamma,
                 TColor32* out) noexcept {
  const bool keyed = kind == PngTransparency::singleColor;
  for (int y = 0; y < png.height; ++y) {
    const RowSamples row(png, y);
    for (std::size_t x = 0; x < static_cast<std::size_t>(png.width); ++x) {
      const std::uint8_t v = gamma[row.eight(x)];
      const bool transparent = keyed && row.stored(x) == png.transparentGray;
      *out++ = PackColor32(v, v, v, transparent ? 0 : 255);
    }
  }
}

void convertTruecolor(const DecodedPng& png, PngTransparency kind, const GammaTable& gamma,
                      TColor32* out) noexcept {
  const bool keyed = kind == PngTransparency::singleColor;
  for (int y = 0; y < png.height; ++y) {
    const RowSamples row(png, y);
    for (std::size_t k = 0; k < 3 * static_cast<std::size_t>(png.width); k += 3) {
      const bool transparent = keyed && row.stored(k) == png.transparentRed &&
                               row.stored(k + 1) == png.transparentGreen &&
                               row.stored(k + 2) == png.transparentBlue;
      *out++ = PackColor32(gamma[row.eight(k)], gamma[row.eight(k + 1)], gamma[row.eight(k + 2)],
                           transparent ? 0 : 255);
    }
  }
}

void convertGrayAlpha(const DecodedPng& png, const GammaTable& gamma, ImportAlpha alpha,
                      TColor32* out) noexcept {
  const bool keep = alpha == ImportAlpha::Keep;
  for (int y = 0; y < png.height; ++y) {
    const RowSamples row(png, y);
    for (std::size_t k = 0; k < 2 * static_cast<std::size_t>(png.width); k += 2) {
      const std::uint8_t a = row.eight(k + 1);
      const std::uint8_t grey = gamma[row.eight(k)];
      const std::uint8_t v = keep ? grey : compositeOverWhite(grey, a);
      *out++ = PackColor32(v, v, v, a);
    }
  }
}

void convertTruecolorAlpha(const DecodedPng& png, const GammaTable& gamma, ImportAlpha alpha,
                           TColor32* out) noexcept {
  if (alpha == ImportAlpha::Keep) {
    for (int y = 0; y < png.height; ++y) {
      const RowSamples row(png, y);
      for (std::size_t k = 0; k < 4 * static_cast<std::size_t>(png.width); k += 4) {
        *out++ = PackColor32(gamma[row.eight(k)], gamma[row.eight(k + 1)], gamma[row.eight(k + 2)],
                             row.eight(k + 3));
      }
    }
    return;
  }
  for (int y = 0; y < png.height; ++y) {
    const RowSamples row(png, y);
    for (std::size_t k = 0; k < 4 * static_cast<std::size_t>(png.width); k += 4) {
      const std::uint8_t a = row.eight(k + 3);
      *out++ = PackColor32(compositeOverWhite(gamma[row.eight(k)], a),
                           compositeOverWhite(gamma[row.eight(k + 1)], a),
                           compositeOverWhite(gamma[row.eight(k + 2)], a), a);
    }
  }
}

}  // namespace

PngTransparency classifyTransparency(const DecodedPng& png) noexcept {
  switch (png.colorType) {
    case kGrayAlpha:
    case kTruecolorAlpha:
      return PngTransparency::alphaChannel;
    case kPalette:
      if (!png.hasTransparency) return PngTransparency::opaque;
      return entriesBelowOpaque(png) == 1 ? PngTransparency::singleColor
                                          : PngTransparency::paletteAlpha;
    default:
      return png.hasTransparency ? PngTransparency::singleColor : PngTransparency::opaque;
  }
}

GammaTable makeGammaTable(std::uint32_t gamma) noexcept {
  GammaTable table{};
  const double exponent = gamma != 0 ? 100000.0 / (2.2 * gamma) : 1.0;
  for (int v = 0; v < 256; ++v) {
    const double adjusted = gamma != 0 ? 255.0 * std::pow(v / 255.0, exponent) : v;
    table[static_cast<std::size_t>(v)] =
        static_cast<std::uint8_t>(std::clamp(std::lround(adjusted), 0L, 255L));
  }
  return table;
}

TBitmap32 pngToBitmap(const DecodedPng& png, ImportAlpha alpha) {
  TBitmap32 bitmap;
  bitmap.SetSize(png.width, png.height);
  if (bitmap.empty()) return bitmap;

  const PngTransparency kind = classifyTransparency(png);
  const GammaTable gamma = makeGammaTable(png.gamma);
  TColor32* const out = bitmap.FBits();
  switch (png.colorType) {
    case kGray:
      convertGray(png, kind, gamma, out);
      break;
    case kTruecolor:
      convertTruecolor(png, kind, gamma, out);
      break;
    case kPalette:
      convertPalette(png, kind, gamma, alpha, out);
      break;
    case kGrayAlpha:
      convertGrayAlpha(png, gamma, alpha, out);
      break;
    case kTruecolorAlpha:
      convertTruecolorAlpha(png, gamma, alpha, out);
      break;
    default:
      break;
  }
  return bitmap;
}

}  // namespace tess
