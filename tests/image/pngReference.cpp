#include "pngReference.h"

#include <zlib.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <span>

namespace tess::testing {

namespace {

// The rules, one pixel at a time, written from the description of the import rather than from
// the decoder.
std::uint8_t referenceTo8(std::uint16_t sample, int bitDepth, bool gray) {
  if (bitDepth == 16) return static_cast<std::uint8_t>(sample >> 8);
  if (bitDepth < 8 && gray) return static_cast<std::uint8_t>(sample * 255 / ((1 << bitDepth) - 1));
  return static_cast<std::uint8_t>(sample);
}

std::uint8_t overWhite(std::uint8_t c, std::uint8_t a) {
  return static_cast<std::uint8_t>((255 * (255 - a) + c * a + 127) / 255);
}

std::uint8_t towardsWhite(std::uint8_t c, std::uint8_t t) {
  return static_cast<std::uint8_t>((t * c + (255 - t) * 255 + 255) / 256);
}

struct Pass {
  int x0, y0, dx, dy;
};

constexpr Pass kWhole[] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

int paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

std::uint32_t bigEndian32(const Bytes& data, std::size_t at) {
  return (std::uint32_t{data.at(at)} << 24) | (data.at(at + 1) << 16) | (data.at(at + 2) << 8) |
         data.at(at + 3);
}

}  // namespace

std::uint8_t referenceGamma(std::uint8_t v, std::uint32_t gamma) {
  if (gamma == 0) return v;
  return static_cast<std::uint8_t>(
      std::lround(255.0 * std::pow(v / 255.0, 100000.0 / (2.2 * gamma))));
}

TColor32 referencePixel(const PngFixture& f, int x, int y) {
  const int channels = channelsOf(f.colorType);
  const auto* s = f.samples.data() + (static_cast<std::size_t>(y) * f.width + x) * channels;
  const std::uint32_t g = f.gamma.value_or(0);
  const auto eight = [&](int c) { return referenceTo8(s[c], f.bitDepth, f.colorType == 0); };
  const auto& t = f.transparency;
  switch (f.colorType) {
    case 0: {
      const std::uint8_t v = referenceGamma(eight(0), g);
      return PackColor32(v, v, v, t && s[0] == (*t)[0] ? 0 : 255);
    }
    case 2: {
      const bool key = t && s[0] == (*t)[0] && s[1] == (*t)[1] && s[2] == (*t)[2];
      return PackColor32(referenceGamma(eight(0), g), referenceGamma(eight(1), g),
                         referenceGamma(eight(2), g), key ? 0 : 255);
    }
    case 4: {
      const std::uint8_t a = eight(1);
      const std::uint8_t v = overWhite(referenceGamma(eight(0), g), a);
      return PackColor32(v, v, v, a);
    }
    case 6: {
      const std::uint8_t a = eight(3);
      return PackColor32(overWhite(referenceGamma(eight(0), g), a),
                         overWhite(referenceGamma(eight(1), g), a),
                         overWhite(referenceGamma(eight(2), g), a), a);
    }
    default: {
      const auto& entry = f.palette.at(s[0]);
      const auto r = referenceGamma(entry[0], g), gr = referenceGamma(entry[1], g),
                 b = referenceGamma(entry[2], g);
      if (!t) return PackColor32(r, gr, b, 255);
      int belowOpaque = 0;
      for (auto v : *t) belowOpaque += v != 255;
      if (belowOpaque == 1) {
        std::array<std::uint8_t, 3> key{0, 0, 0};
        for (std::size_t i = 0; i < t->size(); ++i) {
          if ((*t)[i] == 0) {
            key = f.palette.at(i);
            break;
          }
        }
        return PackColor32(r, gr, b, entry == key ? 0 : 255);
      }
      const auto alpha = s[0] < t->size() ? static_cast<std::uint8_t>((*t)[s[0]]) : 255;
      return PackColor32(towardsWhite(r, alpha), towardsWhite(gr, alpha), towardsWhite(b, alpha),
                         255);
    }
  }
}

std::optional<PngFixture> referenceDecode(const Bytes& file) {
  PngFixture png;
  Bytes compressed;
  bool gammaAllowed = true;
  int interlace = 0;
  for (const Chunk& chunk : parseChunks(file)) {
    if (chunk.type == "IHDR") {
      png.width = static_cast<int>(bigEndian32(chunk.data, 0));
      png.height = static_cast<int>(bigEndian32(chunk.data, 4));
      png.bitDepth = chunk.data.at(8);
      png.colorType = chunk.data.at(9);
      interlace = chunk.data.at(12);
    } else if (chunk.type == "PLTE") {
      gammaAllowed = false;
      for (std::size_t i = 0; i + 2 < chunk.data.size(); i += 3)
        png.palette.push_back({chunk.data[i], chunk.data[i + 1], chunk.data[i + 2]});
    } else if (chunk.type == "IDAT") {
      gammaAllowed = false;
      compressed.insert(compressed.end(), chunk.data.begin(), chunk.data.end());
    } else if (chunk.type == "tRNS") {
      std::vector<std::uint16_t> values;
      if (png.colorType == 3) {
        values.assign(chunk.data.begin(), chunk.data.end());
      } else {
        for (std::size_t i = 0; i + 1 < chunk.data.size(); i += 2)
          values.push_back(static_cast<std::uint16_t>((chunk.data[i] << 8) | chunk.data[i + 1]));
      }
      png.transparency = values;
    } else if (chunk.type == "gAMA" && gammaAllowed && !png.gamma && chunk.data.size() == 4) {
      if (const std::uint32_t g = bigEndian32(chunk.data, 0); g != 0) png.gamma = g;
    }
  }
  if (png.width <= 0 || png.height <= 0) return std::nullopt;

  const int channels = channelsOf(png.colorType);
  const int bitsPerPixel = channels * png.bitDepth;
  const std::size_t filterStep = static_cast<std::size_t>(std::max(1, bitsPerPixel / 8));
  const auto passes = interlace ? std::span<const Pass>(kAdam7) : std::span<const Pass>(kWhole);

  std::size_t rawSize = 0;
  for (const Pass& p : passes) {
    const int pw = (png.width - p.x0 + p.dx - 1) / p.dx;
    const int ph = (png.height - p.y0 + p.dy - 1) / p.dy;
    if (pw > 0 && ph > 0)
      rawSize += ph * (1 + (static_cast<std::size_t>(pw) * bitsPerPixel + 7) / 8);
  }
  Bytes raw(rawSize);
  uLongf rawLength = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &rawLength, compressed.data(),
                 static_cast<uLong>(compressed.size())) != Z_OK ||
      rawLength != raw.size())
    return std::nullopt;

  png.samples.assign(static_cast<std::size_t>(png.width) * png.height * channels, 0);
  std::size_t at = 0;
  for (const Pass& p : passes) {
    const int pw = (png.width - p.x0 + p.dx - 1) / p.dx;
    const int ph = (png.height - p.y0 + p.dy - 1) / p.dy;
    if (pw <= 0 || ph <= 0) continue;
    const std::size_t rowBytes = (static_cast<std::size_t>(pw) * bitsPerPixel + 7) / 8;
    Bytes previous(rowBytes, 0);
    for (int py = 0; py < ph; ++py) {
      const int filter = raw[at++];
      Bytes row(raw.begin() + static_cast<std::ptrdiff_t>(at),
                raw.begin() + static_cast<std::ptrdiff_t>(at + rowBytes));
      at += rowBytes;
      for (std::size_t i = 0; i < rowBytes; ++i) {
        const int a = i >= filterStep ? row[i - filterStep] : 0;
        const int b = previous[i];
        const int c = i >= filterStep ? previous[i - filterStep] : 0;
        const int add = filter == 1   ? a
                        : filter == 2 ? b
                        : filter == 3 ? (a + b) / 2
                        : filter == 4 ? paeth(a, b, c)
                                      : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + add);
      }
      for (int px = 0; px < pw; ++px) {
        const std::size_t x = static_cast<std::size_t>(p.x0 + px * p.dx);
        const std::size_t y = static_cast<std::size_t>(p.y0 + py * p.dy);
        for (int ch = 0; ch < channels; ++ch) {
          const std::size_t k = static_cast<std::size_t>(px) * channels + ch;
          std::uint16_t v = 0;
          if (png.bitDepth == 16) {
            v = static_cast<std::uint16_t>((row[2 * k] << 8) | row[2 * k + 1]);
          } else {
            const std::size_t bit = k * png.bitDepth;
            v = static_cast<std::uint16_t>((row[bit / 8] >> (8 - png.bitDepth - bit % 8)) &
                                           ((1 << png.bitDepth) - 1));
          }
          png.samples[(y * png.width + x) * channels + ch] = v;
        }
      }
      previous = row;
    }
  }
  return png;
}

}  // namespace tess::testing
