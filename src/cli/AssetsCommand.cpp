#include <algorithm>
#include <array>
#include <filesystem>
#include <thread>

#include "assets/assetLayout.h"
#include "cli/AssetsCli.h"
#include "cli/Commands.h"
#include "cli/Json.h"

namespace tess::cli {

namespace {

namespace fs = std::filesystem;
using assets::TSheetEntry;

// Ranges of IDs between sheets that no sheet holds.
std::vector<std::pair<std::int64_t, std::int64_t>> gapsOf(std::span<const TSheetEntry> sheets) {
  std::vector<std::pair<std::int64_t, std::int64_t>> gaps;
  for (std::size_t i = 1; i < sheets.size(); ++i) {
    if (sheets[i].firstId > sheets[i - 1].lastId + 1) {
      gaps.emplace_back(sheets[i - 1].lastId + 1, sheets[i].firstId - 1);
    }
  }
  return gaps;
}

}  // namespace

int runAction(TCliContext& context, const char* subcommand, const std::vector<TAction>& actions) {
  const auto& operands = context.arguments().operands;
  if (operands.empty()) {
    context.usageError(std::string(subcommand) + " needs an action");
    return kExitTrouble;
  }
  for (const TAction& action : actions) {
    if (operands[0] != action.name) continue;
    for (const auto& [name, value] : context.arguments().options) {
      static const std::array<const char*, 5> kCommon = {"client", "config", "quiet", "help",
                                                         "version"};
      const bool common = std::find(kCommon.begin(), kCommon.end(), name) != kCommon.end();
      if (!common &&
          std::find(action.options.begin(), action.options.end(), name) == action.options.end()) {
        context.usageError(std::string(subcommand) + " " + action.name + " does not take --" +
                           name);
        return kExitTrouble;
      }
    }
    return action.run(context, {operands.begin() + 1, operands.end()});
  }
  context.usageError("unknown action \"" + operands[0] + "\" of " + subcommand);
  return kExitTrouble;
}

unsigned workerThreads() noexcept {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 2 : std::min(cores, 8u);
}

bool openAssets(TCliContext& context, const std::string& path, assets::TAssetStore& store) {
  std::string reason;
  if (store.open(path, reason)) return true;
  context.error(path, reason);
  return false;
}

bool selectAssetIds(TCliContext& context, const assets::TAssetStore& store,
                    std::vector<std::int64_t>& ids) {
  const assets::TAssetCatalog& catalog = store.catalog();
  ids.clear();
  const auto text = context.arguments().value("ids");
  if (!text) {
    for (const TSheetEntry& sheet : catalog.sheets()) {
      for (std::int64_t id = sheet.firstId; id <= sheet.lastId; ++id) ids.push_back(id);
    }
  } else {
    TIdList list;
    std::string reason;
    if (!TIdList::parse(*text, list, reason)) {
      context.usageError(reason);
      return false;
    }
    const auto highest = static_cast<std::int32_t>(std::max<std::int64_t>(catalog.highestId(), 0));
    std::int64_t beyond = 0;
    for (const std::int32_t id : list.resolve(highest, beyond)) {
      if (catalog.sheetOf(id)) ids.push_back(id);
    }
    if (beyond != 0) {
      context.error(catalog.path(), "its highest sprite ID is " + std::to_string(highest) +
                                        "; ID " + std::to_string(beyond) + " is beyond it");
      return false;
    }
  }
  if (ids.empty()) {
    context.error(catalog.path(), "no sprites selected");
    return false;
  }
  return true;
}

int runAssetsInfo(TCliContext& context, const std::vector<std::string>& operands) {
  if (operands.size() != 1) {
    context.usageError("assets info takes one DIR");
    return kExitTrouble;
  }
  assets::TAssetStore store;
  if (!openAssets(context, operands[0], store)) return kExitTrouble;
  const assets::TAssetCatalog& catalog = store.catalog();
  const auto sheets = catalog.sheets();
  std::array<std::size_t, assets::kSheetTypeCount> perType{};
  std::int64_t sprites = 0;
  std::vector<std::string> problems = catalog.problems();
  for (const TSheetEntry& sheet : sheets) {
    ++perType[static_cast<std::size_t>(sheet.type)];
    sprites += sheet.count();
    // Only the files' presence: decoding every sheet is what export and to-spr do.
    std::error_code error;
    if (!fs::is_regular_file(catalog.sheetPath(sheet), error)) {
      problems.push_back(sheet.file + ": missing");
    }
  }
  const auto gaps = gapsOf(sheets);
  const std::string first = sheets.empty() ? "null" : std::to_string(sheets.front().firstId);
  const std::string last = sheets.empty() ? "null" : std::to_string(sheets.back().lastId);
  if (context.arguments().has("json")) {
    std::string json = "{\"catalog\":" + jsonString(catalog.path()) +
                       ",\"sheets\":" + std::to_string(sheets.size()) + ",\"sheetsByType\":[";
    for (std::size_t type = 0; type < perType.size(); ++type) {
      if (type) json += ',';
      json += std::to_string(perType[type]);
    }
    json += "],\"sprites\":" + std::to_string(sprites) + ",\"firstId\":" + first +
            ",\"lastId\":" + last + ",\"gaps\":[";
    for (std::size_t i = 0; i < gaps.size(); ++i) {
      if (i) json += ',';
      json += '[';
      json += std::to_string(gaps[i].first);
      json += ',';
      json += std::to_string(gaps[i].second);
      json += ']';
    }
    json += "],\"problems\":[";
    for (std::size_t i = 0; i < problems.size(); ++i) {
      if (i) json += ',';
      json += jsonString(problems[i]);
    }
    context.print(json + "]}");
  } else {
    context.print("catalog: " + catalog.path());
    std::string byType;
    for (std::size_t type = 0; type < perType.size(); ++type) {
      if (type) byType += ", ";
      byType += "type " + std::to_string(type) + ": " + std::to_string(perType[type]);
    }
    context.print("sheets: " + std::to_string(sheets.size()) + " (" + byType + ")");
    context.print("sprites: " + std::to_string(sprites));
    context.print("IDs: " + (sheets.empty() ? std::string("none") : first + "-" + last));
    std::int64_t missing = 0;
    for (const auto& [from, to] : gaps) missing += to - from + 1;
    context.print("gaps: " + std::to_string(gaps.size()) + " (" + std::to_string(missing) +
                  " IDs)");
    context.print("problems: " + std::to_string(problems.size()));
    for (const std::string& problem : problems) context.print("  " + problem);
  }
  return problems.empty() ? kExitOk : kExitNegative;
}

int runAssets(TCliContext& context) {
  return runAction(context, "assets",
                   {{"info", runAssetsInfo, {"json"}},
                    {"export", runAssetsExport, {"ids", "force"}},
                    {"to-spr", runAssetsToSpr, {"ids", "out", "map", "force", "new", "json"}}});
}

}  // namespace tess::cli
