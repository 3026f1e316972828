// Large blocks on Windows: the ordinary heap, which maps blocks this large on its own.
#include "services/memory.h"

namespace morvane {

void* AllocateLargeBlock(std::size_t bytes) { return ::operator new(bytes, std::nothrow); }

void FreeLargeBlock(void* block, std::size_t) { ::operator delete(block); }

}  // namespace morvane
