#include "core/versionDetect.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/editorCore.h"
#include "sprite/SprBytes.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess {
namespace {

using testing::FakeHost;
using testing::SprBytes;
using testing::TempDir;

constexpr std::int32_t kShared = 0x4A11CE55;
constexpr std::int32_t kOther = 0x0BADF00D;
constexpr std::int32_t kStranger = static_cast<std::int32_t>(0xC0FFEE01u);

std::string nameOf(TSprLayout layout) { return describeLayout(layout); }

// Two sprites with runs, one empty: enough for only its own layout to read it.
std::string writeFile(const TempDir& dir, const std::string& name, std::int32_t signature,
                      TSprLayout layout) {
  FakeHost host;
  TSpriteFile file(host);
  for (int k = 0; k < 3; ++k) {
    auto sprite = std::make_unique<TSprite>();
    sprite->setID(k + 1);
    if (k != 1) {
      sprite->isDUmmy = false;
      sprite->bitmap = std::make_unique<TBitmap32>();
      sprite->bitmap->SetSize(32, 32);
      for (int i = 0; i < 1024; ++i) {
        sprite->bitmap->FBits()[i] = (i + k) % 5 < 2 ? 0x80000000u + static_cast<TColor32>(i) : 0u;
      }
    }
    file.Sprites.push_back(std::move(sprite));
  }
  const std::string path = dir.file(name);
  EXPECT_TRUE(file.save(path, signature, layout));
  return path;
}

std::string writeBytes(const TempDir& dir, const std::string& name, const SprBytes& bytes) {
  const std::string path = dir.file(name);
  testing::writeBytes(path, bytes);
  return path;
}

class VersionDetect : public ::testing::Test {
 protected:
  TempDir dir;
  // Two versions share a signature and differ in layout; the plain one stands first.
  const std::vector<TVersionInfo> versions = {
      {kShared, "plain", false, false},
      {kOther, "other", true, true},
      {kShared, "wide alpha", true, true},
      {kShared, "wide alpha again", true, true},
  };
};

TEST_F(VersionDetect, EachLayoutIsTheOnlyOneThatReadsItsOwnFile) {
  for (const TSprLayout layout : kSprLayouts) {
    SCOPED_TRACE(nameOf(layout));
    const std::string path = writeFile(dir, "f.spr", kStranger, layout);
    const TSprProbe probe = probeSprFile(path);
    ASSERT_TRUE(probe.readable) << probe.error;
    EXPECT_EQ(probe.signature, kStranger);
    for (const TSprLayout other : kSprLayouts) EXPECT_EQ(probe.reads(other), other == layout);
    EXPECT_EQ(detectLayoutOf(path), layout);
  }
}

TEST_F(VersionDetect, AmbiguousInconsistentAndUnreadableFilesHaveNoLayout) {
  const std::string ambiguous =
      writeBytes(dir, "empty.spr", SprBytes().header(kStranger, 2, false).u32(0).u32(0));
  const TSprProbe probe = probeSprFile(ambiguous);
  EXPECT_TRUE(probe.reads({false, false}));
  EXPECT_TRUE(probe.reads({false, true}));
  EXPECT_EQ(probe.onlyLayout(), std::nullopt);
  EXPECT_EQ(detectLayoutOf(ambiguous), std::nullopt);

  const std::string broken =
      writeBytes(dir, "broken.spr", SprBytes().header(kStranger, 1, false).u32(9999));
  EXPECT_EQ(detectLayoutOf(broken), std::nullopt);
  EXPECT_EQ(detectLayoutOf(dir.file("missing.spr")), std::nullopt);
  const TSprProbe missing = probeSprFile(dir.file("missing.spr"));
  EXPECT_FALSE(missing.readable);
  EXPECT_FALSE(missing.error.empty());
  const std::string tiny = writeBytes(dir, "tiny.spr", SprBytes().u8({1, 2, 3}));
  EXPECT_FALSE(probeSprFile(tiny).readable);
}

TEST_F(VersionDetect, AutoDetectTakesTheFirstEntryWhoseLayoutReadsTheFile) {
  struct Case {
    TSprLayout layout;
    std::int32_t signature;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {{false, false}, kShared, "plain"},      {{true, true}, kShared, "wide alpha"},
      {{true, false}, kShared, "plain"},  // no entry reads it: the first with the signature
      {{true, true}, kOther, "other"},         {{false, false}, kOther, "other"},
      {{true, true}, kStranger, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(nameOf(c.layout) + " " + signatureHex(c.signature));
    const std::string path = writeFile(dir, "f.spr", c.signature, c.layout);
    const std::optional<TVersionInfo> found = detectCatalogVersion(path, versions);
    ASSERT_EQ(found.has_value(), c.expected.has_value());
    if (found) {
      EXPECT_EQ(found->name, *c.expected);
    }
    EXPECT_EQ(catalogKnows(c.signature, versions), c.expected.has_value());
  }
  EXPECT_EQ(detectCatalogVersion(dir.file("missing.spr"), versions), std::nullopt);
}

TEST_F(VersionDetect, AFailedOpenIsToldTheVersionThatReadsTheFile) {
  const std::string wide = writeFile(dir, "wide.spr", kShared, {true, true});
  const std::optional<TVersionInfo> hint = versionThatReads(wide, versions, {false, false});
  ASSERT_TRUE(hint);
  EXPECT_EQ(hint->name, "wide alpha");
  // The layout chosen reads the file: something else made the open fail.
  EXPECT_EQ(versionThatReads(wide, versions, {true, true}), std::nullopt);

  // No entry of the file's signature reads it: the layout the file alone shows.
  const std::string strange = writeFile(dir, "strange.spr", kStranger, {false, true});
  const std::optional<TVersionInfo> detected = versionThatReads(strange, versions, {true, true});
  ASSERT_TRUE(detected);
  EXPECT_EQ(detected->name, "Unknown (C0FFEE01)");
  EXPECT_EQ(detected->spriteSignature, kStranger);
  EXPECT_EQ(layoutOf(*detected), (TSprLayout{false, true}));

  const std::string narrow = writeFile(dir, "narrow.spr", kShared, {true, false});
  const std::optional<TVersionInfo> narrowHint = versionThatReads(narrow, versions, {true, true});
  ASSERT_TRUE(narrowHint);
  EXPECT_EQ(narrowHint->name, "Unknown (4A11CE55)");
  EXPECT_EQ(versionThatReads(dir.file("missing.spr"), versions, {true, true}), std::nullopt);
}

TEST(VersionWords, NamesAndLayoutsInWords) {
  EXPECT_EQ(signatureHex(0x57BBD603), "57BBD603");
  EXPECT_EQ(signatureHex(-1), "FFFFFFFF");
  EXPECT_EQ(signatureHex(0xAB), "000000AB");
  const TVersionInfo unknown = unknownVersion(0x1234ABCD, {true, false});
  EXPECT_EQ(unknown.name, "Unknown (1234ABCD)");
  EXPECT_TRUE(unknown.sprite32);
  EXPECT_FALSE(unknown.alpha);
  EXPECT_EQ(describeLayout({true, true}), "32-bit counts, with alpha");
  EXPECT_EQ(describeLayout({false, false}), "16-bit counts, without alpha");
}

// The editor core opens and saves a version's files in its layout.
TEST(VersionLayoutInTheCore, AnAlphaVersionKeepsPartialAlpha) {
  const TempDir dir;
  const std::string path = writeFile(dir, "alpha.spr", kShared, {true, true});
  FakeHost host;
  TEditorCore core(host);
  const TVersionInfo alpha{kShared, "wide alpha", true, true};
  ASSERT_TRUE(core.openFile(path, alpha));
  EXPECT_EQ(core.spriteFile.Sprites[0]->bitmap->FBits()[0], 0x80000000u);
  const std::string copy = dir.file("copy.spr");
  ASSERT_TRUE(core.saveFile(copy, alpha));
  EXPECT_EQ(testing::readBytes(copy), testing::readBytes(path));
  const TVersionInfo plain{kShared, "plain", false, false};
  EXPECT_FALSE(core.openFile(path, plain));
  EXPECT_EQ(core.currentVersion->name, "wide alpha");
}

}  // namespace
}  // namespace tess
