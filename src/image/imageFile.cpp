#include "image/imageFile.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>
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

// The PNG signature is the longest of the ones sniffImageKind knows.
constexpr std::size_t kSniffBytes = 8;

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
  std::vector<std::uint8_t> bmp;
  try {
    FileReader file(fileName);
    ImageKind kind = sniffImageKind(file.head(kSniffBytes));
    if (kind == ImageKind::unknown) kind = imageKindFromName(fileName);
    if (kind == ImageKind::png) return loadPngFrom(file, bitmap, alpha);
    if (kind != ImageKind::bmp) return false;
    bmp = file.readAll();
  } catch (const std::runtime_error&) {
    // A file that cannot be read says nothing about its kind; the name then decides which error
    // the caller gets.
    if (imageKindFromName(fileName) == ImageKind::bmp) throw;
    return false;
  }
  loadBmpBytes(bitmap, bmp);
  keyOutMagenta(bitmap);
  return true;
}

}  // namespace tess
