#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "assets/assetLayout.h"
#include "assets/assetStore.h"
#include "bitmap/TBitmap32.h"
#include "core/spriteDocument.h"
#include "sprite/TSpriteFile.h"

// Moving sprites between a client's sheets and an older sprite file. This joins the assets
// layer with the editor's document, so it is built as a library of its own above both.

namespace tess::assets {

// Which sprite-file IDs each asset sprite became, in the order the asset sprites were given.
struct TAssetImport {
  std::vector<std::pair<std::int64_t, std::vector<std::int32_t>>> map;
  std::size_t sprites = 0;  // sprite-file sprites appended
};

// Appends the asset sprites `ids` to the document's file as one edit: each is cut into tiles
// (cutIntoTiles order), a fully transparent tile becomes an empty sprite. The sheets involved are
// decoded on up to `threads` threads, each once. All or nothing: false with `reason` (naming the
// sheet's file) for an ID no sheet holds or a sheet that cannot be read, and the file unchanged.
[[nodiscard]] bool appendAssetSprites(TSpriteDocument& document, const TAssetStore& store,
                                      std::span<const std::int64_t> ids, TAssetImport& imported,
                                      std::string& reason, unsigned threads = 2);

// Writes a sprite file at `path`: the sprites of `file`, then the asset sprites `ids` cut into
// tiles as appendAssetSprites cuts them, with the IDs appendAssetSprites would give them. The
// file is written as it is made: a few sheets at a time are decoded, on up to `threads` threads,
// and their tiles encoded straight to disk, so memory stays bounded whatever the catalog holds.
// `alpha` as TSpriteFile::save takes it. All or nothing: false with `reason` and the file on
// disk as it was; `sheetFailed` tells a sheet that could not be read (its reason naming its
// file) from a file that could not be written.
[[nodiscard]] bool writeWithAssetSprites(const TSpriteFile& file, const TAssetStore& store,
                                         std::span<const std::int64_t> ids, const std::string& path,
                                         std::int32_t signature, TSprLayout layout,
                                         TSprSavedAlpha alpha, TAssetImport& imported,
                                         std::string& reason, bool& sheetFailed,
                                         unsigned threads = 2);

// The map as JSON: {"<asset id>": [sprite-file IDs...], ...}.
[[nodiscard]] std::string assetMapJson(const TAssetImport& imported);

// Puts the sprite-file sprites `ids` back together as sprites of `type`: every
// tilesPerSprite(type) consecutive entries of `ids` make one, in cutIntoTiles order. An empty
// sprite, or one without an image, leaves its tile transparent. False with `reason` when `ids`
// does not divide into whole sprites or names a sprite the file lacks.
[[nodiscard]] bool assembleSprSprites(const TSpriteFile& file, std::span<const std::int32_t> ids,
                                      TSheetType type, std::vector<TBitmap32>& sprites,
                                      std::string& reason);

}  // namespace tess::assets
