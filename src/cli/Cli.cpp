#include "cli/Cli.h"

#include <exception>
#include <new>

#include "cli/Commands.h"

#ifndef TESS_VERSION
#define TESS_VERSION "unknown"
#endif

namespace tess::cli {

namespace {

constexpr const char* kUsage =
    "usage: tessaline-cli COMMAND [options]\n"
    "\n"
    "  info FILE [--json]                 signature, version, count width, alpha, sprites\n"
    "  verify FILE                        every record the editor could not read\n"
    "  convert IN OUT --to VERSION [--force]\n"
    "                                     OUT as the editor saves IN for VERSION\n"
    "  export FILE DIR [--ids LIST] [--force]\n"
    "                                     ID.png for each non-empty sprite\n"
    "  export FILE [DIR] --sheet OUT.png [--columns N] [--ids LIST] [--force]\n"
    "                                     the sprites as one sheet of 32x32 tiles\n"
    "                                     (in DIR when OUT.png is a relative name)\n"
    "  import FILE IMAGE... [--sheet [--keep-empty] | --fit] [--out OUT] [--force]\n"
    "                                     append 32x32 images (--fit: cut or pad\n"
    "                                     others; --sheet: cut into tiles, leaving\n"
    "                                     out transparent ones unless --keep-empty)\n"
    "  diff A B [--json]                  sprites changed, added and removed\n"
    "  duplicates FILE [--json]           groups of sprites with equal images\n"
    "  assets info DIR [--json]           a newer client's sheets, IDs, gaps and problems\n"
    "  assets export DIR OUT [--ids LIST] [--force]\n"
    "                                     ID.png for each of its sprites, at its own size\n"
    "  assets to-spr DIR FILE [--ids LIST] [--out OUT | --new VERSION] [--map MAP] [--force]\n"
    "                                     append its sprites as 32x32 tiles, with a map\n"
    "  spr to-assets FILE DIR --ids LIST --type 0..3 [--first-id N]\n"
    "                                     write sprites as new sheets into DIR's catalog\n"
    "\n"
    "  --client NAME|auto   the catalog version to read FILE, IN, A and B as (default auto)\n"
    "  --config PATH        the version catalog (default config.ini beside the program)\n"
    "  --quiet              nothing but errors\n"
    "  --help, --version\n"
    "\n"
    "LIST is IDs and ranges: 1-100,250,300-. Exit status: 0 success, no differences or no\n"
    "problems; 1 differences, problems or duplicates found; 2 trouble.\n";

struct TSubcommand {
  const char* name;
  int (*run)(TCliContext&);
  TOptionTable options;
};

std::vector<TSubcommand> subcommands() {
  return {
      {"info", runInfo, {{}, {"json"}}},
      {"verify", runVerify, {{}, {}}},
      {"convert", runConvert, {{"to"}, {"force"}}},
      {"export", runExport, {{"ids", "sheet", "columns"}, {"force"}}},
      {"import", runImport, {{"out"}, {"sheet", "force", "fit", "keep-empty"}}},
      {"diff", runDiff, {{}, {"json"}}},
      {"duplicates", runDuplicates, {{}, {"json"}}},
      {"assets", runAssets, {{"ids", "out", "map", "new"}, {"json", "force"}}},
      {"spr", runSpr, {{"ids", "type", "first-id"}, {"json"}}},
  };
}

// The common options with a value; the subcommand's name is the first word that is neither
// an option nor such a value.
bool takesValue(const std::string& word) { return word == "--client" || word == "--config"; }

}  // namespace

int runCli(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
  std::size_t commandAt = words.size();
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "--") break;
    if (words[i] == "--help") {
      std::fputs(kUsage, out);
      return kExitOk;
    }
    if (words[i] == "--version") {
      std::fprintf(out, "tessaline-cli %s\n", TESS_VERSION);
      return kExitOk;
    }
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (takesValue(words[i])) {
      ++i;
      continue;
    }
    if (words[i].rfind("-", 0) == 0) continue;
    commandAt = i;
    break;
  }
  TArguments dummy;
  const TCliContext reporter(dummy, out, err);
  if (commandAt == words.size()) {
    reporter.usageError("no command given");
    return kExitTrouble;
  }
  const std::string& name = words[commandAt];
  for (TSubcommand& subcommand : subcommands()) {
    if (name != subcommand.name) continue;
    subcommand.options.valued.insert({"client", "config"});
    subcommand.options.flags.insert({"quiet", "help", "version"});
    std::vector<std::string> rest = words;
    rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(commandAt));
    TArguments arguments;
    std::string reason;
    if (!parseArguments(rest, subcommand.options, arguments, reason)) {
      reporter.usageError(name + ": " + reason);
      return kExitTrouble;
    }
    TCliContext context(arguments, out, err);
    try {
      if (!context.loadCatalog()) return kExitTrouble;
      return subcommand.run(context);
    } catch (const std::bad_alloc&) {
      context.error({}, "out of memory");
    } catch (const std::exception& error) {
      context.error({}, error.what());
    }
    return kExitTrouble;
  }
  reporter.usageError("unknown command \"" + name + "\"");
  return kExitTrouble;
}

}  // namespace tess::cli
