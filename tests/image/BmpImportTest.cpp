#include <gtest/gtest.h>

#include <stdexcept>

#include "bmpTestSupport.h"
#include "image/BMP.h"
#include "image/imageFile.h"
#include "pngTestSupport.h"

namespace tess {
namespace {

using testing::BmpFixture;
using testing::Bytes;
using testing::encodeBmp;

std::vector<TColor32> pixelsOf(const TBitmap32& bitmap) {
  return {bitmap.FBits(),
          bitmap.FBits() + static_cast<std::size_t>(bitmap.Width()) * bitmap.Height()};
}

TBitmap32 loadBytes(const Bytes& bmp) {
  TBitmap32 bitmap;
  loadBmpBytes(bitmap, bmp);
  return bitmap;
}

// A known picture to check that failures leave the bitmap alone.
TBitmap32 patterned() {
  TBitmap32 bitmap;
  bitmap.SetSize(3, 2);
  for (int i = 0; i < 6; ++i) bitmap.FBits()[i] = 0x11223300u + static_cast<TColor32>(i);
  bitmap.DrawMode = dmBlend;
  return bitmap;
}

void expectPatterned(const TBitmap32& bitmap) {
  ASSERT_EQ(bitmap.Width(), 3);
  ASSERT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.DrawMode, dmBlend);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(bitmap.FBits()[i], 0x11223300u + static_cast<TColor32>(i));
}

// ---- Every bit depth, both row orders ----

struct DepthCase {
  int bitCount;
  bool topDown;
};

class EveryDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(EveryDepth, ComesInOpaqueWithItsColours) {
  const auto [bitCount, topDown] = GetParam();
  BmpFixture f;
  f.width = 5;
  f.height = topDown ? -3 : 3;
  f.bitCount = bitCount;
  std::vector<TColor32> expected;
  const std::vector<std::array<std::uint8_t, 3>> colours = {
      {0, 0, 0}, {255, 0, 255}, {255, 1, 255}, {10, 200, 30}, {248, 8, 128}, {255, 255, 255}};
  if (bitCount <= 8) {
    const std::size_t entries = bitCount == 1 ? 2 : colours.size();
    f.palette.assign(colours.begin(), colours.begin() + static_cast<std::ptrdiff_t>(entries));
  }
  for (int i = 0; i < 15; ++i) {
    const std::size_t index = static_cast<std::size_t>(i) % (bitCount == 1 ? 2 : colours.size());
    const auto& c = colours[index];
    f.pixels.push_back(bitCount <= 8 ? static_cast<std::uint32_t>(index)
                                     : (std::uint32_t{c[0]} << 16) | (c[1] << 8) | c[2]);
    expected.push_back(PackColor32(c[0], c[1], c[2], 255));
  }
  const TBitmap32 bitmap = loadBytes(encodeBmp(f));
  ASSERT_EQ(bitmap.Width(), 5);
  ASSERT_EQ(bitmap.Height(), 3);
  // 5-5-5 keeps the top five bits of each channel; how the decoder fills the rest is its own.
  const TColor32 mask = bitCount == 16 ? 0xFFF8F8F8 : 0xFFFFFFFF;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(bitmap.FBits()[i] & mask, expected[i] & mask) << "pixel " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(BmpImport, EveryDepth,
                         ::testing::Values(DepthCase{1, false}, DepthCase{1, true},
                                           DepthCase{4, false}, DepthCase{4, true},
                                           DepthCase{8, false}, DepthCase{8, true},
                                           DepthCase{16, false}, DepthCase{16, true},
                                           DepthCase{24, false}, DepthCase{24, true}),
                         [](const auto& info) {
                           return std::to_string(info.param.bitCount) + "Bits" +
                                  (info.param.topDown ? "TopDown" : "BottomUp");
                         });

Bytes plain32(int width, int height) {
  BmpFixture f;
  f.width = 1;
  f.bitCount = 32;
  f.pixels = {0xFF000000};
  Bytes bmp = encodeBmp(f);
  testing::setLittle32(bmp, 18, static_cast<std::uint32_t>(width));
  testing::setLittle32(bmp, 22, static_cast<std::uint32_t>(height));
  return bmp;
}

// ---- The plain 32-bit kind, read by the program itself ----

TEST(BmpImport, Plain32KeepsTheFourthByteAsAlpha) {
  BmpFixture f;
  f.width = 4;
  f.bitCount = 32;
  f.pixels = {0x00102030, 0x80FF00FF, 0xFFFF00FF, 0x01ABCDEF};
  EXPECT_EQ(pixelsOf(loadBytes(encodeBmp(f))), f.pixels);
}

TEST(BmpImport, BottomUpRowsPutTheFirstStoredRowAtTheBottom) {
  // Stored first: blue; stored second: red. Positive height means bottom-up.
  Bytes bmp = encodeBmp({1, 2, 32, {0xFF0000FF, 0xFF0000FF}, {}});
  bmp.resize(54);
  testing::putLittle32(bmp, 0xFF0000FF);
  testing::putLittle32(bmp, 0xFFFF0000);
  EXPECT_EQ(pixelsOf(loadBytes(bmp)), (std::vector<TColor32>{0xFFFF0000, 0xFF0000FF}));
}

TEST(BmpImport, NegativeHeightIsTopDown) {
  BmpFixture f;
  f.width = 2;
  f.height = -2;
  f.bitCount = 32;
  f.pixels = {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004};
  EXPECT_EQ(pixelsOf(loadBytes(encodeBmp(f))), f.pixels);
  const Bytes bmp = encodeBmp(f);
  EXPECT_EQ(std::vector<std::uint8_t>(bmp.begin() + 54, bmp.begin() + 58),
            (std::vector<std::uint8_t>{1, 0, 0, 0xFF}));
}

TEST(BmpImport, Plain32WithLargerHeaderReadsFromTheDeclaredOffset) {
  // A 124-byte info header: the pixels start at offset 138, as the file header says.
  BmpFixture f;
  f.width = 2;
  f.bitCount = 32;
  f.pixels = {0xFF112233, 0x80445566};
  Bytes bmp = encodeBmp(f);
  bmp.insert(bmp.begin() + 54, 84, 0xEE);
  testing::setLittle32(bmp, 10, 138);
  testing::setLittle32(bmp, 14, 124);
  EXPECT_EQ(pixelsOf(loadBytes(bmp)), f.pixels);
}

TEST(BmpImport, TruncatedPlain32KeepsWhatWasReadAndRaises) {
  BmpFixture f;
  f.width = 2;
  f.height = -3;
  f.bitCount = 32;
  f.pixels = {0x01010101, 0x02020202, 0x03030303, 0x04040404, 0x05050505, 0x06060606};
  Bytes bmp = encodeBmp(f);
  bmp.resize(54 + 3 * 4 + 2);  // three whole pixels and half of the fourth
  TBitmap32 bitmap;
  bitmap.SetSize(2, 3);
  std::fill_n(bitmap.FBits(), 6, 0x12345678u);
  bitmap.DrawMode = dmBlend;
  EXPECT_THROW(loadBmpBytes(bitmap, bmp), std::runtime_error);
  EXPECT_EQ(bitmap.DrawMode, dmBlend);
  EXPECT_EQ(pixelsOf(bitmap), (std::vector<TColor32>{0x01010101, 0x02020202, 0x03030303, 0xFF000000,
                                                     0xFF000000, 0xFF000000}));
}

TEST(BmpImport, TruncatedLargerPlain32StillFollowsTheTruncationRule) {
  // 512 x 512 declares 1 MiB of pixels; a file holding only its first row is still believed.
  Bytes bmp = plain32(512, -512);
  bmp.resize(54);
  for (int x = 0; x < 512; ++x)
    testing::putLittle32(bmp, 0x7F000000u | static_cast<std::uint32_t>(x));
  TBitmap32 bitmap;
  EXPECT_THROW(loadBmpBytes(bitmap, bmp), std::runtime_error);
  ASSERT_EQ(bitmap.Width(), 512);
  ASSERT_EQ(bitmap.Height(), 512);
  EXPECT_EQ(bitmap.GetPixel(511, 0), 0x7F0001FFu);
  EXPECT_EQ(bitmap.GetPixel(0, 1), clOpaqueBlack32);
  EXPECT_EQ(bitmap.GetPixel(511, 511), clOpaqueBlack32);
}

TEST(BmpImport, TruncatedBottomUpFillsFromTheBottom) {
  BmpFixture f;
  f.width = 1;
  f.height = 3;
  f.bitCount = 32;
  f.pixels = {0x0A0A0A0A, 0x0B0B0B0B, 0x0C0C0C0C};
  Bytes bmp = encodeBmp(f);
  bmp.resize(54 + 4);
  TBitmap32 bitmap;
  EXPECT_THROW(loadBmpBytes(bitmap, bmp), std::runtime_error);
  EXPECT_EQ(pixelsOf(bitmap), (std::vector<TColor32>{0xFF000000, 0xFF000000, 0x0C0C0C0C}));
}

// ---- Keying through loadImageFile ----

TEST(BmpImport, TwentyFourBitMagentaIsKeyedOut) {
  const testing::TempDir dir;
  BmpFixture f;
  f.width = 3;
  f.pixels = {0xFF00FF, 0xFF01FF, 0x000000};
  testing::writeFile(dir / "magenta.bmp", encodeBmp(f));
  TBitmap32 bitmap;
  ASSERT_TRUE(loadImageFile((dir / "magenta.bmp").string(), bitmap));
  EXPECT_EQ(pixelsOf(bitmap), (std::vector<TColor32>{0x00FFFFFF, 0xFFFF01FF, 0xFF000000}));
}

TEST(BmpImport, Plain32WithZeroFourthBytesIsTransparentAndNotKeyed) {
  const testing::TempDir dir;
  BmpFixture f;
  f.width = 3;
  f.bitCount = 32;
  f.pixels = {0x00FF00FF, 0x00102030, 0xFFFF00FF};
  testing::writeFile(dir / "alpha.bmp", encodeBmp(f));
  TBitmap32 bitmap;
  ASSERT_TRUE(loadImageFile((dir / "alpha.bmp").string(), bitmap));
  EXPECT_EQ(pixelsOf(bitmap), (std::vector<TColor32>{0x00FF00FF, 0x00102030, 0x00FFFFFF}));
}

// ---- Other BMP kinds through Qt ----

TEST(BmpImport, RunLengthEncodedIsDecoded) {
  BmpFixture f;
  f.width = 4;
  f.bitCount = 8;
  f.palette = {{1, 2, 3}, {255, 0, 255}};
  f.pixels = {0, 0, 0, 0};
  Bytes bmp = encodeBmp(f);
  // Replace the pixel data by RLE8: one row of 3 x entry 1 and 1 x entry 0, then end of bitmap.
  bmp.resize(54 + 8);
  const Bytes rle = {3, 1, 1, 0, 0, 1};
  bmp.insert(bmp.end(), rle.begin(), rle.end());
  testing::setLittle32(bmp, 30, 1);  // BI_RLE8
  testing::setLittle32(bmp, 34, static_cast<std::uint32_t>(rle.size()));
  testing::setLittle32(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
  EXPECT_EQ(pixelsOf(loadBytes(bmp)),
            (std::vector<TColor32>{0xFFFF00FF, 0xFFFF00FF, 0xFFFF00FF, 0xFF010203}));
}

TEST(BmpImport, BitfieldsWithAlphaMaskKeepsTheAlpha) {
  // 32 bits, BI_BITFIELDS with a 108-byte header that declares an alpha mask.
  Bytes bmp = {'B', 'M'};
  testing::putLittle32(bmp, 14 + 108 + 8);
  testing::putLittle32(bmp, 0);
  testing::putLittle32(bmp, 14 + 108);
  testing::putLittle32(bmp, 108);
  testing::putLittle32(bmp, 2);
  testing::putLittle32(bmp, 1);
  testing::putLittle16(bmp, 1);
  testing::putLittle16(bmp, 32);
  testing::putLittle32(bmp, 3);  // BI_BITFIELDS
  testing::putLittle32(bmp, 8);
  testing::putLittle32(bmp, 2835);
  testing::putLittle32(bmp, 2835);
  testing::putLittle32(bmp, 0);
  testing::putLittle32(bmp, 0);
  testing::putLittle32(bmp, 0x00FF0000);
  testing::putLittle32(bmp, 0x0000FF00);
  testing::putLittle32(bmp, 0x000000FF);
  testing::putLittle32(bmp, 0xFF000000);
  testing::putLittle32(bmp, 0x73524742);  // sRGB
  bmp.resize(14 + 108, 0);
  testing::putLittle32(bmp, 0x80102030);
  testing::putLittle32(bmp, 0xFF405060);
  EXPECT_EQ(pixelsOf(loadBytes(bmp)), (std::vector<TColor32>{0x80102030, 0xFF405060}));
}

// ---- Kinds the program reads itself ----

// A file of any header layout: the 14-byte file header, `info` (its own size first), the
// colour table or masks in `between`, then the pixel rows.
Bytes assembleBmp(const Bytes& info, const Bytes& between, const Bytes& rows) {
  Bytes bmp = {'B', 'M'};
  const auto offset = static_cast<std::uint32_t>(14 + info.size() + between.size());
  testing::putLittle32(bmp, static_cast<std::uint32_t>(offset + rows.size()));
  testing::putLittle32(bmp, 0);
  testing::putLittle32(bmp, offset);
  bmp.insert(bmp.end(), info.begin(), info.end());
  bmp.insert(bmp.end(), between.begin(), between.end());
  bmp.insert(bmp.end(), rows.begin(), rows.end());
  return bmp;
}

Bytes windowsInfo(int width, int height, int bitCount, std::uint32_t compression,
                  std::uint32_t colours = 0, std::uint32_t size = 40) {
  Bytes info;
  testing::putLittle32(info, size);
  testing::putLittle32(info, static_cast<std::uint32_t>(width));
  testing::putLittle32(info, static_cast<std::uint32_t>(height));
  testing::putLittle16(info, 1);
  testing::putLittle16(info, static_cast<std::uint16_t>(bitCount));
  testing::putLittle32(info, compression);
  for (std::uint32_t field : {0u, 2835u, 2835u, colours, 0u}) testing::putLittle32(info, field);
  info.resize(size, 0);
  return info;
}

TEST(BmpImport, TwoBitPaletteIsRead) {
  // Four pixels, indices 3, 2, 1, 0 in one byte; a row is padded to four bytes.
  const Bytes palette = {0, 0, 0, 0, 0x40, 0x40, 0x40, 0, 0x80, 0x80, 0x80, 0, 0xFF, 0xFF, 0xFF, 0};
  const Bytes bmp = assembleBmp(windowsInfo(4, 1, 2, 0, 4), palette, {0b11100100, 0, 0, 0});
  EXPECT_EQ(pixelsOf(loadBytes(bmp)),
            (std::vector<TColor32>{0xFFFFFFFF, 0xFF808080, 0xFF404040, 0xFF000000}));
}

TEST(BmpImport, Os2PaletteShorterThanItsDepthAllows) {
  // OS/2 1.x: a 12-byte header, three bytes an entry, and only two entries before the pixels.
  Bytes info;
  testing::putLittle32(info, 12);
  testing::putLittle16(info, 3);
  testing::putLittle16(info, 1);
  testing::putLittle16(info, 1);
  testing::putLittle16(info, 8);
  const Bytes palette = {0x30, 0x20, 0x10, 0x60, 0x50, 0x40};
  // Trailing bytes bring the file to the 54 bytes every BMP must have.
  const Bytes bmp = assembleBmp(
      info, palette, {1, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(pixelsOf(loadBytes(bmp)),
            (std::vector<TColor32>{0xFF405060, 0xFF102030, clOpaqueBlack32}));
}

TEST(BmpImport, SixteenBitsWithAnAlphaMaskComeInOpaque) {
  // 4-4-4-4 masks in a 56-byte header; the alpha nibbles are 0 and 8.
  Bytes info = windowsInfo(2, 1, 16, 3, 0, 56);
  testing::setLittle32(info, 40, 0x0F00);
  testing::setLittle32(info, 44, 0x00F0);
  testing::setLittle32(info, 48, 0x000F);
  testing::setLittle32(info, 52, 0xF000);
  const Bytes bmp = assembleBmp(info, {}, {0x00, 0x0F, 0xF0, 0x80});
  EXPECT_EQ(pixelsOf(loadBytes(bmp)), (std::vector<TColor32>{0xFFFF0000, 0xFF00FF00}));
}

TEST(BmpImport, ElevenElevenTenMasksKeepTheirColours) {
  // Red and green take eleven bits, blue ten; the values are 8-bit colours scaled up.
  Bytes masks;
  for (std::uint32_t m : {0xFFE00000u, 0x001FFC00u, 0x000003FFu}) testing::putLittle32(masks, m);
  const auto scaled = [](std::uint32_t c, std::uint32_t most) { return (c * most + 127) / 255; };
  const std::uint32_t pixel =
      scaled(0x12, 2047) << 21 | scaled(0xC0, 2047) << 10 | scaled(0xFE, 1023);
  Bytes rows;
  testing::putLittle32(rows, pixel);
  testing::putLittle32(rows, 0xFFFFFFFF);
  const Bytes bmp = assembleBmp(windowsInfo(2, 1, 32, 3), masks, rows);
  EXPECT_EQ(pixelsOf(loadBytes(bmp)), (std::vector<TColor32>{0xFF12C0FE, 0xFFFFFFFF}));
}

TEST(BmpImport, PaletteEndsWhereThePixelsBegin) {
  // The header leaves the count 0 (all 256 entries) but the pixels start after two of them.
  const Bytes bmp = assembleBmp(windowsInfo(3, 1, 8, 0), {1, 2, 3, 0, 4, 5, 6, 0}, {1, 0, 9, 0});
  EXPECT_EQ(pixelsOf(loadBytes(bmp)),
            (std::vector<TColor32>{0xFF060504, 0xFF030201, clOpaqueBlack32}));
}

TEST(BmpImport, PaletteIndexPastTheTableIsBlack) {
  const Bytes bmp = assembleBmp(windowsInfo(2, 1, 8, 0, 1), {9, 8, 7, 0}, {0, 200, 0, 0});
  EXPECT_EQ(pixelsOf(loadBytes(bmp)), (std::vector<TColor32>{0xFF070809, clOpaqueBlack32}));
}

// ---- Refused files ----

struct RefusedCase {
  std::string name;
  Bytes bytes;
};

Bytes twentyFour(int width, int height) {
  BmpFixture f;
  f.pixels = {0};
  Bytes bmp = encodeBmp(f);
  testing::setLittle32(bmp, 18, static_cast<std::uint32_t>(width));
  testing::setLittle32(bmp, 22, static_cast<std::uint32_t>(height));
  return bmp;
}

std::vector<RefusedCase> refusedCases() {
  Bytes notBm = encodeBmp({1, 1, 24, {0}, {}});
  notBm[0] = 'P';
  Bytes pngInside = testing::assemblePng({{"IHDR", testing::ihdrData(1, 1, 8, 2)}, {"IEND", {}}});
  pngInside.resize(60, 0);
  Bytes truncated24 = encodeBmp({4, 4, 24, std::vector<std::uint32_t>(16, 0x123456), {}});
  truncated24.resize(truncated24.size() - 10);
  Bytes shortHeader = encodeBmp({1, 1, 24, {0}, {}});
  shortHeader.resize(53);
  return {
      {"Empty", {}},
      {"ShorterThanHeader", shortHeader},
      {"NoSignature", notBm},
      {"PngBytes", pngInside},
      {"Plain32Huge", plain32(100000, 100000)},
      {"Plain32HugeTopDown", plain32(100000, -100000)},
      {"Plain32FarBeyondItsBytes", plain32(16384, 16384)},
      // 4 MiB declared, 4 bytes held: beyond twice what the file holds plus 1 MiB.
      {"Plain32ShortOfMostOfItsPixels", plain32(1024, 1024)},
      {"Plain32MinimumHeight", plain32(10, INT32_MIN)},
      {"Plain32ZeroWidth", plain32(0, 5)},
      {"Plain32NegativeWidth", plain32(-5, 5)},
      {"Plain32ZeroHeight", plain32(5, 0)},
      {"TwentyFourHuge", twentyFour(100000, 100000)},
      {"TwentyFourFarBeyondItsBytes", twentyFour(16000, 16000)},
      {"TwentyFourTruncated", truncated24},
      {"EmbeddedJpeg", assembleBmp(windowsInfo(1, 1, 0, 4, 0, 124), {}, Bytes(16, 0xFF))},
      {"EmbeddedPng", assembleBmp(windowsInfo(1, 1, 0, 5, 0, 124), {}, pngInside)},
      {"UnknownHeaderSize", assembleBmp(windowsInfo(1, 1, 24, 0, 0, 66), {}, Bytes(4, 0))},
      {"TwoPlanes",
       [] {
         Bytes b = assembleBmp(windowsInfo(1, 1, 24, 0), {}, Bytes(4, 0));
         b[26] = 2;
         return b;
       }()},
      {"PaletteBeyondItsRoom", assembleBmp(windowsInfo(1, 1, 8, 0, 0x1000000), {}, Bytes(4, 0))},
      {"MasksCutShort", assembleBmp(windowsInfo(1, 1, 16, 3), {}, {})},
      {"Os2WithHuffman", assembleBmp(windowsInfo(1, 1, 1, 3, 0, 64), Bytes(8, 0), Bytes(4, 0))},
      {"RunLengthTwentyFour", assembleBmp(windowsInfo(1, 1, 24, 1), {}, Bytes(4, 0))},
  };
}

class RefusedBmp : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedBmp, RaisesAndLeavesTheBitmapAsItWas) {
  TBitmap32 bitmap = patterned();
  EXPECT_THROW(loadBmpBytes(bitmap, GetParam().bytes), std::runtime_error);
  expectPatterned(bitmap);
}

INSTANTIATE_TEST_SUITE_P(BmpImport, RefusedBmp, ::testing::ValuesIn(refusedCases()),
                         [](const auto& info) { return info.param.name; });

TEST(BmpImport, MissingFileRaises) {
  const testing::TempDir dir;
  TBitmap32 bitmap = patterned();
  EXPECT_THROW(loadBmpFile(bitmap, (dir / "none.bmp").string()), std::runtime_error);
  EXPECT_THROW(loadBmpFile(bitmap, dir.path().string()), std::runtime_error);
  expectPatterned(bitmap);
}

TEST(BmpImport, EveryTruncationOfAPaletteFileIsHandled) {
  BmpFixture f;
  f.width = 7;
  f.height = 5;
  f.bitCount = 4;
  f.palette = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}};
  for (int i = 0; i < 35; ++i) f.pixels.push_back(static_cast<std::uint32_t>(i % 3));
  const Bytes whole = encodeBmp(f);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    TBitmap32 bitmap = patterned();
    try {
      loadBmpBytes(bitmap, std::span(whole.data(), size));
      // A decoder may accept a file cut inside padding; then the picture must be the whole one.
      EXPECT_EQ(bitmap.Width(), 7) << size;
    } catch (const std::runtime_error&) {
      expectPatterned(bitmap);
    }
  }
}

}  // namespace
}  // namespace tess
