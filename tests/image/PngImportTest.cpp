// Import of PNG files written by the tests themselves, checked pixel by pixel against the import
// rules computed here independently of the decoder.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "image/PNG.h"
#include "image/PngDecoder.h"
#include "image/PngPixels.h"
#include "pngReference.h"
#include "pngTestSupport.h"

namespace tess {
namespace {

using testing::Bytes;
using testing::encodePng;
using testing::PngFixture;
using testing::referenceGamma;
using testing::referencePixel;

TBitmap32 importBytes(const Bytes& png) {
  TBitmap32 bitmap;
  EXPECT_TRUE(loadPngStream(bitmap, png));
  return bitmap;
}

std::string hex(TColor32 c) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << c;
  return out.str();
}

void expectPixels(const TBitmap32& bitmap, const std::vector<TColor32>& expected) {
  ASSERT_EQ(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(hex(bitmap.FBits()[i]), hex(expected[i])) << "pixel " << i;
  }
}

// ---- Every colour type and bit depth, with and without tRNS and gAMA, interlaced or not ----

enum class Trns { none, key, several };

struct FormatCase {
  int colorType;
  int bitDepth;
  bool interlaced;
  Trns trns;
  std::uint32_t gamma;
};

std::string caseName(const ::testing::TestParamInfo<FormatCase>& info) {
  const auto& c = info.param;
  const char* trns[] = {"Plain", "Key", "Several"};
  return "Type" + std::to_string(c.colorType) + "Depth" + std::to_string(c.bitDepth) +
         (c.interlaced ? "Adam7" : "Flat") + trns[static_cast<int>(c.trns)] + "Gamma" +
         std::to_string(c.gamma);
}

std::vector<FormatCase> allFormats() {
  const std::vector<std::pair<int, std::vector<int>>> depths = {
      {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
  std::vector<FormatCase> cases;
  for (const auto& [type, list] : depths) {
    for (int depth : list) {
      for (bool interlaced : {false, true}) {
        std::vector<Trns> trnsKinds{Trns::none};
        if (type == 0 || type == 2) trnsKinds.push_back(Trns::key);
        if (type == 3) trnsKinds = {Trns::none, Trns::key, Trns::several};
        for (Trns trns : trnsKinds) {
          for (std::uint32_t gamma : {0u, 45455u, 100000u, 20000u}) {
            cases.push_back({type, depth, interlaced, trns, gamma});
          }
        }
      }
    }
  }
  return cases;
}

PngFixture makeFixture(const FormatCase& c) {
  PngFixture f;
  // Odd sizes put pixels in every Adam7 pass and leave partial bytes at row ends.
  f.width = 13;
  f.height = 11;
  f.colorType = c.colorType;
  f.bitDepth = c.bitDepth;
  f.interlaced = c.interlaced;
  if (c.gamma != 0) f.gamma = c.gamma;

  std::mt19937 random(static_cast<unsigned>(c.colorType * 1000 + c.bitDepth * 10 + c.interlaced));
  const int channels = testing::channelsOf(c.colorType);
  const std::uint32_t maxSample = (1u << c.bitDepth) - 1;
  int paletteSize = 0;
  if (c.colorType == 3) {
    paletteSize = std::min(1 << c.bitDepth, 40);
    for (int i = 0; i < paletteSize; ++i) {
      f.palette.push_back({static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                           static_cast<std::uint8_t>(random())});
    }
    // A second entry of the first entry's colour: a keyed colour covers both.
    f.palette[paletteSize - 1] = f.palette[0];
  }
  const std::uint32_t maxValue = c.colorType == 3 ? paletteSize - 1 : maxSample;
  for (int i = 0; i < f.width * f.height * channels; ++i) {
    f.samples.push_back(static_cast<std::uint16_t>(random() % (maxValue + 1)));
  }
  // Alpha samples at both ends of the range, whatever the random draw.
  if (c.colorType == 4 || c.colorType == 6) {
    f.samples[channels - 1] = 0;
    f.samples[2 * channels - 1] = static_cast<std::uint16_t>(maxSample);
  }

  if (c.trns == Trns::key && c.colorType != 3) {
    // Key the first pixel's colour and repeat it in the last row.
    f.transparency = std::vector<std::uint16_t>(f.samples.begin(), f.samples.begin() + channels);
    std::copy_n(f.samples.begin(), channels, f.samples.end() - channels);
    if (c.bitDepth == 16) {
      // Same high bytes, other low bytes: compared at 16 bits, this one is not the key.
      for (int k = 0; k < channels; ++k) {
        f.samples[static_cast<std::size_t>(channels + k)] = f.samples[k] ^ 0x0001;
      }
    }
  } else if (c.trns == Trns::key) {
    std::vector<std::uint16_t> alphas(static_cast<std::size_t>(std::min(paletteSize, 3)), 255);
    alphas[0] = 0;
    f.transparency = alphas;
    f.samples[0] = 0;
  } else if (c.trns == Trns::several) {
    std::vector<std::uint16_t> alphas;
    for (int i = 0; i < std::max(2, paletteSize - 1); ++i)
      alphas.push_back(static_cast<std::uint16_t>(i * 97 % 256));
    alphas[0] = 0;
    alphas[1] = 128;
    f.transparency = alphas;
  }
  return f;
}

class EveryFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(EveryFormat, PixelsFollowTheImportRules) {
  const PngFixture f = makeFixture(GetParam());
  const Bytes png = encodePng(f);
  ASSERT_FALSE(png.empty());
  const TBitmap32 bitmap = importBytes(png);
  ASSERT_EQ(bitmap.Width(), f.width);
  ASSERT_EQ(bitmap.Height(), f.height);
  std::vector<TColor32> expected;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) expected.push_back(referencePixel(f, x, y));
  expectPixels(bitmap, expected);
}

INSTANTIATE_TEST_SUITE_P(PngImport, EveryFormat, ::testing::ValuesIn(allFormats()), caseName);

// ---- The worked values of the import rules ----

TEST(PngImport, AlphaChannelWorkedValues) {
  PngFixture f;
  f.width = 4;
  f.colorType = 6;
  f.samples = {16, 32, 48, 128, 200, 10, 99, 0, 1, 2, 3, 255, 255, 255, 255, 1};
  expectPixels(importBytes(encodePng(f)), {0x80878F97, 0x00FFFFFF, 0xFF010203, 0x01FFFFFF});
}

TEST(PngImport, GreyAlphaSixteenBitsKeepsHighBytes) {
  PngFixture f;
  f.width = 2;
  f.colorType = 4;
  f.bitDepth = 16;
  f.samples = {0x10FF, 0x80FF, 0xABCD, 0xFF00};
  // Grey 0x10 at alpha 0x80 over white; then grey 0xAB at alpha 0xFF exactly.
  expectPixels(importBytes(encodePng(f)), {0x80878787, 0xFFABABAB});
}

// For files with an alpha channel the image comes in as it is: no colour lightened towards
// white, every palette entry with its own tRNS alpha.
struct KeepCase {
  const char* name;
  PngFixture png;
  std::vector<TColor32> expected;
};

std::vector<KeepCase> keepCases() {
  std::vector<KeepCase> cases;
  PngFixture rgba;
  rgba.width = 3;
  rgba.colorType = 6;
  rgba.samples = {16, 32, 48, 128, 200, 10, 99, 0, 1, 2, 3, 255};
  cases.push_back({"truecolour alpha", rgba, {0x80102030, 0x00C80A63, 0xFF010203}});
  PngFixture rgba16 = rgba;
  rgba16.bitDepth = 16;
  rgba16.samples = {0x10AA, 0x2055, 0x3001, 0x80FF, 0xFFFF, 0, 0x0100, 0x0400, 0, 0, 0, 0xFFFF};
  cases.push_back({"truecolour alpha 16", rgba16, {0x80102030, 0x04FF0001, 0xFF000000}});
  PngFixture grey;
  grey.width = 2;
  grey.colorType = 4;
  grey.bitDepth = 16;
  grey.samples = {0x10FF, 0x80FF, 0xABCD, 0xFF00};
  cases.push_back({"grey alpha 16", grey, {0x80101010, 0xFFABABAB}});
  PngFixture palette;
  palette.width = 4;
  palette.colorType = 3;
  palette.palette = {{1, 2, 3}, {0, 100, 200}, {7, 8, 9}, {9, 9, 9}};
  palette.samples = {0, 1, 2, 3};
  palette.transparency = std::vector<std::uint16_t>{0, 128, 255};
  cases.push_back(
      {"palette, several entries", palette, {0x00010203, 0x800064C8, 0xFF070809, 0xFF090909}});
  PngFixture halfEntry;
  halfEntry.width = 2;
  halfEntry.colorType = 3;
  halfEntry.palette = {{200, 100, 50}, {0, 0, 0}};
  halfEntry.samples = {0, 1};
  halfEntry.transparency = std::vector<std::uint16_t>{128};
  cases.push_back({"palette, one half entry", halfEntry, {0x80C86432, 0xFF000000}});
  PngFixture key;
  key.width = 2;
  key.colorType = 2;
  key.samples = {255, 0, 255, 1, 2, 3};
  key.transparency = std::vector<std::uint16_t>{255, 0, 255};
  cases.push_back({"truecolour key", key, {0x00FF00FF, 0xFF010203}});
  return cases;
}

TEST(PngImport, KeepModeTakesTheImagesOwnAlphaAndColours) {
  for (const KeepCase& c : keepCases()) {
    SCOPED_TRACE(c.name);
    TBitmap32 bitmap;
    ASSERT_TRUE(loadPngStream(bitmap, encodePng(c.png), ImportAlpha::Keep));
    expectPixels(bitmap, c.expected);
  }
}

TEST(PngImport, KeepsItsOwnSize) {
  PngFixture f;
  f.width = 10;
  f.height = 20;
  f.colorType = 2;
  f.samples.assign(10 * 20 * 3, 7);
  const TBitmap32 bitmap = importBytes(encodePng(f));
  EXPECT_EQ(bitmap.Width(), 10);
  EXPECT_EQ(bitmap.Height(), 20);
}

TEST(PngImport, TruecolourKeyMakesEveryMagentaPixelTransparent) {
  PngFixture f;
  f.width = 2;
  f.height = 3;
  f.colorType = 2;
  f.samples = {255, 0, 255, 1, 2, 3, 9, 9, 9, 255, 0, 255, 255, 1, 255, 255, 0, 255};
  f.transparency = std::vector<std::uint16_t>{255, 0, 255};
  expectPixels(importBytes(encodePng(f)),
               {0x00FF00FF, 0xFF010203, 0xFF090909, 0x00FF00FF, 0xFFFF01FF, 0x00FF00FF});
}

TEST(PngImport, PaletteKeyCoversEveryEntryOfThatColour) {
  PngFixture f;
  f.width = 4;
  f.colorType = 3;
  f.palette = {{10, 20, 30}, {40, 50, 60}, {10, 20, 30}, {70, 80, 90}};
  f.samples = {0, 1, 2, 3};
  f.transparency = std::vector<std::uint16_t>{0, 255, 255};
  expectPixels(importBytes(encodePng(f)), {0x000A141E, 0xFF28323C, 0x000A141E, 0xFF46505A});
}

TEST(PngImport, PaletteWithOneHalfEntryKeysBlack) {
  // One entry below 255 that is not 0: the key is black, and the half entry stays opaque.
  PngFixture f;
  f.width = 3;
  f.colorType = 3;
  f.palette = {{200, 100, 50}, {0, 0, 0}, {5, 5, 5}};
  f.samples = {0, 1, 2};
  f.transparency = std::vector<std::uint16_t>{128};
  expectPixels(importBytes(encodePng(f)), {0xFFC86432, 0x00000000, 0xFF050505});
}

TEST(PngImport, PaletteAlphaMixesTowardsWhite) {
  PngFixture f;
  f.width = 2;
  f.colorType = 3;
  f.palette = {{1, 2, 3}, {0, 100, 200}};
  f.samples = {0, 1};
  f.transparency = std::vector<std::uint16_t>{0, 128};
  // Entry 0 white; entry 1 halfway to white: (128c + 127 * 255 + 255) div 256.
  expectPixels(importBytes(encodePng(f)), {0xFFFFFFFF, 0xFF7FB1E3});
}

TEST(PngImport, PaletteWithOnlyOpaqueEntriesKeepsExactColours) {
  PngFixture f;
  f.width = 3;
  f.colorType = 3;
  f.palette = {{0, 128, 255}, {1, 254, 77}, {255, 0, 255}};
  f.samples = {0, 1, 2};
  f.transparency = std::vector<std::uint16_t>{255, 255, 255};
  expectPixels(importBytes(encodePng(f)), {0xFF0080FF, 0xFF01FE4D, 0xFFFF00FF});
}

TEST(PngImport, SixteenBitKeyIsComparedAtSixteenBits) {
  PngFixture f;
  f.width = 3;
  f.colorType = 0;
  f.bitDepth = 16;
  f.samples = {0x1234, 0x1299, 0x1234};
  f.transparency = std::vector<std::uint16_t>{0x1234};
  expectPixels(importBytes(encodePng(f)), {0x00121212, 0xFF121212, 0x00121212});
}

TEST(PngImport, LowBitGreyScalesToFullRange) {
  PngFixture f;
  f.width = 4;
  f.colorType = 0;
  f.bitDepth = 2;
  f.samples = {0, 1, 2, 3};
  expectPixels(importBytes(encodePng(f)), {0xFF000000, 0xFF555555, 0xFFAAAAAA, 0xFFFFFFFF});
}

TEST(PngImport, GammaAdjustsColoursButNeverAlpha) {
  PngFixture f;
  f.width = 2;
  f.colorType = 6;
  f.gamma = 100000;  // e = 1 / 2.2: 128 becomes 186
  f.samples = {128, 0, 255, 255, 128, 128, 128, 128};
  // 186 composited at alpha 128: (255 * 127 + 186 * 128 + 127) div 255 = 220.
  expectPixels(importBytes(encodePng(f)), {0xFFBA00FF, 0x80DCDCDC});
}

TEST(PngImport, GammaKeepsTheTransparentColourMatching) {
  PngFixture f;
  f.width = 2;
  f.colorType = 2;
  f.gamma = 100000;
  f.samples = {128, 128, 128, 1, 1, 1};
  f.transparency = std::vector<std::uint16_t>{128, 128, 128};
  const auto one = referenceGamma(1, 100000);
  expectPixels(importBytes(encodePng(f)), {0x00BABABA, PackColor32(one, one, one, 255)});
}

TEST(PngImport, CommonGammaChangesNoValue) {
  const GammaTable table = makeGammaTable(45455);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(table[static_cast<std::size_t>(v)], v);
}

TEST(PngImport, GammaTableFollowsTheExponent) {
  for (std::uint32_t g : {1u, 10000u, 22727u, 100000u, 250000u, 0x7FFFFFFFu}) {
    const GammaTable table = makeGammaTable(g);
    for (int v = 0; v < 256; ++v) {
      ASSERT_EQ(table[static_cast<std::size_t>(v)], referenceGamma(static_cast<std::uint8_t>(v), g))
          << "gamma " << g << " value " << v;
    }
  }
}

TEST(PngImport, ReplacesEarlierContentButKeepsTheDrawMode) {
  TBitmap32 bitmap;
  bitmap.SetSize(32, 32);
  bitmap.DrawMode = dmBlend;
  PngFixture f;
  f.width = 2;
  f.colorType = 6;
  f.samples = {1, 2, 3, 255, 4, 5, 6, 0};
  ASSERT_TRUE(loadPngStream(bitmap, encodePng(f)));
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(bitmap.Height(), 1);
  EXPECT_EQ(bitmap.DrawMode, dmBlend);
  expectPixels(bitmap, {0xFF010203, 0x00FFFFFF});
}

TEST(PngImport, GammaChunkAfterPaletteIsNotApplied) {
  // The format allows gAMA only before PLTE; a late one is ignored like any misplaced chunk.
  PngFixture f;
  f.width = 1;
  f.colorType = 3;
  f.palette = {{128, 128, 128}};
  f.samples = {0};
  auto chunks = testing::parseChunks(encodePng(f));
  ASSERT_GE(chunks.size(), 3u);
  ASSERT_EQ(chunks[1].type, "PLTE");
  chunks.insert(chunks.begin() + 2, {"gAMA", {0, 1, 0x86, 0xA0}});  // 100000
  expectPixels(importBytes(testing::assemblePng(chunks)), {0xFF808080});
  chunks.erase(chunks.begin() + 2);
  chunks.insert(chunks.begin() + 1, {"gAMA", {0, 1, 0x86, 0xA0}});
  expectPixels(importBytes(testing::assemblePng(chunks)), {0xFFBABABA});
}

struct GammaCase {
  std::string name;
  std::vector<testing::Chunk> chunks;
  std::uint32_t expected;
};

std::vector<GammaCase> gammaCases() {
  const testing::Chunk ihdr{"IHDR", testing::ihdrData(1, 1, 8, 3)};
  const testing::Chunk plte{"PLTE", {1, 2, 3}};
  const testing::Chunk idat{"IDAT", {0}};
  const testing::Chunk iend{"IEND", {}};
  const auto gama = [](std::vector<std::uint8_t> data) { return testing::Chunk{"gAMA", data}; };
  return {
      {"BeforePalette", {ihdr, gama({0, 1, 0x86, 0xA0}), plte, idat, iend}, 100000},
      {"AfterPalette", {ihdr, plte, gama({0, 1, 0x86, 0xA0}), idat, iend}, 0},
      {"AfterData", {ihdr, idat, gama({0, 1, 0x86, 0xA0}), iend}, 0},
      {"FirstOfTwo", {ihdr, gama({0, 0, 0, 7}), gama({0, 0, 0, 9}), idat, iend}, 7},
      {"WrongLengthSkipped", {ihdr, gama({0, 0, 0, 0, 7}), gama({0, 0, 0, 9}), idat, iend}, 9},
      {"Zero", {ihdr, gama({0, 0, 0, 0}), idat, iend}, 0},
      {"BeyondTheFormatsRange", {ihdr, gama({0x80, 0, 0, 1}), idat, iend}, 0},
      {"None", {ihdr, idat, iend}, 0},
  };
}

class GammaChunk : public ::testing::TestWithParam<GammaCase> {};

TEST_P(GammaChunk, IsFoundWhereTheFormatLetsItCount) {
  EXPECT_EQ(findGamma(testing::assemblePng(GetParam().chunks)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(PngImport, GammaChunk, ::testing::ValuesIn(gammaCases()),
                         [](const auto& info) { return info.param.name; });

TEST(PngImport, GammaSearchStaysInsideBrokenFiles) {
  Bytes png =
      testing::assemblePng({{"IHDR", testing::ihdrData(1, 1, 8, 2)}, {"gAMA", {0, 0, 0, 5}}});
  for (std::size_t size = 0; size <= png.size(); ++size) {
    const std::uint32_t found = findGamma(std::span(png.data(), size));
    EXPECT_TRUE(found == 0 || (found == 5 && size == png.size())) << size;
  }
  png[33] = 0xFF;  // the gAMA length: far past the end
  EXPECT_EQ(findGamma(png), 0u);
}

}  // namespace
}  // namespace tess
