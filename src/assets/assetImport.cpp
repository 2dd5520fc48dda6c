#include "assets/assetImport.h"

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "assets/assetTiles.h"
#include "assets/parallelFor.h"
#include "assets/sheetImage.h"
#include "core/spriteEdits.h"
#include "sprite/TSprStreamWriter.h"

namespace tess::assets {

namespace {

// A run of the wanted IDs that lie in one sheet: `ids` positions begin .. end - 1.
struct SheetGroup {
  const TSheetEntry* sheet;
  std::size_t begin;
  std::size_t end;
};

bool groupBySheet(const TAssetCatalog& catalog, std::span<const std::int64_t> ids,
                  std::vector<SheetGroup>& groups, std::string& reason) {
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const TSheetEntry* const sheet = catalog.sheetOf(ids[i]);
    if (!sheet) {
      reason = "no sheet holds sprite " + std::to_string(ids[i]);
      return false;
    }
    if (!groups.empty() && groups.back().sheet == sheet && groups.back().end == i) {
      ++groups.back().end;
    } else {
      groups.push_back({sheet, i, i + 1});
    }
  }
  return true;
}

}  // namespace

bool appendAssetSprites(TSpriteDocument& document, const TAssetStore& store,
                        std::span<const std::int64_t> ids, TAssetImport& imported,
                        std::string& reason, unsigned threads) {
  std::vector<SheetGroup> groups;
  if (!groupBySheet(store.catalog(), ids, groups, reason)) return false;
  std::vector<std::vector<std::unique_ptr<TBitmap32>>> tiles(ids.size());
  const auto decodeGroup = [&](std::size_t index, std::string& why) {
    const SheetGroup& group = groups[index];
    TBitmap32 sheet;
    if (!store.loadSheet(*group.sheet, sheet, why)) return false;
    for (std::size_t i = group.begin; i < group.end; ++i) {
      const int cell = static_cast<int>(ids[i] - group.sheet->firstId);
      tiles[i] = cutIntoTiles(cellOfSheet(sheet, group.sheet->type, cell));
    }
    return true;
  };
  if (!parallelFor(groups.size(), threads, decodeGroup, reason)) return false;

  std::vector<std::unique_ptr<TSprite>> sprites;
  TAssetImport result;
  result.map.reserve(ids.size());
  std::size_t total = 0;
  for (const auto& parts : tiles) total += parts.size();
  sprites.reserve(total);
  for (auto& parts : tiles) {
    for (auto& tile : parts) {
      sprites.push_back(tile ? spriteWithImage(std::move(tile)) : std::make_unique<TSprite>());
    }
    parts.clear();
  }
  const std::int32_t first = document.appendSprites(sprites);
  std::int32_t next = first;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const int count = tilesPerSprite(store.catalog().sheetOf(ids[i])->type);
    std::vector<std::int32_t> sprIds(static_cast<std::size_t>(count));
    for (std::int32_t& id : sprIds) id = next++;
    result.map.emplace_back(ids[i], std::move(sprIds));
  }
  result.sprites = total;
  imported = std::move(result);
  return true;
}

bool writeWithAssetSprites(const TSpriteFile& file, const TAssetStore& store,
                           std::span<const std::int64_t> ids, const std::string& path,
                           std::int32_t signature, TSprLayout layout, TSprSavedAlpha alpha,
                           TAssetImport& imported, std::string& reason, bool& sheetFailed,
                           unsigned threads) {
  sheetFailed = false;
  std::vector<SheetGroup> groups;
  if (!groupBySheet(store.catalog(), ids, groups, reason)) {
    sheetFailed = true;
    return false;
  }
  std::size_t tiles = 0;
  for (const std::int64_t id : ids) {
    tiles += static_cast<std::size_t>(tilesPerSprite(store.catalog().sheetOf(id)->type));
  }
  const std::size_t total = file.Sprites.size() + tiles;
  TAssetImport result;
  result.map.reserve(ids.size());
  result.sprites = tiles;
  auto next = static_cast<std::int32_t>(file.Sprites.size() + 1);

  // Enough sheets at a time to keep every thread busy, few enough that their tiles cost little.
  const std::size_t batch = 4 * std::max(1u, threads);
  std::vector<std::vector<std::unique_ptr<TBitmap32>>> parts(ids.size());
  std::string failure;
  const auto produce = [&](TSprStreamWriter& writer) {
    for (const auto& sprite : file.Sprites) writer.add(*sprite);
    for (std::size_t from = 0; from < groups.size(); from += batch) {
      const std::size_t count = std::min(batch, groups.size() - from);
      const auto decodeGroup = [&](std::size_t index, std::string& why) {
        const SheetGroup& group = groups[from + index];
        TBitmap32 sheet;
        if (!store.loadSheet(*group.sheet, sheet, why)) return false;
        for (std::size_t i = group.begin; i < group.end; ++i) {
          const int cell = static_cast<int>(ids[i] - group.sheet->firstId);
          parts[i] = cutIntoTiles(cellOfSheet(sheet, group.sheet->type, cell));
        }
        return true;
      };
      if (!parallelFor(count, threads, decodeGroup, failure)) {
        throw std::runtime_error(failure);
      }
      TSprite tile;
      for (std::size_t g = from; g < from + count; ++g) {
        for (std::size_t i = groups[g].begin; i < groups[g].end; ++i) {
          std::vector<std::int32_t> sprIds;
          sprIds.reserve(parts[i].size());
          for (auto& image : parts[i]) {
            tile.isDUmmy = !image;
            tile.bitmap = std::move(image);
            writer.add(tile);
            sprIds.push_back(next++);
          }
          parts[i].clear();
          parts[i].shrink_to_fit();
          result.map.emplace_back(ids[i], std::move(sprIds));
        }
      }
    }
  };
  if (!writeSprFileStreamed(path, signature, layout, total, alpha, produce, reason)) {
    // A sheet's own reason names its file; the writer's says what failed on disk.
    if (!failure.empty()) {
      reason = failure;
      sheetFailed = true;
    }
    return false;
  }
  imported = std::move(result);
  return true;
}

std::string assetMapJson(const TAssetImport& imported) {
  // One asset sprite to a line, which reads better than one number to a line for a map of
  // hundreds of thousands of entries.
  std::string text = "{";
  for (std::size_t i = 0; i < imported.map.size(); ++i) {
    const auto& [assetId, sprIds] = imported.map[i];
    text += i == 0 ? "\n  " : ",\n  ";
    text += nlohmann::json(std::to_string(assetId)).dump() + ": " + nlohmann::json(sprIds).dump();
  }
  return text + "\n}\n";
}

bool assembleSprSprites(const TSpriteFile& file, std::span<const std::int32_t> ids, TSheetType type,
                        std::vector<TBitmap32>& sprites, std::string& reason) {
  const auto perSprite = static_cast<std::size_t>(tilesPerSprite(type));
  if (ids.empty() || ids.size() % perSprite != 0) {
    reason = std::to_string(ids.size()) + " sprites do not make whole sprites of " +
             std::to_string(perSprite) + (perSprite == 1 ? " tile" : " tiles") + " for type " +
             std::to_string(static_cast<int>(type));
    return false;
  }
  std::vector<TBitmap32> result;
  result.reserve(ids.size() / perSprite);
  std::vector<const TBitmap32*> tiles(perSprite);
  for (std::size_t at = 0; at < ids.size(); at += perSprite) {
    for (std::size_t k = 0; k < perSprite; ++k) {
      const TSprite* const sprite = file.GetSpriteByID(ids[at + k]);
      if (!sprite) {
        reason = "has no sprite " + std::to_string(ids[at + k]);
        return false;
      }
      tiles[k] = !sprite->isDUmmy && sprite->bitmap ? sprite->bitmap.get() : nullptr;
    }
    result.push_back(assembleFromTiles(tiles, cellWidth(type), cellHeight(type)));
  }
  sprites = std::move(result);
  return true;
}

}  // namespace tess::assets
