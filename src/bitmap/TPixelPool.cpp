#include "bitmap/TPixelPool.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>
#include <vector>

namespace tess {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargestSlabArrays = 2048;

}  // namespace

// Slabs whose arrays have all been released, waiting to be cut again.
struct TPixelShelf {
  TPixelShelf() = default;
  TPixelShelf(const TPixelShelf&) = delete;
  TPixelShelf& operator=(const TPixelShelf&) = delete;
  ~TPixelShelf();
  std::vector<TPixelSlab*> slabs;
};

// One mapping. It counts the arrays handed out from it, plus one while its pool still cuts from
// it; when the count drops to 0 it goes on its pool's shelf, or back to the system when the pool
// is gone.
class TPixelSlab {
 public:
  static TPixelSlab* create(std::size_t bytes, std::weak_ptr<TPixelShelf> shelf) {
    auto* slab = new TPixelSlab(std::move(shelf));
    if (!slab->map(bytes)) {
      delete slab;
      throw std::bad_alloc();
    }
    return slab;
  }

  std::size_t bytes() const noexcept { return FBytes; }
  TColor32* at(std::size_t offsetBytes) const noexcept {
    return reinterpret_cast<TColor32*>(FBase + offsetBytes);
  }
  // The pool takes its own reference when it starts cutting from the slab again.
  void retain() noexcept { ++FReferences; }
  void release() noexcept {
    if (--FReferences > 0) return;
    if (const std::shared_ptr<TPixelShelf> shelf = FShelf.lock()) {
      try {
        shelf->slabs.push_back(this);
        return;
      } catch (...) {
        // No room to remember it: it goes back to the system instead.
      }
    }
    destroy();
  }
  void destroy() noexcept {
    ::munmap(FBase, FBytes);
    delete this;
  }

 private:
  explicit TPixelSlab(std::weak_ptr<TPixelShelf> shelf) noexcept : FShelf(std::move(shelf)) {}
  ~TPixelSlab() = default;

  // Slabs of a huge page or more are placed on huge-page boundaries: the system only backs
  // whole aligned huge pages inside a mapping.
  bool map(std::size_t bytes) noexcept {
    const bool huge = bytes >= kHugePage && bytes % kHugePage == 0;
    const std::size_t request = huge ? bytes + kHugePage : bytes;
    void* const mapped =
        ::mmap(nullptr, request, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return false;
    auto* base = static_cast<unsigned char*>(mapped);
    if (huge) {
      const auto address = reinterpret_cast<std::uintptr_t>(base);
      const std::size_t head = (kHugePage - address % kHugePage) % kHugePage;
      if (head > 0) ::munmap(base, head);
      const std::size_t tail = request - head - bytes;
      if (tail > 0) ::munmap(base + head + bytes, tail);
      base += head;
#ifdef MADV_HUGEPAGE
      // Only a hint: without huge pages the slab works the same, with more faults.
      ::madvise(base, bytes, MADV_HUGEPAGE);
#endif
    }
    FBase = base;
    FBytes = bytes;
    return true;
  }

  std::weak_ptr<TPixelShelf> FShelf;
  unsigned char* FBase = nullptr;
  std::size_t FBytes = 0;
  std::size_t FReferences = 1;
};

TPixelShelf::~TPixelShelf() {
  for (TPixelSlab* slab : slabs) slab->destroy();
}

void TPixelRelease::operator()(TColor32* pixels) const noexcept {
  if (slab != nullptr) {
    slab->release();
  } else {
    delete[] pixels;
  }
}

TPixelPool::TPixelPool(std::size_t pixelsPerArray)
    : FPixelsPerArray(pixelsPerArray > 0 ? pixelsPerArray : 1),
      FShelf(std::make_shared<TPixelShelf>()) {}

TPixelPool::~TPixelPool() {
  // The shelf goes with the pool; slabs still in use unmap themselves when their last array is
  // released.
  if (FSlab != nullptr) FSlab->release();
  FShelf.reset();
}

void TPixelPool::releaseSpare() noexcept {
  for (TPixelSlab* slab : FShelf->slabs) slab->destroy();
  FShelf->slabs.clear();
}

void TPixelPool::nextSlab() {
  const std::size_t arrayBytes = FPixelsPerArray * sizeof(TColor32);
  TPixelSlab* fresh = nullptr;
  if (!FShelf->slabs.empty()) {
    fresh = FShelf->slabs.back();
    FShelf->slabs.pop_back();
    fresh->retain();
  } else {
    fresh = TPixelSlab::create(arrayBytes * FNextSlabArrays, FShelf);
    if (FNextSlabArrays < kLargestSlabArrays) FNextSlabArrays *= 2;
  }
  // Released only now: the current slab may go straight onto the shelf.
  if (FSlab != nullptr) FSlab->release();
  FSlab = fresh;
  FTaken = 0;
  FCapacity = fresh->bytes() / arrayBytes;
}

TPixelArray TPixelPool::take() {
  if (FSlab == nullptr || FTaken == FCapacity) nextSlab();
  FSlab->retain();
  const std::size_t arrayBytes = FPixelsPerArray * sizeof(TColor32);
  return TPixelArray(FSlab->at(arrayBytes * FTaken++), TPixelRelease{FSlab});
}

}  // namespace tess
