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
  // The same as write() of the bytes that `fill` puts at the pointer it is given, at most
  // `maxBytes` of them, returning how many. At the end of the stream they are written straight
  // into the buffer, without a copy.
  template <typename Fill>
  void writeInPlace(std::size_t maxBytes, Fill&& fill);
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

template <typename Fill>
void TNStream::writeInPlace(std::size_t maxBytes, Fill&& fill) {
  if (FPosition < FBytes.size()) {
    TByteBuffer staged(maxBytes);
    const std::size_t length = fill(staged.data());
    if (length > maxBytes) throw std::length_error("TNStream::writeInPlace overran its bytes");
    write(staged.data(), length);
    return;
  }
  const std::size_t sizeBefore = FBytes.size();
  const std::size_t start = FPosition;
  FBytes.resize(start, 0);          // a gap before the position reads as zeros
  FBytes.resize(start + maxBytes);  // left uninitialised by the allocator
  std::size_t length = 0;
  try {
    length = fill(FBytes.data() + start);
  } catch (...) {
    FBytes.resize(sizeBefore);
    throw;
  }
  if (length > maxBytes) {
    FBytes.resize(sizeBefore);
    throw std::length_error("TNStream::writeInPlace overran its bytes");
  }
  FBytes.resize(start + length);
  FPosition = start + length;
}

}  // namespace tess
