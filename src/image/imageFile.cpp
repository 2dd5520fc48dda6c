#include "image/imageFile.h"

#include <algorithm>

#include "image/BMP.h"
#include "image/PNG.h"

namespace tess {

namespace {

// Only A to Z change, whatever the locale, so that non-ASCII bytes of a path stay as they are.
std::string asciiLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return text;
}

}  // namespace

bool loadImageFile(const std::string& fileName, TBitmap32& bitmap) {
  // The whole path decides, not the extension, and PNG wins over BMP.
  const std::string lowered = asciiLower(fileName);
  if (lowered.find("png") != std::string::npos) return loadPngFile(bitmap, fileName);
  if (lowered.find("bmp") != std::string::npos) {
    loadBmpFile(bitmap, fileName);
    keyOutMagenta(bitmap);
  }
  return true;
}

}  // namespace tess
