#include "assets/sheetWriter.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "assets/parallelFor.h"
#include "assets/sheetFile.h"
#include "assets/sheetImage.h"
#include "fileio/AtomicFile.h"

namespace tess::assets {

namespace {

namespace fs = std::filesystem;

// What the clients use "area" for is not known here, and they read their sheets without it
// mattering to the pixels; 0 claims nothing about the sheet.
constexpr std::int64_t kArea = 0;

bool checkSprites(std::span<const TBitmap32* const> sprites, TSheetType type, std::string& reason) {
  for (std::size_t i = 0; i < sprites.size(); ++i) {
    const TBitmap32* const sprite = sprites[i];
    if (sprite && (sprite->Width() != cellWidth(type) || sprite->Height() != cellHeight(type))) {
      reason = "sprite " + std::to_string(i + 1) + " is " + std::to_string(sprite->Width()) + "x" +
               std::to_string(sprite->Height()) + ", not the " + std::to_string(cellWidth(type)) +
               "x" + std::to_string(cellHeight(type)) + " of a type " +
               std::to_string(static_cast<int>(type)) + " sheet";
      return false;
    }
  }
  return true;
}

bool checkRange(const TAssetCatalog& catalog, std::int64_t first, std::int64_t last,
                std::string& reason) {
  if (first < 0 || last > kMaxSpriteId) {
    reason = "IDs " + std::to_string(first) + "-" + std::to_string(last) + " are out of range";
    return false;
  }
  for (const TSheetEntry& sheet : catalog.sheets()) {
    if (sheet.firstId <= last && first <= sheet.lastId) {
      reason = "IDs " + std::to_string(first) + "-" + std::to_string(last) + " overlap those of " +
               sheet.file + " (" + std::to_string(sheet.firstId) + "-" +
               std::to_string(sheet.lastId) + ")";
      return false;
    }
  }
  return true;
}

// Files this call created, removed again unless the whole write succeeds.
class CreatedFiles {
 public:
  CreatedFiles() = default;
  CreatedFiles(const CreatedFiles&) = delete;
  CreatedFiles& operator=(const CreatedFiles&) = delete;
  ~CreatedFiles() {
    std::error_code ignored;
    for (const std::string& path : FPaths) fs::remove(path, ignored);
  }
  void add(std::string path) {
    const std::lock_guard lock(FGuard);
    FPaths.push_back(std::move(path));
  }
  void keep() noexcept { FPaths.clear(); }

 private:
  std::mutex FGuard;
  std::vector<std::string> FPaths;
};

}  // namespace

bool writeSheets(TAssetCatalog& catalog, std::span<const TBitmap32* const> sprites, TSheetType type,
                 std::optional<std::int64_t> firstId, TSheetsWritten& written, std::string& reason,
                 unsigned threads) {
  if (sprites.empty()) {
    reason = "no sprites to write";
    return false;
  }
  if (!checkSprites(sprites, type, reason)) return false;
  // An empty catalog starts at 1, as the older files do: their ID 0 means "no sprite".
  const std::int64_t first = firstId.value_or(std::max<std::int64_t>(catalog.highestId() + 1, 1));
  const auto count = static_cast<std::int64_t>(sprites.size());
  if (!checkRange(catalog, first, first + count - 1, reason)) return false;

  const std::size_t perSheet = static_cast<std::size_t>(cellsPerSheet(type));
  const std::size_t sheetCount = (sprites.size() + perSheet - 1) / perSheet;
  std::vector<TSheetEntry> entries(sheetCount);
  CreatedFiles created;
  const auto writeOne = [&](std::size_t index, std::string& why) {
    TBitmap32 sheet;
    sheet.SetSizeAndFill(kSheetSide, kSheetSide, clTransparentWhite32);
    const std::size_t begin = index * perSheet;
    const std::size_t end = std::min(sprites.size(), begin + perSheet);
    for (std::size_t i = begin; i < end; ++i) {
      if (sprites[i]) putCell(sheet, type, static_cast<int>(i - begin), *sprites[i]);
    }
    const std::vector<std::uint8_t> bmp = encodeSheetBmp(sheet);
    std::vector<std::uint8_t> file;
    if (!packSheet(bmp, file, why)) return false;
    TSheetEntry& entry = entries[index];
    entry.file = sheetFileName(bmp);
    entry.type = type;
    entry.firstId = first + static_cast<std::int64_t>(begin);
    entry.lastId = first + static_cast<std::int64_t>(end) - 1;
    entry.area = kArea;
    const std::string path = catalog.sheetPath(entry);
    std::error_code error;
    // The name is the content's hash: a file of that name already holds these pixels.
    if (fs::exists(path, error)) return true;
    try {
      writeFileAtomically(path, file.data(), file.size());
    } catch (const std::exception& failure) {
      why = failure.what();
      return false;
    }
    created.add(path);
    return true;
  };
  if (!parallelFor(sheetCount, threads, writeOne, reason)) return false;

  const std::string text = catalog.withEntries(entries);
  try {
    writeFileAtomically(catalog.path(), text.data(), text.size());
  } catch (const std::exception& failure) {
    reason = catalog.path() + ": " + failure.what();
    return false;
  }
  created.keep();
  TAssetCatalog reread;
  if (!reread.parse(text, catalog.path(), reason)) return false;
  catalog = std::move(reread);
  written.sheets = std::move(entries);
  written.firstId = first;
  written.lastId = first + count - 1;
  return true;
}

}  // namespace tess::assets
