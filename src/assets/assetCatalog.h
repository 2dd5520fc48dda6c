#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "assets/assetLayout.h"

namespace tess::assets {

inline constexpr const char* kCatalogFileName = "catalog-content.json";
// A client's catalog is well under a megabyte; anything this large is refused unread.
inline constexpr std::uint64_t kMaxCatalogBytes = 64ull * 1024 * 1024;
// Sprite IDs go into sprite files as 32-bit numbers.
inline constexpr std::int64_t kMaxSpriteId = INT32_MAX;

// One sheet as the catalog names it.
struct TSheetEntry {
  std::string file;  // a plain file name in the catalog's folder
  TSheetType type = TSheetType::Small;
  std::int64_t firstId = 0;
  std::int64_t lastId = 0;  // inclusive
  std::int64_t area = 0;

  std::int64_t count() const noexcept { return lastId - firstId + 1; }
};

// catalog-content.json: the sheets it names, checked and sorted by ID, and everything else it
// holds, kept as it was for a rewrite. Entries that cannot be used (a missing or wrong field, a
// file name that leaves the folder, more IDs than cells, a range that overlaps another) are left
// out of sheets() and named in problems(); the rest of the catalog reads on.
class TAssetCatalog {
 public:
  // Reads `path`, which names the catalog file or the folder holding it. False with `reason`
  // (not naming the file) when it is missing, larger than kMaxCatalogBytes, not JSON, or not a
  // JSON array.
  [[nodiscard]] bool read(const std::string& path, std::string& reason);
  // The same for catalog text already in memory, as if read from `path`, beside which its
  // sheets lie.
  [[nodiscard]] bool parse(std::string text, const std::string& path, std::string& reason);

  // The catalog file's path, and its folder.
  const std::string& path() const noexcept { return FPath; }
  const std::string& folder() const noexcept { return FFolder; }
  // The usable sheets in ascending ID order; no two overlap.
  std::span<const TSheetEntry> sheets() const noexcept { return FSheets; }
  // One line per entry left out, naming the entry.
  const std::vector<std::string>& problems() const noexcept { return FProblems; }

  // The sheet holding sprite `id`, or nullptr for an ID in a gap or outside every sheet.
  [[nodiscard]] const TSheetEntry* sheetOf(std::int64_t id) const noexcept;
  // The highest sprite ID of any sheet, or -1 when there is none.
  [[nodiscard]] std::int64_t highestId() const noexcept;
  // The full path of a sheet's file.
  [[nodiscard]] std::string sheetPath(const TSheetEntry& sheet) const;

  // The catalog's text with `added` as new sprite entries at the end of its array. Every byte
  // before them is the original's, so entries this program does not know stay exactly as written.
  [[nodiscard]] std::string withEntries(std::span<const TSheetEntry> added) const;

 private:
  std::string FPath;
  std::string FFolder;
  std::string FText;
  bool FEmptyArray = true;
  std::vector<TSheetEntry> FSheets;
  std::vector<std::string> FProblems;
};

// Whether `name` may be a sheet's file name: a plain name in the catalog's folder, neither a
// path nor "." or "..".
[[nodiscard]] bool isPlainFileName(std::string_view name) noexcept;

}  // namespace tess::assets
