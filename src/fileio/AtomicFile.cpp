#include "fileio/AtomicFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tess {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error(what + " \"" + path + "\": " + std::strerror(error));
}

// Owns one open file descriptor.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) noexcept : FFd(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (FFd >= 0) ::close(FFd);
  }

  int get() const noexcept { return FFd; }
  bool valid() const noexcept { return FFd >= 0; }
  // Closes now so that a late write error reported by close() is not lost.
  int close() noexcept {
    const int fd = FFd;
    FFd = -1;
    return ::close(fd);
  }

 private:
  int FFd;
};

// Removes the temporary file unless the rename succeeded.
class TemporaryName {
 public:
  explicit TemporaryName(std::string path) : FPath(std::move(path)) {}
  TemporaryName(const TemporaryName&) = delete;
  TemporaryName& operator=(const TemporaryName&) = delete;
  ~TemporaryName() {
    if (!FCommitted) ::unlink(FPath.c_str());
  }

  const std::string& path() const noexcept { return FPath; }
  void commit() noexcept { FCommitted = true; }

 private:
  std::string FPath;
  bool FCommitted = false;
};

// Writing past RLIMIT_FSIZE raises SIGXFSZ, whose default action ends the process. While this
// guard lives the signal is blocked for the calling thread only, so the write fails with EFBIG
// instead; a SIGXFSZ raised meanwhile is consumed before the old mask comes back. The process's
// signal dispositions are never touched.
class FileSizeSignalGuard {
 public:
  FileSizeSignalGuard() noexcept {
    sigemptyset(&FOnlyXfsz);
    sigaddset(&FOnlyXfsz, SIGXFSZ);
    sigset_t pending;
    sigemptyset(&pending);
    // A SIGXFSZ that was already pending is not ours to swallow.
    FWasPending = sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1;
    FBlocked = pthread_sigmask(SIG_BLOCK, &FOnlyXfsz, &FOldMask) == 0;
  }
  FileSizeSignalGuard(const FileSizeSignalGuard&) = delete;
  FileSizeSignalGuard& operator=(const FileSizeSignalGuard&) = delete;
  ~FileSizeSignalGuard() {
    if (!FBlocked) return;
    if (!FWasPending) {
      const timespec immediately{0, 0};
      while (sigtimedwait(&FOnlyXfsz, nullptr, &immediately) == SIGXFSZ) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &FOldMask, nullptr);
  }

 private:
  sigset_t FOnlyXfsz;
  sigset_t FOldMask;
  bool FBlocked = false;
  bool FWasPending = false;
};

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link is followed, so that saving through it replaces the file it points to rather
// than the link itself.
std::string resolveTarget(const std::string& path) {
  struct stat linkInfo {};
  if (::lstat(path.c_str(), &linkInfo) != 0 || !S_ISLNK(linkInfo.st_mode)) return path;
  char* const resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result(resolved);
  std::free(resolved);
  return result;
}

// Creates a new, empty file beside the target under a name no one else uses. The mode 0666 lets
// the process umask decide the permissions of a file that did not exist before.
int createTemporary(const std::string& folder, const std::string& name, std::string& tempPath) {
  static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  auto seed =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (static_cast<std::uint64_t>(::getpid()) << 32);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix(6, 'x');
    for (char& ch : suffix) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      ch = kDigits[(seed >> 33) % (sizeof(kDigits) - 1)];
    }
    std::string candidate = folder + "/." + name + ".tess-" + suffix;
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      tempPath = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) fail("Cannot create a temporary file in", folder, errno);
  }
  fail("Cannot create a temporary file in", folder, EEXIST);
}

void writeAll(int fd, const void* data, std::size_t size, const std::string& path) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const std::size_t chunk = size < std::size_t{1} << 30 ? size : std::size_t{1} << 30;
    const ssize_t written = ::write(fd, bytes, chunk);
    if (written < 0) {
      if (errno == EINTR) continue;
      fail("Cannot write", path, errno);
    }
    if (written == 0) fail("Cannot write", path, EIO);
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

void syncFolder(const std::string& folder) noexcept {
  const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // The rename has happened; a folder that cannot be synced (some file systems refuse) does not
  // undo it, so this is best effort.
  if (dir.valid()) ::fsync(dir.get());
}

}  // namespace

void writeFileAtomically(const std::string& path, const void* data, std::size_t size) {
  if (path.empty()) throw std::runtime_error("Cannot write a file without a name");
  const std::string target = resolveTarget(path);
  const std::string name = nameOf(target);
  if (name.empty() || name == "." || name == "..") fail("Cannot write", path, EISDIR);
  const std::string folder = folderOf(target);

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) fail("Cannot write", path, EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) fail("Cannot replace", path, EINVAL);

  std::string tempPath;
  FileDescriptor file(createTemporary(folder, name, tempPath));
  TemporaryName temporary(tempPath);

  if (exists) {
    // Keep the replaced file's permissions and, where allowed, its owner.
    if (::fchmod(file.get(), existing.st_mode & 07777) != 0)
      fail("Cannot set the mode of", tempPath, errno);
    if (::fchown(file.get(), existing.st_uid, existing.st_gid) != 0) {
      // Only a privileged process may give a file away; the file then stays ours.
    }
  }

  {
    const FileSizeSignalGuard guard;
    writeAll(file.get(), data, size, path);
  }
  if (::fsync(file.get()) != 0) fail("Cannot flush", path, errno);
  if (file.close() != 0) fail("Cannot close", path, errno);
  if (::rename(temporary.path().c_str(), target.c_str()) != 0) fail("Cannot replace", path, errno);
  temporary.commit();
  syncFolder(folder);
}

}  // namespace tess
