#include <gtest/gtest.h>

#include <functional>

#include "AssetsTestSupport.h"

namespace tess::testing {
namespace {

using namespace tess::assets;

Bytes sheetBmp(int seed) { return encodeSheetBmp(patternPicture(kSheetSide, kSheetSide, seed)); }

Bytes packed(const Bytes& bmp) {
  Bytes file;
  std::string reason;
  EXPECT_TRUE(packSheet(bmp, file, reason)) << reason;
  return file;
}

std::uint64_t le64(const Bytes& bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

TEST(SheetFile, WrittenHeaderHasTheClientsLayout) {
  const Bytes file = packed(sheetBmp(3));
  ASSERT_GT(file.size(), 45u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 32), sheetHeader(file.size() - 32));
  EXPECT_EQ(file[32], 0x5D);
  EXPECT_EQ(Bytes(file.begin() + 33, file.begin() + 37), (Bytes{0x00, 0x00, 0x00, 0x02}));
  EXPECT_EQ(le64(file, 37), file.size() - 45) << "the field holds the compressed length";
}

TEST(SheetFile, OwnAndStandardDecodersGiveBackTheBmp) {
  const Bytes bmp = sheetBmp(5);
  const Bytes file = packed(bmp);
  Bytes back;
  std::string reason;
  ASSERT_TRUE(unpackSheet(file, back, reason)) << reason;
  EXPECT_EQ(back, bmp);
  EXPECT_EQ(aloneDecode(file), bmp) << "ends with an end marker the standard decoder accepts";
}

TEST(SheetFile, ReadsSheetsMadeByTheStandardAloneEncoder) {
  const Bytes bmp = sheetBmp(9);
  Bytes back;
  std::string reason;
  ASSERT_TRUE(unpackSheet(aloneSheet(bmp), back, reason)) << reason;
  EXPECT_EQ(back, bmp);
}

TEST(SheetFile, NameIsTheSha256OfTheBmp) {
  const Bytes abc = {'a', 'b', 'c'};
  EXPECT_EQ(sheetFileName(abc),
            "sprites-ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad.bmp.lzma");
}

TEST(SheetBmp, TransparencyComesFromAlphaAloneAndIsWrittenAsMagenta) {
  TBitmap32 sheet = patternPicture(kSheetSide, kSheetSide, 1);
  sheet.FBits()[0] = clMagenta32;  // opaque magenta is a colour like any other
  Bytes bmp = encodeSheetBmp(sheet);
  // Bottom-up: the top-left pixel is the first of the last stored row.
  const std::size_t topLeft = 122 + 383 * 384 * 4;
  EXPECT_EQ((Bytes(bmp.begin() + topLeft, bmp.begin() + topLeft + 4)),
            (Bytes{0xFF, 0x00, 0xFF, 0xFF}));
  // Any alpha-0 pixel is stored FF00FF with alpha 0; a stored white one reads as transparent too.
  std::size_t stored = 0;
  for (std::size_t at = 122; at < bmp.size(); at += 4) {
    if (bmp[at + 3] == 0) {
      EXPECT_EQ((Bytes(bmp.begin() + at, bmp.begin() + at + 4)), (Bytes{0xFF, 0x00, 0xFF, 0x00}));
      bmp[at] = bmp[at + 1] = bmp[at + 2] = 0xFF;
      ++stored;
    }
  }
  ASSERT_GT(stored, 0u);
  TBitmap32 back;
  std::string reason;
  ASSERT_TRUE(decodeSheetBmp(bmp, back, reason)) << reason;
  EXPECT_TRUE(samePixels(back, sheet));
}

// Bad files: each is refused with a reason that says what is wrong, and nothing unpacks past
// one BMP.
struct BadSheet {
  const char* name;
  std::function<Bytes()> make;
  const char* says;
};

Bytes withByte(Bytes file, std::size_t at, std::uint8_t value) {
  file[at] = value;
  return file;
}

Bytes bmpOfSize(std::size_t size) {
  Bytes bmp = sheetBmp(2);
  bmp.resize(size, 0x55);
  return bmp;
}

class BadSheetTest : public ::testing::TestWithParam<BadSheet> {};

TEST_P(BadSheetTest, IsRefusedWithAReason) {
  const Bytes file = GetParam().make();
  Bytes bmp;
  TBitmap32 sheet;
  std::string reason;
  const bool unpacked = unpackSheet(file, bmp, reason);
  const bool decoded = unpacked && decodeSheetBmp(bmp, sheet, reason);
  EXPECT_FALSE(decoded);
  EXPECT_TRUE(sheet.empty());
  EXPECT_LE(bmp.size(), kSheetBmpBytes);
  EXPECT_NE(reason.find(GetParam().says), std::string::npos) << reason;
}

const Bytes& goodFile() {
  static const Bytes file = packed(sheetBmp(4));
  return file;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadSheetTest,
    ::testing::Values(
        BadSheet{"Empty", [] { return Bytes{}; }, "too short"},
        BadSheet{"HeaderOnly", [] { return Bytes(goodFile().begin(), goodFile().begin() + 40); },
                 "too short"},
        BadSheet{"WrongMagic", [] { return withByte(goodFile(), 32 - 3 - 5, 0x71); }, "magic"},
        BadSheet{"AllZeroHeader", [] { return Bytes(100, 0); }, "magic"},
        BadSheet{"LengthFieldLies",
                 [] {
                   Bytes file = goodFile();
                   file.push_back(0);
                   return file;
                 },
                 "the header says"},
        BadSheet{"Truncated", [] { return Bytes(goodFile().begin(), goodFile().end() - 100); },
                 "truncated"},
        BadSheet{"LengthNotEndingAtByte31", [] { return withByte(goodFile(), 31, 0x81); },
                 "does not end at byte 31"},
        BadSheet{"StreamLengthFieldLies", [] { return withByte(goodFile(), 37, 0x01); },
                 "length field"},
        BadSheet{"BadProperties", [] { return withByte(goodFile(), 32, 0xE1); }, "properties"},
        BadSheet{"DamagedData",
                 [] {
                   Bytes file = goodFile();
                   for (std::size_t i = 60; i < 400; ++i) file[i] ^= 0xA5;
                   return file;
                 },
                 ""},
        BadSheet{"UnpacksOneByteShort", [] { return aloneSheet(bmpOfSize(kSheetBmpBytes - 1)); },
                 "unpacks to 589945 bytes"},
        BadSheet{"UnpacksOneByteLong", [] { return aloneSheet(bmpOfSize(kSheetBmpBytes + 1)); },
                 "more than"},
        // 64 MiB of zeros packs into a few kilobytes; it must stop after one sheet's worth.
        BadSheet{"Bomb", [] { return aloneSheet(Bytes(64u << 20, 0)); }, "more than"},
        BadSheet{"NotABmp", [] { return aloneSheet(withByte(sheetBmp(1), 0, 'X')); },
                 "does not hold a BMP"},
        BadSheet{"OtherWidth", [] { return aloneSheet(withByte(sheetBmp(1), 18, 0x7F)); },
                 "not 384x384"},
        BadSheet{"TwentyFourBits", [] { return aloneSheet(withByte(sheetBmp(1), 28, 24)); },
                 "another kind"},
        BadSheet{"NoAlphaMask", [] { return aloneSheet(withByte(sheetBmp(1), 69, 0)); },
                 "another kind"}),
    [](const ::testing::TestParamInfo<BadSheet>& info) { return info.param.name; });

}  // namespace
}  // namespace tess::testing
