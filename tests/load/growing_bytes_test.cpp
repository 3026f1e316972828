// GrowingBytes: bytes kept through every growth, from the first small block to large ones.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "load/growing_bytes.h"

namespace morvane {
namespace {

std::string AsString(const GrowingBytes& bytes) { return std::string(bytes.View(0, bytes.size())); }

TEST(GrowingBytes, KeepsEveryByteAcrossSmallAndLargeBlocks) {
  GrowingBytes bytes;
  std::string expected;
  // Pieces of uneven sizes, so that growths land inside pieces, past 1 MiB and 2 MiB.
  for (std::size_t piece = 0; expected.size() < (5u << 20); ++piece) {
    const std::string text(1 + piece * 37 % 9000, static_cast<char>('a' + piece % 26));
    bytes.Append(text);
    expected += text;
  }
  ASSERT_EQ(bytes.size(), expected.size());
  EXPECT_TRUE(AsString(bytes) == expected);

  GrowingBytes copy(bytes);
  EXPECT_TRUE(AsString(copy) == expected);
  GrowingBytes small;
  small.Append("small");
  small = std::move(copy);
  EXPECT_TRUE(AsString(small) == expected);

  // Cut back, then grown again: the bytes kept are the first ones.
  bytes.Resize(10);
  bytes.Append("!");
  EXPECT_EQ(AsString(bytes), expected.substr(0, 10) + "!");
  bytes.Reserve(9u << 20);
  EXPECT_EQ(AsString(bytes), expected.substr(0, 10) + "!");
}

}  // namespace
}  // namespace morvane
