#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "assets/assetCatalog.h"
#include "bitmap/TBitmap32.h"

namespace tess::assets {

// What writeSheets added to the catalog.
struct TSheetsWritten {
  std::vector<TSheetEntry> sheets;
  std::int64_t firstId = 0;
  std::int64_t lastId = -1;
};

// Writes `sprites` as new sheets of `type` into the catalog's folder and appends their entries
// to the catalog, which is rewritten atomically and read again. Each sprite must be
// cellWidth x cellHeight of `type`; nullptr stands for a fully transparent one. The sprites take
// consecutive IDs from `firstId`, or from just after the catalog's highest ID when it is not
// given (from 1 in an empty catalog); a range that would overlap a sheet already listed is refused.
// Existing sheet files are never rewritten: a new sheet whose content (and so whose name) is
// already there is listed again as it is. On failure nothing the catalog lists changes, the sheets
// written so far are removed, and `reason` says why.
[[nodiscard]] bool writeSheets(TAssetCatalog& catalog, std::span<const TBitmap32* const> sprites,
                               TSheetType type, std::optional<std::int64_t> firstId,
                               TSheetsWritten& written, std::string& reason, unsigned threads = 2);

}  // namespace tess::assets
