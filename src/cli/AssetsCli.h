#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/assetStore.h"
#include "cli/CliContext.h"

namespace tess::cli {

// An action of a subcommand word such as "assets info".
struct TAction {
  const char* name;
  int (*run)(TCliContext&, const std::vector<std::string>& operands);
  std::vector<std::string> options;  // the subcommand's options this action takes
};

// Runs the action the first operand names. The options of all a subcommand's actions are
// parsed together, so each action refuses those that are not its own.
[[nodiscard]] int runAction(TCliContext& context, const char* subcommand,
                            const std::vector<TAction>& actions);

// The actions of "assets", each given the operands after the action's name.
[[nodiscard]] int runAssetsInfo(TCliContext& context, const std::vector<std::string>& operands);
[[nodiscard]] int runAssetsExport(TCliContext& context, const std::vector<std::string>& operands);
[[nodiscard]] int runAssetsToSpr(TCliContext& context, const std::vector<std::string>& operands);

// Opens a client's assets folder or catalog; false after reporting the path and the reason.
[[nodiscard]] bool openAssets(TCliContext& context, const std::string& path,
                              assets::TAssetStore& store);

// The asset sprites --ids selects (every one the catalog lists without it), ascending. IDs in
// gaps between sheets are passed over; false after reporting when the list goes beyond the
// highest ID or selects no sprite at all.
[[nodiscard]] bool selectAssetIds(TCliContext& context, const assets::TAssetStore& store,
                                  std::vector<std::int64_t>& ids);

// The threads that decode or compress sheets side by side: one per core, up to 8.
[[nodiscard]] unsigned workerThreads() noexcept;

}  // namespace tess::cli
