#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace tess {

// Large blocks come straight from the system as their own mapping, asking for huge pages where
// the system offers them, and go straight back when freed. A whole sprite file passes through
// one such block on every load and save: this way it never stays behind in the heap after the
// operation, and it takes a few hundred page faults instead of one per 4 KiB.
void* allocateLargeBlock(std::size_t bytes);
void freeLargeBlock(void* block, std::size_t bytes) noexcept;
inline constexpr std::size_t kLargeBlockThreshold = std::size_t{1} << 20;

// Allocator of TByteBuffer: large blocks as above, small ones from the heap. Growing the buffer
// leaves new bytes uninitialised, since every byte is written before it is read.
template <typename T>
class TPageAllocator {
 public:
  using value_type = T;

  TPageAllocator() noexcept = default;
  template <typename U>
  TPageAllocator(const TPageAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = n * sizeof(T);
    if (bytes >= kLargeBlockThreshold) return static_cast<T*>(allocateLargeBlock(bytes));
    return static_cast<T*>(::operator new(bytes));
  }
  void deallocate(T* block, std::size_t n) noexcept {
    const std::size_t bytes = n * sizeof(T);
    if (bytes >= kLargeBlockThreshold) {
      freeLargeBlock(block, bytes);
    } else {
      ::operator delete(block);
    }
  }

  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const TPageAllocator<U>&) const noexcept {
    return true;
  }
};

using TByteBuffer = std::vector<std::uint8_t, TPageAllocator<std::uint8_t>>;

}  // namespace tess
