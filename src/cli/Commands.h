#pragma once

#include "cli/CliContext.h"

namespace tess::cli {

// The subcommands. Each takes its operands and options from the context's arguments (the
// subcommand's own name is not among the operands) and returns the exit status.
[[nodiscard]] int runInfo(TCliContext& context);
[[nodiscard]] int runVerify(TCliContext& context);
[[nodiscard]] int runConvert(TCliContext& context);
[[nodiscard]] int runExport(TCliContext& context);
[[nodiscard]] int runImport(TCliContext& context);
[[nodiscard]] int runDiff(TCliContext& context);
[[nodiscard]] int runDuplicates(TCliContext& context);
// "assets info|export|to-spr" and "spr to-assets": a newer client's sheets.
[[nodiscard]] int runAssets(TCliContext& context);
[[nodiscard]] int runSpr(TCliContext& context);

// The editor refuses to save more sprites than this with 16-bit counts.
inline constexpr std::size_t kMaxSprites16 = 65500;

}  // namespace tess::cli
