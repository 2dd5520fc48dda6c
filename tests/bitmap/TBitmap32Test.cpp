#include "bitmap/TBitmap32.h"

#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <vector>

namespace tess {
namespace {

std::vector<TColor32> pixelsOf(const TBitmap32& bitmap) {
  const auto count = static_cast<std::size_t>(bitmap.Width() * bitmap.Height());
  return {bitmap.FBits(), bitmap.FBits() + count};
}

bool allEqual(const TBitmap32& bitmap, TColor32 value) {
  for (const TColor32 p : pixelsOf(bitmap))
    if (p != value) return false;
  return true;
}

// A bitmap whose every pixel is distinct: (x, y) holds 0xFF000000 | y << 8 | x.
TBitmap32 numbered(int width, int height, TDrawMode mode = dmOpaque) {
  TBitmap32 bitmap;
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.FBits()[x + y * width] = 0xFF000000u | static_cast<TColor32>(y << 8 | x);
  bitmap.DrawMode = mode;
  return bitmap;
}

TBitmap32 sized(int width, int height) {
  TBitmap32 bitmap;
  bitmap.SetSize(width, height);
  return bitmap;
}

TEST(TBitmap32Test, NewBitmapIsEmptyAndOpaqueMode) {
  const TBitmap32 bitmap;
  EXPECT_TRUE(bitmap.empty());
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_EQ(bitmap.FBits(), nullptr);
  EXPECT_EQ(bitmap.DrawMode, dmOpaque);
}

TEST(TBitmap32Test, WidthThenHeightGivesOpaqueBlackOnlyOnceBothAreSet) {
  TBitmap32 bitmap;
  EXPECT_TRUE(bitmap.SetWidth(32));
  EXPECT_TRUE(bitmap.empty());
  EXPECT_EQ(bitmap.FBits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 32);
  EXPECT_TRUE(bitmap.SetHeight(32));
  ASSERT_NE(bitmap.FBits(), nullptr);
  EXPECT_TRUE(allEqual(bitmap, clOpaqueBlack32));
  EXPECT_EQ(pixelsOf(bitmap).size(), 1024u);
}

TEST(TBitmap32Test, SetSizeToTheCurrentSizeKeepsThePixels) {
  TBitmap32 bitmap = numbered(4, 3);
  const auto before = pixelsOf(bitmap);
  EXPECT_FALSE(bitmap.SetSize(4, 3));
  EXPECT_EQ(pixelsOf(bitmap), before);
}

TEST(TBitmap32Test, AnyOtherSizeRefillsWithOpaqueBlack) {
  struct Case {
    int width, height, expectWidth, expectHeight;
  };
  const Case cases[] = {{3, 4, 3, 4},  {8, 8, 8, 8},   {1, 1, 1, 1}, {4, 0, 4, 0},
                        {-5, 3, 0, 3}, {-1, -1, 0, 0}, {0, 0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    TBitmap32 bitmap = numbered(4, 3);
    EXPECT_TRUE(bitmap.SetSize(c.width, c.height));
    EXPECT_EQ(bitmap.Width(), c.expectWidth);
    EXPECT_EQ(bitmap.Height(), c.expectHeight);
    if (c.expectWidth > 0 && c.expectHeight > 0) {
      EXPECT_TRUE(allEqual(bitmap, clOpaqueBlack32));
    } else {
      EXPECT_TRUE(bitmap.empty());
      EXPECT_EQ(bitmap.FBits(), nullptr);
    }
  }
}

TEST(TBitmap32Test, SetSizeAndFillFillsWhetherOrNotTheSizeChanges) {
  TBitmap32 bitmap = numbered(4, 4);
  bitmap.SetSizeAndFill(4, 4, clTransparentWhite32);
  EXPECT_TRUE(allEqual(bitmap, clTransparentWhite32));
  bitmap.SetSizeAndFill(32, 32, 0x12345678u);
  EXPECT_EQ(bitmap.pixelCount(), 1024u);
  EXPECT_TRUE(allEqual(bitmap, 0x12345678u));
  bitmap.SetSizeAndFill(-1, 5, 0u);
  EXPECT_TRUE(bitmap.empty());
  EXPECT_EQ(bitmap.Height(), 5);
}

TEST(TBitmap32Test, NegativeSizeOnAnEmptyBitmapChangesNothing) {
  TBitmap32 bitmap;
  EXPECT_FALSE(bitmap.SetSize(-3, -7));
  EXPECT_TRUE(bitmap.empty());
}

TEST(TBitmap32Test, ImpossibleSizeThrowsAndLeavesTheBitmapEmpty) {
  TBitmap32 bitmap = numbered(4, 4);
  EXPECT_THROW(bitmap.SetSize(INT_MAX, INT_MAX), std::bad_alloc);
  EXPECT_TRUE(bitmap.empty());
  EXPECT_EQ(bitmap.FBits(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
}

TEST(TBitmap32Test, GetPixelReadsRowMajorFromTheTop) {
  const TBitmap32 bitmap = numbered(5, 3);
  EXPECT_EQ(bitmap.GetPixel(0, 0), 0xFF000000u);
  EXPECT_EQ(bitmap.GetPixel(4, 0), 0xFF000004u);
  EXPECT_EQ(bitmap.GetPixel(2, 1), 0xFF000102u);
  EXPECT_EQ(bitmap.GetPixel(4, 2), 0xFF000204u);
}

// Draw places source (sx, sy) on destination (sx + x, sy + y) inside the destination and leaves
// everything else alone. Checked pixel by pixel for a table of placements.
TEST(TBitmap32Test, DrawCopiesExactlyTheClippedArea) {
  struct Case {
    int srcW, srcH, x, y;
  };
  const Case cases[] = {{16, 16, 0, 0},   {40, 40, 0, 0},   {10, 10, -8, 0},  {10, 10, 0, -8},
                        {10, 10, 28, 30}, {10, 10, -3, -4}, {5, 5, 32, 0},    {5, 5, -5, 0},
                        {5, 5, 0, 40},    {32, 32, 0, 0},   {64, 2, -16, 31}, {1, 1, 31, 31}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.srcW << "x" << c.srcH << " at " << c.x << "," << c.y);
    const TBitmap32 source = numbered(c.srcW, c.srcH);
    TBitmap32 dest = sized(32, 32);
    dest.Draw(c.x, c.y, &source);
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const int sx = x - c.x, sy = y - c.y;
        const bool covered = sx >= 0 && sy >= 0 && sx < c.srcW && sy < c.srcH;
        const TColor32 expected = covered ? source.GetPixel(sx, sy) : clOpaqueBlack32;
        ASSERT_EQ(dest.GetPixel(x, y), expected) << "at " << x << "," << y;
      }
    }
  }
}

TEST(TBitmap32Test, DrawAtMinusEightPutsSourceColumnEightOnColumnZero) {
  const TBitmap32 source = numbered(20, 20);
  TBitmap32 dest = sized(32, 32);
  dest.Draw(-8, 0, &source);
  EXPECT_EQ(dest.GetPixel(0, 0), source.GetPixel(8, 0));
  EXPECT_EQ(dest.GetPixel(11, 5), source.GetPixel(19, 5));
  EXPECT_EQ(dest.GetPixel(12, 5), clOpaqueBlack32);
}

TEST(TBitmap32Test, DrawSurvivesExtremeOffsets) {
  const TBitmap32 source = numbered(8, 8);
  TBitmap32 dest = sized(32, 32);
  for (const int offset : {INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 1}) {
    dest.Draw(offset, 0, &source);
    dest.Draw(0, offset, &source);
    dest.Draw(offset, offset, &source);
  }
  EXPECT_TRUE(allEqual(dest, clOpaqueBlack32));
}

TEST(TBitmap32Test, DrawWithNoOrEmptySourceOrEmptyDestinationDoesNothing) {
  TBitmap32 dest = numbered(8, 8);
  const auto before = pixelsOf(dest);
  dest.Draw(0, 0, nullptr);
  const TBitmap32 emptySource;
  dest.Draw(0, 0, &emptySource);
  const TBitmap32 flat = sized(8, 0);
  dest.Draw(0, 0, &flat);
  EXPECT_EQ(pixelsOf(dest), before);

  TBitmap32 emptyDest;
  const TBitmap32 source = numbered(4, 4);
  emptyDest.Draw(0, 0, &source);
  EXPECT_TRUE(emptyDest.empty());
}

TEST(TBitmap32Test, OpaqueModeCopiesTransparentPixelsToo) {
  TBitmap32 source = sized(2, 1);
  source.FBits()[0] = clTransparentWhite32;
  source.FBits()[1] = 0x80102030u;
  TBitmap32 dest = sized(2, 1);
  dest.Draw(0, 0, &source);
  EXPECT_EQ(dest.GetPixel(0, 0), clTransparentWhite32);
  EXPECT_EQ(dest.GetPixel(1, 0), 0x80102030u);
}

TEST(TBitmap32Test, BlendModeFollowsTheRoundedWeightRule) {
  struct Case {
    TColor32 source, dest, expected;
  };
  const Case cases[] = {
      {0x80102030u, 0x00FFFFFFu, 0x40889098u},  // the documented example
      {0x0B000000u, 0x00FFFFFFu, 0x00F4F4F4u},  // alpha 11 thins to 0: transparent
      {0x0C000000u, 0x00FFFFFFu, 0x01F3F3F3u},  // alpha 12 thins to 1
      {0x00123456u, 0xFFABCDEFu, 0xFFABCDEFu},  // alpha 0 leaves the destination
      {0xFF123456u, 0x00ABCDEFu, 0xFF123456u},  // alpha 255 copies the source
      {0x01FFFFFFu, 0xFF000000u, 0xFE010101u},  // alpha blends too: 254
      {0xFE000000u, 0xFFFFFFFFu, 0xFE020202u},  // (255 * 2 + 128) div 256 = 2
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.source << " onto " << c.dest);
    TBitmap32 source = sized(1, 1);
    source.FBits()[0] = c.source;
    source.DrawMode = dmBlend;
    TBitmap32 dest = sized(1, 1);
    dest.FBits()[0] = c.dest;
    dest.Draw(0, 0, &source);
    EXPECT_EQ(dest.GetPixel(0, 0), c.expected);
  }
}

TEST(TBitmap32Test, BlendOnlyTouchesTheClippedArea) {
  TBitmap32 source = sized(4, 4);
  std::fill_n(source.FBits(), 16, 0x80FFFFFFu);
  source.DrawMode = dmBlend;
  TBitmap32 dest = sized(6, 6);
  dest.Draw(4, -2, &source);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool covered = x >= 4 && y < 2;
      EXPECT_EQ(dest.GetPixel(x, y), covered ? 0xC0808080u : clOpaqueBlack32) << x << "," << y;
    }
}

TEST(TBitmap32Test, ResetAlphaMakesEveryPixelOpaqueKeepingColour) {
  TBitmap32 bitmap = sized(3, 1);
  bitmap.FBits()[0] = 0x00123456u;
  bitmap.FBits()[1] = 0x80ABCDEFu;
  bitmap.FBits()[2] = 0xFF010203u;
  bitmap.ResetAlpha();
  EXPECT_EQ(pixelsOf(bitmap), (std::vector<TColor32>{0xFF123456u, 0xFFABCDEFu, 0xFF010203u}));
}

TEST(TBitmap32Test, ClearTransparentFillsTransparentWhite) {
  TBitmap32 bitmap = numbered(7, 5);
  clearTransparent(bitmap);
  EXPECT_TRUE(allEqual(bitmap, clTransparentWhite32));
}

TEST(TBitmap32Test, KeyOutMagentaMatchesAllThirtyTwoBits) {
  TBitmap32 bitmap = sized(5, 1);
  const std::vector<TColor32> before = {0xFFFF00FFu, 0xFEFF00FFu, 0x00FF00FFu, 0xFFFF01FFu,
                                        0xFFFF00FFu};
  std::copy(before.begin(), before.end(), bitmap.FBits());
  keyOutMagenta(bitmap);
  EXPECT_EQ(pixelsOf(bitmap), (std::vector<TColor32>{clTransparentWhite32, 0xFEFF00FFu, 0x00FF00FFu,
                                                     0xFFFF01FFu, clTransparentWhite32}));
}

TEST(TBitmap32Test, WholeBitmapOperationsOnEmptyBitmapsDoNothing) {
  TBitmap32 bitmap;
  bitmap.SetWidth(10);
  clearTransparent(bitmap);
  keyOutMagenta(bitmap);
  bitmap.ResetAlpha();
  EXPECT_TRUE(bitmap.empty());
}

TEST(TBitmap32Test, DrawModeStaysUntilSetAgain) {
  TBitmap32 bitmap = sized(2, 2);
  bitmap.DrawMode = dmBlend;
  bitmap.SetSize(4, 4);
  EXPECT_EQ(bitmap.DrawMode, dmBlend);
}

TEST(TBitmap32Test, MovingTransfersThePixels) {
  TBitmap32 source = numbered(3, 3);
  const auto before = pixelsOf(source);
  const TBitmap32 moved(std::move(source));
  EXPECT_EQ(pixelsOf(moved), before);
}

}  // namespace
}  // namespace tess
