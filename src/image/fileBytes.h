#pragma once

#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace tess {

// A regular file opened for reading at any offset. Formats whose files may carry large parts
// that import never looks at read through this instead of holding the whole file, so that the
// memory an import costs follows the picture, not the file. Small reads near each other are
// served from a buffer of its own.
class FileReader {
 public:
  // Throws std::runtime_error naming the file when it is not a regular file or cannot be opened.
  explicit FileReader(const std::string& fileName);
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // The size when the file was opened; reads never go past it.
  [[nodiscard]] std::uint64_t size() const noexcept { return FSize; }

  // Fills `out` from `offset` on. False, with `out` in an unknown state, when the file ends
  // before or cannot be read.
  [[nodiscard]] bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) noexcept;

  // The first min(count, size()) bytes. Throws std::runtime_error naming the file when they
  // cannot be read.
  [[nodiscard]] std::vector<std::uint8_t> head(std::size_t count);

  // The whole content. Throws std::runtime_error naming the file when it cannot be read.
  [[nodiscard]] std::vector<std::uint8_t> readAll();

 private:
  bool readDirect(std::uint64_t offset, std::span<std::uint8_t> out);
  bool fillBuffer(std::uint64_t offset);

  std::string FName;
  std::ifstream FIn;
  std::uint64_t FSize = 0;
  std::vector<std::uint8_t> FBuffer;
  std::uint64_t FBufferAt = 0;
  std::size_t FBuffered = 0;
};

// The whole content of a file. Throws std::runtime_error naming the file when it cannot be
// opened or read.
[[nodiscard]] std::vector<std::uint8_t> readWholeFile(const std::string& fileName);

}  // namespace tess
