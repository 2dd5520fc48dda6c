#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "sprite/TMethodEvent.h"
#include "sprite/TSprite.h"

namespace tess {

class TSpriteFile;

// A sprite's image and empty flag, as an edit swaps them in and out.
struct TSpriteImage {
  std::unique_ptr<TBitmap32> bitmap;
  bool isDUmmy = true;
};

// A change of one sprite's empty flag.
struct TFlagChange {
  std::int32_t id = 0;
  bool isDUmmy = false;
};

// Listeners of the document: sprites with IDs first .. first + count - 1 were appended, are about
// to be removed from the end, or changed their image or flag.
using TonSpritesChanged = TMethodEvent<std::int32_t, std::int32_t>;

// The edits of the open sprite file. Every change of the sprite list, of a sprite's image or of
// its empty flag made by an editing command goes through here, so that the listeners (the views)
// always see what changed, and each operation hands back what it replaced so that it can be put
// back. Loading and new files replace the list as a whole; the sprite file announces that itself.
class TSpriteDocument {
 public:
  explicit TSpriteDocument(TSpriteFile& file) noexcept : FFile(file) {}
  TSpriteDocument(const TSpriteDocument&) = delete;
  TSpriteDocument& operator=(const TSpriteDocument&) = delete;

  TSpriteFile& file() const noexcept { return FFile; }
  std::size_t count() const noexcept;
  // The sprite with `id`, or nullptr.
  TSprite* sprite(std::int32_t id) const noexcept;

  // Moves `sprites` to the end of the list in order, numbering them on from the last ID, and
  // returns the first new ID; `sprites` is left empty. All or nothing: when memory runs out or a
  // listener fails, the list is as it was and the sprites are back in `sprites` before the error
  // goes on.
  std::int32_t appendSprites(std::vector<std::unique_ptr<TSprite>>& sprites);
  // Takes the last `count` sprites out (all of them when there are fewer) and hands them back in
  // ID order. Listeners are told before they go, while they still exist.
  [[nodiscard]] std::vector<std::unique_ptr<TSprite>> takeLast(std::size_t count);
  // Gives sprite `id` the image and flag of `image` and returns what it had. A sprite that is not
  // empty must get a 32x32 image. Nothing happens (and `image` comes back) for an unknown ID.
  [[nodiscard]] TSpriteImage swapImage(std::int32_t id, TSpriteImage image);
  // Sets the empty flag of every listed sprite (unknown IDs are passed over) and returns the
  // flags they had, in the same order. A sprite without an image always stays empty.
  [[nodiscard]] std::vector<TFlagChange> setEmptyFlags(std::span<const TFlagChange> changes);

  std::vector<TonSpritesChanged> onSpritesAppended;
  std::vector<TonSpritesChanged> onSpritesRemoving;
  std::vector<TonSpritesChanged> onSpritesChanged;

 private:
  TSpriteFile& FFile;
};

}  // namespace tess
