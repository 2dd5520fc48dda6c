#include "core/spriteAnalysis.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "core/spriteEdits.h"

namespace tess {

namespace {

constexpr std::size_t kPixels = kSpriteSide * kSpriteSide;

// A transparent pixel keeps no colour.
inline std::uint32_t canonical(std::uint32_t pixel) noexcept {
  return (pixel >> 24) != 0 ? pixel : 0;
}

// A 64-bit hash of the canonical pixels, in four independent lanes so that the multiplications
// overlap; it only has to spread images well, every match is compared in full afterwards.
std::uint64_t imageHash(const TColor32* pixels) noexcept {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t lanes[4] = {1, 2, 3, 4};
  for (std::size_t i = 0; i < kPixels; i += 8) {
    for (std::size_t lane = 0; lane < 4; ++lane) {
      const std::uint64_t word = std::uint64_t{canonical(pixels[i + 2 * lane])} |
                                 std::uint64_t{canonical(pixels[i + 2 * lane + 1])} << 32;
      lanes[lane] = (lanes[lane] ^ word) * kMultiplier;
      lanes[lane] ^= lanes[lane] >> 29;
    }
  }
  std::uint64_t hash = lanes[0];
  for (std::size_t lane = 1; lane < 4; ++lane) hash = (hash ^ lanes[lane]) * kMultiplier;
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

TDuplicateGroups findDuplicates(std::span<const std::unique_ptr<TSprite>> sprites) {
  constexpr std::uint32_t kNone = UINT32_MAX;
  // Distinct images so far, and the image each sprite has; a hash leads to the first image with
  // it, and the rare other images with the same hash wait in `sharedHash`.
  std::vector<const TColor32*> images;
  std::vector<std::uint32_t> members;
  std::vector<std::uint32_t> imageOfSprite(sprites.size(), kNone);
  std::unordered_map<std::uint64_t, std::uint32_t> firstWithHash;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> sharedHash;
  firstWithHash.reserve(sprites.size());
  for (std::size_t k = 0; k < sprites.size(); ++k) {
    const TColor32* const image = sprites[k] ? imageOf(*sprites[k]) : nullptr;
    if (!image) continue;
    const std::uint64_t hash = imageHash(image);
    const auto next = static_cast<std::uint32_t>(images.size());
    auto [entry, fresh] = firstWithHash.try_emplace(hash, next);
    std::uint32_t found = kNone;
    if (!fresh) {
      if (sameImage(images[entry->second], image)) {
        found = entry->second;
      } else {
        for (const auto& [otherHash, other] : sharedHash) {
          if (otherHash == hash && sameImage(images[other], image)) {
            found = other;
            break;
          }
        }
        if (found == kNone) sharedHash.emplace_back(hash, next);
      }
    }
    if (found == kNone) {
      found = next;
      images.push_back(image);
      members.push_back(0);
    }
    ++members[found];
    imageOfSprite[k] = found;
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
