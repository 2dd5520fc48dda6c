#include "bitmap/TPixelPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "bitmap/TBitmap32.h"

namespace tess {
namespace {

// Arrays from one pool never overlap, keep what is written into them, and may be released in
// any order, before or after the pool itself.
TEST(TPixelPoolTest, ArraysAreDistinctAndOutliveThePool) {
  std::vector<TPixelArray> arrays;
  {
    TPixelPool pool(1024);
    EXPECT_EQ(pool.pixelsPerArray(), 1024u);
    for (int i = 0; i < 5000; ++i) {
      arrays.push_back(pool.take());
      std::fill_n(arrays.back().get(), 1024, static_cast<TColor32>(i));
    }
  }
  std::vector<const TColor32*> starts;
  for (const auto& array : arrays) starts.push_back(array.get());
  std::sort(starts.begin(), starts.end());
  for (std::size_t i = 1; i < starts.size(); ++i) ASSERT_GE(starts[i] - starts[i - 1], 1024);

  std::mt19937 random(7);
  std::shuffle(arrays.begin(), arrays.end(), random);
  while (!arrays.empty()) {
    const TColor32 first = arrays.back()[0];
    ASSERT_TRUE(std::all_of(arrays.back().get(), arrays.back().get() + 1024,
                            [&](TColor32 p) { return p == first; }));
    arrays.pop_back();
  }
}

TEST(TPixelPoolTest, BitmapsTakeFromAPoolOnlyArraysOfItsSize) {
  TPixelPool pool(1024);
  TBitmap32 pooled;
  pooled.SetSizeAndFill(32, 32, clTransparentWhite32, &pool);
  TBitmap32 other;
  other.SetSizeAndFill(16, 16, clOpaqueBlack32, &pool);  // not the pool's size: from the heap
  EXPECT_EQ(other.pixelCount(), 256u);
  EXPECT_EQ(other.GetPixel(15, 15), clOpaqueBlack32);

  // A pooled bitmap behaves like any other: it can be moved, drawn, resized and freed.
  TBitmap32 moved(std::move(pooled));
  EXPECT_EQ(moved.GetPixel(31, 31), clTransparentWhite32);
  moved.Draw(8, 8, &other);
  EXPECT_EQ(moved.GetPixel(8, 8), clOpaqueBlack32);
  EXPECT_EQ(moved.GetPixel(7, 7), clTransparentWhite32);
  EXPECT_TRUE(moved.SetSize(40, 40));
  EXPECT_EQ(moved.GetPixel(39, 39), clOpaqueBlack32);
  TBitmap32 again;
  again.SetSizeAndFill(32, 32, 0xFF123456u, &pool);
  other = std::move(again);
  EXPECT_EQ(other.GetPixel(0, 0), 0xFF123456u);
}

// Arrays released before the pool is done are cut again; the pool may go while bitmaps still
// hold arrays, and releasing spare slabs leaves arrays in use alone.
TEST(TPixelPoolTest, ReleasedSlabsAreReusedAndSpareOnesReleased) {
  std::vector<TPixelArray> kept;
  {
    TPixelPool pool(1024);
    std::vector<TPixelArray> first;
    for (int i = 0; i < 3000; ++i) first.push_back(pool.take());
    std::vector<const TColor32*> firstStarts;
    for (const auto& array : first) firstStarts.push_back(array.get());
    first.clear();
    bool reused = false;
    for (int i = 0; i < 3000; ++i) {
      kept.push_back(pool.take());
      std::fill_n(kept.back().get(), 1024, static_cast<TColor32>(i));
      reused = reused || std::find(firstStarts.begin(), firstStarts.end(), kept.back().get()) !=
                             firstStarts.end();
    }
    EXPECT_TRUE(reused);
    pool.releaseSpare();
    kept.resize(1500);
    pool.releaseSpare();
    for (int i = 0; i < 1500; ++i) ASSERT_EQ(kept[i][1023], static_cast<TColor32>(i));
  }
  for (int i = 0; i < 1500; ++i) ASSERT_EQ(kept[i][0], static_cast<TColor32>(i));
  kept.clear();
}

}  // namespace
}  // namespace tess
