#include "picture/prefaulted_allocator.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vistamere::picture {

#if defined(__linux__)

void* AllocatePrefaulted(std::size_t bytes) {
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  return memory;
}

void FreePrefaulted(void* memory, std::size_t bytes) {
  munmap(memory, bytes);
}

#else

void* AllocatePrefaulted(std::size_t bytes) {
  return ::operator new(bytes);
}

void FreePrefaulted(void* memory, std::size_t) {
  ::operator delete(memory);
}

#endif

}  // namespace vistamere::picture
