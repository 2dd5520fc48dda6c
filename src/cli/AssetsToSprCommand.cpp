#include <exception>
#include <filesystem>

#include "assets/assetImport.h"
#include "cli/AssetsCli.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/SpriteIo.h"
#include "core/spriteDocument.h"
#include "fileio/AtomicFile.h"

namespace tess::cli {

namespace {

namespace fs = std::filesystem;

// The sprite file to add to: the one FILE names, or a new empty one for --new VERSION.
bool targetFile(TCliContext& context, const std::string& input, TOpenedFile& opened) {
  const auto version = context.arguments().value("new");
  if (!version) return openSpriteFile(context, input, opened);
  const TVersionInfo* const info = context.versionNamed(*version);
  if (!info) {
    context.usageError("no version \"" + *version + "\" in the catalog");
    return false;
  }
  opened.path = input;
  opened.file = std::make_unique<TSpriteFile>(context.host());
  opened.file->New();
  opened.layout = layoutOf(*info);
  opened.version = *info;
  opened.signature = info->spriteSignature;
  opened.file->signature = info->spriteSignature;
  return true;
}

// The map's default path: beside the output, named after it.
std::string defaultMapPath(const std::string& out) {
  return fs::path(out).replace_extension(".map.json").string();
}

}  // namespace

int runAssetsToSpr(TCliContext& context, const std::vector<std::string>& operands) {
  if (operands.size() != 2) {
    context.usageError("assets to-spr takes DIR FILE.spr");
    return kExitTrouble;
  }
  const auto& arguments = context.arguments();
  const std::string& input = operands[1];
  const bool force = arguments.has("force");
  const bool fresh = arguments.has("new");
  const std::string out = arguments.value("out").value_or(input);
  if (!fresh && !arguments.has("out") && !force) {
    context.error(input, "to-spr replaces FILE only with --force; or name another with --out");
    return kExitTrouble;
  }
  const std::string mapPath = arguments.value("map").value_or(defaultMapPath(out));
  std::string reason;
  // An existing FILE is the input, which --force or --out allowed replacing, unless --new
  // would start it afresh.
  if ((fresh || out != input) && !mayWrite(out, force, reason)) {
    context.error(out, reason);
    return kExitTrouble;
  }
  if (!mayWrite(mapPath, force, reason)) {
    context.error(mapPath, reason);
    return kExitTrouble;
  }
  assets::TAssetStore store;
  if (!openAssets(context, operands[0], store)) return kExitTrouble;
  std::vector<std::int64_t> ids;
  if (!selectAssetIds(context, store, ids)) return kExitTrouble;
  TOpenedFile opened;
  if (!targetFile(context, input, opened)) return kExitTrouble;
  TSpriteFile& file = *opened.file;

  std::size_t tiles = 0;
  for (const std::int64_t id : ids) {
    tiles += static_cast<std::size_t>(assets::tilesPerSprite(store.catalog().sheetOf(id)->type));
  }
  const std::size_t total = file.Sprites.size() + tiles;
  if (!opened.layout.sprite32 && total > kMaxSprites16) {
    context.error(input, "would have " + std::to_string(total) +
                             " sprites; its count is 16 bits wide and holds at most 65500");
    return kExitTrouble;
  }
  // Written as the sheets are read: a whole client's art never sits in memory as images. The
  // sprites of a file without alpha are stored opaque, as the editor's Save stores them.
  assets::TAssetImport imported;
  bool sheetFailed = false;
  const TSprSavedAlpha alpha =
      opened.layout.alpha ? TSprSavedAlpha::AsItIs : TSprSavedAlpha::Opaque;
  if (!assets::writeWithAssetSprites(file, store, ids, out, opened.signature, opened.layout, alpha,
                                     imported, reason, sheetFailed, workerThreads())) {
    if (sheetFailed) {
      // The reason starts with the sheet's file name.
      context.error(store.catalog().folder(), reason);
    } else {
      context.error(out, writeFailureReason(out, reason));
    }
    return kExitTrouble;
  }
  try {
    const std::string map = assets::assetMapJson(imported);
    writeFileAtomically(mapPath, map.data(), map.size());
  } catch (const std::exception& failure) {
    context.error(mapPath, failure.what());
    return kExitTrouble;
  }
  const std::int32_t first = imported.map.front().second.front();
  const std::int32_t last = imported.map.back().second.back();
  if (arguments.has("json")) {
    context.print("{\"file\":" + jsonString(out) + ",\"assetSprites\":" +
                  std::to_string(ids.size()) + ",\"sprites\":" + std::to_string(imported.sprites) +
                  ",\"firstId\":" + std::to_string(first) + ",\"lastId\":" + std::to_string(last) +
                  ",\"map\":" + jsonString(mapPath) + "}");
  } else {
    context.print(out + ": " + std::to_string(ids.size()) + " asset sprites added as " +
                  std::to_string(imported.sprites) + " sprites, IDs " + std::to_string(first) +
                  "-" + std::to_string(last) + "; map in " + mapPath);
  }
  return kExitOk;
}

}  // namespace tess::cli
