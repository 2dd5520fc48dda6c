#include "cli/CliContext.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/SpriteIo.h"
#include "core/editorCore.h"
#include "core/versionDetect.h"

namespace tess::cli {

namespace {

namespace fs = std::filesystem;

// Reads up to `size` bytes from the start of the file.
bool readHead(const std::string& path, std::uint8_t* head, std::size_t size, std::size_t& got,
              std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, head + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return true;
}

// Why a path cannot be read as a file, or empty when it looks readable.
std::string unreadableReason(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error || !fs::exists(status)) return "no such file";
  if (fs::is_directory(status)) return "is a folder, not a file";
  std::uint8_t byte = 0;
  std::size_t got = 0;
  std::string reason;
  if (!readHead(path, &byte, 1, got, reason)) return reason;
  return {};
}

}  // namespace

TCliContext::TCliContext(const TArguments& arguments, std::FILE* out, std::FILE* err)
    : FArguments(arguments), FOut(out), FErr(err), FQuiet(arguments.has("quiet")) {}

bool TCliContext::loadCatalog() {
  const std::string path =
      FArguments.value("config").value_or(executableDirectory() + "config.ini");
  std::string reason;
  std::vector<TVersionInfo> versions;
  if (!readVersionCatalog(path, versions, &reason)) {
    const std::string missing = unreadableReason(path);
    error(path, "cannot read the version catalog: " + (missing.empty() ? reason : missing));
    return false;
  }
  FVersions = std::move(versions);
  return true;
}

const TVersionInfo* TCliContext::versionNamed(const std::string& name) const noexcept {
  const auto found = std::find_if(FVersions.begin(), FVersions.end(),
                                  [&](const TVersionInfo& v) { return v.name == name; });
  return found == FVersions.end() ? nullptr : &*found;
}

const TVersionInfo* TCliContext::versionWithSignature(std::int32_t signature) const noexcept {
  const auto found = std::find_if(FVersions.begin(), FVersions.end(), [&](const TVersionInfo& v) {
    return v.spriteSignature == signature;
  });
  return found == FVersions.end() ? nullptr : &*found;
}

std::optional<TVersionInfo> TCliContext::resolveVersion(const std::string& name) const {
  return tess::versionNamed(name, FVersions);
}

void TCliContext::note(const std::string& file, const std::string& text) const {
  if (FQuiet) return;
  std::string line = "tessaline-cli: ";
  if (!file.empty()) line += file + ": ";
  line += "note: " + text;
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::fprintf(FErr, "%s\n", line.c_str());
}

void TCliContext::error(const std::string& file, const std::string& reason) const {
  std::string line = "tessaline-cli: ";
  if (!file.empty()) line += file + ": ";
  line += reason;
  // One line each, whatever the reason holds.
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::fprintf(FErr, "%s\n", line.c_str());
}

void TCliContext::usageError(const std::string& reason) const {
  error({}, reason + " (see tessaline-cli --help)");
}

void TCliContext::print(const std::string& line) const {
  if (FQuiet) return;
  std::fwrite(line.data(), 1, line.size(), FOut);
  std::fputc('\n', FOut);
}

bool resolveReadAs(TCliContext& context, const std::string& path, TReadAs& readAs,
                   std::string& reason) {
  const std::string client = context.arguments().value("client").value_or("auto");
  if (client != "auto") {
    const std::optional<TVersionInfo> version = context.resolveVersion(client);
    if (!version) {
      reason = "no version \"" + client + "\" in the catalog";
      return false;
    }
    readAs.version = *version;
    readAs.layout = layoutOf(*version);
    return true;
  }
  // The editor's "Auto detect", which reads only a sample of the file where it can.
  if (const std::optional<TVersionInfo> version = detectCatalogVersion(path, context.versions())) {
    readAs.version = *version;
    readAs.layout = layoutOf(*version);
    return true;
  }
  const TSprProbe probe = probeSprFile(path);
  if (!probe.readable) {
    reason = probe.error.empty() ? "cannot read the file" : probe.error;
    return false;
  }
  const std::optional<TSprLayout> layout = probe.onlyLayout();
  if (!layout) {
    const auto reading = std::count(probe.consistent.begin(), probe.consistent.end(), true);
    reason = "signature " + signatureHex(probe.signature) + " is not in the catalog and " +
             (reading == 0 ? std::string("the file reads in no layout")
                           : std::to_string(reading) + " layouts read it") +
             "; name a version with --client";
    return false;
  }
  readAs.version.reset();
  readAs.layout = *layout;
  return true;
}

bool openSpriteFile(TCliContext& context, const std::string& path, TOpenedFile& opened) {
  opened.path = path;
  if (const std::string reason = unreadableReason(path); !reason.empty()) {
    context.error(path, reason);
    return false;
  }
  TReadAs readAs;
  std::string reason;
  if (!resolveReadAs(context, path, readAs, reason)) {
    context.error(path, reason);
    return false;
  }
  opened.layout = readAs.layout;
  opened.file = std::make_unique<TSpriteFile>(context.host());
  TProgress progress("reading " + path, context.showProgress());
  opened.file->onLoadSprite.push_back(TonLoadSprite(&progress, &TProgress::onSprite));
  context.host().takeMessage();
  const bool loaded = loadAs(*opened.file, path, opened.layout);
  removeListener(opened.file->onLoadSprite, TonLoadSprite(&progress, &TProgress::onSprite));
  if (!loaded) {
    std::string message = opened.file->errorString();
    if (message.empty()) message = context.host().takeMessage();
    context.error(path, message.empty() ? "cannot read the sprite file" : message);
    return false;
  }
  opened.signature = opened.file->signature;
  // The version the file matches: the one it was read as, when the signature is that one's.
  opened.version.reset();
  if (readAs.version && readAs.version->spriteSignature == opened.signature) {
    opened.version = readAs.version;
  } else if (const TVersionInfo* const match = context.versionWithSignature(opened.signature)) {
    opened.version = *match;
  }
  std::error_code error;
  opened.bytes = fs::file_size(path, error);
  return true;
}

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  bytes.clear();
  std::uint8_t block[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), block, block + n);
  }
  ::close(fd);
  return true;
}

bool mayWrite(const std::string& path, bool force, std::string& reason) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (error || !fs::exists(status)) return true;
  if (fs::is_directory(status)) {
    reason = "is a folder";
    return false;
  }
  if (!force) {
    reason = "already exists; give --force to replace it";
    return false;
  }
  return true;
}

std::string writeFailureReason(const std::string& path, const std::string& said) {
  if (!said.empty()) return "cannot write the file: " + said;
  std::error_code error;
  const fs::path folder = fs::absolute(fs::path(path), error).parent_path();
  if (!fs::is_directory(folder, error)) return "cannot write the file: no such folder";
  return "cannot write the file";
}

bool sameFile(const std::string& a, const std::string& b) noexcept {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

}  // namespace tess::cli
