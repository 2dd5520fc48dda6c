#pragma once

#include <cstddef>
#include <memory>

#include "bitmap/TColor32.h"

namespace tess {

class TPixelSlab;
struct TPixelShelf;

// Gives a bitmap's pixel array back where it came from: its pool's slab, or the heap.
struct TPixelRelease {
  TPixelSlab* slab = nullptr;
  void operator()(TColor32* pixels) const noexcept;
};

using TPixelArray = std::unique_ptr<TColor32[], TPixelRelease>;

// Hands out pixel arrays of one size carved from large mappings (slabs) of their own, for
// creating many equal bitmaps at once, as a sprite file load does. Big slabs ask for huge
// pages, so a load of hundreds of thousands of sprites takes a few hundred page faults instead
// of one per sprite. The slabs grow as the pool is used, so a small load stays small.
//
// A slab whose arrays have all been released waits on the pool's shelf to be cut again, so a
// load that replaces the sprites of the previous one reuses their memory instead of asking the
// system for fresh (and freshly zeroed) pages; releaseSpare() hands the waiting slabs back. A
// slab whose pool is gone goes back to the system as soon as its last array is released, so
// bitmaps may outlive their pool.
//
// A pool and the arrays it hands out belong to one thread at a time.
class TPixelPool {
 public:
  explicit TPixelPool(std::size_t pixelsPerArray);
  TPixelPool(const TPixelPool&) = delete;
  TPixelPool& operator=(const TPixelPool&) = delete;
  ~TPixelPool();

  std::size_t pixelsPerArray() const noexcept { return FPixelsPerArray; }
  // An array of pixelsPerArray() pixels whose content is undefined. Throws std::bad_alloc.
  TPixelArray take();
  // Unmaps every slab on the shelf.
  void releaseSpare() noexcept;

 private:
  void nextSlab();

  std::size_t FPixelsPerArray;
  std::size_t FNextSlabArrays = 64;
  std::shared_ptr<TPixelShelf> FShelf;
  TPixelSlab* FSlab = nullptr;
  std::size_t FTaken = 0;
  std::size_t FCapacity = 0;
};

}  // namespace tess
