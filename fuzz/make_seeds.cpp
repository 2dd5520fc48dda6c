// Writes the seed corpora of the fuzz targets: small valid files of every kind the readers
// take, made with the program's own writers where it has them (sprite files, exported PNGs)
// and otherwise with libpng or by hand (the PNG colour types and BMP kinds the program only
// reads, and config.ini texts).
//
// Usage: tess_fuzz_seeds <corpus folder> [shipped config.ini]

#include <png.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "assets/assetCatalog.h"
#include "assets/sheetFile.h"
#include "assets/sheetImage.h"
#include "bitmap/TBitmap32.h"
#include "core/versionCatalog.h"
#include "image/PNG.h"
#include "image/imageFile.h"
#include "sprite/TSpriteFile.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void writeFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void writeText(const fs::path& path, const std::string& text) {
  writeFile(path, Bytes(text.begin(), text.end()));
}

void putLe16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putLe32(Bytes& out, std::uint32_t value) {
  putLe16(out, value & 0xFFFF);
  putLe16(out, value >> 16);
}

// ---- sprite files ---------------------------------------------------------------------------

std::unique_ptr<tess::TSprite> spriteFrom(const std::array<tess::TColor32, 1024>& pixels) {
  auto sprite = std::make_unique<tess::TSprite>();
  sprite->isDUmmy = false;
  sprite->bitmap = std::make_unique<tess::TBitmap32>();
  sprite->bitmap->SetSize(32, 32);
  std::copy(pixels.begin(), pixels.end(), sprite->bitmap->FBits());
  return sprite;
}

std::unique_ptr<tess::TSprite> emptySprite() { return std::make_unique<tess::TSprite>(); }

std::array<tess::TColor32, 1024> picture(tess::TColor32 (*pixelAt)(int x, int y)) {
  std::array<tess::TColor32, 1024> pixels{};
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) pixels[static_cast<std::size_t>(y * 32 + x)] = pixelAt(x, y);
  }
  return pixels;
}

tess::TColor32 gradient(int x, int y) {
  return tess::PackColor32(static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 8), 0x40,
                           0xFF);
}
tess::TColor32 checkerboard(int x, int y) {
  return (x + y) % 2 == 0 ? tess::clTransparentWhite32 : tess::PackColor32(0x80, 0x10, 0x20, 0xFF);
}
tess::TColor32 clearAll(int, int) { return tess::clTransparentWhite32; }
tess::TColor32 disc(int x, int y) {
  const int dx = x - 15;
  const int dy = y - 15;
  return dx * dx + dy * dy < 100 ? tess::PackColor32(0x20, 0xA0, 0x30, 0x80)
                                 : tess::clTransparentWhite32;
}
tess::TColor32 topRows(int, int y) {
  return y < 3 ? tess::PackColor32(0xFF, 0x00, 0xFF, 0xFF) : tess::clTransparentWhite32;
}

// The layout a seed's name gives: "-32" for a 32-bit count, "-alpha" for pixels with alpha.
tess::TSprLayout layoutNamed(const std::string& name) {
  return {name.find("-32") != std::string::npos, name.find("-alpha") != std::string::npos};
}

void saveSprites(tess::TSpriteFile& file, const fs::path& path, std::int32_t signature) {
  for (std::size_t k = 0; k < file.Sprites.size(); ++k)
    file.Sprites[k]->setID(static_cast<std::int32_t>(k + 1));
  if (!file.save(path.string(), signature, layoutNamed(path.filename().string())))
    throw std::runtime_error("cannot save " + path.string());
}

void makeSpriteSeeds(const fs::path& folder) {
  tess::fuzz::QuietHost host;
  {
    // Two sprites: two opaque pixels at indices 1 and 2, then an empty one.
    tess::TSpriteFile file(host);
    std::array<tess::TColor32, 1024> pixels{};
    pixels.fill(tess::clTransparentWhite32);
    pixels[1] = tess::PackColor32(0x10, 0x20, 0x30, 0xFF);
    pixels[2] = tess::PackColor32(0x40, 0x50, 0x60, 0xFF);
    file.Sprites.push_back(spriteFrom(pixels));
    file.Sprites.push_back(emptySprite());
    saveSprites(file, folder / "two-sprites-16.spr", 0x3DFF4AEB);
    saveSprites(file, folder / "two-sprites-32.spr", 0x57BBD603);
  }
  {
    tess::TSpriteFile file(host);
    file.Sprites.push_back(spriteFrom(picture(gradient)));
    file.Sprites.push_back(spriteFrom(picture(checkerboard)));
    file.Sprites.push_back(emptySprite());
    file.Sprites.push_back(spriteFrom(picture(clearAll)));
    file.Sprites.push_back(spriteFrom(picture(disc)));
    auto hidden = spriteFrom(picture(topRows));
    hidden->isDUmmy = true;  // a cleared sprite that keeps its image
    file.Sprites.push_back(std::move(hidden));
    file.Sprites.push_back(spriteFrom(picture(topRows)));
    saveSprites(file, folder / "mixed-16.spr", 0x41B9EA86);
    saveSprites(file, folder / "mixed-32.spr", 0x4E12DAFF);
    // The disc's partial alpha is kept as it is in these.
    saveSprites(file, folder / "mixed-16-alpha.spr", 0x41B9EA86);
    saveSprites(file, folder / "mixed-32-alpha.spr", 0x4E12DAFF);
  }
  // Written by hand: records in reverse order, a foreign colour key, a run pair with no
  // coloured pixels at the end of a record, and a record of size 0.
  for (const bool sprite32 : {false, true}) {
    Bytes out;
    putLe32(out, 0x439D5A33);
    if (sprite32) {
      putLe32(out, 3);
    } else {
      putLe16(out, 3);
    }
    const std::uint32_t tableStart = sprite32 ? 8 : 6;
    const std::uint32_t recordsAt = tableStart + 12;
    const std::uint32_t sizeZeroAt = recordsAt;     // 5 bytes
    const std::uint32_t secondAt = sizeZeroAt + 5;  // 5 + 4 + 6 + 4 bytes
    const std::uint32_t firstAt = secondAt + 5 + 4 + 6 + 4;
    putLe32(out, firstAt);
    putLe32(out, secondAt);
    putLe32(out, sizeZeroAt);
    out.insert(out.end(), {0x11, 0x22, 0x33, 0x00, 0x00});
    out.insert(out.end(), {0x00, 0x00, 0x00, 14, 0x00});
    putLe16(out, 30);
    putLe16(out, 2);
    out.insert(out.end(), {1, 2, 3, 4, 5, 6});
    putLe16(out, 5);
    putLe16(out, 0);
    out.insert(out.end(), {0xFF, 0x00, 0xFF, 7, 0x00});
    putLe16(out, 1020);
    putLe16(out, 1);
    out.insert(out.end(), {9, 8, 7});
    writeFile(folder / (sprite32 ? "hand-made-32.spr" : "hand-made-16.spr"), out);
  }
}

// ---- PNG ------------------------------------------------------------------------------------

struct PngSpec {
  std::string name;
  int width = 8;
  int height = 8;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  bool interlaced = false;
  int paletteSize = 0;
  std::vector<std::uint8_t> paletteAlpha;  // tRNS for colour type 3
  std::vector<std::uint16_t> transparent;  // tRNS for colour types 0 (1 value) and 2 (3)
  double gamma = 0;
};

int channelsOf(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
      return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;  // palette
  }
}

void appendToBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// Samples follow a simple pattern, packed at the image's own depth.
Bytes encodePng(const PngSpec& spec) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) throw std::runtime_error("libpng cannot start");
  struct Release {
    png_structp* png;
    png_infop* info;
    ~Release() { png_destroy_write_struct(png, info); }
  } release{&png, &info};
  if (setjmp(png_jmpbuf(png))) throw std::runtime_error("libpng failed on " + spec.name);

  png_set_write_fn(png, &out, appendToBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width),
               static_cast<png_uint_32>(spec.height), spec.bitDepth, spec.colorType,
               spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  if (spec.colorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < spec.paletteSize; ++i) {
      palette.push_back({static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i * 11),
                         static_cast<png_byte>(i * 5)});
    }
    palette[0] = {0xFF, 0x00, 0xFF};
    png_set_PLTE(png, info, palette.data(), spec.paletteSize);
    if (!spec.paletteAlpha.empty()) {
      png_set_tRNS(png, info, spec.paletteAlpha.data(), static_cast<int>(spec.paletteAlpha.size()),
                   nullptr);
    }
  } else if (!spec.transparent.empty()) {
    png_color_16 colour{};
    if (spec.colorType == PNG_COLOR_TYPE_GRAY) {
      colour.gray = spec.transparent[0];
    } else {
      colour.red = spec.transparent[0];
      colour.green = spec.transparent[1];
      colour.blue = spec.transparent[2];
    }
    png_set_tRNS(png, info, nullptr, 0, &colour);
  }
  if (spec.gamma > 0) png_set_gAMA(png, info, spec.gamma);

  const int channels = channelsOf(spec.colorType);
  const int sampleMax =
      spec.colorType == PNG_COLOR_TYPE_PALETTE ? spec.paletteSize - 1 : (1 << spec.bitDepth) - 1;
  const std::size_t rowBits = static_cast<std::size_t>(spec.width) * channels * spec.bitDepth;
  std::vector<Bytes> rows(static_cast<std::size_t>(spec.height), Bytes((rowBits + 7) / 8));
  for (int y = 0; y < spec.height; ++y) {
    Bytes& row = rows[static_cast<std::size_t>(y)];
    std::size_t bit = 0;
    for (int x = 0; x < spec.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        const int value = ((x * 7 + y * 13 + c * 29) * 97) % (sampleMax + 1);
        for (int b = spec.bitDepth - 1; b >= 0; --b, ++bit) {
          if ((value >> b) & 1) row[bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
        }
      }
    }
  }
  std::vector<png_bytep> pointers;
  for (Bytes& row : rows) pointers.push_back(row.data());
  png_set_rows(png, info, pointers.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  return out;
}

void makePngSeeds(const fs::path& folder) {
  const std::vector<PngSpec> specs = {
      {.name = "grey-1", .colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 1},
      {.name = "grey-2", .colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 2},
      {.name = "grey-4", .width = 5, .height = 3, .colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 4},
      {.name = "grey-8-trns", .colorType = PNG_COLOR_TYPE_GRAY, .transparent = {0x40}},
      {.name = "grey-16-trns",
       .colorType = PNG_COLOR_TYPE_GRAY,
       .bitDepth = 16,
       .transparent = {0x1234}},
      {.name = "rgb-8-trns", .transparent = {255, 0, 255}},
      {.name = "rgb-16", .bitDepth = 16},
      {.name = "rgb-8-gamma", .gamma = 1.0},
      {.name = "palette-1", .colorType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 1, .paletteSize = 2},
      {.name = "palette-2", .colorType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 2, .paletteSize = 4},
      {.name = "palette-4-trns-one",
       .colorType = PNG_COLOR_TYPE_PALETTE,
       .bitDepth = 4,
       .paletteSize = 16,
       .paletteAlpha = {0, 255, 255}},
      {.name = "palette-8-trns-half",
       .colorType = PNG_COLOR_TYPE_PALETTE,
       .paletteSize = 20,
       .paletteAlpha = {0, 128}},
      {.name = "palette-8-trns-opaque",
       .colorType = PNG_COLOR_TYPE_PALETTE,
       .paletteSize = 6,
       .paletteAlpha = {255, 255}},
      {.name = "grey-alpha-8", .colorType = PNG_COLOR_TYPE_GRAY_ALPHA},
      {.name = "grey-alpha-16", .colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .bitDepth = 16},
      {.name = "rgba-16", .colorType = PNG_COLOR_TYPE_RGB_ALPHA, .bitDepth = 16},
      {.name = "rgba-8-interlaced",
       .width = 9,
       .height = 9,
       .colorType = PNG_COLOR_TYPE_RGB_ALPHA,
       .interlaced = true},
      {.name = "palette-4-interlaced",
       .width = 11,
       .height = 5,
       .colorType = PNG_COLOR_TYPE_PALETTE,
       .bitDepth = 4,
       .interlaced = true,
       .paletteSize = 9},
  };
  for (const PngSpec& spec : specs) writeFile(folder / (spec.name + ".png"), encodePng(spec));

  // The program's own export of a sprite and of a picture that is not square.
  tess::TBitmap32 sprite;
  sprite.SetSize(32, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) sprite.FBits()[y * 32 + x] = disc(x, y);
  }
  const auto exported = tess::bitmapToPng(sprite);
  if (!exported) throw std::runtime_error("cannot export a sprite");
  writeFile(folder / "export-32x32.png", *exported);
  tess::TBitmap32 tall;
  tall.SetSize(10, 20);
  for (int i = 0; i < 200; ++i)
    tall.FBits()[i] = tess::PackColor32(0, 0, 0, static_cast<std::uint8_t>(i));
  const auto exportedTall = tess::bitmapToPng(tall);
  if (!exportedTall) throw std::runtime_error("cannot export a picture");
  writeFile(folder / "export-10x20.png", *exportedTall);

  // Files of under 60 bytes whose one chunk after the header declares nearly a gigabyte: the
  // decoder must find them short before it allocates anything for them.
  const Bytes small = encodePng(specs.front());
  const Bytes headerOnly(small.begin(), small.begin() + 8 + 25);
  for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL", "sCAL", "iCCP"}) {
    Bytes hostile = headerOnly;
    hostile.insert(hostile.end(), {0x3F, 0xFF, 0xFF, 0xF0});
    hostile.insert(hostile.end(), type, type + 4);
    hostile.insert(hostile.end(), {'k', 'e', 'y', 0, 0, 0, 0, 0, 0, 0, 0});
    writeFile(folder / ("refused-huge-" + std::string(type) + ".png"), hostile);
  }
}

// ---- BMP ------------------------------------------------------------------------------------

struct BmpSpec {
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: top-down
  std::uint16_t bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t infoSize = 40;           // 40, or 124 for BITMAPV5HEADER with colour masks
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha (V5 only)
  std::vector<std::array<std::uint8_t, 3>> palette;  // red, green, blue
  Bytes pixelData;                                   // exactly as stored
};

Bytes encodeBmp(const BmpSpec& spec) {
  const std::uint32_t paletteBytes = static_cast<std::uint32_t>(spec.palette.size()) * 4;
  const std::uint32_t pixelOffset = 14 + spec.infoSize + paletteBytes;
  Bytes out{'B', 'M'};
  putLe32(out, pixelOffset + static_cast<std::uint32_t>(spec.pixelData.size()));
  putLe32(out, 0);
  putLe32(out, pixelOffset);
  putLe32(out, spec.infoSize);
  putLe32(out, static_cast<std::uint32_t>(spec.width));
  putLe32(out, static_cast<std::uint32_t>(spec.height));
  putLe16(out, 1);
  putLe16(out, spec.bitCount);
  putLe32(out, spec.compression);
  putLe32(out, static_cast<std::uint32_t>(spec.pixelData.size()));
  putLe32(out, 2835);
  putLe32(out, 2835);
  putLe32(out, static_cast<std::uint32_t>(spec.palette.size()));
  putLe32(out, 0);
  if (spec.infoSize == 124) {
    for (const std::uint32_t mask : spec.masks) putLe32(out, mask);
    putLe32(out, 0x73524742);  // "sRGB"
    out.resize(14 + 124, 0);
  }
  for (const auto& colour : spec.palette) {
    out.insert(out.end(), {colour[2], colour[1], colour[0], 0});
  }
  out.insert(out.end(), spec.pixelData.begin(), spec.pixelData.end());
  return out;
}

// Uncompressed rows: `bitsPerPixel` per pixel, each row padded to 4 bytes; values follow a
// pattern that keeps within the range of the depth.
Bytes packedRows(int width, int rows, int bitsPerPixel, std::uint32_t (*valueAt)(int x, int y)) {
  const std::size_t rowBytes = ((static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32) * 4;
  Bytes out(rowBytes * static_cast<std::size_t>(rows), 0);
  for (int y = 0; y < rows; ++y) {
    std::uint8_t* const row = out.data() + rowBytes * static_cast<std::size_t>(y);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t value = valueAt(x, y);
      if (bitsPerPixel < 8) {
        const int perByte = 8 / bitsPerPixel;
        const int shift = 8 - bitsPerPixel * (x % perByte + 1);
        row[x / perByte] |= static_cast<std::uint8_t>(value << shift);
      } else {
        for (int b = 0; b < bitsPerPixel / 8; ++b)
          row[x * (bitsPerPixel / 8) + b] = static_cast<std::uint8_t>(value >> (8 * b));
      }
    }
  }
  return out;
}

std::uint32_t indexPattern(int x, int y) { return static_cast<std::uint32_t>(x + 3 * y); }
std::uint32_t twoColours(int x, int y) { return static_cast<std::uint32_t>((x + y) % 2); }
std::uint32_t fourBitPattern(int x, int y) { return static_cast<std::uint32_t>((x + 5 * y) % 16); }
std::uint32_t magentaEveryThird(int x, int y) {
  return (x + y) % 3 == 0 ? 0xFF00FFu : 0x102030u + static_cast<std::uint32_t>(x * 0x10101);
}
std::uint32_t rgb555(int x, int y) {
  return static_cast<std::uint32_t>((x * 3) << 10 | (y * 5) << 5 | 0x1F);
}
std::uint32_t rgb565(int x, int y) {
  return static_cast<std::uint32_t>((x * 3) << 11 | (y * 9) << 5 | 0x10);
}
std::uint32_t bgraPattern(int x, int y) {
  return static_cast<std::uint32_t>((x * 40) | (y * 50) << 8 | 0x80 << 16) |
         (static_cast<std::uint32_t>(x * 60 + y) << 24);
}

std::vector<std::array<std::uint8_t, 3>> paletteOf(int size) {
  std::vector<std::array<std::uint8_t, 3>> palette;
  for (int i = 0; i < size; ++i) {
    palette.push_back({static_cast<std::uint8_t>(i * 13), static_cast<std::uint8_t>(255 - i),
                       static_cast<std::uint8_t>(i * 7)});
  }
  palette[1] = {0xFF, 0x00, 0xFF};
  return palette;
}

void makeBmpSeeds(const fs::path& folder) {
  writeFile(folder / "plain32-bottom-up.bmp",
            encodeBmp({.width = 4,
                       .height = 3,
                       .bitCount = 32,
                       .pixelData = packedRows(4, 3, 32, bgraPattern)}));
  writeFile(folder / "plain32-top-down.bmp",
            encodeBmp({.width = 3,
                       .height = -4,
                       .bitCount = 32,
                       .pixelData = packedRows(3, 4, 32, bgraPattern)}));
  writeFile(folder / "rgb24-magenta.bmp",
            encodeBmp({.width = 5,
                       .height = 3,
                       .bitCount = 24,
                       .pixelData = packedRows(5, 3, 24, magentaEveryThird)}));
  writeFile(
      folder / "rgb16-555.bmp",
      encodeBmp(
          {.width = 6, .height = 4, .bitCount = 16, .pixelData = packedRows(6, 4, 16, rgb555)}));
  writeFile(folder / "rgb16-565-v5.bmp", encodeBmp({.width = 6,
                                                    .height = -3,
                                                    .bitCount = 16,
                                                    .compression = 3,
                                                    .infoSize = 124,
                                                    .masks = {0xF800, 0x07E0, 0x001F, 0},
                                                    .pixelData = packedRows(6, 3, 16, rgb565)}));
  writeFile(folder / "argb32-v5-bitfields.bmp",
            encodeBmp({.width = 4,
                       .height = 4,
                       .bitCount = 32,
                       .compression = 3,
                       .infoSize = 124,
                       .masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
                       .pixelData = packedRows(4, 4, 32, bgraPattern)}));
  writeFile(folder / "palette8.bmp", encodeBmp({.width = 7,
                                                .height = 3,
                                                .bitCount = 8,
                                                .palette = paletteOf(24),
                                                .pixelData = packedRows(7, 3, 8, indexPattern)}));
  writeFile(folder / "palette4.bmp", encodeBmp({.width = 9,
                                                .height = 2,
                                                .bitCount = 4,
                                                .palette = paletteOf(16),
                                                .pixelData = packedRows(9, 2, 4, fourBitPattern)}));
  writeFile(folder / "palette1.bmp", encodeBmp({.width = 13,
                                                .height = 3,
                                                .bitCount = 1,
                                                .palette = paletteOf(2),
                                                .pixelData = packedRows(13, 3, 1, twoColours)}));
  // Run-length encoded: runs, an absolute run, a delta, end of line and end of bitmap.
  writeFile(folder / "rle8.bmp", encodeBmp({.width = 8,
                                            .height = 4,
                                            .bitCount = 8,
                                            .compression = 1,
                                            .palette = paletteOf(4),
                                            .pixelData = {4, 1, 4, 2, 0, 0, 0, 3, 1, 2, 3, 0,
                                                          2, 2, 0, 3, 3, 0, 0, 0, 8, 2, 0, 1}}));
  writeFile(folder / "rle4.bmp",
            encodeBmp({.width = 8,
                       .height = 3,
                       .bitCount = 4,
                       .compression = 2,
                       .palette = paletteOf(16),
                       .pixelData = {8, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 0, 6, 0x77, 0, 1}}));
}

// ---- config.ini -----------------------------------------------------------------------------

void makeCatalogSeeds(const fs::path& folder, const fs::path& shipped) {
  if (!shipped.empty())
    fs::copy_file(shipped, folder / "shipped.ini", fs::copy_options::overwrite_existing);
  writeText(folder / "two-versions.ini",
            "; two client versions\n[7.10]\nSPRSignature=3DFF4AEB\nsprite32=0\n\n"
            "[10.98]\r\nsprspritesignature=0\r\nSPRSignature = 57bbd603 ; current\r\n"
            "Sprite32: 1\r\n");
  writeText(folder / "integer-forms.ini",
            "\xEF\xBB\xBF[a]\nSPRSignature=00000000FFFFFFFF\nsprite32=0x10\n"
            "[b]\nSPRSignature=1\nsprite32=$100\n[c]\n  SPRSignature=AbCdEf12\nsprite32=-1\n"
            "[c]\nSPRSignature=2\nsprite32=yes\n# done\n");
  writeText(folder / "alpha-keys.ini",
            "[rgba]\nSPRSignature=5A17C0DE\nsprite32=1\nalpha=1\n[plain]\nSPRSignature=1\n"
            "alpha=0\n[odd]\nSPRSignature=2\nALPHA=$100\nalpha=1\n[word]\nSPRSignature=3\n"
            "alpha=yes\n");
  writeText(folder / "refused-zero.ini", "[zero]\nSPRSignature=0000\n");
  writeText(folder / "refused-missing.ini", "[ok]\nSPRSignature=12\n[missing]\nsprite32=1\n");
}

// ---- newer clients' sheets and catalogs -------------------------------------------------------

// A sheet file of `sheet` as the program's writer makes it.
Bytes packedSheet(const tess::TBitmap32& sheet) {
  Bytes file;
  std::string reason;
  if (!tess::assets::packSheet(tess::assets::encodeSheetBmp(sheet), file, reason))
    throw std::runtime_error("cannot pack a sheet: " + reason);
  return file;
}

void makeAssetSheetSeeds(const fs::path& folder) {
  tess::TBitmap32 sheet;
  sheet.SetSizeAndFill(tess::assets::kSheetSide, tess::assets::kSheetSide,
                       tess::clTransparentWhite32);
  writeFile(folder / "transparent.bmp.lzma", packedSheet(sheet));
  // A few 64x64 sprites: a gradient, a checkerboard and opaque magenta, which stays a colour.
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      sheet.FBits()[y * 384 + x] = gradient(x / 2, y / 2);
      sheet.FBits()[y * 384 + 64 + x] = checkerboard(x, y);
      sheet.FBits()[(64 + y) * 384 + x] = tess::clMagenta32;
    }
  }
  const Bytes sprites = packedSheet(sheet);
  writeFile(folder / "sprites.bmp.lzma", sprites);
  writeFile(folder / "refused-truncated.bmp.lzma", Bytes(sprites.begin(), sprites.end() - 40));
}

void makeAssetCatalogSeeds(const fs::path& folder) {
  writeText(folder / "client.json",
            "[\n  {\n    \"type\": \"appearances\",\n    \"file\": \"appearances-0a.dat\"\n  },\n"
            "  {\"type\": \"staticdata\", \"file\": \"staticdata-1b.dat\"},\n"
            "  {\"type\": \"staticmapdata\", \"file\": \"staticmapdata-2c.dat\"},\n"
            "  {\"type\": \"map\", \"file\": \"map-3d.otbm\", \"version\": 2},\n"
            "  {\"type\": \"sprite\", \"file\": \"sprites-a.bmp.lzma\", \"spritetype\": 0,"
            " \"firstspriteid\": 1, \"lastspriteid\": 144, \"area\": 1},\n"
            "  {\"type\": \"sprite\", \"file\": \"sprites-b.bmp.lzma\", \"spritetype\": 3,"
            " \"firstspriteid\": 200, \"lastspriteid\": 235, \"area\": 64}\n]\n");
  writeText(folder / "empty.json", "[]");
  writeText(folder / "with-problems.json",
            "[{\"type\": \"sprite\", \"file\": \"../up\", \"spritetype\": 1,"
            " \"firstspriteid\": 1, \"lastspriteid\": 2},"
            " {\"type\": \"sprite\", \"file\": \"s\", \"spritetype\": 2, \"firstspriteid\": 5,"
            " \"lastspriteid\": 80}, 7, {\"type\": \"sprite\", \"file\": \"t\", \"spritetype\": 1,"
            " \"firstspriteid\": 50, \"lastspriteid\": 60}]");
  writeText(folder / "refused-object.json", "{\"type\": \"sprite\"}");
}

// ---- checking --------------------------------------------------------------------------------

// A seed the reader refuses would only teach the fuzzer the first error path, so every seed is
// read back; those named "refused-" must fail instead.
bool readsBack(const std::string& target, const fs::path& seed) {
  const std::string path = seed.string();
  if (target == "spr") {
    tess::fuzz::QuietHost host;
    tess::TSpriteFile file(host);
    return file.load(path, layoutNamed(seed.filename().string())) && !file.Sprites.empty();
  }
  if (target == "catalog") {
    std::vector<tess::TVersionInfo> versions;
    return tess::readVersionCatalog(path, versions);
  }
  if (target == "assets_sheet") {
    tess::TBitmap32 sheet;
    std::string reason;
    return tess::assets::loadSheetFile(path, sheet, reason);
  }
  if (target == "assets_catalog") {
    tess::assets::TAssetCatalog catalog;
    std::string reason;
    return catalog.read(path, reason);
  }
  tess::TBitmap32 bitmap;
  try {
    return tess::loadImageFile(path, bitmap) && !bitmap.empty();
  } catch (const std::exception&) {
    return false;
  }
}

int checkSeeds(const fs::path& root) {
  int wrong = 0;
  for (const char* target : {"spr", "png", "bmp", "catalog", "assets_sheet", "assets_catalog"}) {
    for (const auto& entry : fs::directory_iterator(root / target)) {
      const bool refused = entry.path().filename().string().starts_with("refused-");
      if (readsBack(target, entry.path()) == refused) {
        std::cerr << "tess_fuzz_seeds: " << entry.path().string()
                  << (refused ? " is accepted\n" : " does not read back\n");
        ++wrong;
      }
    }
  }
  return wrong == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: " << argv[0] << " <corpus folder> [shipped config.ini]\n";
    return 2;
  }
  try {
    const fs::path root = argv[1];
    for (const char* target : {"spr", "png", "bmp", "catalog", "assets_sheet", "assets_catalog"})
      fs::create_directories(root / target);
    makeSpriteSeeds(root / "spr");
    makePngSeeds(root / "png");
    makeBmpSeeds(root / "bmp");
    makeCatalogSeeds(root / "catalog", argc > 2 ? fs::path(argv[2]) : fs::path());
    makeAssetSheetSeeds(root / "assets_sheet");
    makeAssetCatalogSeeds(root / "assets_catalog");
    return checkSeeds(root);
  } catch (const std::exception& error) {
    std::cerr << "tess_fuzz_seeds: " << error.what() << '\n';
    return 1;
  }
}
