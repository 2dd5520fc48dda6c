#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "sprite/TSprite.h"
#include "sprite/TSpriteFile.h"
#include "support/TempDir.h"

namespace tess::testing {

inline constexpr std::int32_t kNewSignature = 0x57BBD603;
inline constexpr std::int32_t kOldSignature = 0x3DFF4AEB;

// A large sprite file for the save tests: every fourth sprite empty, the others a few short
// coloured runs at places and in colours drawn from `seed`, a few hundred bytes on disk each.
inline void fillNewSprites(TSpriteFile& file, std::int32_t count, std::uint32_t seed) {
  std::uint32_t state = seed * 2654435761u + 1;
  const auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  file.Sprites.reserve(static_cast<std::size_t>(count));
  for (std::int32_t id = 1; id <= count; ++id) {
    auto sprite = std::make_unique<TSprite>();
    sprite->setID(id);
    if (id % 4 != 0) {
      sprite->isDUmmy = false;
      sprite->bitmap = std::make_unique<TBitmap32>();
      sprite->bitmap->SetSize(32, 32);
      clearTransparent(*sprite->bitmap);
      TColor32* const pixels = sprite->bitmap->FBits();
      for (int run = 0; run < 10; ++run) {
        const std::uint32_t start = next() % 1024;
        const std::uint32_t length = 1 + next() % 12;
        const TColor32 colour = 0xFF000000u | next();
        for (std::uint32_t i = start; i < start + length && i < 1024; ++i) pixels[i] = colour;
      }
    }
    file.Sprites.push_back(std::move(sprite));
  }
}

// A fresh folder in memory-backed storage where the system has it, so that the many saves of the
// kill test are not held up by the disk; removed with everything in it when the object goes. A
// SIGKILL takes nothing from the page cache, so what the target holds after a kill is the same
// as on a disk.
class MemoryTempDir : public TempDir {
 public:
  MemoryTempDir() : TempDir(memoryBackedBase()) {}

 private:
  static std::filesystem::path memoryBackedBase() {
    std::error_code error;
    return std::filesystem::is_directory("/dev/shm", error)
               ? std::filesystem::path("/dev/shm")
               : std::filesystem::temp_directory_path();
  }
};

}  // namespace tess::testing
