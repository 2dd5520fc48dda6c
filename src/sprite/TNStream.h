#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "sprite/TByteBuffer.h"

namespace tess {

// Raised when a read asks for bytes past the end of the stream.
class EReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An in-memory byte stream with a current position and little-endian integer reads and writes.
// Every SPR read and write goes through one.
class TNStream {
 public:
  // Replaces the contents with the whole file; position 0. Throws std::runtime_error when the
  // file cannot be opened or read.
  void LoadFromFile(const std::string& path);
  // Writes the whole contents to the file atomically (see writeFileAtomically). Throws
  // std::runtime_error on failure, leaving any existing file untouched.
  void SaveToFile(const std::string& path) const;

  // Copies up to n bytes from the position, advances by the number copied and returns it.
  std::size_t read(void* buffer, std::size_t n) noexcept;
  // Stores n bytes at the position, growing the buffer as needed (a gap before the position
  // reads as zeros), and advances by n.
  void write(const void* buffer, std::size_t n);
  // Any absolute offset, also beyond the end; a later write there grows the buffer.
  void seek(std::size_t position) noexcept { FPosition = position; }
  std::size_t position() const noexcept { return FPosition; }
  std::size_t size() const noexcept { return FBytes.size(); }

  // Integer reads throw EReadError when fewer bytes than asked for remain.
  std::int32_t readInteger();
  std::uint16_t readWord();
  void writeInteger(std::int32_t value);
  void writeWord(std::uint32_t value);  // the low 16 bits

  const TByteBuffer& bytes() const noexcept { return FBytes; }
  TByteBuffer& bytes() noexcept { return FBytes; }

 private:
  TByteBuffer FBytes;
  std::size_t FPosition = 0;
};

}  // namespace tess
