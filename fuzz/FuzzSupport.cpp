#include "FuzzSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace tess::fuzz {

namespace {

std::string scratchFolder() {
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
  return std::filesystem::temp_directory_path().string();
}

}  // namespace

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property violated: %s\n", what);
  std::abort();
}

ScratchFile::ScratchFile(const std::string& suffix)
    : FPath(scratchFolder() + "/tess-fuzz-" + std::to_string(::getpid()) + suffix) {}

ScratchFile::~ScratchFile() { ::unlink(FPath.c_str()); }

void ScratchFile::write(const std::uint8_t* data, std::size_t size) const {
  const int fd = ::open(FPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot create " + FPath);
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written <= 0) {
      ::close(fd);
      throw std::runtime_error("cannot write " + FPath);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  ::close(fd);
}

}  // namespace tess::fuzz
