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
// call leaves nothing dangling. A listener that removed itself, or one before it, has moved the
// next one into its place; that one is called next rather than passed over.
template <typename Event, typename... Args>
void notifyAll(const std::vector<Event>& listeners, Args... args) {
  for (std::size_t i = 0; i < listeners.size();) {
    const Event listener = listeners[i];
    listener(args...);
    if (i < listeners.size() && listeners[i] == listener) ++i;
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

void TSpriteFile::replaceSprites(std::vector<std::unique_ptr<TSprite>> fresh) {
  // Views drop their references to the old sprites while these still live; they meet an empty
  // list meanwhile, as on every release.
  std::vector<std::unique_ptr<TSprite>> released = std::move(Sprites);
  Sprites.clear();
  ++FGeneration;
  try {
    notifyAll(onRelease);
  } catch (...) {
    // A release listener failed; the old sprites go all the same.
  }
  Sprites = std::move(fresh);
}

bool TSpriteFile::failLoad(std::string reason) {
  FError = std::move(reason);
  return false;
}

bool TSpriteFile::failSave(std::string reason) {
  FError = std::move(reason);
  return false;
}

bool TSpriteFile::load(const std::string& SPRFileName, TSprLayout layout) {
  // However the load ends, the pixel memory that it did not keep goes back to the system.
  const SpareReleaser spare(FPixelPool);
  // A load started from a listener of another one must not end the outer one's loading state.
  const FlagGuard loading(isLoading);
  FError.clear();
  try {
    TNStream stream;
    try {
      stream.LoadFromFile(SPRFileName);
    } catch (const std::exception& error) {
      return failLoad(error.what());
    }
    const std::size_t tableStart = layout.tableStart();
    if (stream.size() < tableStart) {
      return failLoad("the file is too short for a sprite file header (" +
                      std::to_string(stream.size()) + " bytes)");
    }
    const std::int32_t fileSignature = stream.readInteger();
    const std::int32_t count = layout.sprite32 ? stream.readInteger() : stream.readWord();

    if (count <= 0) {
      FHost.showMessage("SPR Count = 0", "Error!", TMsgIcon::Error);
      return failLoad("SPR Count = 0");
    }

    const auto total = static_cast<std::size_t>(count);
    const std::size_t tableRoom = (stream.size() - tableStart) / kTableEntry;
    // Sprite k's table entry is the first thing of it that is read, so a table that runs past
    // the end of the file fails at the first entry that is not there, before anything is
    // reserved for a count that the file cannot back.
    std::int32_t failedAt = 0;
    std::vector<std::unique_ptr<TSprite>> fresh;
    if (total > tableRoom) {
      failedAt = static_cast<std::int32_t>(tableRoom + 1);
    } else {
      fresh.reserve(total);
      // The open sprites stay in place and on view while the new ones are read; a listener or
      // the host may still run a command that changes them, and then the load gives way.
      const TListState open = listState();
      for (std::int32_t k = 1; k <= count; ++k) {
        std::unique_ptr<TSprite> sprite = readSprite(k, layout, stream, &FPixelPool, codecPath);
        if (!sprite) {
          failedAt = k;
          break;
        }
        fresh.push_back(std::move(sprite));
        notifyLoadSprite(k, count);
        if (!listUnchanged(open)) {
          return failLoad("the open sprites changed while the file was loading");
        }
      }
    }
    if (failedAt != 0) {
      const std::string message = "Error Reading sprite: " + std::to_string(failedAt);
      fresh.clear();
      FHost.showMessage(message, "Error!", TMsgIcon::Error);
      return failLoad(message);
    }
    replaceSprites(std::move(fresh));
    signature = fileSignature;
    loaded = true;
    return true;
  } catch (const std::bad_alloc&) {
    return failLoad("out of memory while loading");
  } catch (const std::exception& error) {
    return failLoad(error.what());
  } catch (...) {
    return failLoad("the load was interrupted");
  }
}

bool TSpriteFile::save(const std::string& SPRFileName, std::int32_t Signature, TSprLayout layout,
                       TSprSavedAlpha alpha) {
  FError.clear();
  if (Sprites.empty()) return failSave("there are no sprites to save");
  const std::size_t count = Sprites.size();
  // A count that does not fit its field would make the file disagree with its own table.
  const std::size_t widest = layout.sprite32 ? std::numeric_limits<std::int32_t>::max()
                                             : std::numeric_limits<std::uint16_t>::max();
  if (count > widest) {
    return failSave(std::to_string(count) + " sprites do not fit a " +
                    std::to_string(layout.countBits()) + "-bit count");
  }

  const FlagGuard saving(FSaving);
  const char* const changed = "the sprites changed while the file was being saved";
  try {
    TNStream stream;
    const std::size_t tableStart = layout.tableStart();
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
    if (layout.sprite32) {
      stream.writeInteger(static_cast<std::int32_t>(count));
    } else {
      stream.writeWord(static_cast<std::uint32_t>(count));
    }
    stream.seek(tableStart + kTableEntry * count);

    const TListState started = listState();
    const auto total = static_cast<std::int32_t>(count);
    for (std::int32_t k = 1; k <= total; ++k) {
      const TSprite* const sprite = GetSpriteByID(k);
      if (sprite == nullptr) return failSave(changed);
      sprite->writeSprite(k, layout, stream, FHost, codecPath, alpha);
      if (!listUnchanged(started)) return failSave(changed);
      notifyLoadSprite(k, total);
      if (!listUnchanged(started)) return failSave(changed);
    }
    stream.SaveToFile(SPRFileName);
    return true;
  } catch (const std::bad_alloc&) {
    return failSave("out of memory while saving");
  } catch (const std::exception& error) {
    return failSave(error.what());
  } catch (...) {
    return failSave("the save was interrupted");
  }
}

}  // namespace tess
