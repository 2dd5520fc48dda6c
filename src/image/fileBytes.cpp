#include "image/fileBytes.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tess {

std::vector<std::uint8_t> readWholeFile(const std::string& fileName) {
  // Folders, devices and pipes have no size to trust, and a pipe could block forever.
  std::error_code error;
  if (!std::filesystem::is_regular_file(fileName, error))
    throw std::runtime_error("Cannot open \"" + fileName + "\": not a readable file");
  std::ifstream in(fileName, std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("Cannot open \"" + fileName + "\"");
  const std::streamoff size = in.tellg();
  if (size < 0) throw std::runtime_error("Cannot read \"" + fileName + "\"");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
    throw std::runtime_error("Cannot read \"" + fileName + "\"");
  return bytes;
}

}  // namespace tess
