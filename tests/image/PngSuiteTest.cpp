// PngSuite, the PNG conformance suite: every valid image imports at its own size with the pixels
// the import rules give, every corrupt one (names starting with x) fails and leaves the bitmap
// as it was. The expected pixels come from a plain reference reader in the tests, with the
// import rules applied one pixel at a time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "image/PNG.h"
#include "pngReference.h"
#include "pngTestSupport.h"

namespace tess {
namespace {

namespace fs = std::filesystem;

fs::path suiteDir() { return fs::path(TESS_TESTDATA_DIR) / "pngsuite"; }

std::vector<std::string> suiteFiles(bool corrupt) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(suiteDir(), error)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png") continue;
    if ((name[0] == 'x') == corrupt) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = info.param.substr(0, info.param.size() - 4);
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
      '_');
  return name;
}

class ValidSuiteImage : public ::testing::TestWithParam<std::string> {};

TEST_P(ValidSuiteImage, ImportsWithTheRulesPixels) {
  const fs::path path = suiteDir() / GetParam();
  const auto reference = testing::referenceDecode(testing::readFile(path));
  ASSERT_TRUE(reference.has_value()) << "the reference reader cannot read " << path;

  TBitmap32 bitmap;
  ASSERT_TRUE(loadPngFile(bitmap, path.string()));
  ASSERT_EQ(bitmap.Width(), reference->width);
  ASSERT_EQ(bitmap.Height(), reference->height);
  for (int y = 0; y < reference->height; ++y) {
    for (int x = 0; x < reference->width; ++x) {
      ASSERT_EQ(bitmap.GetPixel(x, y), testing::referencePixel(*reference, x, y))
          << "pixel (" << x << ", " << y << ")";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PngSuite, ValidSuiteImage, ::testing::ValuesIn(suiteFiles(false)),
                         testName);

class CorruptSuiteImage : public ::testing::TestWithParam<std::string> {};

TEST_P(CorruptSuiteImage, FailsAndLeavesTheBitmapAsItWas) {
  TBitmap32 bitmap;
  bitmap.SetSize(3, 2);
  for (int i = 0; i < 6; ++i) bitmap.FBits()[i] = 0x12345600u + static_cast<TColor32>(i);
  bitmap.DrawMode = dmBlend;
  EXPECT_FALSE(loadPngFile(bitmap, (suiteDir() / GetParam()).string()));
  ASSERT_EQ(bitmap.Width(), 3);
  ASSERT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.DrawMode, dmBlend);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(bitmap.FBits()[i], 0x12345600u + static_cast<TColor32>(i));
}

INSTANTIATE_TEST_SUITE_P(PngSuite, CorruptSuiteImage, ::testing::ValuesIn(suiteFiles(true)),
                         testName);

// Without the suite the two tables above are empty; this test says where it was looked for.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ValidSuiteImage);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorruptSuiteImage);

TEST(PngSuite, IsComplete) {
  EXPECT_GE(suiteFiles(false).size(), 160u)
      << "PngSuite not found in " << suiteDir() << " (set TESS_TESTDATA_DIR to its parent folder)";
  EXPECT_EQ(suiteFiles(true).size(), 14u);
}

}  // namespace
}  // namespace tess
