#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "assets/assetCatalog.h"
#include "bitmap/TBitmap32.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kConfig =
    "[7.40]\nSPRSignature=41B9EA86\nsprite32=0\n"
    "[10.98]\nSPRSignature=57BBD603\nsprite32=1\n";
constexpr TSprLayout kLayout1098{true, false};
constexpr std::int32_t kSignature1098 = 0x57BBD603;

// A sprite image per pattern: opaque colours around transparent pixels.
std::unique_ptr<TBitmap32> patternImage(int pattern) {
  auto image = std::make_unique<TBitmap32>();
  image->SetSizeAndFill(32, 32, clTransparentWhite32);
  for (int i = 0; i < 1024; ++i) {
    if ((i * 7 + pattern * 13) % 5 == 0) continue;
    image->FBits()[i] = PackColor32(static_cast<std::uint8_t>(pattern * 40),
                                    static_cast<std::uint8_t>(i), 0x33, 255);
  }
  return image;
}

class CliAssetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string config = kConfig;
    writeBytes(dir.file("config.ini"), std::vector<unsigned char>(config.begin(), config.end()));
  }

  CliResult run(std::vector<std::string> arguments) {
    arguments.push_back("--config=" + dir.file("config.ini"));
    return runTool(TESS_CLI_PATH, arguments, dir.path().string());
  }

  // A 10.98 sprite file of the patterns; 0 is an empty sprite.
  std::string makeSpr(const std::string& name, const std::vector<int>& patterns) {
    TSpriteFile file(host);
    file.New();
    for (const int pattern : patterns) {
      auto sprite = std::make_unique<TSprite>();
      sprite->setID(static_cast<std::int32_t>(file.Sprites.size() + 1));
      if (pattern != 0) {
        sprite->bitmap = patternImage(pattern);
        sprite->isDUmmy = false;
      }
      file.Sprites.push_back(std::move(sprite));
    }
    const std::string path = dir.file(name);
    EXPECT_TRUE(file.save(path, kSignature1098, kLayout1098)) << file.errorString();
    return path;
  }

  std::unique_ptr<TSpriteFile> load(const std::string& path) {
    auto file = std::make_unique<TSpriteFile>(host);
    EXPECT_TRUE(file->load(path, kLayout1098)) << file->errorString();
    return file;
  }

  // Assets made from a sprite file by the tool itself: two 64x64 sprites (IDs 1 and 2) from
  // eight tiles, the fourth of which is empty.
  std::string makeAssets() {
    const std::string spr = makeSpr("source.spr", {1, 2, 3, 0, 5, 6, 7, 8});
    const std::string folder = dir.file("assets");
    const CliResult result = run({"spr", "to-assets", spr, folder, "--ids", "1-8", "--type", "3"});
    EXPECT_EQ(result.status, 0) << result.err;
    return folder;
  }

  FakeHost host;
  TempDir dir;
};

TEST_F(CliAssetsTest, SprToAssetsAndBackGivesTheSameSpritesAndAMap) {
  const std::string folder = makeAssets();
  const CliResult info = run({"assets", "info", folder, "--json"});
  ASSERT_EQ(info.status, 0) << info.err;
  const json answer = json::parse(info.out);
  EXPECT_EQ(answer["sheets"], 1);
  EXPECT_EQ(answer["sheetsByType"], json({0, 0, 0, 1}));
  EXPECT_EQ(answer["sprites"], 2);
  EXPECT_EQ(answer["firstId"], 1);
  EXPECT_EQ(answer["lastId"], 2);
  EXPECT_TRUE(answer["problems"].empty());

  const std::string out = dir.file("back.spr");
  const CliResult back = run({"assets", "to-spr", folder, out, "--new", "10.98"});
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_EQ(back.out, out + ": 2 asset sprites added as 8 sprites, IDs 1-8; map in " +
                          dir.file("back.map.json") + "\n");
  const auto original = load(dir.file("source.spr"));
  const auto copy = load(out);
  ASSERT_EQ(copy->Sprites.size(), original->Sprites.size());
  for (std::size_t i = 0; i < copy->Sprites.size(); ++i) {
    const TSprite& a = *original->Sprites[i];
    const TSprite& b = *copy->Sprites[i];
    ASSERT_EQ(a.isDUmmy, b.isDUmmy) << i;
    if (!a.isDUmmy) {
      EXPECT_TRUE(std::equal(a.bitmap->FBits(), a.bitmap->FBits() + 1024, b.bitmap->FBits())) << i;
    }
  }
  const auto map = readBytes(dir.file("back.map.json"));
  EXPECT_EQ(json::parse(map), json::parse(R"({"1": [1, 2, 3, 4], "2": [5, 6, 7, 8]})"));
}

TEST_F(CliAssetsTest, ToSprAppendsOnlyWithForceOrOut) {
  const std::string folder = makeAssets();
  const std::string spr = makeSpr("target.spr", {9, 9});
  const auto before = readBytes(spr);

  CliResult refused = run({"assets", "to-spr", folder, spr});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err,
            "tessaline-cli: " + spr +
                ": to-spr replaces FILE only with --force; or name another with --out\n");
  const CliResult busy =
      run({"assets", "to-spr", folder, dir.file("fresh.spr"), "--new", "10.98", "--out", spr});
  EXPECT_EQ(busy.status, 2);
  EXPECT_NE(busy.err.find(spr + ": already exists"), std::string::npos) << busy.err;
  EXPECT_EQ(readBytes(spr), before);

  const CliResult out = run({"assets", "to-spr", folder, spr, "--ids", "2", "--out",
                             dir.file("out.spr"), "--map", dir.file("m.json"), "--json"});
  ASSERT_EQ(out.status, 0) << out.err;
  const json answer = json::parse(out.out);
  EXPECT_EQ(answer["firstId"], 3);
  EXPECT_EQ(answer["lastId"], 6);
  EXPECT_EQ(load(dir.file("out.spr"))->Sprites.size(), 6u);
  EXPECT_EQ(json::parse(readBytes(dir.file("m.json"))), json::parse(R"({"2": [3, 4, 5, 6]})"));
  EXPECT_EQ(readBytes(spr), before);

  const CliResult forced = run({"assets", "to-spr", folder, spr, "--force", "--quiet"});
  ASSERT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(forced.out, "");
  EXPECT_EQ(load(spr)->Sprites.size(), 10u);
  EXPECT_TRUE(fs::exists(dir.file("target.map.json")));
}

TEST_F(CliAssetsTest, ExportWritesEachSpriteAtItsOwnSize) {
  const std::string folder = makeAssets();
  const CliResult result = run({"assets", "export", folder, dir.file("png"), "--ids", "2"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(TempDir::entriesOf(dir.file("png")), std::vector<std::string>{"2.png"});
  TBitmap32 image;
  ASSERT_TRUE(loadPngFile(image, dir.file("png/2.png"), ImportAlpha::Keep));
  EXPECT_EQ(image.Width(), 64);
  EXPECT_EQ(image.Height(), 64);
  // Tile 5 (pattern 5) is the bottom-right quarter of sprite 2.
  EXPECT_EQ(image.GetPixel(63, 63), patternImage(5)->GetPixel(31, 31));
  EXPECT_EQ(run({"assets", "export", folder, dir.file("png"), "--ids", "2"}).status, 2)
      << "an existing file needs --force";
}

TEST_F(CliAssetsTest, BadSheetsAreNamedAndTheRestOfTheCatalogStillReads) {
  const std::string folder = makeAssets();
  // A second sheet, then the first one broken.
  const std::string spr = makeSpr("more.spr", {4});
  ASSERT_EQ(run({"spr", "to-assets", spr, folder, "--ids", "1", "--type", "0"}).status, 0);
  assets::TAssetCatalog catalog;
  std::string reason;
  ASSERT_TRUE(catalog.read(folder, reason)) << reason;
  const std::string broken = catalog.sheetPath(catalog.sheets()[0]);
  fs::resize_file(broken, 200);

  const CliResult exported = run({"assets", "export", folder, dir.file("png")});
  EXPECT_EQ(exported.status, 2);
  EXPECT_EQ(exported.err.rfind("tessaline-cli: " + broken + ": ", 0), 0u) << exported.err;
  EXPECT_EQ(TempDir::entriesOf(dir.file("png")), std::vector<std::string>{"3.png"});

  const CliResult toSpr = run({"assets", "to-spr", folder, dir.file("x.spr"), "--new", "10.98"});
  EXPECT_EQ(toSpr.status, 2);
  EXPECT_NE(toSpr.err.find(catalog.sheets()[0].file), std::string::npos) << toSpr.err;
  EXPECT_FALSE(fs::exists(dir.file("x.spr")));

  fs::remove(broken);
  const CliResult info = run({"assets", "info", folder});
  EXPECT_EQ(info.status, 1) << info.err;
  EXPECT_NE(info.out.find("problems: 1\n  " + catalog.sheets()[0].file + ": missing"),
            std::string::npos)
      << info.out;
}

TEST_F(CliAssetsTest, RefusalsExitWithTwoAndOneLineNamingTheFile) {
  const std::string folder = makeAssets();
  const std::string spr = dir.file("source.spr");
  const std::string notArray = dir.file("bad");
  fs::create_directories(notArray);
  writeBytes(notArray + "/catalog-content.json", {'{', '}'});
  struct Case {
    std::vector<std::string> arguments;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"assets", "info", notArray}, notArray + ": is not a JSON array of entries"},
      {{"assets", "info", dir.file("none")}, dir.file("none") + ": no catalog-content.json there"},
      {{"assets", "export", folder, dir.file("p"), "--ids", "1-9"},
       folder + "/catalog-content.json: its highest sprite ID is 2; ID 3 is beyond it"},
      {{"assets", "info", folder, "--map", "x"}, "assets info does not take --map"},
      {{"assets", "frobnicate", folder}, "unknown action \"frobnicate\" of assets"},
      {{"spr", "to-assets", spr, folder, "--ids", "1-3", "--type", "3"},
       spr + ": 3 sprites do not make whole sprites of 4 tiles for type 3"},
      {{"spr", "to-assets", spr, folder, "--ids", "1", "--type", "4"}, "--type takes 0"},
      {{"spr", "to-assets", spr, folder, "--ids", "1-4", "--type", "3", "--first-id", "2"},
       "IDs 2-2 overlap those of"},
      {{"spr", "to-assets", spr, folder, "--type", "3"}, "spr to-assets takes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
    const CliResult result = run(c.arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace tess::testing
