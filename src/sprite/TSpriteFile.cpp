#include "sprite/TSpriteFile.h"

#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

#include "bitmap/TPixelPool.h"
#include "sprite/EditorHost.h"
#include "sprite/TNStream.h"

namespace tess {

namespace {

constexpr std::size_t kTableEntry = 4;

// Calls every listener in order. Each entry is copied before it is called, and the list is
// walked by index, so a listener that adds or removes listeners (itself included) during the
// call leaves nothing dangling; a listener removed mid-way may miss that one round.
template <typename Event, typename... Args>
void notifyAll(const std::vector<Event>& listeners, Args... args) {
  for (std::size_t i = 0; i < listeners.size(); ++i) {
    const Event listener = listeners[i];
    listener(args...);
  }
}

// Sets a flag for the lifetime of the guard and puts back what was there before, so that a save
// started from within another one does not end the outer one's busy state.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) noexcept : FFlag(flag), FPrevious(flag) { FFlag = true; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;
  ~FlagGuard() { FFlag = FPrevious; }

 private:
  bool& FFlag;
  bool FPrevious;
};

class SpareReleaser {
 public:
  explicit SpareReleaser(TPixelPool& pool) noexcept : FPool(pool) {}
  SpareReleaser(const SpareReleaser&) = delete;
  SpareReleaser& operator=(const SpareReleaser&) = delete;
  ~SpareReleaser() { FPool.releaseSpare(); }

 private:
  TPixelPool& FPool;
};

}  // namespace

void TSpriteFile::clear() {
  // The sprites stay alive in `released` while the listeners run, so views can still drop their
  // references; the list itself is already empty by then.
  std::vector<std::unique_ptr<TSprite>> released = std::move(Sprites);
  Sprites.clear();
  ++FGeneration;
  notifyAll(onRelease);
}

bool TSpriteFile::New() {
  clear();
  FPixelPool.releaseSpare();
  loaded = true;
  return true;
}

TSprite* TSpriteFile::GetSpriteByID(std::int32_t ID) const noexcept {
  if (ID < 1 || static_cast<std::size_t>(ID) > Sprites.size()) return nullptr;
  return Sprites[static_cast<std::size_t>(ID) - 1].get();
}

void TSpriteFile::notifyLoadSprite(std::int32_t id, std::int32_t total) {
  notifyAll(onLoadSprite, id, total);
}

bool TSpriteFile::failLoad() {
  isLoading = false;
  try {
    clear();
  } catch (...) {
    // A release listener failed; the sprites are gone all the same.
  }
  return false;
}

bool TSpriteFile::load(const std::string& SPRFileName, bool isSprite32) {
  // However the load ends, the pixel memory of the replaced sprites that it did not reuse goes
  // back to the system.
  const SpareReleaser spare(FPixelPool);
  loaded = false;
  isLoading = true;
  try {
    clear();
    TNStream stream;
    stream.LoadFromFile(SPRFileName);
    signature = stream.readInteger();
    const std::int32_t count = isSprite32 ? stream.readInteger() : stream.readWord();
    const std::size_t tableStart = stream.position();

    if (count <= 0) {
      FHost.showMessage("SPR Count = 0", "Error!", TMsgIcon::Error);
      isLoading = false;
      return false;
    }

    const auto total = static_cast<std::size_t>(count);
    const std::size_t tableRoom = (stream.size() - tableStart) / kTableEntry;
    // Sprite k's table entry is the first thing of it that is read, so a table that runs past
    // the end of the file fails at the first entry that is not there, before anything is
    // reserved for a count that the file cannot back.
    std::int32_t failedAt = 0;
    if (total > tableRoom) {
      failedAt = static_cast<std::int32_t>(tableRoom + 1);
    } else {
      Sprites.reserve(total);
      const std::uint64_t generation = FGeneration;
      for (std::int32_t k = 1; k <= count; ++k) {
        std::unique_ptr<TSprite> sprite = readSprite(k, tableStart, stream, &FPixelPool);
        if (!sprite) {
          failedAt = k;
          break;
        }
        Sprites.push_back(std::move(sprite));
        notifyLoadSprite(k, count);
        if (!listUnchanged(generation, static_cast<std::size_t>(k))) return failLoad();
      }
    }
    if (failedAt != 0) {
      clear();
      FHost.showMessage("Error Reading sprite: " + std::to_string(failedAt), "Error!",
                        TMsgIcon::Error);
      isLoading = false;
      return false;
    }
    isLoading = false;
    loaded = true;
    return true;
  } catch (...) {
    return failLoad();
  }
}

bool TSpriteFile::save(const std::string& SPRFileName, std::int32_t Signature, bool sprite32) {
  if (Sprites.empty()) return false;
  const std::size_t count = Sprites.size();
  // A count that does not fit its field would make the file disagree with its own table.
  const std::size_t widest = sprite32 ? std::numeric_limits<std::int32_t>::max()
                                      : std::numeric_limits<std::uint16_t>::max();
  if (count > widest) return false;

  const FlagGuard saving(FSaving);
  try {
    TNStream stream;
    const std::size_t tableStart = sprite32 ? 8 : 6;
    try {
      // Address space for the longest possible file is only a reservation: pages that are never
      // written cost nothing, and the buffer is then never copied while it grows.
      stream.bytes().reserve(tableStart + count * (kTableEntry + kSpriteRecordRoom));
    } catch (const std::bad_alloc&) {
      stream.bytes().reserve(tableStart + count * kTableEntry);
    } catch (const std::length_error&) {
      stream.bytes().reserve(tableStart + count * kTableEntry);
    }
    stream.writeInteger(Signature);
    if (sprite32) {
      stream.writeInteger(static_cast<std::int32_t>(count));
    } else {
      stream.writeWord(static_cast<std::uint32_t>(count));
    }
    stream.seek(tableStart + kTableEntry * count);

    const std::uint64_t generation = FGeneration;
    const auto total = static_cast<std::int32_t>(count);
    for (std::int32_t k = 1; k <= total; ++k) {
      const TSprite* const sprite = GetSpriteByID(k);
      if (sprite == nullptr) return false;
      sprite->writeSprite(k, tableStart, stream, FHost);
      if (!listUnchanged(generation, count)) return false;
      notifyLoadSprite(k, total);
      if (!listUnchanged(generation, count)) return false;
    }
    stream.SaveToFile(SPRFileName);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace tess
