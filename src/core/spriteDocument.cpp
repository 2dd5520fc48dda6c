#include "core/spriteDocument.h"

#include <utility>

#include "sprite/TSpriteFile.h"

namespace tess {

namespace {

// Walked by index with each entry copied first, so that a listener may add or remove listeners.
void notify(const std::vector<TonSpritesChanged>& listeners, std::int32_t first,
            std::int32_t count) {
  if (count <= 0) return;
  for (std::size_t i = 0; i < listeners.size(); ++i) {
    const TonSpritesChanged listener = listeners[i];
    listener(first, count);
  }
}

// Tells `listeners` of every run of consecutive IDs in `ids` at once.
template <typename Ids>
void notifyRuns(const std::vector<TonSpritesChanged>& listeners, const Ids& ids) {
  std::size_t start = 0;
  for (std::size_t i = 1; i <= ids.size(); ++i) {
    if (i < ids.size() && ids[i].id == ids[i - 1].id + 1) continue;
    const std::int32_t first = ids[start].id;
    notify(listeners, first, ids[i - 1].id - first + 1);
    start = i;
  }
}

}  // namespace

std::size_t TSpriteDocument::count() const noexcept { return FFile.Sprites.size(); }

TSprite* TSpriteDocument::sprite(std::int32_t id) const noexcept { return FFile.GetSpriteByID(id); }

std::int32_t TSpriteDocument::appendSprites(std::vector<std::unique_ptr<TSprite>>& sprites) {
  auto& list = FFile.Sprites;
  const std::size_t before = list.size();
  const auto first = static_cast<std::int32_t>(before + 1);
  if (sprites.empty()) return first;
  list.reserve(before + sprites.size());
  const auto count = static_cast<std::int32_t>(sprites.size());
  for (auto& sprite : sprites) {
    list.push_back(std::move(sprite));
    list.back()->setID(static_cast<std::int32_t>(list.size()));
  }
  try {
    notify(onSpritesAppended, first, count);
  } catch (...) {
    // Views that took the new sprites in are told they go again before they leave the list.
    try {
      notify(onSpritesRemoving, first, count);
    } catch (...) {
    }
    for (std::size_t i = 0; i < sprites.size(); ++i) sprites[i] = std::move(list[before + i]);
    list.resize(before);
    throw;
  }
  sprites.clear();
  return first;
}

std::vector<std::unique_ptr<TSprite>> TSpriteDocument::takeLast(std::size_t count) {
  auto& list = FFile.Sprites;
  if (count > list.size()) count = list.size();
  std::vector<std::unique_ptr<TSprite>> taken;
  if (count == 0) return taken;
  taken.reserve(count);
  const std::size_t keep = list.size() - count;
  notify(onSpritesRemoving, static_cast<std::int32_t>(keep + 1), static_cast<std::int32_t>(count));
  for (std::size_t i = keep; i < list.size(); ++i) taken.push_back(std::move(list[i]));
  list.resize(keep);
  return taken;
}

TSpriteImage TSpriteDocument::swapImage(std::int32_t id, TSpriteImage image) {
  TSprite* const target = sprite(id);
  if (!target) return image;
  TSpriteImage old{std::move(target->bitmap), target->isDUmmy};
  target->bitmap = std::move(image.bitmap);
  target->isDUmmy = image.isDUmmy || !target->bitmap;
  FFile.noteInPlaceEdit();
  notify(onSpritesChanged, id, 1);
  return old;
}

std::vector<TFlagChange> TSpriteDocument::setEmptyFlags(std::span<const TFlagChange> changes) {
  std::vector<TFlagChange> old;
  old.reserve(changes.size());
  for (const TFlagChange& change : changes) {
    TSprite* const target = sprite(change.id);
    if (!target) continue;
    old.push_back({change.id, target->isDUmmy});
    target->isDUmmy = change.isDUmmy || !target->bitmap;
  }
  if (!old.empty()) FFile.noteInPlaceEdit();
  notifyRuns(onSpritesChanged, old);
  return old;
}

}  // namespace tess
