// Reads any bytes as catalog-content.json. A refused catalog says why. An accepted one lists
// sheets in ascending, non-overlapping ID ranges that fit their cells, with plain file names
// only; a sheet appended to its text reads back with every earlier sheet and problem unchanged.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "assets/assetCatalog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tess::fuzz::require;
  namespace assets = tess::assets;
  static const tess::fuzz::ScratchFile input("-catalog-content.json");
  input.write(data, size);

  const std::string text(reinterpret_cast<const char*>(data), size);
  assets::TAssetCatalog catalog;
  std::string reason;
  const bool ok = catalog.parse(text, input.path(), reason);
  assets::TAssetCatalog fromDisk;
  std::string diskReason;
  require(fromDisk.read(input.path(), diskReason) == ok, "file and text agree on success");
  if (!ok) {
    require(!reason.empty(), "a refused catalog says why");
    return 0;
  }
  const auto sheets = catalog.sheets();
  require(fromDisk.sheets().size() == sheets.size(), "file and text agree on the sheets");
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const assets::TSheetEntry& sheet = sheets[i];
    require(assets::isPlainFileName(sheet.file), "no listed file leaves the folder");
    require(sheet.firstId <= sheet.lastId && sheet.count() <= assets::cellsPerSheet(sheet.type),
            "a sheet's IDs fit its cells");
    require(i == 0 || sheets[i - 1].lastId < sheet.firstId, "ranges ascend without overlap");
    require(catalog.sheetOf(sheet.firstId) == &sheet && catalog.sheetOf(sheet.lastId) == &sheet,
            "each sheet is found by its IDs");
  }

  if (catalog.highestId() >= assets::kMaxSpriteId) return 0;
  assets::TSheetEntry added;
  added.file = "sprites-added.bmp.lzma";
  added.type = assets::TSheetType::Large;
  added.firstId = catalog.highestId() + 1;
  added.lastId = added.firstId;
  assets::TAssetCatalog extended;
  require(extended.parse(catalog.withEntries({&added, 1}), input.path(), reason),
          "a catalog with a sheet appended still reads");
  require(
      extended.sheets().size() == sheets.size() + 1 && extended.problems() == catalog.problems(),
      "appending keeps every sheet and problem");
  require(extended.sheets().back().file == added.file, "the appended sheet is listed last");
  return 0;
}
