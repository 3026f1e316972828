// Large blocks: every byte asked for is there, on both sides of the size where they start.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "services/memory.h"

namespace morvane {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

TEST(LargeBlocks, EveryPageOfABlockCanBeWrittenAndRead) {
  for (const std::size_t bytes : {std::size_t{1}, 2 * kMiB - 1, 2 * kMiB, 2 * kMiB + 1, 5 * kMiB + 4097}) {
    SCOPED_TRACE(bytes);
    auto* block = static_cast<unsigned char*>(AllocateLargeBlock(bytes));
    ASSERT_NE(block, nullptr);
    // A block trimmed wrongly loses its first or last pages, and writing there faults.
    std::vector<std::size_t> places;
    for (std::size_t at = 0; at < bytes; at += 4096) places.push_back(at);
    places.push_back(bytes - 1);
    for (const std::size_t at : places) block[at] = static_cast<unsigned char>(at * 7 + (at >> 12));
    for (const std::size_t at : places) ASSERT_EQ(block[at], static_cast<unsigned char>(at * 7 + (at >> 12))) << at;
    FreeLargeBlock(block, bytes);
  }
}

TEST(LargeBlocks, AVectorKeepsItsItemsAcrossTheLargeBlockSize) {
  std::vector<std::string, LargeBlockAllocator<std::string>> items;
  const std::size_t count = 3 * LargeBlockAllocator<std::string>::kLargeBlock / sizeof(std::string);
  for (std::size_t i = 0; i < count; ++i) items.push_back(i % 7 == 0 ? std::string(40, 'x') : std::to_string(i));
  for (std::size_t i = 0; i < count; i += 997)
    ASSERT_EQ(items[i], i % 7 == 0 ? std::string(40, 'x') : std::to_string(i)) << i;
  items.resize(10);
  items.shrink_to_fit();
  EXPECT_EQ(items[9], "9");
}

}  // namespace
}  // namespace morvane
