#include "bmpTestSupport.h"

#include <cstdlib>

namespace tess::testing {

void putLittle16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putLittle32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void setLittle32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> encodeBmp(const BmpFixture& f) {
  const int rows = std::abs(f.height);
  const std::size_t rowBits = static_cast<std::size_t>(f.width) * f.bitCount;
  const std::size_t stride = (rowBits + 31) / 32 * 4;
  const std::size_t paletteBytes = f.palette.size() * 4;
  const std::size_t pixelOffset = 54 + paletteBytes;

  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  putLittle32(out, static_cast<std::uint32_t>(pixelOffset + stride * rows));
  putLittle32(out, 0);
  putLittle32(out, static_cast<std::uint32_t>(pixelOffset));
  putLittle32(out, 40);
  putLittle32(out, static_cast<std::uint32_t>(f.width));
  putLittle32(out, static_cast<std::uint32_t>(f.height));
  putLittle16(out, 1);
  putLittle16(out, static_cast<std::uint16_t>(f.bitCount));
  putLittle32(out, 0);  // no compression
  putLittle32(out, static_cast<std::uint32_t>(stride * rows));
  putLittle32(out, 2835);
  putLittle32(out, 2835);
  putLittle32(out, static_cast<std::uint32_t>(f.palette.size()));
  putLittle32(out, 0);
  for (const auto& entry : f.palette) {
    out.push_back(entry[2]);
    out.push_back(entry[1]);
    out.push_back(entry[0]);
    out.push_back(0);
  }

  for (int stored = 0; stored < rows; ++stored) {
    const int y = f.height > 0 ? rows - 1 - stored : stored;
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < f.width; ++x) {
      const std::uint32_t p = f.pixels.at(static_cast<std::size_t>(y) * f.width + x);
      const std::size_t bit = static_cast<std::size_t>(x) * f.bitCount;
      switch (f.bitCount) {
        case 1:
        case 4:
        case 8:
          row[bit / 8] |= static_cast<std::uint8_t>(p << (8 - f.bitCount - bit % 8));
          break;
        case 16: {
          const auto v = static_cast<std::uint16_t>(((p >> 19 & 31) << 10) | ((p >> 11 & 31) << 5) |
                                                    (p >> 3 & 31));
          row[bit / 8] = static_cast<std::uint8_t>(v);
          row[bit / 8 + 1] = static_cast<std::uint8_t>(v >> 8);
          break;
        }
        default:
          for (int i = 0; i < f.bitCount / 8; ++i)
            row[bit / 8 + i] = static_cast<std::uint8_t>(p >> (8 * i));
          break;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace tess::testing
