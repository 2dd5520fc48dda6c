#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sprite/TSprLayout.h"

namespace tess {

class TFileSink;
class TSprite;

// Writes a sprite file sprite by sprite, in ID order, straight to its file: only the offset
// table and a small buffer are held, so a file built from more sprites than memory would hold as
// images costs memory in proportion to its count. The bytes are those TSpriteFile::save writes
// for the same sprites.
class TSprStreamWriter {
 public:
  // Writes the header and room for the table of `count` sprites.
  TSprStreamWriter(TFileSink& sink, std::int32_t signature, TSprLayout layout, std::size_t count,
                   TSprSavedAlpha alpha);
  TSprStreamWriter(const TSprStreamWriter&) = delete;
  TSprStreamWriter& operator=(const TSprStreamWriter&) = delete;

  // Adds the next sprite; throws std::logic_error past `count` or for a sprite that is not empty
  // and has no 32x32 image, and std::length_error when the file would outgrow 32-bit offsets.
  void add(const TSprite& sprite);
  // Writes what is buffered and the table; throws std::logic_error unless `count` sprites came.
  void finish();

  std::size_t added() const noexcept { return FAdded; }

 private:
  void flush();

  TFileSink& FSink;
  TSprLayout FLayout;
  TSprSavedAlpha FAlpha;
  std::vector<std::uint32_t> FTable;
  std::vector<std::uint8_t> FBuffer;
  std::uint64_t FNextRecordAt = 0;
  std::size_t FAdded = 0;
};

// Writes a sprite file of `count` sprites that `produce` hands to the writer, replacing `path`
// atomically as TSpriteFile::save does. False with `reason` on any failure, the file on disk
// then as it was.
[[nodiscard]] bool writeSprFileStreamed(const std::string& path, std::int32_t signature,
                                        TSprLayout layout, std::size_t count, TSprSavedAlpha alpha,
                                        const std::function<void(TSprStreamWriter&)>& produce,
                                        std::string& reason);

}  // namespace tess
