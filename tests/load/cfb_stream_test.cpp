// A compound file's stream read piece by piece: the same bytes as the stream read whole, wherever
// its sectors lie.
#include <gtest/gtest.h>

#include <numeric>

#include "load/byte_reader.h"
#include "load/cfb.h"
#include "xls_test_builder.h"

namespace morvane {
namespace {

using testing::Bytes;

// 120 sectors of 512 bytes, the stream's sectors stored out of order in runs of several lengths,
// so that reads meet runs to join, runs to leave and single sectors.
struct ScatteredStream {
  Bytes content;
  Bytes file;

  ScatteredStream() {
    content.resize(120 * 512 - 100);  // the last sector only partly used
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<unsigned char>(i * 7 + i / 512);
    auto built = testing::CompoundFileWith({{u"Workbook", content}});
    file = built.bytes;
    const uint32_t first = built.firstSectors[0];
    // Logical runs [0,10) [10,40) [40,41) [41,80) [80,120), stored as the 3rd, 1st, 5th, 2nd, 4th.
    const std::pair<uint32_t, uint32_t> runs[] = {{40, 41}, {0, 10}, {80, 120}, {10, 40}, {41, 80}};
    std::vector<uint32_t> place(120);
    uint32_t next = first;
    for (const auto& [begin, end] : runs) {
      for (uint32_t logical = begin; logical < end; ++logical) place[logical] = next++;
    }
    for (uint32_t logical = 0; logical < 120; ++logical) {
      const size_t from = logical * 512;
      const size_t count = std::min<size_t>(512, content.size() - from);
      std::copy_n(content.begin() + from, count, file.begin() + (place[logical] + 1) * 512);
      testing::PutU32(file, built.FatEntryOffset(place[logical]),
                      logical + 1 < 120 ? place[logical + 1] : testing::kEndOfChain);
    }
    testing::PutU32(file, built.DirectoryEntryOffset(1) + 116, place[0]);
  }
};

TEST(CfbStreamTest, PiecesReadAnywhereMatchTheWholeStream) {
  const ScatteredStream scattered;
  MemoryFile file(scattered.file);
  std::string detail;
  const auto compound = CompoundFile::Open(file, detail);
  ASSERT_TRUE(compound) << detail;
  const auto index = compound->FindRootStream(u"Workbook");
  ASSERT_TRUE(index);
  Bytes whole;
  ASSERT_TRUE(compound->ReadStream(*index, whole, detail)) << detail;
  ASSERT_EQ(whole, scattered.content);

  const auto stream = compound->OpenStream(*index, detail);
  ASSERT_TRUE(stream) << detail;
  ASSERT_EQ(stream->Size(), scattered.content.size());
  const struct {
    size_t offset, count;
  } reads[] = {
      {0, scattered.content.size()},  // everything at once
      {0, 1},
      {511, 2},        // across the first sector's end, inside a run
      {5119, 600},     // from the end of one run into the next, stored elsewhere
      {20479, 2},      // around the single-sector run
      {20000, 21000},  // over several runs
      {scattered.content.size() - 1, 1},
      {scattered.content.size(), 0},
  };
  for (const auto& read : reads) {
    SCOPED_TRACE(::testing::Message() << read.offset << " + " << read.count);
    Bytes piece(read.count);
    ASSERT_TRUE(stream->ReadAt(read.offset, piece));
    EXPECT_TRUE(std::equal(piece.begin(), piece.end(), scattered.content.begin() + read.offset));
  }
  Bytes past(2);
  EXPECT_FALSE(stream->ReadAt(scattered.content.size() - 1, past));
  EXPECT_FALSE(stream->ReadAt(scattered.content.size() + 1, std::span(past).first(0)));
}

}  // namespace
}  // namespace morvane
