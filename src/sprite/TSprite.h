#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "bitmap/TBitmap32.h"
#include "sprite/TSprLayout.h"

namespace tess {

class IEditorHost;
class TNStream;

// The room writing one sprite's record may take in either pixel size: the longest record (512
// run pairs holding 513 coloured pixels) and a few bytes that the encoder may store past its end.
inline constexpr std::size_t kSpriteRecordRoom = 5 + 512 * 4 + 513 * 4 + 4;

// One sprite of a sprite file.
class TSprite {
 public:
  TSprite() = default;
  TSprite(const TSprite&) = delete;
  TSprite& operator=(const TSprite&) = delete;
  virtual ~TSprite() = default;

  // The sprite's 1-based position in TSpriteFile::Sprites.
  std::int32_t ID() const noexcept { return _ID; }
  void setID(std::int32_t id) noexcept { _ID = id; }

  // The 32x32 image, or none. A sprite that is not empty always has one of exactly 32x32.
  std::unique_ptr<TBitmap32> bitmap;
  // The sprite is empty: saved as table entry 0 with no record, and listed without its image.
  // An empty sprite may keep a hidden bitmap (a cleared sprite).
  bool isDUmmy = true;

 private:
  friend class TSpriteFile;
  // Writes table entry `id` and, for a non-empty sprite, its record at the stream position.
  void writeSprite(std::int32_t id, TSprLayout layout, TNStream& stream, IEditorHost& host,
                   TSprCodecPath path, TSprSavedAlpha alpha) const;

  std::int32_t _ID = 0;
};

// The record a sprite file keeps for `sprite` in `layout` (colour key, data size and run pairs),
// exactly as TSpriteFile::save writes it, into `record`, which has room for kSpriteRecordRoom
// bytes. Returns its length, or 0 for an empty sprite, which has no record. Throws
// std::logic_error for a sprite that is not empty and has no 32x32 image.
std::size_t encodeSpriteRecord(const TSprite& sprite, TSprLayout layout, std::uint8_t* record,
                               TSprSavedAlpha alpha = TSprSavedAlpha::AsItIs,
                               TSprCodecPath path = TSprCodecPath::Fastest);

// Decodes sprite `id` of a stream laid out as `layout`. Returns nullptr when the sprite's table
// entry, record or runs lie outside the stream or its 1024 pixels, with the reason in words in
// `why` when given ("its runs cover more than 1024 pixels (record at offset 80)"). The image's
// pixels come from `pool` when one is given (see TPixelPool).
[[nodiscard]] std::unique_ptr<TSprite> readSprite(std::int32_t id, TSprLayout layout,
                                                  const TNStream& stream,
                                                  TPixelPool* pool = nullptr,
                                                  TSprCodecPath path = TSprCodecPath::Fastest,
                                                  std::string* why = nullptr);

}  // namespace tess
