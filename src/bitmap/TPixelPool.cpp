#include "bitmap/TPixelPool.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace tess {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargestSlabArrays = 2048;

}  // namespace

// One mapping, counting the arrays handed out from it plus one while its pool still cuts from
// it. Only the last release unmaps it.
class TPixelSlab {
 public:
  static TPixelSlab* create(std::size_t bytes) {
    auto* slab = new TPixelSlab();
    if (!slab->map(bytes)) {
      delete slab;
      throw std::bad_alloc();
    }
    return slab;
  }

  TColor32* at(std::size_t offsetBytes) const noexcept {
    return reinterpret_cast<TColor32*>(FBase + offsetBytes);
  }
  void retain() noexcept { ++FReferences; }
  void release() noexcept {
    if (--FReferences > 0) return;
    ::munmap(FBase, FBytes);
    delete this;
  }

 private:
  TPixelSlab() = default;
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

  unsigned char* FBase = nullptr;
  std::size_t FBytes = 0;
  std::size_t FReferences = 1;
};

void TPixelRelease::operator()(TColor32* pixels) const noexcept {
  if (slab != nullptr) {
    slab->release();
  } else {
    delete[] pixels;
  }
}

TPixelPool::~TPixelPool() {
  if (FSlab != nullptr) FSlab->release();
}

TPixelArray TPixelPool::take() {
  const std::size_t arrayBytes = FPixelsPerArray * sizeof(TColor32);
  if (FSlab == nullptr || FTaken == FCapacity) {
    TPixelSlab* const fresh = TPixelSlab::create(arrayBytes * FNextSlabArrays);
    if (FSlab != nullptr) FSlab->release();
    FSlab = fresh;
    FTaken = 0;
    FCapacity = FNextSlabArrays;
    if (FNextSlabArrays < kLargestSlabArrays) FNextSlabArrays *= 2;
  }
  FSlab->retain();
  return TPixelArray(FSlab->at(arrayBytes * FTaken++), TPixelRelease{FSlab});
}

}  // namespace tess
