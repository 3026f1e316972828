// Memory for arrays that grow large, such as the name list's items.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace morvane {

// A block of at least `bytes` bytes, or null. Where the system allows, it lies on huge pages:
// filling 2 MiB of it then costs one page fault rather than 512, and a fault is dear enough that
// this makes a large list fill markedly faster.
void* AllocateLargeBlock(std::size_t bytes);
// Frees a block given by AllocateLargeBlock for the same `bytes`.
void FreeLargeBlock(void* block, std::size_t bytes);

// std::allocator, except that blocks of 2 MiB or more come from AllocateLargeBlock.
template <class T>
class LargeBlockAllocator {
 public:
  using value_type = T;
  static constexpr std::size_t kLargeBlock = std::size_t{2} << 20;

  LargeBlockAllocator() = default;
  template <class U>
  LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count < kLargeBlock / sizeof(T)) return std::allocator<T>().allocate(count);
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    void* block = AllocateLargeBlock(count * sizeof(T));
    if (!block) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t count) noexcept {
    if (count < kLargeBlock / sizeof(T))
      std::allocator<T>().deallocate(block, count);
    else
      FreeLargeBlock(block, count * sizeof(T));
  }

  template <class U>
  bool operator==(const LargeBlockAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace morvane
