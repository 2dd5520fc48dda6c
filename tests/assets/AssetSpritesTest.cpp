#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "AssetsTestSupport.h"
#include "assets/assetImport.h"
#include "assets/assetStore.h"
#include "assets/assetTiles.h"
#include "core/spriteDocument.h"
#include "core/spriteEdits.h"
#include "sprite/TSpriteFile.h"
#include "support/FakeHost.h"

namespace tess::testing {
namespace {

using namespace tess::assets;
namespace fs = std::filesystem;

constexpr TSheetType kTypes[] = {TSheetType::Small, TSheetType::Tall, TSheetType::Wide,
                                 TSheetType::Large};

// ----- tiles

// A picture whose 32x32 tiles are each one flat colour, numbered row by row from the top left.
TBitmap32 numberedTiles(int width, int height) {
  TBitmap32 picture;
  picture.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int tile = (y / 32) * (width / 32) + x / 32;
      picture.FBits()[y * width + x] = PackColor32(static_cast<std::uint8_t>(tile + 1), 0, 0, 255);
    }
  }
  return picture;
}

int tileNumber(const std::unique_ptr<TBitmap32>& tile) {
  return tile ? static_cast<int>((tile->FBits()[0] >> 16) & 0xFF) - 1 : -1;
}

TEST(AssetTiles, CutsFromTheBottomRightLeftwardsThenUpwards) {
  struct Case {
    int width, height;
    std::vector<int> order;  // top-left numbering of the tiles, in cut order
  };
  for (const Case& c : {Case{32, 32, {0}}, Case{64, 32, {1, 0}}, Case{32, 64, {1, 0}},
                        Case{64, 64, {3, 2, 1, 0}}, Case{96, 64, {5, 4, 3, 2, 1, 0}}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const auto tiles = cutIntoTiles(numberedTiles(c.width, c.height));
    std::vector<int> order;
    for (const auto& tile : tiles) order.push_back(tileNumber(tile));
    EXPECT_EQ(order, c.order);
  }
}

TEST(AssetTiles, TransparentTilesAreEmptyAndAssemblyUndoesTheCut) {
  for (const TSheetType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    const TBitmap32 sprite = patternPicture(cellWidth(type), cellHeight(type), 7, true);
    const auto tiles = cutIntoTiles(sprite);
    ASSERT_EQ(tiles.size(), static_cast<std::size_t>(tilesPerSprite(type)));
    EXPECT_EQ(tiles.back(), nullptr) << "the top-left tile is last and fully transparent";
    std::vector<const TBitmap32*> pointers;
    for (const auto& tile : tiles) pointers.push_back(tile.get());
    EXPECT_TRUE(samePixels(assembleFromTiles(pointers, cellWidth(type), cellHeight(type)), sprite));
  }
}

// ----- sheets written and read back

class AssetSheets : public ::testing::Test {
 protected:
  void SetUp() override { writeCatalog(dir, "[]"); }

  TAssetCatalog catalog() {
    TAssetCatalog result;
    std::string reason;
    EXPECT_TRUE(result.read(dir.path().string(), reason)) << reason;
    return result;
  }

  TSheetsWritten write(const std::vector<TBitmap32>& sprites, TSheetType type,
                       std::optional<std::int64_t> first = std::nullopt) {
    TAssetCatalog target = catalog();
    TSheetsWritten written;
    std::string reason;
    EXPECT_TRUE(writeSheets(target, pointersTo(sprites), type, first, written, reason)) << reason;
    return written;
  }

  std::unique_ptr<TAssetStore> open(std::size_t cached = 8) {
    auto store = std::make_unique<TAssetStore>(cached);
    std::string reason;
    EXPECT_TRUE(store->open(dir.path().string(), reason)) << reason;
    return store;
  }

  TempDir dir;
};

TEST_F(AssetSheets, EveryTypeReadsBackExactlyIncludingCellsPastTheLastId) {
  std::int64_t first = 1;
  std::vector<std::pair<std::int64_t, TBitmap32>> expected;
  for (const TSheetType type : kTypes) {
    // One full sheet and a few cells of another.
    const int count = cellsPerSheet(type) + 5;
    const auto sprites = patternSprites(type, count, static_cast<int>(first));
    const TSheetsWritten written = write(sprites, type);
    ASSERT_EQ(written.sheets.size(), 2u);
    EXPECT_EQ(written.firstId, first);
    EXPECT_EQ(written.sheets[1].lastId, first + count - 1);
    for (int i = 0; i < count; i += 4) {
      TBitmap32 copy;
      copy.SetSize(sprites[i].Width(), sprites[i].Height());
      std::copy(sprites[i].FBits(), sprites[i].FBits() + copy.pixelCount(), copy.FBits());
      expected.emplace_back(first + i, std::move(copy));
    }
    // Past the last ID the cells of a written sheet are transparent.
    TBitmap32 sheet;
    std::string reason;
    ASSERT_TRUE(loadSheetFile((dir.path() / written.sheets[1].file).string(), sheet, reason));
    const TBitmap32 past = cellOfSheet(sheet, type, 5);
    EXPECT_TRUE(std::all_of(past.FBits(), past.FBits() + past.pixelCount(),
                            [](TColor32 p) { return p == clTransparentWhite32; }));
    first += count;
  }
  const auto store = open();
  EXPECT_EQ(store->catalog().sheets().size(), 8u);
  for (const auto& [id, sprite] : expected) {
    TBitmap32 back;
    std::string reason;
    ASSERT_TRUE(store->spriteImage(id, back, reason)) << reason;
    EXPECT_TRUE(samePixels(back, sprite)) << "sprite " << id;
  }
}

TEST_F(AssetSheets, SheetFilesAreNamedByTheirBmpsHashAndReadByTheStandardDecoder) {
  const TSheetsWritten written = write(patternSprites(TSheetType::Large, 3), TSheetType::Large);
  const auto file = readBytes((dir.path() / written.sheets[0].file).string());
  const std::optional<Bytes> bmp = aloneDecode(Bytes(file.begin(), file.end()));
  ASSERT_TRUE(bmp);
  EXPECT_EQ(sheetFileName(*bmp), written.sheets[0].file);
}

TEST_F(AssetSheets, DecodesASheetOnceWhileCachedAndKeepsOnlyAFew) {
  for (int i = 0; i < 3; ++i)
    write(patternSprites(TSheetType::Small, 2, i * 10 + 1), TSheetType::Small);
  const auto store = open(2);
  TBitmap32 sprite;
  std::string reason;
  for (const std::int64_t id : {1, 2, 1, 3, 4, 2, 1}) {
    ASSERT_TRUE(store->spriteImage(id, sprite, reason)) << reason;
  }
  EXPECT_EQ(store->sheetsDecoded(), 2u);
  for (const std::int64_t id : {5, 1, 3}) ASSERT_TRUE(store->spriteImage(id, sprite, reason));
  EXPECT_EQ(store->sheetsDecoded(), 4u) << "sheet 1 was pushed out by sheet 3";
  EXPECT_FALSE(store->spriteImage(7, sprite, reason));
  EXPECT_NE(reason.find("no sheet holds sprite 7"), std::string::npos);
}

TEST_F(AssetSheets, ABadSheetIsNamedAndTheOthersStillRead) {
  const TSheetsWritten a = write(patternSprites(TSheetType::Small, 2), TSheetType::Small);
  const TSheetsWritten b = write(patternSprites(TSheetType::Small, 2, 50), TSheetType::Small);
  const TSheetsWritten c = write(patternSprites(TSheetType::Small, 2, 90), TSheetType::Small);
  fs::remove(dir.path() / a.sheets[0].file);
  fs::resize_file(dir.path() / b.sheets[0].file, 1000);
  const auto store = open();
  TBitmap32 sprite;
  std::string reason;
  EXPECT_FALSE(store->spriteImage(1, sprite, reason));
  EXPECT_EQ(reason.rfind(a.sheets[0].file + ": missing", 0), 0u) << reason;
  EXPECT_FALSE(store->spriteImage(3, sprite, reason));
  EXPECT_EQ(reason.rfind(b.sheets[0].file + ": ", 0), 0u) << reason;
  EXPECT_TRUE(store->spriteImage(5, sprite, reason)) << reason;
}

TEST_F(AssetSheets, RefusesRangesOverlappingListedSheetsAndWrongSizes) {
  write(patternSprites(TSheetType::Small, 10), TSheetType::Small, 100);
  TAssetCatalog target = catalog();
  TSheetsWritten written;
  std::string reason;
  const auto sprites = patternSprites(TSheetType::Small, 3);
  EXPECT_FALSE(writeSheets(target, pointersTo(sprites), TSheetType::Small, 98, written, reason));
  EXPECT_NE(reason.find("overlap"), std::string::npos) << reason;
  EXPECT_FALSE(writeSheets(target, pointersTo(sprites), TSheetType::Large, 1, written, reason));
  EXPECT_NE(reason.find("not the 64x64"), std::string::npos) << reason;
  EXPECT_EQ(TempDir::entriesOf(dir.path()).size(), 2u) << "nothing written by a refused call";
  // Without a first ID the new sheets continue after the highest, past the gap below 100.
  ASSERT_TRUE(
      writeSheets(target, pointersTo(sprites), TSheetType::Small, std::nullopt, written, reason));
  EXPECT_EQ(written.firstId, 110);
}

// ----- into a sprite file and back out

class SprRoundTrip : public AssetSheets {
 protected:
  FakeHost host;
};

TEST_F(SprRoundTrip, SprToSheetsToSprGivesTheSameTilesInTheSameOrder) {
  for (const TSheetType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    const int perSprite = tilesPerSprite(type);
    // A sprite file whose tiles include empty sprites; 7 asset sprites' worth.
    TSpriteFile source(host);
    source.New();
    for (int i = 0; i < 7 * perSprite; ++i) {
      auto sprite = std::make_unique<TSprite>();
      sprite->setID(i + 1);
      if (i % 5 != 3) {
        sprite->bitmap = std::make_unique<TBitmap32>(patternPicture(32, 32, i));
        sprite->isDUmmy = false;
      }
      source.Sprites.push_back(std::move(sprite));
    }
    std::vector<std::int32_t> ids;
    for (int i = 1; i <= 7 * perSprite; ++i) ids.push_back(i);
    std::vector<TBitmap32> sprites;
    std::string reason;
    ASSERT_TRUE(assembleSprSprites(source, ids, type, sprites, reason)) << reason;
    const TSheetsWritten written = write(sprites, type);

    const auto store = open();
    TSpriteFile target(host);
    target.New();
    TSpriteDocument document(target);
    std::vector<std::int64_t> assetIds;
    for (std::int64_t id = written.firstId; id <= written.lastId; ++id) assetIds.push_back(id);
    TAssetImport imported;
    ASSERT_TRUE(appendAssetSprites(document, *store, assetIds, imported, reason)) << reason;
    ASSERT_EQ(target.Sprites.size(), source.Sprites.size());
    for (std::size_t i = 0; i < source.Sprites.size(); ++i) {
      const TSprite& in = *source.Sprites[i];
      const TSprite& out = *target.Sprites[i];
      ASSERT_EQ(out.isDUmmy, in.isDUmmy) << i;
      if (!in.isDUmmy) {
        EXPECT_TRUE(samePixels(*out.bitmap, *in.bitmap)) << i;
      }
    }
    ASSERT_EQ(imported.map.size(), 7u);
    EXPECT_EQ(imported.map[1].first, written.firstId + 1);
    std::vector<std::int32_t> second(static_cast<std::size_t>(perSprite));
    for (int k = 0; k < perSprite; ++k) second[k] = perSprite + 1 + k;
    EXPECT_EQ(imported.map[1].second, second);
  }
}

TEST_F(SprRoundTrip, AppendIsOneEditAndAllOrNothing) {
  const TSheetsWritten a = write(patternSprites(TSheetType::Large, 3), TSheetType::Large);
  const TSheetsWritten b = write(patternSprites(TSheetType::Large, 3, 40), TSheetType::Large);
  const auto store = open();
  TSpriteFile file(host);
  file.New();
  file.Sprites.push_back(std::make_unique<TSprite>());
  file.Sprites.back()->setID(1);
  TSpriteDocument document(file);
  int appended = 0;
  struct Counter {
    int* count;
    void onAppended(std::int32_t, std::int32_t) { ++*count; }
  } counter{&appended};
  document.onSpritesAppended.push_back(TonSpritesChanged(&counter, &Counter::onAppended));

  TAssetImport imported;
  std::string reason;
  const std::vector<std::int64_t> ids = {a.firstId, b.firstId + 2, a.firstId + 1};
  ASSERT_TRUE(appendAssetSprites(document, *store, ids, imported, reason)) << reason;
  EXPECT_EQ(appended, 1);
  EXPECT_EQ(file.Sprites.size(), 1u + 12u);
  EXPECT_EQ(imported.map[0].second, (std::vector<std::int32_t>{2, 3, 4, 5}));
  EXPECT_EQ(imported.map[2].second, (std::vector<std::int32_t>{10, 11, 12, 13}));
  const auto map = nlohmann::ordered_json::parse(assetMapJson(imported));
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map.begin().key(), std::to_string(a.firstId));
  EXPECT_EQ(map[std::to_string(b.firstId + 2)], (std::vector<std::int32_t>{6, 7, 8, 9}));

  fs::remove(dir.path() / b.sheets[0].file);
  EXPECT_FALSE(appendAssetSprites(document, *store, ids, imported, reason));
  EXPECT_EQ(reason.rfind(b.sheets[0].file, 0), 0u) << reason;
  EXPECT_EQ(file.Sprites.size(), 13u) << "a failed append changes nothing";
  EXPECT_EQ(appended, 1);
}

TEST_F(SprRoundTrip, AssemblyRefusesPartialSpritesAndMissingIds) {
  TSpriteFile file(host);
  file.New();
  std::vector<TBitmap32> sprites;
  std::string reason;
  const std::vector<std::int32_t> three = {1, 2, 3};
  EXPECT_FALSE(assembleSprSprites(file, three, TSheetType::Large, sprites, reason));
  EXPECT_NE(reason.find("3 sprites do not make whole sprites of 4 tiles"), std::string::npos);
  EXPECT_FALSE(assembleSprSprites(file, three, TSheetType::Small, sprites, reason));
  EXPECT_NE(reason.find("has no sprite 1"), std::string::npos) << reason;
}

}  // namespace
}  // namespace tess::testing
