#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tess {

// Writes `size` bytes to `path` so that the file on disk is, at every moment, either the old
// file byte for byte or the new one: the bytes go to a temporary file in the same folder, are
// flushed to the disk, and the temporary file is renamed over the target. On any failure the
// target is untouched, the temporary file is removed, and std::runtime_error is thrown with a
// text that names the cause.
//
// `durable` false skips the two flushes to the disk (file and folder). Every reader still sees the
// old file or the whole new one; only a crash of the whole system soon after may leave the new
// file empty or missing. Meant for many small files that can be made again, such as exported
// sprites, where a flush per file costs a hundred times the write itself. Where the file system
// allows it, such a file is written without a name and linked into place once whole, so that a
// writer that dies leaves nothing behind.
//
// An existing target that the user may not write is refused (std::runtime_error), although the
// rename could replace it: a read-only file stays protected.
void writeFileAtomically(const std::string& path, const void* data, std::size_t size,
                         bool durable = true);

// Where a file written by writeFileAtomically(path, produce) gets its bytes: in order, with the
// chance to go back and fill in bytes already written (a table whose entries are known last).
// Every failure throws std::runtime_error naming the file and the cause.
class TFileSink {
 public:
  TFileSink(int fd, std::string path) : FFd(fd), FPath(std::move(path)) {}
  TFileSink(const TFileSink&) = delete;
  TFileSink& operator=(const TFileSink&) = delete;

  // Appends `size` bytes at the end of what was written so far.
  void write(const void* data, std::size_t size);
  // Writes `size` bytes at `offset`, which with them must lie within what was written.
  void writeAt(std::uint64_t offset, const void* data, std::size_t size);
  std::uint64_t size() const noexcept { return FSize; }

 private:
  int FFd;
  std::string FPath;
  std::uint64_t FSize = 0;
};

// writeFileAtomically for a file too large to hold in memory at once: `produce` writes its bytes
// to the sink. An exception from `produce` fails the write as any other failure does: the target
// stays as it was and the exception goes on to the caller.
void writeFileAtomically(const std::string& path, const std::function<void(TFileSink&)>& produce,
                         bool durable = true);

// Removes the temporary files that writeFileAtomically left beside `path` when it was killed or
// crashed mid-write. A temporary file whose save is still running, in this process or another,
// is never touched, nor is any other file. Best effort: never throws. It lists the folder, so
// writeFileAtomically calls it only for files of kSweepFromBytes or more, where a left-over
// copy is worth the listing; small files such as exported sprites are written without it.
void removeStaleTemporaries(const std::string& path) noexcept;

inline constexpr std::size_t kSweepFromBytes = 256 * 1024;

namespace detail {

// Gives an unnamed file, open as `fd`, the name `path`: 0, or -1 with errno set (EEXIST when the
// name is taken), as linkat() reports.
using LinkUnnamed = int (*)(int fd, const std::string& path) noexcept;
int linkUnnamed(int fd, const std::string& path) noexcept;

// writeFileAtomically with the step that names an unnamed file given by the caller, so that a
// file system where that step fails can be stood in for.
void writeFileAtomically(const std::string& path, const void* data, std::size_t size, bool durable,
                         LinkUnnamed link);
// The same with the bytes from `produce`.
void writeFileAtomically(const std::string& path, const std::function<void(TFileSink&)>& produce,
                         bool durable, LinkUnnamed link);

}  // namespace detail

}  // namespace tess
