// The public BMP suite: every good file read exactly, every questionable one read right or
// refused, every bad one refused or read without harm. Pictures of the suite in other forms are
// the reference: most files show one picture, stored as an 8-bit palette or as 24-bit colour.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>

#include "bitmap/TBitmap32.h"
#include "image/BMP.h"

namespace tess {
namespace {

const std::filesystem::path kSuite = std::filesystem::path(TESS_TESTDATA_DIR) / "bmpsuite";

// A plain reader for the uncompressed kinds with a 40-byte header, written from the format alone
// and sharing nothing with the program: palettes of 1 to 8 bits, 16 bits with colour masks
// (widened by repeating their bits), 24 bits, and 32 bits without masks (the fourth byte kept).
struct Reference {
  int width = 0;
  int height = 0;
  std::vector<TColor32> pixels;  // top row first
  std::vector<int> indices;      // palette files only
};

unsigned fieldAt(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  unsigned v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
  return v;
}

// A masked value of any width brought to 8 bits by repeating its bits, as scalers do.
std::uint8_t widen(unsigned pixel, unsigned mask) {
  int shift = 0;
  while (!(mask >> shift & 1)) ++shift;
  int width = 0;
  while (mask >> (shift + width) & 1) ++width;
  const unsigned value = (pixel & mask) >> shift;
  unsigned out = value;
  int have = width;
  for (; have < 8; have += width) out = out << width | value;
  return static_cast<std::uint8_t>(out >> (have - 8));
}

std::optional<Reference> referenceRead(const std::string& name) {
  std::ifstream in(kSuite / name, std::ios::binary);
  const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in), {}};
  if (b.size() < 54 || fieldAt(b, 14, 4) != 40) return std::nullopt;
  Reference r;
  r.width = static_cast<int>(fieldAt(b, 18, 4));
  const int storedHeight = static_cast<int>(fieldAt(b, 22, 4));
  r.height = std::abs(storedHeight);
  const int bits = static_cast<int>(fieldAt(b, 28, 2));
  const unsigned compression = fieldAt(b, 30, 4);
  const std::size_t pixelsAt = fieldAt(b, 10, 4);
  const std::size_t stride = (static_cast<std::size_t>(r.width) * bits + 31) / 32 * 4;
  std::vector<TColor32> palette;
  if (bits <= 8) {
    const unsigned colours = fieldAt(b, 46, 4) != 0 ? fieldAt(b, 46, 4) : 1u << bits;
    for (unsigned i = 0; i < colours; ++i)
      palette.push_back(0xFF000000u | fieldAt(b, 54 + 4 * i, 3));
  }
  if (compression != 0 && !(bits == 16 && compression == 3)) return std::nullopt;
  const unsigned masks[3] = {fieldAt(b, 54, 4), fieldAt(b, 58, 4), fieldAt(b, 62, 4)};
  for (int y = 0; y < r.height; ++y) {
    const std::size_t row = pixelsAt + stride * (storedHeight > 0 ? r.height - 1 - y : y);
    for (int x = 0; x < r.width; ++x) {
      const std::size_t bit = static_cast<std::size_t>(x) * bits;
      if (bits <= 8) {
        const int index = b.at(row + bit / 8) >> (8 - bits - bit % 8) & ((1 << bits) - 1);
        r.indices.push_back(index);
        r.pixels.push_back(palette.at(static_cast<std::size_t>(index)));
      } else if (bits == 16) {
        const unsigned v = fieldAt(b, row + bit / 8, 2);
        r.pixels.push_back(
            PackColor32(widen(v, masks[0]), widen(v, masks[1]), widen(v, masks[2]), 255));
      } else if (bits == 24) {
        r.pixels.push_back(0xFF000000u | fieldAt(b, row + bit / 8, 3));
      } else {
        r.pixels.push_back(fieldAt(b, row + bit / 8, 4));
      }
    }
  }
  return r;
}

enum class Expect {
  exact,       // the twin's pixels exactly, opaque
  rounded,     // the twin's pixels to within the file's precision, opaque
  reference,   // exactly the pixels of the reader above: no twin shows the same picture
  keepAlpha,   // its alpha kept, and the twin's colours wherever it is opaque
  fourthByte,  // the plain 32-bit kind: the twin's colours, and the reader's fourth byte as alpha
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
  // Run-length files leave pixels unset; those come in opaque black, never whatever memory held.
  bool unsetPixelsBlack = false;
  // For reference: a file of the suite that shows the same picture through another palette.
  std::string sameIndicesAs{};
};

std::vector<SuiteCase> suiteCases() {
  return {
      {"g/pal1.bmp", Expect::exact, "g/pal1wb.bmp"},
      {"g/pal1wb.bmp", Expect::exact, "g/pal1.bmp"},
      {"g/pal1bg.bmp", Expect::reference, "", 0, false, false, "g/pal1.bmp"},
      {"g/pal4.bmp", Expect::exact, "g/pal4rle.bmp"},
      {"g/pal4rle.bmp", Expect::exact, "g/pal4.bmp"},
      {"g/pal8.bmp", Expect::exact, "g/pal8rle.bmp"},
      {"g/pal8-0.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8nonsquare.bmp", Expect::reference, ""},
      {"g/pal8os2.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8rle.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8topdown.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8v4.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8v5.bmp", Expect::exact, "g/pal8.bmp"},
      {"g/pal8w124.bmp", Expect::reference, ""},
      {"g/pal8w125.bmp", Expect::reference, ""},
      {"g/pal8w126.bmp", Expect::reference, ""},
      {"g/rgb16.bmp", Expect::rounded, "g/rgb24.bmp", 4},
      {"g/rgb16-565.bmp", Expect::rounded, "g/rgb24.bmp", 4},
      {"g/rgb16-565pal.bmp", Expect::exact, "g/rgb16-565.bmp"},
      {"g/rgb24.bmp", Expect::exact, "g/rgb32bf.bmp"},
      {"g/rgb24pal.bmp", Expect::exact, "g/rgb24.bmp"},
      {"g/rgb32.bmp", Expect::fourthByte, "g/rgb24.bmp"},
      {"g/rgb32bf.bmp", Expect::exact, "g/rgb24.bmp"},

      {"q/pal1p1.bmp", Expect::reference, ""},
      {"q/pal2.bmp", Expect::reference, ""},
      {"q/pal4rletrns.bmp", Expect::exact, "g/pal4.bmp", 0, true, true},
      {"q/pal8offs.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8os2sp.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8os2v2-16.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8os2v2.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8oversizepal.bmp", Expect::exact, "g/pal8.bmp"},
      {"q/pal8rletrns.bmp", Expect::exact, "g/pal8.bmp", 0, true, true},
      // Two bits of red, three of green, one of blue: too coarse to compare with a twin.
      {"q/rgb16-231.bmp", Expect::reference, ""},
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
  if (c.expect == Expect::reference || c.expect == Expect::fourthByte) {
    const auto reference = referenceRead(c.file);
    ASSERT_TRUE(reference.has_value());
    ASSERT_EQ(bitmap.Width(), reference->width);
    ASSERT_EQ(bitmap.Height(), reference->height);
    int wrong = 0;
    for (std::size_t i = 0; i < count; ++i) wrong += bitmap.FBits()[i] != reference->pixels[i];
    EXPECT_EQ(wrong, 0);
    if (!c.sameIndicesAs.empty()) {
      const auto twin = referenceRead(c.sameIndicesAs);
      ASSERT_TRUE(twin.has_value());
      EXPECT_EQ(reference->indices, twin->indices);
      EXPECT_NE(reference->pixels, twin->pixels);
    }
    if (c.expect == Expect::reference) return;
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
      if (c.unsetPixelsBlack) {
        EXPECT_EQ(got, clOpaqueBlack32) << i;
      }
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

// The reader that the table trusts must itself agree with the suite, where the suite shows one
// picture in several of the kinds it reads.
TEST(BmpSuiteReference, ReadsThePicturesTheSuiteRepeats) {
  if (!std::filesystem::exists(kSuite / "g/rgb24.bmp")) GTEST_SKIP() << "no suite at " << kSuite;
  const std::pair<const char*, const char*> pairs[] = {{"g/pal8.bmp", "g/pal8topdown.bmp"},
                                                       {"g/pal8.bmp", "g/pal8-0.bmp"},
                                                       {"g/pal1.bmp", "g/pal1wb.bmp"},
                                                       {"g/rgb24.bmp", "g/rgb24pal.bmp"}};
  for (const auto& [first, second] : pairs) {
    const auto one = referenceRead(first);
    const auto other = referenceRead(second);
    ASSERT_TRUE(one.has_value() && other.has_value()) << second;
    EXPECT_EQ(one->pixels, other->pixels) << second;
  }
  const auto truth = referenceRead("g/rgb24.bmp");
  ASSERT_TRUE(truth.has_value());
  const auto rgb32 = referenceRead("g/rgb32.bmp");
  ASSERT_TRUE(rgb32.has_value());
  ASSERT_EQ(rgb32->pixels.size(), truth->pixels.size());
  for (std::size_t i = 0; i < truth->pixels.size(); ++i)
    ASSERT_EQ(rgb32->pixels[i] | 0xFF000000u, truth->pixels[i]) << i;
  // 5-6-5 widened by repeating bits lands within the rounding of 5 bits.
  const auto rgb565 = referenceRead("g/rgb16-565.bmp");
  ASSERT_TRUE(rgb565.has_value());
  for (std::size_t i = 0; i < truth->pixels.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8)
      ASSERT_LE(std::abs(static_cast<int>(rgb565->pixels[i] >> shift & 255) -
                         static_cast<int>(truth->pixels[i] >> shift & 255)),
                4)
          << i;
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
