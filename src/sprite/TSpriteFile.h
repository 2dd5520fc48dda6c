#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bitmap/TPixelPool.h"
#include "sprite/TMethodEvent.h"
#include "sprite/TSprLayout.h"
#include "sprite/TSprite.h"

namespace tess {

class IEditorHost;

// Progress listener: called with (id, total) after each sprite of a load or save.
using TonLoadSprite = TMethodEvent<std::int32_t, std::int32_t>;
// Called whenever the sprite file releases its sprites (clear, and so every load and new),
// before they are freed, so that views drop every reference to them.
using TonRelease = TMethodEvent<>;

// The open sprite file.
class TSpriteFile {
 public:
  explicit TSpriteFile(IEditorHost& host) : FHost(host) {}
  TSpriteFile(const TSpriteFile&) = delete;
  TSpriteFile& operator=(const TSpriteFile&) = delete;
  virtual ~TSpriteFile() = default;

  bool isLoading = false;
  bool loaded = false;
  std::int32_t signature = 0;
  // The sprites in ID order: the sprite with ID k is entry k - 1. Owning.
  std::vector<std::unique_ptr<TSprite>> Sprites;
  // Listeners, called in the order they were added. Add with push_back; remove the first equal
  // entry with removeListener.
  std::vector<TonLoadSprite> onLoadSprite;
  std::vector<TonRelease> onRelease;

  // Frees every sprite (telling onRelease first) and empties the list; flags stay as they are.
  void clear();
  // clear, then loaded = true. Always true. The freed pixel memory goes back to the system.
  bool New();
  // Reads the named file as `layout` into new sprites and swaps them in only once the whole file
  // has loaded; onRelease runs at that swap. A load that fails, for whatever reason, leaves the
  // sprites, `loaded` and `signature` exactly as they were, and errorString() says why.
  [[nodiscard]] bool load(const std::string& SPRFileName, TSprLayout layout);
  [[nodiscard]] bool load(const std::string& SPRFileName, bool isSprite32) {
    return load(SPRFileName, TSprLayout{isSprite32, false});
  }
  // Writes the sprites atomically as `layout`; false (and the file on disk untouched, and
  // errorString() saying why) on any failure. A pixel of alpha 0 is transparent. Without alpha,
  // every other pixel is stored opaque; with alpha, as `alpha` says.
  [[nodiscard]] bool save(const std::string& SPRFileName, std::int32_t Signature, TSprLayout layout,
                          TSprSavedAlpha alpha = TSprSavedAlpha::AsItIs);
  [[nodiscard]] bool save(const std::string& SPRFileName, std::int32_t Signature, bool sprite32) {
    return save(SPRFileName, Signature, TSprLayout{sprite32, false});
  }
  // Why the last load or save failed; empty after a success.
  const std::string& errorString() const noexcept { return FError; }
  // Entry ID - 1 of Sprites, or nullptr outside 1 .. number of sprites.
  TSprite* GetSpriteByID(std::int32_t ID) const noexcept;

  // True while a save runs. Commands that change Sprites refuse to run while isBusy().
  bool isSaving() const noexcept { return FSaving; }
  bool isBusy() const noexcept { return isLoading || FSaving; }
  // Changes whenever the sprite list is released or replaced as a whole (new, a load), so that
  // whoever waited for the user can tell whether it is still the same file.
  std::uint64_t generation() const noexcept { return FGeneration; }
  // Says that a sprite's image or flag was changed in place, so that a load or save running
  // meanwhile, which may already have passed that sprite, gives way instead of finishing with
  // a mix of the states before and after. The editing operations call it.
  void noteInPlaceEdit() noexcept { ++FInPlaceEdits; }

  IEditorHost& host() const noexcept { return FHost; }

  // The pixel loops loads and saves use; the portable ones are there for tests.
  TSprCodecPath codecPath = TSprCodecPath::Fastest;

 private:
  void notifyLoadSprite(std::int32_t id, std::int32_t total);

  // Whether the sprite list is still the one a running load or save started with: a listener
  // or the host may run any command in the middle of one.
  struct TListState {
    std::uint64_t generation;
    std::uint64_t inPlaceEdits;
    std::size_t count;
  };
  TListState listState() const noexcept { return {FGeneration, FInPlaceEdits, Sprites.size()}; }
  bool listUnchanged(const TListState& state) const noexcept {
    return FGeneration == state.generation && FInPlaceEdits == state.inPlaceEdits &&
           Sprites.size() == state.count;
  }
  bool failLoad(std::string reason);
  bool failSave(std::string reason);
  // Puts `fresh` in place of the sprites, telling onRelease while the old ones still live.
  void replaceSprites(std::vector<std::unique_ptr<TSprite>> fresh);

  IEditorHost& FHost;
  bool FSaving = false;
  std::string FError;
  // Where loaded sprites take their pixels from; a load reuses the memory of the sprites it
  // replaces and hands back what it did not need.
  TPixelPool FPixelPool{32 * 32};
  // Counts the releases of the sprite list, and the changes made to its sprites in place.
  std::uint64_t FGeneration = 0;
  std::uint64_t FInPlaceEdits = 0;
};

// Removes the first entry equal to `listener`; nothing when there is none.
template <typename Event>
void removeListener(std::vector<Event>& listeners, const Event& listener) {
  for (auto it = listeners.begin(); it != listeners.end(); ++it) {
    if (*it == listener) {
      listeners.erase(it);
      return;
    }
  }
}

}  // namespace tess
