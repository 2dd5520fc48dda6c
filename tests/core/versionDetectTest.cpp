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
    for (const TSprLayout other : kSprLayouts) {
      EXPECT_EQ(probe.reads(other), other == layout);
      EXPECT_EQ(sampleReads(path, other), other == layout) << nameOf(other);
    }
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
      {{false, false}, kShared, "plain"},
      {{true, true}, kShared, "wide alpha"},
      // No entry reads it: the layout it reads in, under the first entry's name.
      {{true, false}, kShared, "plain (32-bit, no alpha)"},
      {{true, true}, kOther, "other"},
      {{false, false}, kOther, "other (16-bit, no alpha)"},
      {{false, true}, kOther, "other (16-bit, alpha)"},
      {{true, true}, kStranger, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(nameOf(c.layout) + " " + signatureHex(c.signature));
    const std::string path = writeFile(dir, "f.spr", c.signature, c.layout);
    const std::optional<TVersionInfo> found = detectCatalogVersion(path, versions);
    ASSERT_EQ(found.has_value(), c.expected.has_value());
    if (found) {
      EXPECT_EQ(found->name, *c.expected);
      EXPECT_EQ(found->spriteSignature, c.signature);
      EXPECT_EQ(layoutOf(*found), c.layout);
      // The probe of the whole file and the sampled look agree.
      const std::optional<TVersionInfo> probed = detectCatalogVersion(probeSprFile(path), versions);
      ASSERT_TRUE(probed);
      EXPECT_EQ(probed->name, found->name);
    }
    EXPECT_EQ(catalogKnows(c.signature, versions), c.expected.has_value());
  }
  EXPECT_EQ(detectCatalogVersion(dir.file("missing.spr"), versions), std::nullopt);
}

TEST_F(VersionDetect, AFileThatReadsInSeveralLayoutsKeepsTheCatalogEntry) {
  // Only empty sprites: both 16-bit layouts read it, the entry's 32-bit one does not.
  const std::string ambiguous =
      writeBytes(dir, "empty.spr", SprBytes().header(kOther, 2, false).u32(0).u32(0));
  const std::optional<TVersionInfo> found = detectCatalogVersion(ambiguous, versions);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "other");
  EXPECT_EQ(layoutOf(*found), (TSprLayout{true, true}));
}

TEST_F(VersionDetect, TheSampleRefusesBrokenTablesAndRecords) {
  // A table entry past the end, a record whose runs overrun it, a count of 0, a count past the
  // file: each is seen without reading the whole file.
  const struct {
    const char* name;
    SprBytes bytes;
  } cases[] = {
      {"entry past the end", SprBytes().header(kOther, 1, true).u32(4000)},
      {"runs past the data size",
       SprBytes().header(kOther, 1, true).u32(12).u8({0xFF, 0, 0xFF}).u16(4).u16(0).u16(9)},
      {"no sprites", SprBytes().header(kOther, 0, true)},
      {"count past the file", SprBytes().header(kOther, 500, true).u32(0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(sampleReads(writeBytes(dir, "bad.spr", c.bytes), {true, false}));
  }
  EXPECT_FALSE(sampleReads(dir.file("missing.spr"), {true, false}));
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
  EXPECT_EQ(narrowHint->name, "plain (32-bit, no alpha)");
  EXPECT_EQ(layoutOf(*narrowHint), (TSprLayout{true, false}));
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
  const std::vector<TVersionInfo> catalog = {{kShared, "10.98", true, false}};
  const TVersionInfo variant = layoutVariant(catalog[0], {false, true});
  EXPECT_EQ(variant.name, "10.98 (16-bit, alpha)");
  EXPECT_EQ(variant.spriteSignature, kShared);
  EXPECT_EQ(layoutOf(variant), (TSprLayout{false, true}));
  // Names as --client and --to take them: entries, and variants spelled out.
  ASSERT_TRUE(versionNamed("10.98 (16-bit, alpha)", catalog));
  EXPECT_EQ(layoutOf(*versionNamed("10.98 (16-bit, alpha)", catalog)), (TSprLayout{false, true}));
  EXPECT_EQ(versionNamed("10.98", catalog)->name, "10.98");
  EXPECT_EQ(versionNamed("10.98 (32-bit, no alpha)", catalog), std::nullopt);  // the entry itself
  EXPECT_EQ(versionNamed("10.98 (8-bit, alpha)", catalog), std::nullopt);
  EXPECT_EQ(catalogNameOf(variant, catalog), "10.98");
  EXPECT_EQ(catalogNameOf(catalog[0], catalog), "10.98");
  EXPECT_EQ(catalogNameOf(unknownVersion(kOther, {true, true}), catalog), "");
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
