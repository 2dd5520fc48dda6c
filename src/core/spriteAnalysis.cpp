#include "core/spriteAnalysis.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/spriteEdits.h"

namespace tess {

namespace {

constexpr std::size_t kPixels = kSpriteSide * kSpriteSide;

// A transparent pixel keeps no colour.
inline std::uint32_t canonical(std::uint32_t pixel) noexcept {
  return (pixel >> 24) != 0 ? pixel : 0;
}

// A 64-bit hash of the canonical pixels. The pixels are made canonical in a block that the
// compiler can vectorise, then mixed in eight independent lanes so that the multiplications
// overlap; the hash only has to spread images well, every match is compared in full.
std::uint64_t imageHash(const TColor32* pixels) noexcept {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  constexpr std::size_t kLanes = 8;
  alignas(16) std::uint32_t canon[kPixels];
  for (std::size_t i = 0; i < kPixels; ++i) {
    canon[i] = pixels[i] & (0u - static_cast<std::uint32_t>(pixels[i] > 0x00FFFFFFu));
  }
  std::uint64_t lanes[kLanes];
  for (std::size_t lane = 0; lane < kLanes; ++lane) lanes[lane] = lane + 1;
  for (std::size_t i = 0; i < kPixels; i += 2 * kLanes) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      std::uint64_t word;
      std::memcpy(&word, canon + i + 2 * lane, sizeof(word));
      lanes[lane] = (lanes[lane] ^ word) * kMultiplier;
      lanes[lane] ^= lanes[lane] >> 29;
    }
  }
  std::uint64_t hash = lanes[0];
  for (std::size_t lane = 1; lane < kLanes; ++lane) hash = (hash ^ lanes[lane]) * kMultiplier;
  return hash ^ (hash >> 32);
}

bool sameImage(const TColor32* a, const TColor32* b) noexcept {
  if (std::memcmp(a, b, kPixels * sizeof(TColor32)) == 0) return true;
  for (std::size_t i = 0; i < kPixels; ++i) {
    if (canonical(a[i]) != canonical(b[i])) return false;
  }
  return true;
}

const TColor32* imageOf(const TSprite& sprite) noexcept {
  if (sprite.isDUmmy || !sprite.bitmap || sprite.bitmap->Width() != kSpriteSide ||
      sprite.bitmap->Height() != kSpriteSide) {
    return nullptr;
  }
  return sprite.bitmap->FBits();
}

}  // namespace

bool showsNothing(const TSprite& sprite) noexcept {
  const TColor32* const pixels = imageOf(sprite);
  if (!pixels) return true;
  return std::all_of(pixels, pixels + kPixels, [](TColor32 pixel) { return AlphaOf(pixel) == 0; });
}

bool samePixels(const TSprite& a, const TSprite& b) noexcept {
  const bool aBlank = showsNothing(a);
  const bool bBlank = showsNothing(b);
  if (aBlank || bBlank) return aBlank == bBlank;
  return sameImage(imageOf(a), imageOf(b));
}

TPartialAlpha countPartialAlpha(std::span<const std::unique_ptr<TSprite>> sprites) noexcept {
  TPartialAlpha found;
  for (const auto& sprite : sprites) {
    const TColor32* const pixels = sprite ? imageOf(*sprite) : nullptr;
    if (!pixels) continue;
    const auto partial =
        static_cast<std::size_t>(std::count_if(pixels, pixels + kPixels, [](TColor32 pixel) {
          const std::uint32_t alpha = AlphaOf(pixel);
          return alpha != 0 && alpha != 255;
        }));
    found.pixels += partial;
    found.sprites += partial > 0 ? 1 : 0;
  }
  return found;
}

TDuplicateGroups findDuplicates(std::span<const std::unique_ptr<TSprite>> sprites) {
  constexpr std::uint32_t kNone = UINT32_MAX;
  // An image of transparent pixels only is saved as an empty sprite, so it counts as one.
  static const std::uint64_t kBlankHash = [] {
    const std::vector<TColor32> blank(kPixels, 0);
    return imageHash(blank.data());
  }();
  // Distinct images so far, how many sprites show each, and the image each sprite shows. An open
  // table of hashes leads to the images; images with the same hash lie further along it.
  struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t image = kNone;
  };
  std::size_t capacity = 16;
  while (capacity < 2 * sprites.size()) capacity *= 2;
  std::vector<Slot> table(capacity);
  const std::size_t mask = capacity - 1;
  std::vector<const TColor32*> images;
  std::vector<std::uint32_t> members;
  std::vector<std::uint32_t> imageOfSprite(sprites.size(), kNone);
  for (std::size_t k = 0; k < sprites.size(); ++k) {
    const TColor32* const image = sprites[k] ? imageOf(*sprites[k]) : nullptr;
    if (!image) continue;
    const std::uint64_t hash = imageHash(image);
    if (hash == kBlankHash && showsNothing(*sprites[k])) continue;
    std::size_t at = static_cast<std::size_t>(hash) & mask;
    while (table[at].image != kNone &&
           (table[at].hash != hash || !sameImage(images[table[at].image], image))) {
      at = (at + 1) & mask;
    }
    if (table[at].image == kNone) {
      table[at] = {hash, static_cast<std::uint32_t>(images.size())};
      images.push_back(image);
      members.push_back(0);
    }
    ++members[table[at].image];
    imageOfSprite[k] = table[at].image;
  }

  // The groups in the order of their first member, each in ID order.
  std::vector<std::uint32_t> groupOfImage(images.size(), kNone);
  TDuplicateGroups groups;
  for (std::size_t k = 0; k < sprites.size(); ++k) {
    const std::uint32_t image = imageOfSprite[k];
    if (image == kNone || members[image] < 2) continue;
    if (groupOfImage[image] == kNone) {
      groupOfImage[image] = static_cast<std::uint32_t>(groups.size());
      groups.emplace_back().reserve(members[image]);
    }
    groups[groupOfImage[image]].push_back(sprites[k]->ID());
  }
  return groups;
}

}  // namespace tess
