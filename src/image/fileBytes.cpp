#include "image/fileBytes.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace tess {

namespace {

// Enough for many chunk headers in a row, small against any picture.
constexpr std::size_t kBufferBytes = 64 * 1024;

}  // namespace

FileReader::FileReader(const std::string& fileName) : FName(fileName) {
  // Folders, devices and pipes have no size to trust, and a pipe could block forever.
  std::error_code error;
  if (!std::filesystem::is_regular_file(fileName, error))
    throw std::runtime_error("Cannot open \"" + fileName + "\": not a readable file");
  FIn.open(fileName, std::ios::binary | std::ios::ate);
  if (!FIn) throw std::runtime_error("Cannot open \"" + fileName + "\"");
  const std::streamoff size = FIn.tellg();
  if (size < 0) throw std::runtime_error("Cannot read \"" + fileName + "\"");
  FSize = static_cast<std::uint64_t>(size);
}

bool FileReader::readDirect(std::uint64_t offset, std::span<std::uint8_t> out) {
  FIn.clear();
  if (!FIn.seekg(static_cast<std::streamoff>(offset))) return false;
  return static_cast<bool>(
      FIn.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size())));
}

bool FileReader::fillBuffer(std::uint64_t offset) {
  FBuffered = 0;
  FBuffer.resize(kBufferBytes);
  const auto count =
      static_cast<std::size_t>(std::min<std::uint64_t>(kBufferBytes, FSize - offset));
  if (!readDirect(offset, std::span(FBuffer.data(), count))) return false;
  FBufferAt = offset;
  FBuffered = count;
  return true;
}

bool FileReader::readAt(std::uint64_t offset, std::span<std::uint8_t> out) noexcept {
  if (offset > FSize || out.size() > FSize - offset) return false;
  if (out.empty()) return true;
  try {
    if (out.size() >= kBufferBytes) return readDirect(offset, out);
    const bool buffered = offset >= FBufferAt && offset - FBufferAt + out.size() <= FBuffered;
    if (!buffered && !fillBuffer(offset)) return false;
    std::memcpy(out.data(), FBuffer.data() + (offset - FBufferAt), out.size());
    return true;
  } catch (...) {
    FBuffered = 0;
    return false;
  }
}

std::vector<std::uint8_t> FileReader::head(std::size_t count) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(count, FSize)));
  if (!readAt(0, bytes)) throw std::runtime_error("Cannot read \"" + FName + "\"");
  return bytes;
}

std::vector<std::uint8_t> FileReader::readAll() {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(FSize));
  if (!readAt(0, bytes)) throw std::runtime_error("Cannot read \"" + FName + "\"");
  return bytes;
}

std::vector<std::uint8_t> readWholeFile(const std::string& fileName) {
  FileReader file(fileName);
  return file.readAll();
}

}  // namespace tess
