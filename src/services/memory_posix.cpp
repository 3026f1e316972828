// Large blocks on POSIX: mapped directly, aligned to a huge page and marked for huge pages.
#include <sys/mman.h>

#include <cstdint>

#include "services/memory.h"

namespace morvane {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t value) { return (value + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

void* AllocateLargeBlock(std::size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
  const std::size_t size = RoundUp(bytes);
  // A huge page more than needed, then trimmed so that the block starts on a huge page's edge:
  // the system only puts huge pages where whole ones fit.
  void* mapped = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t block = RoundUp(start);
  if (block > start) munmap(mapped, block - start);
  const std::uintptr_t end = start + size + kHugePage;
  if (end > block + size) munmap(reinterpret_cast<void*>(block + size), end - (block + size));
#ifdef MADV_HUGEPAGE
  // Only a hint: without huge pages the block works the same, page by page.
  madvise(reinterpret_cast<void*>(block), size, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(block);
}

void FreeLargeBlock(void* block, std::size_t bytes) {
  if (block) munmap(block, RoundUp(bytes));
}

}  // namespace morvane
