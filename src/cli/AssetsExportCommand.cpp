#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <set>

#include "cli/AssetsCli.h"
#include "cli/Commands.h"
#include "fileio/AtomicFile.h"
#include "image/PNG.h"

namespace tess::cli {

namespace {

namespace fs = std::filesystem;

}  // namespace

int runAssetsExport(TCliContext& context, const std::vector<std::string>& operands) {
  if (operands.size() != 2) {
    context.usageError("assets export takes DIR OUT");
    return kExitTrouble;
  }
  assets::TAssetStore store;
  if (!openAssets(context, operands[0], store)) return kExitTrouble;
  std::vector<std::int64_t> ids;
  if (!selectAssetIds(context, store, ids)) return kExitTrouble;
  const std::string& folder = operands[1];
  std::error_code error;
  if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
    context.error(folder, "is not a folder");
    return kExitTrouble;
  }
  std::vector<std::string> paths;
  paths.reserve(ids.size());
  const bool force = context.arguments().has("force");
  // Nothing is written when any file would be refused, so a refused export leaves no half.
  for (const std::int64_t id : ids) {
    paths.push_back((fs::path(folder) / (std::to_string(id) + ".png")).string());
    std::string reason;
    if (!mayWrite(paths.back(), force, reason)) {
      context.error(paths.back(), reason);
      return kExitTrouble;
    }
  }
  fs::create_directories(folder, error);
  if (error) {
    context.error(folder, "cannot create the folder: " + error.message());
    return kExitTrouble;
  }
  TProgress progress("exporting", context.showProgress());
  // A sheet that cannot be read is reported once; its sprites are passed over and the rest go on.
  std::set<const assets::TSheetEntry*> badSheets;
  std::size_t written = 0;
  TBitmap32 sprite;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const assets::TSheetEntry* const sheet = store.catalog().sheetOf(ids[i]);
    if (badSheets.count(sheet)) continue;
    std::string reason;
    if (!store.spriteImage(ids[i], sprite, reason)) {
      badSheets.insert(sheet);
      // The store's reason starts with the sheet's file name; the message names its path.
      const std::string why = reason.substr(std::min(reason.size(), sheet->file.size() + 2));
      context.error(store.catalog().sheetPath(*sheet), why + "; its sprites are not exported");
      continue;
    }
    const std::optional<std::vector<std::uint8_t>> png = bitmapToPng(sprite);
    try {
      if (!png) throw std::runtime_error("the image could not be encoded");
      // Exported sprites can be written again, so they are not flushed to the disk one by one.
      writeFileAtomically(paths[i], png->data(), png->size(), false);
    } catch (const std::exception& failure) {
      context.error(paths[i], failure.what());
      return kExitTrouble;
    }
    ++written;
    progress.step(static_cast<std::int32_t>(i + 1), static_cast<std::int32_t>(ids.size()));
  }
  context.print(folder + ": " + std::to_string(written) + " sprites exported");
  return badSheets.empty() ? kExitOk : kExitTrouble;
}

}  // namespace tess::cli
