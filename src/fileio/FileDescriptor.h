#pragma once

#include <unistd.h>

namespace tess {

// Owns one open file descriptor (negative: none).
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
  int release() noexcept {
    const int fd = FFd;
    FFd = -1;
    return fd;
  }
  // Closes now so that a late write error reported by close() is not lost.
  int close() noexcept {
    const int fd = FFd;
    FFd = -1;
    return ::close(fd);
  }

 private:
  int FFd;
};

}  // namespace tess
