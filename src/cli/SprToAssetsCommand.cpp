#include <filesystem>

#include "assets/assetImport.h"
#include "assets/sheetWriter.h"
#include "cli/AssetsCli.h"
#include "cli/Commands.h"
#include "cli/Json.h"

namespace tess::cli {

namespace {

namespace fs = std::filesystem;

// The catalog in `folder`, or a new empty one (and the folder) when there is none yet.
bool targetCatalog(TCliContext& context, const std::string& folder,
                   assets::TAssetCatalog& catalog) {
  std::error_code error;
  const fs::path path = fs::path(folder) / assets::kCatalogFileName;
  std::string reason;
  if (fs::exists(path, error)) {
    if (catalog.read(path.string(), reason)) return true;
    context.error(path.string(), reason);
    return false;
  }
  if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
    context.error(folder, "is not a folder");
    return false;
  }
  fs::create_directories(folder, error);
  if (error) {
    context.error(folder, "cannot create the folder: " + error.message());
    return false;
  }
  if (!catalog.parse("[]\n", path.string(), reason)) {
    context.error(path.string(), reason);
    return false;
  }
  return true;
}

int runSprToAssets(TCliContext& context, const std::vector<std::string>& operands) {
  const auto& arguments = context.arguments();
  if (operands.size() != 2 || !arguments.has("ids") || !arguments.has("type")) {
    context.usageError("spr to-assets takes FILE.spr DIR --ids LIST --type 0..3");
    return kExitTrouble;
  }
  const auto type = parseNumber(*arguments.value("type"), 0, assets::kSheetTypeCount - 1);
  if (!type) {
    context.usageError("--type takes 0 (32x32), 1 (32x64), 2 (64x32) or 3 (64x64)");
    return kExitTrouble;
  }
  std::optional<std::int64_t> firstId;
  if (const auto text = arguments.value("first-id")) {
    firstId = parseNumber(*text, 0, assets::kMaxSpriteId);
    if (!firstId) {
      context.usageError("--first-id takes a number from 0 to " +
                         std::to_string(assets::kMaxSpriteId));
      return kExitTrouble;
    }
  }
  TIdList list;
  std::string reason;
  if (!TIdList::parse(*arguments.value("ids"), list, reason)) {
    context.usageError(reason);
    return kExitTrouble;
  }
  TOpenedFile opened;
  if (!openSpriteFile(context, operands[0], opened)) return kExitTrouble;
  const auto count = static_cast<std::int32_t>(opened.file->Sprites.size());
  std::int64_t beyond = 0;
  const std::vector<std::int32_t> ids = list.resolve(count, beyond);
  if (beyond != 0) {
    context.error(opened.path, "has " + std::to_string(count) + " sprites; ID " +
                                   std::to_string(beyond) + " is beyond the last");
    return kExitTrouble;
  }
  const auto sheetType = *assets::sheetTypeFrom(*type);
  std::vector<TBitmap32> sprites;
  if (!assets::assembleSprSprites(*opened.file, ids, sheetType, sprites, reason)) {
    context.error(opened.path, reason);
    return kExitTrouble;
  }
  assets::TAssetCatalog catalog;
  if (!targetCatalog(context, operands[1], catalog)) return kExitTrouble;
  std::vector<const TBitmap32*> pointers;
  pointers.reserve(sprites.size());
  for (const TBitmap32& sprite : sprites) pointers.push_back(&sprite);
  assets::TSheetsWritten written;
  if (!assets::writeSheets(catalog, pointers, sheetType, firstId, written, reason,
                           workerThreads())) {
    context.error(catalog.path(), reason);
    return kExitTrouble;
  }
  if (arguments.has("json")) {
    std::string files;
    for (const assets::TSheetEntry& sheet : written.sheets) {
      if (!files.empty()) files += ',';
      files += jsonString(sheet.file);
    }
    context.print("{\"catalog\":" + jsonString(catalog.path()) +
                  ",\"sprites\":" + std::to_string(sprites.size()) +
                  ",\"firstId\":" + std::to_string(written.firstId) +
                  ",\"lastId\":" + std::to_string(written.lastId) + ",\"sheets\":[" + files + "]}");
  } else {
    context.print(catalog.path() + ": " + std::to_string(sprites.size()) + " sprites in " +
                  std::to_string(written.sheets.size()) + " new sheets of type " +
                  std::to_string(*type) + ", IDs " + std::to_string(written.firstId) + "-" +
                  std::to_string(written.lastId));
  }
  return kExitOk;
}

}  // namespace

int runSpr(TCliContext& context) {
  return runAction(context, "spr",
                   {{"to-assets", runSprToAssets, {"ids", "type", "first-id", "json"}}});
}

}  // namespace tess::cli
