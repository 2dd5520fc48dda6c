#include "fileio/AtomicFile.h"

#include "fileio/FileDescriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tess {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error(what + " \"" + path + "\": " + std::strerror(error));
}

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
// instead. When the guard is left by that failure, a SIGXFSZ raised meanwhile is consumed before
// the old mask comes back; a thread that blocked the signal itself keeps whatever is pending.
// The process's signal dispositions are never touched.
class FileSizeSignalGuard {
 public:
  FileSizeSignalGuard() noexcept {
    sigemptyset(&FOnlyXfsz);
    sigaddset(&FOnlyXfsz, SIGXFSZ);
    FBlocked = pthread_sigmask(SIG_BLOCK, &FOnlyXfsz, &FOldMask) == 0;
  }
  FileSizeSignalGuard(const FileSizeSignalGuard&) = delete;
  FileSizeSignalGuard& operator=(const FileSizeSignalGuard&) = delete;
  ~FileSizeSignalGuard() {
    if (!FBlocked) return;
    const bool failed = std::uncaught_exceptions() > FUnwinding;
    if (failed && sigismember(&FOldMask, SIGXFSZ) != 1) {
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
  int FUnwinding = std::uncaught_exceptions();
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

// Links followed before a chain is taken for a loop, as the kernel does.
constexpr int kMaxLinkHops = 40;

// The name a chain of symbolic links starting at `path` ends in when its last link points to
// nothing; `path` itself when the chain is too long or cannot be read.
std::string danglingEnd(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) return current;
    if (!S_ISLNK(info.st_mode)) return path;
    std::vector<char> buffer(static_cast<std::size_t>(PATH_MAX) + 1);
    const ssize_t length = ::readlink(current.c_str(), buffer.data(), buffer.size() - 1);
    if (length <= 0) return path;
    std::string next(buffer.data(), static_cast<std::size_t>(length));
    if (next.front() != '/') {
      const auto slash = current.find_last_of('/');
      if (slash != std::string::npos) next = current.substr(0, slash + 1) + next;
    }
    current = std::move(next);
  }
  return path;
}

// A symbolic link is followed, so that saving through it replaces the file it points to rather
// than the link itself. `info` receives what stat() says of the result, and `exists` whether it
// said anything.
std::string resolveTarget(const std::string& path, struct stat& info, bool& exists) {
  exists = ::lstat(path.c_str(), &info) == 0;
  if (!exists || !S_ISLNK(info.st_mode)) return path;
  char* const resolved = ::realpath(path.c_str(), nullptr);
  std::string result = path;
  if (resolved != nullptr) {
    result = resolved;
    std::free(resolved);
  } else if (errno == ENOENT) {
    // A link to a file that does not exist yet: the file is made where the link points, and
    // the link stays, as writing through it would do.
    result = danglingEnd(path);
  }
  exists = ::stat(result.c_str(), &info) == 0;
  return result;
}

std::string resolveTarget(const std::string& path) {
  struct stat info {};
  bool exists = false;
  return resolveTarget(path, info, exists);
}

constexpr std::size_t kTemporarySuffixLength = 6;
constexpr char kTemporaryDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";

// A temporary file of target "name" is ".name.tess-" followed by six letters or digits.
std::string temporaryPrefix(const std::string& name) { return "." + name + ".tess-"; }

bool isTemporaryOf(std::string_view entry, std::string_view prefix) noexcept {
  if (entry.size() != prefix.size() + kTemporarySuffixLength || !entry.starts_with(prefix))
    return false;
  for (const char c : entry.substr(prefix.size())) {
    if (std::string_view(kTemporaryDigits).find(c) == std::string_view::npos) return false;
  }
  return true;
}

// Whether `path` still names the file open as `fd`.
bool namesFile(const std::string& path, int fd) noexcept {
  struct stat byName {};
  struct stat byDescriptor {};
  return ::lstat(path.c_str(), &byName) == 0 && ::fstat(fd, &byDescriptor) == 0 &&
         byName.st_dev == byDescriptor.st_dev && byName.st_ino == byDescriptor.st_ino;
}

// Every temporary file is locked from just after it is created until after it has been renamed
// or removed; the lock goes with its writer, however that writer ends. A temporary file that can
// be locked therefore belongs to a save that died, and removeStaleTemporaries may take it away.
// A file system without locks gives no lock to anyone, so nothing on it is ever taken for stale.
enum class LockResult { Locked, Taken, Unsupported };

LockResult lockTemporary(int fd) noexcept {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return LockResult::Locked;
  return errno == EWOULDBLOCK ? LockResult::Taken : LockResult::Unsupported;
}

// Candidate paths for a temporary file of target `name` in `folder`, a different one each time.
// They only need to differ between writers at the same moment, not to be secret.
class TemporaryNames {
 public:
  TemporaryNames(const std::string& folder, const std::string& name)
      : FPrefix(folder + "/" + temporaryPrefix(name)),
        FSeed(static_cast<std::uint64_t>(
                  std::chrono::steady_clock::now().time_since_epoch().count()) ^
              (static_cast<std::uint64_t>(::getpid()) << 32)) {}

  std::string next() {
    std::string suffix(kTemporarySuffixLength, 'x');
    for (char& ch : suffix) {
      FSeed = FSeed * 6364136223846793005ULL + 1442695040888963407ULL;
      ch = kTemporaryDigits[(FSeed >> 33) % (sizeof(kTemporaryDigits) - 1)];
    }
    return FPrefix + suffix;
  }

 private:
  std::string FPrefix;
  std::uint64_t FSeed;
};

// Names tried before giving up on a folder where every one is taken.
constexpr int kNameAttempts = 100;

// Creates a new, empty, locked file beside the target under a name no one else uses. The mode
// 0666 lets the process umask decide the permissions of a file that did not exist before.
int createTemporary(const std::string& folder, const std::string& name, std::string& tempPath) {
  TemporaryNames names(folder, name);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string candidate = names.next();
    FileDescriptor fd(::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid()) {
      if (errno != EEXIST) fail("Cannot create a temporary file in", folder, errno);
      continue;
    }
    // Another save sweeping this folder may have locked and removed the file in the moment
    // between its creation and the lock; then it is not ours any more and another name is tried.
    const LockResult lock = lockTemporary(fd.get());
    if (lock == LockResult::Taken || !namesFile(candidate, fd.get())) continue;
    tempPath = std::move(candidate);
    return fd.release();
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

// The replaced file's permissions and, where allowed, its owner.
void keepOwnerAndMode(int fd, const struct stat& existing, const std::string& path) {
  if (::fchmod(fd, existing.st_mode & 07777) != 0) fail("Cannot set the mode of", path, errno);
  if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
    // Only a privileged process may give a file away; the file then stays ours.
  }
}

// A new file without a name in `folder`, or -1 where the file system cannot make one. Such a
// file vanishes by itself if the process dies before it is given a name, so nothing is ever left
// behind to be swept.
int openUnnamed(const std::string& folder) noexcept {
#ifdef O_TMPFILE
  return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
  (void)folder;
  return -1;
#endif
}

}  // namespace

// Gives the unnamed file `fd` the name `path`; fails with EEXIST when the name is taken. The
// link goes through /proc, which needs no privilege.
int detail::linkUnnamed(int fd, const std::string& path) noexcept {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
}

namespace {

// Publishes the unnamed, fully written file `fd` as `target`, replacing what is there in one
// rename. False when the file system cannot link it, before anything has changed.
bool publishUnnamed(int fd, const std::string& folder, const std::string& name,
                    const std::string& target, const std::string& path, detail::LinkUnnamed link) {
  if (link(fd, target) == 0) return true;
  if (errno != EEXIST) return false;
  // The target exists: the file gets a temporary name first and is renamed over it.
  TemporaryNames names(folder, name);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    TemporaryName temporary(names.next());
    if (link(fd, temporary.path()) != 0) {
      temporary.commit();  // not ours to remove
      if (errno == EEXIST) continue;
      // Linking is not possible after all; nothing has changed yet.
      return false;
    }
    if (::rename(temporary.path().c_str(), target.c_str()) != 0)
      fail("Cannot replace", path, errno);
    temporary.commit();
    return true;
  }
  fail("Cannot create a temporary file in", folder, EEXIST);
}

void syncFolder(const std::string& folder) noexcept {
  const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // The rename has happened; a folder that cannot be synced (some file systems refuse) does not
  // undo it, so this is best effort.
  if (dir.valid()) ::fsync(dir.get());
}

}  // namespace

void TFileSink::write(const void* data, std::size_t size) {
  writeAll(FFd, data, size, FPath);
  FSize += size;
}

void TFileSink::writeAt(std::uint64_t offset, const void* data, std::size_t size) {
  if (offset > FSize || size > FSize - offset) {
    throw std::logic_error("TFileSink::writeAt beyond what was written to \"" + FPath + "\"");
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::pwrite(FFd, bytes, size, static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      fail("Cannot write", FPath, errno);
    }
    if (written == 0) fail("Cannot write", FPath, EIO);
    bytes += written;
    offset += static_cast<std::uint64_t>(written);
    size -= static_cast<std::size_t>(written);
  }
}

void writeFileAtomically(const std::string& path, const void* data, std::size_t size,
                         bool durable) {
  detail::writeFileAtomically(path, data, size, durable, &detail::linkUnnamed);
}

void writeFileAtomically(const std::string& path, const std::function<void(TFileSink&)>& produce,
                         bool durable) {
  detail::writeFileAtomically(path, produce, durable, &detail::linkUnnamed);
}

namespace {

// `sweep`: look for the left-overs of killed writers of the same file first; small files are not
// worth the listing of their folder (see removeStaleTemporaries).
void writeProduced(const std::string& path, const std::function<void(TFileSink&)>& produce,
                   bool durable, detail::LinkUnnamed link, bool sweep);

}  // namespace

void detail::writeFileAtomically(const std::string& path, const void* data, std::size_t size,
                                 bool durable, LinkUnnamed link) {
  writeProduced(
      path, [&](TFileSink& sink) { sink.write(data, size); }, durable, link,
      size >= kSweepFromBytes);
}

void detail::writeFileAtomically(const std::string& path,
                                 const std::function<void(TFileSink&)>& produce, bool durable,
                                 LinkUnnamed link) {
  writeProduced(path, produce, durable, link, true);
}

namespace {

void writeProduced(const std::string& path, const std::function<void(TFileSink&)>& produce,
                   bool durable, detail::LinkUnnamed link, bool sweep) {
  if (path.empty()) throw std::runtime_error("Cannot write a file without a name");
  struct stat existing {};
  bool exists = false;
  const std::string target = resolveTarget(path, existing, exists);
  const std::string name = nameOf(target);
  if (name.empty() || name == "." || name == "..") fail("Cannot write", path, EISDIR);
  const std::string folder = folderOf(target);

  if (exists && S_ISDIR(existing.st_mode)) fail("Cannot write", path, EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) fail("Cannot replace", path, EINVAL);
  // The rename below would get past a file's own write permission; a file the user may not
  // write (one made read-only to protect it) is left alone instead.
  if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
    fail("Cannot write", path, errno);

  // Many small files that can be made again (exports) take the cheapest route that is still
  // atomic: an unnamed file that only gets its name once it is whole.
  if (!durable) {
    FileDescriptor unnamed(openUnnamed(folder));
    if (unnamed.valid()) {
      if (exists) keepOwnerAndMode(unnamed.get(), existing, path);
      {
        const FileSizeSignalGuard guard;
        TFileSink sink(unnamed.get(), path);
        produce(sink);
      }
      if (publishUnnamed(unnamed.get(), folder, name, target, path, link)) {
        if (unnamed.close() != 0) fail("Cannot close", path, errno);
        return;
      }
      // No link through /proc here; the named route below writes the bytes again.
    }
  }

  // Saves that were killed must not pile up copies of a large file beside it.
  if (sweep) removeStaleTemporaries(target);

  std::string tempPath;
  FileDescriptor file(createTemporary(folder, name, tempPath));
  TemporaryName temporary(tempPath);
  // The lock belongs to the open file, not to the descriptor: this copy keeps it held after the
  // descriptor that wrote is closed, until the rename is done.
  const FileDescriptor lockHolder(::dup(file.get()));
  if (!lockHolder.valid()) fail("Cannot write", path, errno);

  if (exists) keepOwnerAndMode(file.get(), existing, tempPath);

  {
    const FileSizeSignalGuard guard;
    TFileSink sink(file.get(), path);
    produce(sink);
  }
  if (durable && ::fsync(file.get()) != 0) fail("Cannot flush", path, errno);
  if (file.close() != 0) fail("Cannot close", path, errno);
  if (::rename(temporary.path().c_str(), target.c_str()) != 0) fail("Cannot replace", path, errno);
  temporary.commit();
  if (durable) syncFolder(folder);
}

}  // namespace

void removeStaleTemporaries(const std::string& path) noexcept {
  try {
    const std::string target = resolveTarget(path);
    const std::string name = nameOf(target);
    if (name.empty() || name == "." || name == "..") return;
    const std::string folder = folderOf(target);
    const std::string prefix = temporaryPrefix(name);

    std::vector<std::string> candidates;
    {
      const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
      if (!dir) return;
      while (const dirent* entry = ::readdir(dir.get())) {
        if (isTemporaryOf(entry->d_name, prefix))
          candidates.push_back(folder + "/" + entry->d_name);
      }
    }
    for (const std::string& candidate : candidates) {
      const FileDescriptor fd(
          ::open(candidate.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
      struct stat info {};
      if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
      // Locked means its save is alive. The name is checked again under the lock, since a save
      // that has just finished has renamed that very file to the target.
      if (lockTemporary(fd.get()) != LockResult::Locked || !namesFile(candidate, fd.get()))
        continue;
      ::unlink(candidate.c_str());
    }
  } catch (...) {
    // Sweeping is a courtesy to the folder; a save never fails because of it.
  }
}

}  // namespace tess
