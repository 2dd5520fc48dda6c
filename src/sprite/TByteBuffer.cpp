#include "sprite/TByteBuffer.h"

#include <sys/mman.h>

namespace tess {

void* allocateLargeBlock(std::size_t bytes) {
  void* const block =
      ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  // Only a hint: without huge pages the block works the same, with more faults.
  ::madvise(block, bytes, MADV_HUGEPAGE);
#endif
  return block;
}

void freeLargeBlock(void* block, std::size_t bytes) noexcept { ::munmap(block, bytes); }

}  // namespace tess
