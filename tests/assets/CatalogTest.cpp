#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "AssetsTestSupport.h"

namespace tess::testing {
namespace {

using namespace tess::assets;
namespace fs = std::filesystem;

std::string sheetEntry(const std::string& file, int type, long first, long last) {
  return R"({"type": "sprite", "file": ")" + file + R"(", "spritetype": )" + std::to_string(type) +
         R"(, "firstspriteid": )" + std::to_string(first) + R"(, "lastspriteid": )" +
         std::to_string(last) + R"(, "area": 64})";
}

// A catalog array of `entries`. (Joined by hand: GCC 12 warns falsely about "[" + string.)
std::string catalogOf(std::initializer_list<std::string> entries) {
  std::string text = "[";
  for (const std::string& entry : entries) {
    if (text.size() > 1) text += ",\n";
    text += entry;
  }
  text += "]";
  return text;
}

TEST(AssetCatalog, ListsSheetsInIdOrderAndFindsSpritesAcrossGaps) {
  TempDir dir;
  writeCatalog(dir, catalogOf({sheetEntry("c", 3, 200, 235),
                               R"({"type": "appearances", "file": "appearances.dat"})",
                               sheetEntry("a", 0, 1, 144), sheetEntry("b", 1, 150, 160)}));
  TAssetCatalog catalog;
  std::string reason;
  ASSERT_TRUE(catalog.read(dir.path().string(), reason)) << reason;
  ASSERT_EQ(catalog.sheets().size(), 3u);
  EXPECT_EQ(catalog.sheets()[0].file, "a");
  EXPECT_EQ(catalog.sheets()[1].type, TSheetType::Tall);
  EXPECT_EQ(catalog.sheets()[2].area, 64);
  EXPECT_TRUE(catalog.problems().empty());
  EXPECT_EQ(catalog.highestId(), 235);
  struct Lookup {
    std::int64_t id;
    const char* file;
  };
  for (const Lookup& lookup :
       {Lookup{1, "a"}, Lookup{144, "a"}, Lookup{145, nullptr}, Lookup{150, "b"}, Lookup{160, "b"},
        Lookup{199, nullptr}, Lookup{235, "c"}, Lookup{236, nullptr}, Lookup{0, nullptr}}) {
    const TSheetEntry* const sheet = catalog.sheetOf(lookup.id);
    EXPECT_EQ(sheet ? sheet->file : "", lookup.file ? lookup.file : "") << lookup.id;
  }
  EXPECT_EQ(catalog.sheetPath(catalog.sheets()[0]), (dir.path() / "a").string());
}

// Catalogs that cannot be read at all.
struct BadCatalog {
  const char* name;
  std::string text;
  const char* says;
};

class BadCatalogTest : public ::testing::TestWithParam<BadCatalog> {};

TEST_P(BadCatalogTest, IsRefusedWithAReason) {
  TempDir dir;
  writeCatalog(dir, GetParam().text);
  TAssetCatalog catalog;
  std::string reason;
  EXPECT_FALSE(catalog.read(dir.path().string(), reason));
  EXPECT_NE(reason.find(GetParam().says), std::string::npos) << reason;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadCatalogTest,
    ::testing::Values(BadCatalog{"NotJson", "[{\"type\": \"sprite\",", "not valid JSON"},
                      BadCatalog{"Object", R"({"type": "sprite"})", "not a JSON array"},
                      BadCatalog{"Number", "42", "not a JSON array"},
                      BadCatalog{"Empty", "", "not valid JSON"},
                      BadCatalog{"NulAfterArray", std::string("[]\0 0", 5), "NUL byte"},
                      BadCatalog{"DeepNesting", std::string(5000, '[') + std::string(5000, ']'),
                                 "nests too deeply"}),
    [](const ::testing::TestParamInfo<BadCatalog>& info) { return info.param.name; });

TEST(AssetCatalog, RefusesMissingAndHugeCatalogsUnread) {
  TempDir dir;
  TAssetCatalog catalog;
  std::string reason;
  EXPECT_FALSE(catalog.read(dir.path().string(), reason));
  EXPECT_NE(reason.find("no catalog-content.json"), std::string::npos) << reason;

  // 100 MB, sparse: refused by its size, so it is never read into memory.
  { std::ofstream(dir.file(kCatalogFileName)) << "["; }
  fs::resize_file(dir.file(kCatalogFileName), 100'000'000);
  EXPECT_FALSE(catalog.read(dir.file(kCatalogFileName), reason));
  EXPECT_NE(reason.find("more than 64 MiB"), std::string::npos) << reason;
}

// A catalog holding one good sheet and one bad entry: the bad one is named among the problems,
// the good one still reads.
struct BadEntry {
  const char* name;
  std::string entry;
  const char* says;
};

class BadEntryTest : public ::testing::TestWithParam<BadEntry> {};

TEST_P(BadEntryTest, IsLeftOutAndTheRestReads) {
  TempDir dir;
  writeCatalog(dir, catalogOf({sheetEntry("good", 3, 100, 135), GetParam().entry}));
  TAssetCatalog catalog;
  std::string reason;
  ASSERT_TRUE(catalog.read(dir.path().string(), reason)) << reason;
  ASSERT_EQ(catalog.sheets().size(), 1u);
  EXPECT_EQ(catalog.sheets()[0].file, "good");
  ASSERT_EQ(catalog.problems().size(), 1u);
  EXPECT_NE(catalog.problems()[0].find(GetParam().says), std::string::npos)
      << catalog.problems()[0];
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadEntryTest,
    ::testing::Values(
        BadEntry{"PathSeparator", sheetEntry("../outside.bmp.lzma", 0, 1, 2), "leaves the catalog"},
        BadEntry{"SubFolder", sheetEntry("sub/x.bmp.lzma", 0, 1, 2), "leaves the catalog"},
        BadEntry{"Backslash", sheetEntry("..\\\\x.bmp.lzma", 0, 1, 2), "leaves the catalog"},
        BadEntry{"DotDot", sheetEntry("..", 0, 1, 2), "leaves the catalog"},
        BadEntry{"AbsolutePath", sheetEntry("/etc/passwd", 0, 1, 2), "leaves the catalog"},
        BadEntry{"NoFile", R"({"type": "sprite", "spritetype": 0})", "no \"file\""},
        BadEntry{"TypeFour", sheetEntry("x", 4, 1, 2), "\"spritetype\" is outside"},
        BadEntry{"TypeText",
                 R"({"type": "sprite", "file": "x", "spritetype": "3", "firstspriteid": 1,
                     "lastspriteid": 2})",
                 "not a whole number"},
        BadEntry{"NegativeId", sheetEntry("x", 0, -5, 2), "\"firstspriteid\" is outside"},
        BadEntry{"HugeId", sheetEntry("x", 0, 1, 99999999999), "\"lastspriteid\" is outside"},
        BadEntry{"LastBelowFirst", sheetEntry("x", 0, 10, 9), "below its first"},
        BadEntry{"MoreIdsThanCells", sheetEntry("x", 3, 1, 37), "more than its 36 cells"},
        BadEntry{"Overlap", sheetEntry("x", 0, 120, 130), "overlap"},
        BadEntry{"NotAnObject", "17", "not an object"}),
    [](const ::testing::TestParamInfo<BadEntry>& info) { return info.param.name; });

TEST(AssetCatalog, RewriteKeepsEveryOtherEntryByteForByte) {
  TempDir dir;
  // Entries of kinds this program does not use, with key orders, spacing and numbers of their own.
  const std::string original =
      "[\n"
      "    {\n        \"type\": \"appearances\",\n        \"file\": \"appearances-1.dat\"\n    },\n"
      "    {\"file\": \"staticdata-2.dat\", \"type\": \"staticdata\"},\n" +
      std::string("    ") + sheetEntry("old", 3, 1, 36) + ",\n" +
      "    {\"type\": \"map\", \"version\": 3, \"scale\": 1.50, \"file\": \"map.otbm\"},\n"
      "    {\"type\": \"staticmapdata\", \"file\": \"smd\", \"extra\": {\"z\": [1, 2], \"a\": "
      "null}}\n"
      "]\n";
  writeCatalog(dir, original);
  TAssetCatalog catalog;
  std::string reason;
  ASSERT_TRUE(catalog.read(dir.path().string(), reason)) << reason;
  const std::vector<TBitmap32> sprites = patternSprites(TSheetType::Small, 3);
  TSheetsWritten written;
  ASSERT_TRUE(
      writeSheets(catalog, pointersTo(sprites), TSheetType::Small, std::nullopt, written, reason))
      << reason;

  const auto bytes = readBytes(dir.file(kCatalogFileName));
  const std::string rewritten(bytes.begin(), bytes.end());
  const std::size_t kept = original.rfind('}') + 1;
  EXPECT_EQ(rewritten.substr(0, kept), original.substr(0, kept));
  EXPECT_EQ(rewritten.substr(rewritten.size() - 4), "}\n]\n");

  const auto before = nlohmann::ordered_json::parse(original);
  const auto after = nlohmann::ordered_json::parse(rewritten);
  ASSERT_EQ(after.size(), before.size() + 1);
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i].dump(), before[i].dump());
  std::vector<std::string> keys;
  for (const auto& item : after.back().items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"type", "file", "spritetype", "firstspriteid",
                                            "lastspriteid", "area"}));
  EXPECT_EQ(after.back()["firstspriteid"], 37);
  EXPECT_EQ(after.back()["lastspriteid"], 39);
  EXPECT_EQ(catalog.sheets().size(), 2u) << "the catalog object is the rewritten one";
}

TEST(AssetCatalog, RewriteOfAnEmptyCatalogIsValidJson) {
  for (const std::string text : {"[]", "[\n]\n", "  [ ]  "}) {
    SCOPED_TRACE(text);
    TempDir dir;
    writeCatalog(dir, text);
    TAssetCatalog catalog;
    std::string reason;
    ASSERT_TRUE(catalog.read(dir.path().string(), reason)) << reason;
    const std::vector<TBitmap32> sprites = patternSprites(TSheetType::Large, 1);
    TSheetsWritten written;
    ASSERT_TRUE(writeSheets(catalog, pointersTo(sprites), TSheetType::Large, 5, written, reason))
        << reason;
    const auto bytes = readBytes(dir.file(kCatalogFileName));
    const auto json = nlohmann::json::parse(bytes);
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["firstspriteid"], 5);
  }
}

}  // namespace
}  // namespace tess::testing
