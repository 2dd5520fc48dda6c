#pragma once

#include <cstddef>
#include <memory>

#include "bitmap/TColor32.h"

namespace tess {

class TPixelSlab;

// Gives a bitmap's pixel array back where it came from: its pool's slab, or the heap.
struct TPixelRelease {
  TPixelSlab* slab = nullptr;
  void operator()(TColor32* pixels) const noexcept;
};

using TPixelArray = std::unique_ptr<TColor32[], TPixelRelease>;

// Hands out pixel arrays of one size carved from large mappings of their own, for creating many
// equal bitmaps at once (a sprite file load). Big mappings ask for huge pages, so a load of
// hundreds of thousands of sprites takes a few hundred page faults instead of one per sprite,
// and a mapping goes straight back to the system once the pool and every bitmap holding an
// array from it are gone. The slabs grow as the pool is used, so a small load stays small.
//
// A pool and the arrays it hands out belong to one thread at a time.
class TPixelPool {
 public:
  explicit TPixelPool(std::size_t pixelsPerArray) noexcept : FPixelsPerArray(pixelsPerArray) {}
  TPixelPool(const TPixelPool&) = delete;
  TPixelPool& operator=(const TPixelPool&) = delete;
  ~TPixelPool();

  std::size_t pixelsPerArray() const noexcept { return FPixelsPerArray; }
  // An array of pixelsPerArray() pixels whose content is undefined. Throws std::bad_alloc.
  TPixelArray take();

 private:
  std::size_t FPixelsPerArray;
  std::size_t FNextSlabArrays = 64;
  TPixelSlab* FSlab = nullptr;
  std::size_t FTaken = 0;
  std::size_t FCapacity = 0;
};

}  // namespace tess
