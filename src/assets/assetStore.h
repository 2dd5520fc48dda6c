#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "assets/assetCatalog.h"
#include "bitmap/TBitmap32.h"

namespace tess::assets {

// A client's sprites by ID. Opening reads the catalog only; a sheet is read and decoded when a
// sprite of it is first wanted, and the few sheets used last stay decoded.
//
// One thread at a time; loadSheet alone may be called from several at once.
class TAssetStore {
 public:
  explicit TAssetStore(std::size_t cachedSheets = 8) : FCapacity(cachedSheets ? cachedSheets : 1) {}
  TAssetStore(const TAssetStore&) = delete;
  TAssetStore& operator=(const TAssetStore&) = delete;

  // Opens a client's assets folder or its catalog file; false with `reason` as
  // TAssetCatalog::read gives it. Forgets the sheets of whatever was open before.
  [[nodiscard]] bool open(const std::string& path, std::string& reason);

  const TAssetCatalog& catalog() const noexcept { return FCatalog; }

  // Sprite `id` at its own size. False with `reason`, naming the sheet's file, for an ID no
  // sheet holds or a sheet that cannot be read.
  [[nodiscard]] bool spriteImage(std::int64_t id, TBitmap32& sprite, std::string& reason);

  // Reads and decodes a whole sheet, bypassing the cache. False with `reason` naming its file.
  [[nodiscard]] bool loadSheet(const TSheetEntry& sheet, TBitmap32& image,
                               std::string& reason) const;

  // How many sheets were decoded since open, for telling whether the cache serves.
  std::size_t sheetsDecoded() const noexcept { return FDecoded; }

 private:
  struct Cached {
    const TSheetEntry* sheet;
    std::shared_ptr<const TBitmap32> image;
  };
  // The decoded sheet, from the cache or freshly read; nullptr with `reason` on failure.
  std::shared_ptr<const TBitmap32> decoded(const TSheetEntry& sheet, std::string& reason);

  std::size_t FCapacity;
  TAssetCatalog FCatalog;
  std::list<Cached> FCache;  // most recently used first
  std::size_t FDecoded = 0;
};

}  // namespace tess::assets
