#include "assets/assetStore.h"

#include "assets/sheetImage.h"

namespace tess::assets {

bool TAssetStore::open(const std::string& path, std::string& reason) {
  TAssetCatalog catalog;
  if (!catalog.read(path, reason)) return false;
  FCache.clear();
  FCatalog = std::move(catalog);
  FDecoded = 0;
  return true;
}

bool TAssetStore::loadSheet(const TSheetEntry& sheet, TBitmap32& image, std::string& reason) const {
  std::string why;
  if (loadSheetFile(FCatalog.sheetPath(sheet), image, why)) return true;
  reason = sheet.file + ": " + why;
  return false;
}

std::shared_ptr<const TBitmap32> TAssetStore::decoded(const TSheetEntry& sheet,
                                                      std::string& reason) {
  for (auto it = FCache.begin(); it != FCache.end(); ++it) {
    if (it->sheet != &sheet) continue;
    FCache.splice(FCache.begin(), FCache, it);
    return FCache.front().image;
  }
  auto image = std::make_shared<TBitmap32>();
  if (!loadSheet(sheet, *image, reason)) return nullptr;
  ++FDecoded;
  FCache.push_front({&sheet, image});
  if (FCache.size() > FCapacity) FCache.pop_back();
  return image;
}

bool TAssetStore::spriteImage(std::int64_t id, TBitmap32& sprite, std::string& reason) {
  const TSheetEntry* const sheet = FCatalog.sheetOf(id);
  if (!sheet) {
    reason = "no sheet holds sprite " + std::to_string(id);
    return false;
  }
  const std::shared_ptr<const TBitmap32> image = decoded(*sheet, reason);
  if (!image) return false;
  sprite = cellOfSheet(*image, sheet->type, static_cast<int>(id - sheet->firstId));
  return true;
}

}  // namespace tess::assets
