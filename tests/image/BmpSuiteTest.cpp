// The public BMP suite: every good file read exactly, every questionable one read right or
// refused, every bad one refused or read without harm. Pictures of the suite in other forms are
// the reference: most files show one picture, stored as an 8-bit palette or as 24-bit colour.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>

#include "bitmap/TBitmap32.h"
#include "image/BMP.h"

namespace tess {
namespace {

const std::filesystem::path kSuite = std::filesystem::path(TESS_TESTDATA_DIR) / "bmpsuite";

enum class Expect {
  exact,       // the twin's pixels exactly, opaque
  rounded,     // the twin's pixels to within the file's precision, opaque
  opaque,      // read and opaque, at the picture's size; no twin to compare with
  keepAlpha,   // its alpha kept, and the twin's colours wherever it is opaque
  fourthByte,  // the plain 32-bit kind: the twin's colours, the fourth byte as alpha
  refused,
  harmless,  // refused, or read at the declared size
};

struct SuiteCase {
  std::string file;
  Expect expect;
  std::string twin;  // for exact, rounded, keepAlpha, fourthByte
  int tolerance = 0;
  // Compared only where q/rgba32.bmp is opaque: outside that region the file leaves its pixels
  // undefined (skipped by run-length codes) or its alpha says they are not seen.
  bool opaqueRegionOnly = false;
};

std::vector<SuiteCase> suiteCases() {
  return {
      {"g/pal1.bmp", Expect::exact, "g/pal1wb.bmp"},
      {"g/pal1wb.bmp", Expect::exact, "g/pal1.bmp"},
      {"g/pal1bg.bmp", Expect::opaque, ""},
      {"g/pal4.bmp", Expect::exact, "g/pal4rle.bmp"},
      {"g/pal4rle.bmp", Expect::exact, "g/pal4.bmp"},
      {"g/pal8.bmp", Expect::exact, "g/pal8rle.bmp"},
      {"g/pal8-0.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8nonsquare.bmp", Expect::opaque, ""},
      {"g/pal8os2.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8rle.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8topdown.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8v4.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8v5.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8w124.bmp", Expect::opaque, ""},
      {"g/pal8w125.bmp", Expect::opaque, ""},
      {"g/pal8w126.bmp", Expect::opaque, ""},
      {"g/rgb16.bmp", Expect::rounded, "g/rgb24.bmp", 4},
      {"g/rgb16-565.bmp", Expect::rounded, "g/rgb24.bmp", 4},
      {"g/rgb16-565pal.bmp", Expect::exact, "g/rgb16-565.bmp"},
      {"g/rgb24.bmp", Expect::exact, "g/rgb32bf.bmp"},
      {"g/rgb24pal.bmp", Expect::exact, "g/rgb24.bmp"},
      {"g/rgb32.bmp", Expect::fourthByte, "g/rgb24.bmp"},
      {"g/rgb32bf.bmp", Expect::exact, "g/rgb24.bmp"},

      {"q/pal1p1.bmp", Expect::opaque, ""},
      {"q/pal2.bmp", Expect::opaque, ""},
      {"q/pal4rletrns.bmp", Expect::exact, "g/pal4.bmp", 0, true},
      {"q/pal8offs.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8os2sp.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8os2v2-16.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8os2v2.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8oversizepal.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8rletrns.bmp", Expect::exact, "g/pal8.bmp", 0, true},
      // Two bits of red, three of green, one of blue: too coarse to compare.
      {"q/rgb16-231.bmp", Expect::opaque, ""},
      {"q/rgb24jpeg.bmp", Expect::refused, ""},
      {"q/rgb24largepal.bmp", Expect::exact, "g/rgb24.bmp"},
      {"q/rgb24lprof.bmp", Expect::exact, "g/rgb24.bmp"},
      {"q/rgb24png.bmp", Expect::refused, ""},
      {"q/rgb24prof.bmp", Expect::exact, "g/rgb24.bmp"},
      // Eleven bits of red, eleven of green, ten of blue, written from a slightly different
      // source: one row of red is a step off.
      {"q/rgb32-111110.bmp", Expect::rounded, "g/rgb24.bmp", 1},
      {"q/rgb32bf-xbgr.bmp", Expect::exact, "g/rgb24.bmp"},
      {"q/rgb32fakealpha.bmp", Expect::fourthByte, "g/rgb24.bmp"},
      {"q/rgb32h52.bmp", Expect::exact, "g/rgb24.bmp"},
      // Four bits a channel, and the alpha mask must not make it transparent.
      {"q/rgba16-4444.bmp", Expect::rounded, "g/rgb24.bmp", 8, true},
      {"q/rgba32.bmp", Expect::keepAlpha, "g/rgb24.bmp"},
      {"q/rgba32abf.bmp", Expect::keepAlpha, "g/rgb24.bmp"},
      {"q/rgba32h56.bmp", Expect::keepAlpha, "g/rgb24.bmp"},

      {"b/badbitcount.bmp", Expect::refused, ""},
      {"b/badbitssize.bmp", Expect::harmless, ""},
      {"b/baddens1.bmp", Expect::harmless, ""},
      {"b/baddens2.bmp", Expect::harmless, ""},
      {"b/badfilesize.bmp", Expect::harmless, ""},
      {"b/badheadersize.bmp", Expect::refused, ""},
      {"b/badpalettesize.bmp", Expect::refused, ""},
      {"b/badplanes.bmp", Expect::refused, ""},
      {"b/badrle.bmp", Expect::harmless, ""},
      {"b/badwidth.bmp", Expect::refused, ""},
      {"b/pal8badindex.bmp", Expect::harmless, ""},
      {"b/reallybig.bmp", Expect::refused, ""},
      {"b/rletopdown.bmp", Expect::harmless, ""},
      {"b/shortfile.bmp", Expect::refused, ""},
  };
}

TBitmap32 load(const std::string& name) {
  TBitmap32 bitmap;
  loadBmpFile(bitmap, (kSuite / name).string());
  return bitmap;
}

void PrintTo(const SuiteCase& c, std::ostream* out) { *out << c.file; }

class BmpSuite : public ::testing::TestWithParam<SuiteCase> {};

TEST_P(BmpSuite, ReadsOrRefusesAsExpected) {
  const SuiteCase& c = GetParam();
  if (!std::filesystem::exists(kSuite / c.file)) GTEST_SKIP() << "no suite at " << kSuite;
  TBitmap32 bitmap;
  bitmap.SetSize(2, 2);
  bitmap.DrawMode = dmBlend;
  bool read = true;
  try {
    loadBmpFile(bitmap, (kSuite / c.file).string());
  } catch (const std::runtime_error&) {
    read = false;
  }
  if (c.expect == Expect::refused) {
    EXPECT_FALSE(read);
  }
  if (!read) {
    EXPECT_TRUE(c.expect == Expect::refused || c.expect == Expect::harmless);
    EXPECT_EQ(bitmap.Width(), 2);
    return;
  }
  EXPECT_EQ(bitmap.DrawMode, dmBlend);
  ASSERT_GT(bitmap.Width(), 0);
  if (c.expect == Expect::harmless) return;

  const std::size_t count = bitmap.pixelCount();
  if (c.twin.empty()) {
    for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(AlphaOf(bitmap.FBits()[i]), 255) << i;
    return;
  }
  const TBitmap32 twin = load(c.twin);
  ASSERT_EQ(bitmap.Width(), twin.Width());
  ASSERT_EQ(bitmap.Height(), twin.Height());
  TBitmap32 region;
  if (c.opaqueRegionOnly) region = load("q/rgba32.bmp");
  int differing = 0;
  int translucent = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const TColor32 got = bitmap.FBits()[i];
    const TColor32 want = twin.FBits()[i] | 0xFF000000u;
    const std::uint8_t alpha = AlphaOf(got);
    if (c.opaqueRegionOnly && AlphaOf(region.FBits()[i]) != 255) {
      EXPECT_EQ(alpha, 255) << i;
      continue;
    }
    if (c.expect == Expect::exact || c.expect == Expect::rounded) {
      EXPECT_EQ(alpha, 255) << i;
    }
    if (c.expect == Expect::keepAlpha && alpha != 255) {
      ++translucent;
      continue;
    }
    for (int shift = 0; shift < 24; shift += 8) {
      const int d = std::abs(static_cast<int>((got >> shift) & 255) -
                             static_cast<int>((want >> shift) & 255));
      if (d > c.tolerance) ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
  if (c.expect == Expect::keepAlpha) {
    EXPECT_GT(translucent, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(BmpImport, BmpSuite, ::testing::ValuesIn(suiteCases()),
                         [](const auto& info) {
                           std::string name = info.param.file;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace tess
