#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliArgs.h"
#include "cli/ConsoleHost.h"
#include "core/versionCatalog.h"
#include "sprite/TSprLayout.h"
#include "sprite/TSpriteFile.h"

namespace tess::cli {

// Exit statuses, as diff and cmp have them.
enum TExit : int { kExitOk = 0, kExitNegative = 1, kExitTrouble = 2 };

// What every subcommand shares: the options common to all, the catalog, the host and the two
// output streams.
class TCliContext {
 public:
  TCliContext(const TArguments& arguments, std::FILE* out, std::FILE* err);

  // Reads the catalog named by --config, or config.ini beside the executable. False (after
  // reporting why) when it cannot be read.
  [[nodiscard]] bool loadCatalog();
  const std::vector<TVersionInfo>& versions() const noexcept { return FVersions; }
  // The catalog entry called `name`, or nullptr.
  const TVersionInfo* versionNamed(const std::string& name) const noexcept;
  // The first catalog entry with `signature`, or nullptr, as "Auto detect" chooses.
  const TVersionInfo* versionWithSignature(std::int32_t signature) const noexcept;
  // The catalog entry called `name`, or the layout variant of one that `name` spells, as the
  // editor names them: "10.98 (16-bit, alpha)".
  std::optional<TVersionInfo> resolveVersion(const std::string& name) const;

  // One line on standard error: the program, the file (when there is one) and the reason.
  void error(const std::string& file, const std::string& reason) const;
  void usageError(const std::string& reason) const;
  // Results go to standard output, unless --quiet.
  void print(const std::string& line) const;
  // Something the user should know that is no error ("note: ..."), on standard error, unless
  // --quiet.
  void note(const std::string& file, const std::string& text) const;

  bool quiet() const noexcept { return FQuiet; }
  bool showProgress() const noexcept { return !FQuiet && stderrIsTerminal(); }
  const TArguments& arguments() const noexcept { return FArguments; }
  TConsoleHost& host() noexcept { return FHost; }

 private:
  const TArguments& FArguments;
  std::FILE* FOut;
  std::FILE* FErr;
  bool FQuiet;
  TConsoleHost FHost;
  std::vector<TVersionInfo> FVersions;
};

// A sprite file read for a subcommand, with what was learnt about it on the way.
struct TOpenedFile {
  std::string path;
  std::unique_ptr<TSpriteFile> file;
  TSprLayout layout;
  // The version the file was read as when its signature is that version's (a catalog entry or
  // a layout variant of one), else the catalog entry whose signature the file has, if any.
  std::optional<TVersionInfo> version;
  std::int32_t signature = 0;
  std::uint64_t bytes = 0;
};

// How a file is to be read: as the version --client names, or as "Auto detect" finds it (with
// the layout detection for signatures the catalog lacks).
struct TReadAs {
  TSprLayout layout;
  // The catalog entry, or layout variant of one, read as; none for a signature the catalog
  // lacks.
  std::optional<TVersionInfo> version;
};
[[nodiscard]] bool resolveReadAs(TCliContext& context, const std::string& path, TReadAs& readAs,
                                 std::string& reason);

// Reads `path` as --client says. False (after reporting the file and the reason) when it cannot.
[[nodiscard]] bool openSpriteFile(TCliContext& context, const std::string& path,
                                  TOpenedFile& opened);

// The bytes of a whole file, or false with the reason the system gives.
[[nodiscard]] bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                                 std::string& reason);

// Whether `path` may be written: it does not exist, or --force allows replacing it. A folder is
// never replaced. False with the reason otherwise.
[[nodiscard]] bool mayWrite(const std::string& path, bool force, std::string& reason);

// Why a file at `path` could not be written: what the writer said (`said`), or as far as can be
// told afterwards.
[[nodiscard]] std::string writeFailureReason(const std::string& path, const std::string& said);

// Whether two paths name the same existing file.
[[nodiscard]] bool sameFile(const std::string& a, const std::string& b) noexcept;

}  // namespace tess::cli
