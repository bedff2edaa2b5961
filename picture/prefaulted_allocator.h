// An allocator for large buffers that are written all over soon after they
// are made (accumulators, decoded data). Their pages are mapped in at once
// when allocated, instead of one page fault at a time on first touch, which
// costs far more per page (notably in virtual machines). Small buffers come
// from the usual heap.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace vistamere::picture {

// Memory with its pages already mapped in; throws std::bad_alloc when there
// is none. Only for sizes of at least kPrefaultThreshold; FreePrefaulted()
// takes it back, given the same size.
[[nodiscard]] void* AllocatePrefaulted(std::size_t bytes);
void FreePrefaulted(void* memory, std::size_t bytes);

inline constexpr std::size_t kPrefaultThreshold = std::size_t{256} * 1024;

template <typename T>
class PrefaultedAllocator {
 public:
  using value_type = T;

  PrefaultedAllocator() = default;
  template <typename U>
  explicit PrefaultedAllocator(const PrefaultedAllocator<U>&) {}

  [[nodiscard]] T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = count * sizeof(T);
    if (bytes >= kPrefaultThreshold) return static_cast<T*>(AllocatePrefaulted(bytes));
    return std::allocator<T>().allocate(count);
  }

  void deallocate(T* memory, std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    if (bytes >= kPrefaultThreshold) {
      FreePrefaulted(memory, bytes);
      return;
    }
    std::allocator<T>().deallocate(memory, count);
  }

  template <typename U>
  bool operator==(const PrefaultedAllocator<U>&) const {
    return true;
  }
};

}  // namespace vistamere::picture
