#include "image/imageFile.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <vector>

#include "image/BMP.h"
#include "image/PNG.h"
#include "image/fileBytes.h"

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

ImageKind sniffImageKind(std::span<const std::uint8_t> head) noexcept {
  static constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P',  'N',  'G',
                                                                '\r', '\n', 0x1A, '\n'};
  if (head.size() >= kPngSignature.size() &&
      std::equal(kPngSignature.begin(), kPngSignature.end(), head.begin()))
    return ImageKind::png;
  if (head.size() >= 2 && head[0] == 'B' && head[1] == 'M') return ImageKind::bmp;
  return ImageKind::unknown;
}

ImageKind imageKindFromName(const std::string& fileName) {
  // The whole path decides, not the extension, and PNG wins over BMP.
  const std::string lowered = asciiLower(fileName);
  if (lowered.find("png") != std::string::npos) return ImageKind::png;
  if (lowered.find("bmp") != std::string::npos) return ImageKind::bmp;
  return ImageKind::unknown;
}

bool loadImageFile(const std::string& fileName, TBitmap32& bitmap, ImportAlpha alpha) {
  // A file that cannot be read says nothing about its kind; the name then decides which error
  // the caller gets.
  std::vector<std::uint8_t> bytes;
  ImageKind kind = ImageKind::unknown;
  try {
    bytes = readWholeFile(fileName);
    kind = sniffImageKind(bytes);
  } catch (const std::runtime_error&) {
    if (imageKindFromName(fileName) == ImageKind::bmp) throw;
    return false;
  }
  if (kind == ImageKind::unknown) kind = imageKindFromName(fileName);

  switch (kind) {
    case ImageKind::png:
      try {
        return loadPngStream(bitmap, bytes, alpha);
      } catch (...) {
        return false;
      }
    case ImageKind::bmp:
      loadBmpBytes(bitmap, bytes);
      keyOutMagenta(bitmap);
      return true;
    case ImageKind::unknown:
      break;
  }
  return false;
}

}  // namespace tess
