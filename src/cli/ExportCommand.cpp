#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "fileio/AtomicFile.h"
#include "image/PNG.h"
#include "image/imageLimits.h"
#include "image/spriteSheet.h"

namespace tess::cli {

namespace {

namespace fs = std::filesystem;

// The selected IDs of the opened file, or false (after saying why) when the list names IDs the
// file does not have.
bool selectedIds(TCliContext& context, const TOpenedFile& opened, std::vector<std::int32_t>& ids) {
  TIdList list = TIdList::all();
  if (const auto text = context.arguments().value("ids")) {
    std::string reason;
    if (!TIdList::parse(*text, list, reason)) {
      context.usageError(reason);
      return false;
    }
  }
  const auto count = static_cast<std::int32_t>(opened.file->Sprites.size());
  std::int64_t beyond = 0;
  ids = list.resolve(count, beyond);
  if (beyond != 0) {
    context.error(opened.path, "has " + std::to_string(count) + " sprites; ID " +
                                   std::to_string(beyond) + " is beyond the last");
    return false;
  }
  return true;
}

// Writes the PNG the editor's export writes for `bitmap`.
bool writePng(TCliContext& context, const TBitmap32& bitmap, const std::string& path,
              bool durable) {
  try {
    const std::optional<std::vector<std::uint8_t>> png = bitmapToPng(bitmap);
    if (!png) throw std::runtime_error("the image could not be encoded");
    writeFileAtomically(path, png->data(), png->size(), durable);
    return true;
  } catch (const std::exception& error) {
    context.error(path, error.what());
    return false;
  }
}

bool mayReplace(TCliContext& context, const std::string& input, const std::string& path) {
  std::string reason;
  if (sameFile(input, path)) {
    context.error(path, "is the input file; export never changes its input");
    return false;
  }
  if (!mayWrite(path, context.arguments().has("force"), reason)) {
    context.error(path, reason);
    return false;
  }
  return true;
}

int exportSheet(TCliContext& context, const TOpenedFile& opened,
                const std::vector<std::int32_t>& ids, const std::string& path) {
  if (ids.empty()) {
    context.error(opened.path, "no sprites selected for the sheet");
    return kExitTrouble;
  }
  int columns = defaultSheetColumns(ids.size());
  if (const auto text = context.arguments().value("columns")) {
    const auto number = parseNumber(*text, 1, kMaxImageSide / kSheetTile);
    if (!number) {
      context.usageError("--columns takes a number from 1 to " +
                         std::to_string(kMaxImageSide / kSheetTile));
      return kExitTrouble;
    }
    columns = static_cast<int>(*number);
  }
  const std::int64_t shown = std::min<std::int64_t>(columns, static_cast<std::int64_t>(ids.size()));
  const std::int64_t rows =
      (static_cast<std::int64_t>(ids.size()) + columns - 1) / static_cast<std::int64_t>(columns);
  if (!imageSizeAllowed(shown * kSheetTile, rows * kSheetTile)) {
    context.error(path, "a sheet of " + std::to_string(shown * kSheetTile) + "x" +
                            std::to_string(rows * kSheetTile) +
                            " pixels is too large; select fewer sprites or other columns");
    return kExitTrouble;
  }
  if (!mayReplace(context, opened.path, path)) return kExitTrouble;
  std::vector<const TBitmap32*> tiles;
  tiles.reserve(ids.size());
  for (const std::int32_t id : ids) {
    const TSprite* const sprite = opened.file->GetSpriteByID(id);
    tiles.push_back(sprite && !sprite->isDUmmy && sprite->bitmap ? sprite->bitmap.get() : nullptr);
  }
  try {
    const TBitmap32 sheet = assembleSheet(tiles, columns);
    if (!writePng(context, sheet, path, true)) return kExitTrouble;
  } catch (const std::exception& error) {
    context.error(path, error.what());
    return kExitTrouble;
  }
  context.print(path + ": " + std::to_string(ids.size()) + " sprites in " +
                std::to_string(columns) + " columns");
  return kExitOk;
}

int exportFiles(TCliContext& context, const TOpenedFile& opened,
                const std::vector<std::int32_t>& ids, const std::string& folder) {
  std::error_code error;
  if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
    context.error(folder, "is not a folder");
    return kExitTrouble;
  }
  std::vector<const TSprite*> sprites;
  std::vector<std::string> paths;
  for (const std::int32_t id : ids) {
    const TSprite* const sprite = opened.file->GetSpriteByID(id);
    if (!sprite || sprite->isDUmmy || !sprite->bitmap) continue;
    sprites.push_back(sprite);
    paths.push_back((fs::path(folder) / (std::to_string(id) + ".png")).string());
  }
  // Nothing is written when any file would be refused, so a refused export leaves no half.
  for (const std::string& path : paths) {
    if (!mayReplace(context, opened.path, path)) return kExitTrouble;
  }
  fs::create_directories(folder, error);
  if (error) {
    context.error(folder, "cannot create the folder: " + error.message());
    return kExitTrouble;
  }
  TProgress progress("exporting", context.showProgress());
  for (std::size_t i = 0; i < sprites.size(); ++i) {
    // Exported sprites can always be written again, so, as in the editor, they are not flushed
    // to the disk one by one.
    if (!writePng(context, *sprites[i]->bitmap, paths[i], false)) return kExitTrouble;
    progress.step(static_cast<std::int32_t>(i + 1), static_cast<std::int32_t>(sprites.size()));
  }
  context.print(folder + ": " + std::to_string(sprites.size()) + " sprites exported");
  return kExitOk;
}

}  // namespace

int runExport(TCliContext& context) {
  const auto& operands = context.arguments().operands;
  const auto sheet = context.arguments().value("sheet");
  if (operands.empty() || operands.size() > 2 || (!sheet && operands.size() != 2)) {
    context.usageError("export takes FILE DIR, or FILE [DIR] --sheet OUT.png");
    return kExitTrouble;
  }
  if (!sheet && context.arguments().has("columns")) {
    context.usageError("--columns goes with --sheet");
    return kExitTrouble;
  }
  TOpenedFile opened;
  if (!openSpriteFile(context, operands[0], opened)) return kExitTrouble;
  std::vector<std::int32_t> ids;
  if (!selectedIds(context, opened, ids)) return kExitTrouble;
  if (!sheet) return exportFiles(context, opened, ids, operands[1]);
  if (operands.size() == 1) return exportSheet(context, opened, ids, *sheet);
  // With DIR the sheet goes into that folder, made when needed; an absolute OUT stays where it
  // names.
  const std::string& folder = operands[1];
  std::error_code error;
  if (fs::exists(folder, error) && !fs::is_directory(folder, error)) {
    context.error(folder, "is not a folder");
    return kExitTrouble;
  }
  fs::create_directories(folder, error);
  if (error) {
    context.error(folder, "cannot create the folder: " + error.message());
    return kExitTrouble;
  }
  return exportSheet(context, opened, ids, (fs::path(folder) / *sheet).string());
}

}  // namespace tess::cli
