#include "bitmap/TColor32.h"

#include <gtest/gtest.h>

namespace tess {
namespace {

TEST(TColor32Test, PackPutsAlphaOnTopThenRedGreenBlue) {
  EXPECT_EQ(PackColor32(0x10, 0x20, 0x30, 0xFF), 0xFF102030u);
  EXPECT_EQ(PackColor32(255, 255, 255, 0), clTransparentWhite32);
  EXPECT_EQ(PackColor32(255, 0, 255, 255), clMagenta32);
}

TEST(TColor32Test, UnpackGivesEveryChannelBack) {
  std::uint8_t r = 0, g = 0, b = 0, a = 0;
  UnpackColor32(0xFF102030u, r, g, b, a);
  EXPECT_EQ(r, 0x10);
  EXPECT_EQ(g, 0x20);
  EXPECT_EQ(b, 0x30);
  EXPECT_EQ(a, 0xFF);
  UnpackColor32(0x80A1B2C3u, r, g, b, a);
  EXPECT_EQ(PackColor32(r, g, b, a), 0x80A1B2C3u);
}

TEST(TColor32Test, AlphaOfIsTheTopByte) {
  EXPECT_EQ(AlphaOf(0x80102030u), 0x80);
  EXPECT_EQ(AlphaOf(clTransparentWhite32), 0);
}

TEST(TColor32Test, OpaqueFromBGRSwapsRedAndBlueAndAddsFullAlpha) {
  EXPECT_EQ(OpaqueFromBGR(0x00302010u), 0xFF102030u);
  // Whatever sits in the top byte of the platform colour is not carried over.
  EXPECT_EQ(OpaqueFromBGR(0x7F0000FFu), 0xFFFF0000u);
}

TEST(TColor32Test, MemoryOrderIsBlueGreenRedAlpha) {
  const TColor32 pixel = PackColor32(0x10, 0x20, 0x30, 0x40);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&pixel);
  EXPECT_EQ(bytes[0], 0x30);
  EXPECT_EQ(bytes[1], 0x20);
  EXPECT_EQ(bytes[2], 0x10);
  EXPECT_EQ(bytes[3], 0x40);
}

}  // namespace
}  // namespace tess
