#include "assets/assetCatalog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

namespace tess::assets {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

// The catalog is a flat array of flat objects; later clients nest a little more. Nesting or a
// count of values far beyond that is refused, so that a hostile file cannot make the parsed
// document many times larger than the text.
constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxValues = std::size_t{1} << 21;

std::string describe(std::size_t index, const Json& entry) {
  std::string name = "entry " + std::to_string(index);
  if (const auto file = entry.find("file"); file != entry.end() && file->is_string()) {
    name += " (" + file->get<std::string>() + ")";
  }
  return name;
}

// A whole number field of the entry in [minimum, maximum]; false with the reason otherwise.
bool numberField(const Json& entry, const char* key, std::int64_t minimum, std::int64_t maximum,
                 std::int64_t& value, std::string& reason) {
  const auto found = entry.find(key);
  if (found == entry.end()) {
    reason = std::string("has no \"") + key + "\"";
    return false;
  }
  if (!found->is_number_integer()) {
    reason = std::string("\"") + key + "\" is not a whole number";
    return false;
  }
  if (found->is_number_unsigned()
          ? found->get<std::uint64_t>() > std::uint64_t(maximum)
          : (found->get<std::int64_t>() < minimum || found->get<std::int64_t>() > maximum)) {
    reason = std::string("\"") + key + "\" is outside " + std::to_string(minimum) + " to " +
             std::to_string(maximum);
    return false;
  }
  value = found->get<std::int64_t>();
  return true;
}

bool readSheetEntry(const Json& entry, TSheetEntry& sheet, std::string& reason) {
  const auto file = entry.find("file");
  if (file == entry.end() || !file->is_string()) {
    reason = "has no \"file\" name";
    return false;
  }
  sheet.file = file->get<std::string>();
  if (!isPlainFileName(sheet.file)) {
    reason = "its file name leaves the catalog's folder; refused";
    return false;
  }
  std::int64_t type = 0;
  if (!numberField(entry, "spritetype", 0, kSheetTypeCount - 1, type, reason) ||
      !numberField(entry, "firstspriteid", 0, kMaxSpriteId, sheet.firstId, reason) ||
      !numberField(entry, "lastspriteid", 0, kMaxSpriteId, sheet.lastId, reason)) {
    return false;
  }
  sheet.type = *sheetTypeFrom(type);
  if (entry.contains("area") &&
      !numberField(entry, "area", INT64_MIN, INT64_MAX, sheet.area, reason)) {
    return false;
  }
  if (sheet.lastId < sheet.firstId) {
    reason = "its last ID " + std::to_string(sheet.lastId) + " is below its first " +
             std::to_string(sheet.firstId);
    return false;
  }
  if (sheet.count() > cellsPerSheet(sheet.type)) {
    reason = "IDs " + std::to_string(sheet.firstId) + "-" + std::to_string(sheet.lastId) +
             " are more than its " + std::to_string(cellsPerSheet(sheet.type)) + " cells";
    return false;
  }
  return true;
}

std::string indented(const std::string& text, const std::string& indent) {
  std::string out = indent;
  for (const char c : text) {
    out += c;
    if (c == '\n') out += indent;
  }
  return out;
}

}  // namespace

bool isPlainFileName(std::string_view name) noexcept {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0:", 4)) == std::string_view::npos;
}

bool TAssetCatalog::read(const std::string& path, std::string& reason) {
  std::error_code error;
  fs::path file = path;
  if (fs::is_directory(file, error)) file /= kCatalogFileName;
  const fs::file_status status = fs::status(file, error);
  if (error || !fs::exists(status)) {
    reason = "no " + std::string(kCatalogFileName) + " there";
    return false;
  }
  if (!fs::is_regular_file(status)) {
    reason = "is not a regular file";
    return false;
  }
  const std::uint64_t size = fs::file_size(file, error);
  if (error) {
    reason = "cannot read the catalog: " + error.message();
    return false;
  }
  if (size > kMaxCatalogBytes) {
    reason = "the catalog is " + std::to_string(size) + " bytes; more than " +
             std::to_string(kMaxCatalogBytes >> 20) + " MiB is refused";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  std::string text(static_cast<std::size_t>(size), '\0');
  if (!in || !in.read(text.data(), static_cast<std::streamsize>(text.size()))) {
    reason = "cannot read the catalog";
    return false;
  }
  return parse(std::move(text), file.string(), reason);
}

bool TAssetCatalog::parse(std::string text, const std::string& path, std::string& reason) {
  // The JSON reader stops at a NUL byte as if the text ended there; what follows would then be
  // neither read nor kept in place by a rewrite.
  if (text.find('\0') != std::string::npos) {
    reason = "is not valid JSON: it holds a NUL byte";
    return false;
  }
  bool refused = false;
  std::size_t values = 0;
  const Json::parser_callback_t limit = [&](int depth, Json::parse_event_t, Json&) {
    if (refused || depth > kMaxDepth || ++values > kMaxValues) {
      refused = true;
      return false;
    }
    return true;
  };
  const Json document = Json::parse(text, limit, false);
  if (refused) {
    reason = "the catalog nests too deeply or holds too many values to be a catalog";
    return false;
  }
  if (document.is_discarded()) {
    reason = "is not valid JSON";
    return false;
  }
  if (!document.is_array()) {
    reason = "is not a JSON array of entries";
    return false;
  }
  std::vector<TSheetEntry> sheets;
  std::vector<std::string> problems;
  for (std::size_t i = 0; i < document.size(); ++i) {
    const Json& entry = document[i];
    if (!entry.is_object()) {
      problems.push_back("entry " + std::to_string(i) + " is not an object");
      continue;
    }
    const auto type = entry.find("type");
    if (type == entry.end() || *type != "sprite") continue;
    TSheetEntry sheet;
    std::string why;
    if (!readSheetEntry(entry, sheet, why)) {
      problems.push_back(describe(i, entry) + ": " + why);
      continue;
    }
    sheets.push_back(std::move(sheet));
  }
  std::stable_sort(sheets.begin(), sheets.end(), [](const TSheetEntry& a, const TSheetEntry& b) {
    return a.firstId < b.firstId;
  });
  std::vector<TSheetEntry> kept;
  kept.reserve(sheets.size());
  for (TSheetEntry& sheet : sheets) {
    if (!kept.empty() && sheet.firstId <= kept.back().lastId) {
      problems.push_back(sheet.file + ": IDs " + std::to_string(sheet.firstId) + "-" +
                         std::to_string(sheet.lastId) + " overlap those of " + kept.back().file +
                         " (" + std::to_string(kept.back().firstId) + "-" +
                         std::to_string(kept.back().lastId) + "); left out");
      continue;
    }
    kept.push_back(std::move(sheet));
  }
  FText = std::move(text);
  FEmptyArray = document.empty();
  FPath = path;
  const fs::path folder = fs::path(path).parent_path();
  FFolder = folder.empty() ? "." : folder.string();
  FSheets = std::move(kept);
  FProblems = std::move(problems);
  return true;
}

const TSheetEntry* TAssetCatalog::sheetOf(std::int64_t id) const noexcept {
  const auto after = std::upper_bound(
      FSheets.begin(), FSheets.end(), id,
      [](std::int64_t value, const TSheetEntry& sheet) { return value < sheet.firstId; });
  if (after == FSheets.begin()) return nullptr;
  const TSheetEntry& sheet = *std::prev(after);
  return id <= sheet.lastId ? &sheet : nullptr;
}

std::int64_t TAssetCatalog::highestId() const noexcept {
  return FSheets.empty() ? -1 : FSheets.back().lastId;
}

std::string TAssetCatalog::sheetPath(const TSheetEntry& sheet) const {
  return (fs::path(FFolder) / sheet.file).string();
}

std::string TAssetCatalog::withEntries(std::span<const TSheetEntry> added) const {
  // parse() accepted the text as an array, so its last character that is not white space is
  // the closing bracket; the new entries go right after whatever stands before it.
  constexpr std::string_view kSpace = " \t\r\n";
  const std::size_t close = FText.find_last_not_of(kSpace);
  const std::size_t insertAt = FText.find_last_not_of(kSpace, close - 1) + 1;
  std::string entries;
  for (std::size_t i = 0; i < added.size(); ++i) {
    const TSheetEntry& sheet = added[i];
    Json entry;
    entry["type"] = "sprite";
    entry["file"] = sheet.file;
    entry["spritetype"] = static_cast<int>(sheet.type);
    entry["firstspriteid"] = sheet.firstId;
    entry["lastspriteid"] = sheet.lastId;
    entry["area"] = sheet.area;
    entries += (i == 0 && FEmptyArray ? "\n" : ",\n") + indented(entry.dump(2), "  ");
  }
  std::string text = FText.substr(0, insertAt) + entries;
  // An array closed on the line of its last entry is closed on a line of its own now.
  const std::string rest = FText.substr(insertAt);
  if (!added.empty() && rest.find('\n') == std::string::npos) text += '\n';
  return text + rest;
}

}  // namespace tess::assets
