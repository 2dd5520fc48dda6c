// Loads any bytes as a sprite file in every layout (16- or 32-bit count, pixels with or without
// alpha), and checks what a successful load promises: one sprite per table entry, each empty or
// a 32x32 image (opaque and transparent-white pixels without alpha; any alpha but 0, and
// transparent white, with it), and a save and reload that give back the same sprites. A failed
// load leaves the open file as it was, and a file the consistency check accepts always loads.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "bitmap/TBitmap32.h"
#include "sprite/TNStream.h"
#include "sprite/TSpriteFile.h"

namespace {

using tess::TSprite;
using tess::TSpriteFile;
using tess::fuzz::require;

// An all-transparent image saves as an empty record and so reloads as an empty sprite.
bool showsNothing(const TSprite& sprite) {
  if (sprite.isDUmmy) return true;
  const tess::TColor32* const pixels = sprite.bitmap->FBits();
  for (int i = 0; i < 32 * 32; ++i) {
    if (tess::AlphaOf(pixels[i]) != 0) return false;
  }
  return true;
}

bool samePicture(const TSprite& a, const TSprite& b) {
  if (showsNothing(a) || showsNothing(b)) return showsNothing(a) && showsNothing(b);
  const tess::TColor32* const left = a.bitmap->FBits();
  const tess::TColor32* const right = b.bitmap->FBits();
  for (int i = 0; i < 32 * 32; ++i) {
    if (left[i] != right[i]) return false;
  }
  return true;
}

void checkLoaded(const TSpriteFile& file, std::int64_t declaredCount, tess::TSprLayout layout) {
  require(file.loaded, "a successful load marks the file loaded");
  require(static_cast<std::int64_t>(file.Sprites.size()) == declaredCount,
          "a load gives one sprite per table entry");
  for (std::size_t k = 0; k < file.Sprites.size(); ++k) {
    const TSprite& sprite = *file.Sprites[k];
    require(sprite.ID() == static_cast<std::int32_t>(k + 1), "sprite IDs follow positions");
    if (sprite.isDUmmy) {
      require(!sprite.bitmap, "an empty sprite from disk has no image");
      continue;
    }
    require(sprite.bitmap && sprite.bitmap->Width() == 32 && sprite.bitmap->Height() == 32,
            "a sprite from disk is 32x32");
    const tess::TColor32* const pixels = sprite.bitmap->FBits();
    for (int i = 0; i < 32 * 32; ++i) {
      const std::uint8_t alpha = tess::AlphaOf(pixels[i]);
      require((alpha != 0 && (layout.alpha || alpha == 0xFF)) ||
                  pixels[i] == tess::clTransparentWhite32,
              "a decoded pixel is coloured as its layout allows, or transparent white");
    }
  }
}

void checkRoundTrip(TSpriteFile& loaded, tess::TSprLayout layout) {
  static const tess::fuzz::ScratchFile saved(".saved.spr");
  tess::fuzz::QuietHost host;
  require(loaded.save(saved.path(), loaded.signature, layout), "a loaded file can be saved");

  TSpriteFile reloaded(host);
  require(reloaded.load(saved.path(), layout), "a saved file loads");
  require(reloaded.signature == loaded.signature, "a save keeps the signature");
  require(reloaded.Sprites.size() == loaded.Sprites.size(), "a save keeps the sprite count");
  for (std::size_t k = 0; k < loaded.Sprites.size(); ++k) {
    require(samePicture(*loaded.Sprites[k], *reloaded.Sprites[k]), "a save keeps every pixel");
  }
}

// The count as the header stores it; -1 when the file is too short to hold one.
std::int64_t declaredCount(const std::uint8_t* data, std::size_t size, bool sprite32) {
  if (size < (sprite32 ? 8u : 6u)) return -1;
  if (!sprite32) return data[4] | (data[5] << 8);
  return static_cast<std::int32_t>(data[4] | (data[5] << 8) | (data[6] << 16) |
                                   (std::uint32_t{data[7]} << 24));
}

void loadAs(const std::string& path, const std::uint8_t* data, std::size_t size,
            tess::TSprLayout layout) {
  tess::fuzz::QuietHost host;
  TSpriteFile file(host);
  // Every other input goes through the portable pixel loops.
  file.codecPath = size % 2 == 0 ? tess::TSprCodecPath::Fastest : tess::TSprCodecPath::Portable;
  file.loaded = true;
  file.signature = 0x5EED;
  file.Sprites.push_back(std::make_unique<TSprite>());
  const TSprite* const open = file.Sprites[0].get();
  std::int32_t progressCalls = 0;
  struct Counter {
    std::int32_t* calls;
    void onSprite(std::int32_t, std::int32_t) { ++*calls; }
  } counter{&progressCalls};
  file.onLoadSprite.push_back(tess::TonLoadSprite(&counter, &Counter::onSprite));

  const bool ok = file.load(path, layout);
  require(!file.isLoading && !file.isBusy(), "a load always ends its busy state");
  if (tess::sprLayoutReads(data, size, layout)) require(ok, "a consistent file loads");
  if (!ok) {
    require(file.loaded && file.signature == 0x5EED && file.Sprites.size() == 1 &&
                file.Sprites[0].get() == open,
            "a failed load leaves the open file as it was");
    require(!file.errorString().empty(), "a failed load says why");
    require(host.messages <= 1, "a failed load shows at most one message");
    return;
  }
  require(host.messages == 0, "a successful load shows no message");
  const std::int64_t count = declaredCount(data, size, layout.sprite32);
  require(progressCalls == count, "a load reports progress once per sprite");
  checkLoaded(file, count, layout);
  file.onLoadSprite.clear();
  checkRoundTrip(file, layout);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tess::fuzz::ScratchFile input(".spr");
  input.write(data, size);
  for (const tess::TSprLayout layout : tess::kSprLayouts) loadAs(input.path(), data, size, layout);
  return 0;
}
