#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <iterator>

#include "image/PNG.h"
#include "pngTestSupport.h"
#include "support/Unprivileged.h"

namespace tess {
namespace {

using testing::Bytes;

TBitmap32 sampleSprite() {
  TBitmap32 bitmap;
  bitmap.SetSize(32, 32);
  for (int i = 0; i < 32 * 32; ++i) {
    const auto v = static_cast<std::uint8_t>(i * 7);
    bitmap.FBits()[i] = i % 3 == 0 ? clTransparentWhite32 : PackColor32(v, 255 - v, v / 2, 255);
  }
  return bitmap;
}

// Decodes with libpng's simplified reader, a path the program does not use, as straight RGBA.
std::vector<std::uint8_t> decodeRgba(const Bytes& png, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return pixels;
}

TEST(PngExport, HoldsOnlyImageHeaderDataAndEnd) {
  const auto png = bitmapToPng(sampleSprite());
  ASSERT_TRUE(png.has_value());
  const auto chunks = testing::parseChunks(*png);
  ASSERT_GE(chunks.size(), 3u);
  EXPECT_EQ(chunks.front().type, "IHDR");
  EXPECT_EQ(chunks.back().type, "IEND");
  EXPECT_TRUE(chunks.back().data.empty());
  for (std::size_t i = 1; i + 1 < chunks.size(); ++i) EXPECT_EQ(chunks[i].type, "IDAT");
  EXPECT_EQ(chunks.front().data, testing::ihdrData(32, 32, 8, 6, 0));
}

TEST(PngExport, CompressesAtTheHighestZlibLevel) {
  const auto png = bitmapToPng(sampleSprite());
  ASSERT_TRUE(png.has_value());
  const auto chunks = testing::parseChunks(*png);
  ASSERT_GE(chunks.size(), 2u);
  ASSERT_GE(chunks[1].data.size(), 2u);
  // The zlib header's FLEVEL field says 3, "maximum compression", only for levels 7 to 9.
  EXPECT_EQ(chunks[1].data[1] >> 6, 3);
}

TEST(PngExport, WritesPixelBytesUnchanged) {
  TBitmap32 bitmap;
  bitmap.SetSize(5, 2);
  const std::vector<TColor32> pixels = {0x00FFFFFF, 0xFF102030, 0x80102030, 0x01FEFDFC, 0x7F000000,
                                        0xFFFF00FF, 0x00000000, 0x40123456, 0xC0ABCDEF, 0xFF000000};
  std::copy(pixels.begin(), pixels.end(), bitmap.FBits());
  const auto png = bitmapToPng(bitmap);
  ASSERT_TRUE(png.has_value());
  int width = 0;
  int height = 0;
  const auto rgba = decodeRgba(*png, width, height);
  ASSERT_EQ(width, 5);
  ASSERT_EQ(height, 2);
  ASSERT_EQ(rgba.size(), pixels.size() * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    std::uint8_t r, g, b, a;
    UnpackColor32(pixels[i], r, g, b, a);
    EXPECT_EQ(rgba[4 * i], r) << i;
    EXPECT_EQ(rgba[4 * i + 1], g) << i;
    EXPECT_EQ(rgba[4 * i + 2], b) << i;
    EXPECT_EQ(rgba[4 * i + 3], a) << i;
  }
}

TEST(PngExport, SpritePixelsSurviveARoundTrip) {
  const TBitmap32 sprite = sampleSprite();
  const auto png = bitmapToPng(sprite);
  ASSERT_TRUE(png.has_value());
  TBitmap32 back;
  ASSERT_TRUE(loadPngStream(back, *png));
  ASSERT_EQ(back.Width(), 32);
  ASSERT_EQ(back.Height(), 32);
  EXPECT_TRUE(std::equal(sprite.FBits(), sprite.FBits() + 1024, back.FBits()));
}

TEST(PngExport, HalfTransparentPixelComesBackLightened) {
  TBitmap32 bitmap;
  bitmap.SetSize(1, 1);
  bitmap.FBits()[0] = 0x80102030;
  const auto png = bitmapToPng(bitmap);
  ASSERT_TRUE(png.has_value());
  TBitmap32 back;
  ASSERT_TRUE(loadPngStream(back, *png));
  EXPECT_EQ(back.FBits()[0], 0x80878F97u);
}

TEST(PngExport, KeepsTheBitmapsOwnSize) {
  TBitmap32 bitmap;
  bitmap.SetSize(70, 3);
  const auto png = bitmapToPng(bitmap);
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(testing::parseChunks(*png).front().data, testing::ihdrData(70, 3, 8, 6, 0));
}

TEST(PngExport, EmptyBitmapBuildsNothing) {
  EXPECT_FALSE(bitmapToPng(TBitmap32{}).has_value());
  const testing::TempDir dir;
  savePngFile(TBitmap32{}, (dir / "1.png").string());
  EXPECT_FALSE(std::filesystem::exists(dir / "1.png"));
}

TEST(PngExport, SaveWritesTheBuiltImage) {
  const testing::TempDir dir;
  const TBitmap32 sprite = sampleSprite();
  savePngFile(sprite, (dir / "17.png").string());
  EXPECT_EQ(testing::readFile(dir / "17.png"), *bitmapToPng(sprite));
}

TEST(PngExport, SaveReplacesAnExistingFile) {
  const testing::TempDir dir;
  testing::writeFile(dir / "2.png", Bytes(100000, 0xAB));
  const TBitmap32 sprite = sampleSprite();
  savePngFile(sprite, (dir / "2.png").string());
  EXPECT_EQ(testing::readFile(dir / "2.png"), *bitmapToPng(sprite));
}

TEST(PngExport, FailuresAreSilentAndWriteNothing) {
  const testing::TempDir dir;
  const TBitmap32 sprite = sampleSprite();
  const std::vector<std::filesystem::path> targets = {
      dir / "missing" / "3.png",  // a folder that does not exist
      dir.path(),                 // a folder, not a file
      std::filesystem::path(),    // no name at all
  };
  for (const auto& target : targets) {
    EXPECT_NO_THROW(savePngFile(sprite, target.string())) << target;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(PngExport, AReadOnlyFileIsNotOverwritten) {
  const testing::TempDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  const auto target = dir / "4.png";
  const Bytes old(300, 0xCD);
  testing::writeFile(target, old);
  std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
  const TBitmap32 sprite = sampleSprite();
  EXPECT_EQ(testing::runUnprivileged([&] {
              savePngFile(sprite, target.string());
              return 0;
            }),
            0);
  EXPECT_EQ(testing::readFile(target), old);
  const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()),
                                     std::filesystem::directory_iterator());
  EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace tess
