// Choosing the decoder by the file's whole, lower-cased path.

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

enum class Outcome { png, bmp, falseUntouched, trueUntouched, raises };

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
      {"PngFolderWins", "png/a.bmp", onePixelBmp(), Outcome::falseUntouched},
      {"PngWinsOverBmp", "a.bmp.png", onePixelPng(), Outcome::png},
      {"BmpNamedPng", "picture.png", onePixelBmp(), Outcome::falseUntouched},
      {"LowerBmp", "a.bmp", onePixelBmp(), Outcome::bmp},
      {"UpperBmp", "A.BMP", onePixelBmp(), Outcome::bmp},
      {"BmpFolder", "BMPs/sprite.dat", onePixelBmp(), Outcome::bmp},
      {"PngNamedBmp", "a.bmp", onePixelPng(), Outcome::raises},
      {"Gif", "a.gif", Bytes{'G', 'I', 'F', '8', '9', 'a'}, Outcome::trueUntouched},
      {"NoExtension", "sprite", onePixelPng(), Outcome::trueUntouched},
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
    case Outcome::trueUntouched:
      EXPECT_TRUE(loadImageFile(path.string(), bitmap));
      EXPECT_EQ(bitmap.FBits()[0], kUntouched);
      break;
    case Outcome::raises:
      EXPECT_THROW(loadImageFile(path.string(), bitmap), std::runtime_error);
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
  EXPECT_THROW(loadImageFile((dir / "none.bmp").string(), bitmap), std::runtime_error);
  EXPECT_TRUE(loadImageFile((dir / "none.gif").string(), bitmap));
  EXPECT_EQ(bitmap.FBits()[0], kUntouched);
}

TEST(ImageFile, OnlyAsciiLettersAreLowered) {
  // A non-ASCII byte next to the letters must not be taken for one of them.
  const testing::TempDir dir;
  const auto path = dir / "\xC3\x89P\xC3\x91G.dat";  // "ÉPÑG.dat": no "png" in it
  testing::writeFile(path, onePixelPng());
  TBitmap32 bitmap = untouched();
  EXPECT_TRUE(loadImageFile(path.string(), bitmap));
  EXPECT_EQ(bitmap.FBits()[0], kUntouched);
}

}  // namespace
}  // namespace tess
