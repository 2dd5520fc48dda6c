#include "sprite/TNStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fileio/AtomicFile.h"
#include "fileio/FileDescriptor.h"

namespace tess {

namespace {

[[noreturn]] void failOn(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error(what + " \"" + path + "\": " + std::strerror(error));
}

}  // namespace

void TNStream::LoadFromFile(const std::string& path) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) failOn("Cannot open", path, errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) failOn("Cannot read", path, errno);
  if (S_ISDIR(info.st_mode)) failOn("Cannot read", path, EISDIR);
  // A pipe or a device may never end (/dev/zero); only a file has contents to load.
  if (!S_ISREG(info.st_mode)) failOn("Cannot read", path, EINVAL);

  // The size on disk is only a first guess: the file may change while it is read, and some
  // files (in /proc, say) report no size at all. The buffer grows with what is actually read,
  // never with a size that no bytes back.
  TByteBuffer bytes;
  std::size_t filled = 0;
  std::size_t want = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 64 * 1024;
  for (;;) {
    if (bytes.size() < filled + 1) {
      bytes.resize(std::max(want, filled + 64 * 1024));
      want = bytes.size() * 2;
    }
    const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      failOn("Cannot read", path, errno);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  FBytes = std::move(bytes);
  FPosition = 0;
}

void TNStream::SaveToFile(const std::string& path) const {
  writeFileAtomically(path, FBytes.data(), FBytes.size());
}

std::size_t TNStream::read(void* buffer, std::size_t n) noexcept {
  if (FPosition >= FBytes.size() || n == 0) return 0;
  const std::size_t available = std::min(n, FBytes.size() - FPosition);
  std::memcpy(buffer, FBytes.data() + FPosition, available);
  FPosition += available;
  return available;
}

void TNStream::write(const void* buffer, std::size_t n) {
  if (n == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  // Bytes that land inside the buffer overwrite; the rest is appended directly, so a record
  // written at the end is copied once and never zero-filled first.
  if (FPosition > FBytes.size()) FBytes.resize(FPosition, 0);
  const std::size_t inside = std::min(n, FBytes.size() - FPosition);
  if (inside > 0) std::memcpy(FBytes.data() + FPosition, bytes, inside);
  FBytes.insert(FBytes.end(), bytes + inside, bytes + n);
  FPosition += n;
}

std::int32_t TNStream::readInteger() {
  std::uint8_t raw[4];
  if (read(raw, sizeof raw) != sizeof raw) throw EReadError("Stream read error");
  return static_cast<std::int32_t>(raw[0] | (std::uint32_t{raw[1]} << 8) |
                                   (std::uint32_t{raw[2]} << 16) | (std::uint32_t{raw[3]} << 24));
}

std::uint16_t TNStream::readWord() {
  std::uint8_t raw[2];
  if (read(raw, sizeof raw) != sizeof raw) throw EReadError("Stream read error");
  return static_cast<std::uint16_t>(raw[0] | (raw[1] << 8));
}

void TNStream::writeInteger(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  const std::uint8_t raw[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 24)};
  write(raw, sizeof raw);
}

void TNStream::writeWord(std::uint32_t value) {
  const std::uint8_t raw[2] = {static_cast<std::uint8_t>(value),
                               static_cast<std::uint8_t>(value >> 8)};
  write(raw, sizeof raw);
}

}  // namespace tess
