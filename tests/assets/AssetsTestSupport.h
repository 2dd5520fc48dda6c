#pragma once

#include <lzma.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "assets/assetCatalog.h"
#include "assets/assetLayout.h"
#include "assets/sheetFile.h"
#include "assets/sheetImage.h"
#include "assets/sheetWriter.h"
#include "bitmap/TBitmap32.h"
#include "support/TempDir.h"

namespace tess::testing {

using Bytes = std::vector<std::uint8_t>;

// A picture of `width` x `height` that differs for every seed and position: opaque colours with
// a scattering of transparent pixels, and, when `emptyTopLeft`, a fully transparent top-left tile.
inline TBitmap32 patternPicture(int width, int height, int seed, bool emptyTopLeft = false) {
  TBitmap32 picture;
  picture.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool clear = (x * 3 + y * 5 + seed) % 7 == 0 || (emptyTopLeft && x < 32 && y < 32);
      picture.FBits()[y * width + x] = clear
                                           ? clTransparentWhite32
                                           : PackColor32(static_cast<std::uint8_t>(x * 4 + seed),
                                                         static_cast<std::uint8_t>(y * 4),
                                                         static_cast<std::uint8_t>(seed * 37), 255);
    }
  }
  return picture;
}

inline bool samePixels(const TBitmap32& a, const TBitmap32& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::memcmp(a.FBits(), b.FBits(), a.pixelCount() * sizeof(TColor32)) == 0;
}

// The 32-byte sheet header by hand: zeros, the magic, then `length` in groups of 7 bits, lowest
// first, ending at byte 31.
inline Bytes sheetHeader(std::uint64_t length) {
  Bytes groups;
  do {
    groups.push_back(static_cast<std::uint8_t>(length & 0x7F));
    length >>= 7;
  } while (length != 0);
  for (std::size_t i = 0; i + 1 < groups.size(); ++i) groups[i] |= 0x80;
  Bytes header(32 - groups.size() - 5, 0);
  header.insert(header.end(), {0x70, 0x0A, 0xFA, 0x80, 0x24});
  header.insert(header.end(), groups.begin(), groups.end());
  return header;
}

// `content` compressed by liblzma's own alone-format encoder (preset 6, 32 MiB dictionary as the
// clients name), its 64-bit size field patched to the compressed length, behind a hand-made
// header: a sheet file built without the program's writer.
inline Bytes aloneSheet(std::span<const std::uint8_t> content) {
  lzma_options_lzma options{};
  lzma_lzma_preset(&options, 6);
  options.dict_size = 1u << 20;
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_alone_encoder(&stream, &options) != LZMA_OK) throw std::runtime_error("encoder");
  Bytes stream13(content.size() + content.size() / 2 + 4096);
  stream.next_in = content.data();
  stream.avail_in = content.size();
  stream.next_out = stream13.data();
  stream.avail_out = stream13.size();
  const lzma_ret result = lzma_code(&stream, LZMA_FINISH);
  const std::size_t used = stream.total_out;
  lzma_end(&stream);
  if (result != LZMA_STREAM_END) throw std::runtime_error("encoder did not finish");
  stream13.resize(used);
  const std::uint64_t data = used - 13;
  for (int i = 0; i < 8; ++i) stream13[5 + i] = static_cast<std::uint8_t>(data >> (8 * i));
  Bytes file = sheetHeader(used);
  file.insert(file.end(), stream13.begin(), stream13.end());
  return file;
}

// What liblzma's standard alone-format decoder makes of a sheet file once its 64-bit field says
// "size unknown"; nullopt when it refuses.
inline std::optional<Bytes> aloneDecode(std::span<const std::uint8_t> file) {
  Bytes stream(file.begin() + 32, file.end());
  for (int i = 0; i < 8; ++i) stream[5 + i] = 0xFF;
  lzma_stream decoder = LZMA_STREAM_INIT;
  if (lzma_alone_decoder(&decoder, UINT64_MAX) != LZMA_OK) return std::nullopt;
  Bytes out(assets::kSheetBmpBytes + 16);
  decoder.next_in = stream.data();
  decoder.avail_in = stream.size();
  decoder.next_out = out.data();
  decoder.avail_out = out.size();
  const lzma_ret result = lzma_code(&decoder, LZMA_FINISH);
  out.resize(decoder.total_out);
  lzma_end(&decoder);
  if (result != LZMA_STREAM_END) return std::nullopt;
  return out;
}

// A folder with a catalog of the given text.
inline void writeCatalog(const TempDir& dir, const std::string& text) {
  writeBytes(dir.file(assets::kCatalogFileName),
             std::vector<unsigned char>(text.begin(), text.end()));
}

// `count` sprites of `type`, each from its own seed starting at `seed`.
inline std::vector<TBitmap32> patternSprites(assets::TSheetType type, int count, int seed = 1) {
  std::vector<TBitmap32> sprites;
  for (int i = 0; i < count; ++i) {
    sprites.push_back(
        patternPicture(assets::cellWidth(type), assets::cellHeight(type), seed + i, i % 3 == 1));
  }
  return sprites;
}

inline std::vector<const TBitmap32*> pointersTo(const std::vector<TBitmap32>& sprites) {
  std::vector<const TBitmap32*> pointers;
  for (const TBitmap32& sprite : sprites) pointers.push_back(&sprite);
  return pointers;
}

}  // namespace tess::testing
