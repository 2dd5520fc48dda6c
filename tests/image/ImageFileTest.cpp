// Choosing the decoder by the file's first bytes, and by its whole, lower-cased path when
// they say nothing.

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "bmpTestSupport.h"
#include "image/imageFile.h"
#include "pngTestSupport.h"

namespace tess {
namespace {

using testing::Bytes;

Bytes onePixelPng() {
  testing::PngFixture f;
  f.colorType = 6;
  f.samples = {1, 2, 3, 255};
  return testing::encodePng(f);
}

Bytes onePixelBmp() { return testing::encodeBmp({1, 1, 24, {0x040506}, {}}); }

constexpr TColor32 kPngPixel = 0xFF010203;
constexpr TColor32 kBmpPixel = 0xFF040506;
constexpr TColor32 kUntouched = 0x5A5A5A5A;

TBitmap32 untouched() {
  TBitmap32 bitmap;
  bitmap.SetSize(1, 1);
  bitmap.FBits()[0] = kUntouched;
  return bitmap;
}

Bytes gif() { return {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}; }

Bytes randomBytes() {
  Bytes bytes(300);
  std::uint32_t state = 12345;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

Bytes damagedPngSignature() {
  Bytes png = onePixelPng();
  png[1] = 'p';
  return png;
}

enum class Outcome { png, bmp, falseUntouched, raises };

struct NameCase {
  std::string testName;
  std::string path;  // relative to a fresh folder; folders are created
  Bytes content;
  Outcome outcome;
};

std::vector<NameCase> nameCases() {
  return {
      {"LowerPng", "a.png", onePixelPng(), Outcome::png},
      {"UpperPng", "SPRITE.PNG", onePixelPng(), Outcome::png},
      {"PngInsideTheName", "my_png_sprite.dat", onePixelPng(), Outcome::png},
      {"BmpInPngFolder", "png/a.bmp", onePixelBmp(), Outcome::bmp},
      {"PngWinsOverBmp", "a.bmp.png", onePixelPng(), Outcome::png},
      {"BmpNamedPng", "picture.png", onePixelBmp(), Outcome::bmp},
      {"LowerBmp", "a.bmp", onePixelBmp(), Outcome::bmp},
      {"UpperBmp", "A.BMP", onePixelBmp(), Outcome::bmp},
      {"BmpFolder", "BMPs/sprite.dat", onePixelBmp(), Outcome::bmp},
      {"PngNamedBmp", "a.bmp", onePixelPng(), Outcome::png},
      {"PngWithoutExtension", "sprite", onePixelPng(), Outcome::png},
      {"BmpWithoutExtension", "sprite", onePixelBmp(), Outcome::bmp},
      // Neither signature: the name decides, and nothing is read either way.
      {"Gif", "a.gif", gif(), Outcome::falseUntouched},
      {"GifNamedPng", "a.png", gif(), Outcome::falseUntouched},
      {"GifNamedBmp", "a.bmp", gif(), Outcome::raises},
      {"RandomBytes", "noise", randomBytes(), Outcome::falseUntouched},
      {"EmptyFile", "empty.gif", {}, Outcome::falseUntouched},
      {"OneByte", "b.dat", Bytes{'B'}, Outcome::falseUntouched},
      {"DamagedPngSignature", "a.png", damagedPngSignature(), Outcome::falseUntouched},
  };
}

class DecoderChoice : public ::testing::TestWithParam<NameCase> {};

TEST_P(DecoderChoice, FollowsTheWholePath) {
  const testing::TempDir dir;
  const auto path = dir / GetParam().path;
  std::filesystem::create_directories(path.parent_path());
  testing::writeFile(path, GetParam().content);

  TBitmap32 bitmap = untouched();
  switch (GetParam().outcome) {
    case Outcome::png:
      EXPECT_TRUE(loadImageFile(path.string(), bitmap));
      EXPECT_EQ(bitmap.FBits()[0], kPngPixel);
      break;
    case Outcome::bmp:
      EXPECT_TRUE(loadImageFile(path.string(), bitmap));
      EXPECT_EQ(bitmap.FBits()[0], kBmpPixel);
      break;
    case Outcome::falseUntouched:
      EXPECT_FALSE(loadImageFile(path.string(), bitmap));
      EXPECT_EQ(bitmap.FBits()[0], kUntouched);
      break;
    case Outcome::raises:
      EXPECT_THROW((void)loadImageFile(path.string(), bitmap), std::runtime_error);
      EXPECT_EQ(bitmap.FBits()[0], kUntouched);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(ImageFile, DecoderChoice, ::testing::ValuesIn(nameCases()),
                         [](const auto& info) { return info.param.testName; });

TEST(ImageFile, MissingFiles) {
  const testing::TempDir dir;
  TBitmap32 bitmap = untouched();
  EXPECT_FALSE(loadImageFile((dir / "none.png").string(), bitmap));
  EXPECT_THROW((void)loadImageFile((dir / "none.bmp").string(), bitmap), std::runtime_error);
  EXPECT_FALSE(loadImageFile((dir / "none.gif").string(), bitmap));
  EXPECT_FALSE(loadImageFile(dir.path().string(), bitmap));
  EXPECT_EQ(bitmap.FBits()[0], kUntouched);
}

TEST(ImageFile, OnlyAsciiLettersAreLoweredForTheName) {
  // A non-ASCII byte next to the letters must not be taken for one of them: "ÉBMP" says BMP,
  // "B\xC3\x8DP" does not.
  const testing::TempDir dir;
  TBitmap32 bitmap = untouched();
  testing::writeFile(dir /
                         "\xC3\x89"
                         "BMP.dat",
                     gif());
  EXPECT_THROW((void)loadImageFile((dir / "\xC3\x89"
                                          "BMP.dat")
                                       .string(),
                                   bitmap),
               std::runtime_error);
  testing::writeFile(dir / "B\xC3\x8DP.dat", gif());
  EXPECT_FALSE(loadImageFile((dir / "B\xC3\x8DP.dat").string(), bitmap));
  EXPECT_EQ(bitmap.FBits()[0], kUntouched);
}

TEST(ImageFile, KindFromFirstBytes) {
  EXPECT_EQ(sniffImageKind(onePixelPng()), ImageKind::png);
  EXPECT_EQ(sniffImageKind(onePixelBmp()), ImageKind::bmp);
  EXPECT_EQ(sniffImageKind(gif()), ImageKind::unknown);
  EXPECT_EQ(sniffImageKind(Bytes{'B'}), ImageKind::unknown);
  const Bytes png = onePixelPng();
  EXPECT_EQ(sniffImageKind(std::span(png.data(), 7)), ImageKind::unknown);
}

// The alpha mode reaches the PNG decoder through the file loader; a 32-bit BMP's fourth byte
// comes in as it is in either mode.
TEST(ImageFile, AlphaModeReachesThePngDecoderOnly) {
  const testing::TempDir dir;
  testing::PngFixture half;
  half.colorType = 6;
  half.samples = {16, 32, 48, 128};
  testing::writeFile(dir / "half.png", testing::encodePng(half));
  testing::writeFile(dir / "half.bmp", testing::encodeBmp({1, 1, 32, {0x80102030}, {}}));
  const struct {
    const char* file;
    ImportAlpha mode;
    TColor32 expected;
  } table[] = {
      {"half.png", ImportAlpha::OverWhite, 0x80878F97},
      {"half.png", ImportAlpha::Keep, 0x80102030},
      {"half.bmp", ImportAlpha::OverWhite, 0x80102030},
      {"half.bmp", ImportAlpha::Keep, 0x80102030},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.file);
    TBitmap32 bitmap;
    ASSERT_TRUE(loadImageFile((dir / row.file).string(), bitmap, row.mode));
    EXPECT_EQ(bitmap.FBits()[0], row.expected);
  }
}

}  // namespace
}  // namespace tess
