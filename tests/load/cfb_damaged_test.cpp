// Broken compound files are refused as damaged, without a crash or a hang.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "load/byte_reader.h"
#include "load/cfb.h"
#include "load/workbook.h"
#include "services/files.h"
#include "xls_test_builder.h"

namespace morvane {
namespace {

using testing::Bytes;
using testing::PutU32;

Bytes FixtureBytes(const std::string& name) {
  return ReadWholeFile(std::string(MORVANE_FIXTURES_DIR) + "/xls/" + name);
}

WorkbookReadResult Read(const Bytes& bytes) {
  MemoryFile file(bytes);
  return ReadXlsFirstSheetColumn(file);
}

Bytes SmallWorkbook() {
  using testing::Record;
  Bytes number = {0, 0, 0, 0, 15, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F};  // A1 = 1
  return testing::WorkbookStream(0x0600, {}, Record(0x0203, number));
}

TEST(CfbDamagedTest, BuiltFilesOfBothVersionsReadBeforeTheyAreBroken) {
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    const auto result = Read(testing::CompoundFileWith({{u"Workbook", SmallWorkbook()}}, version).bytes);
    ASSERT_TRUE(result.ok) << result.failure.detail;
    EXPECT_EQ(result.column.texts.ToVector(), std::vector<Text>{"1"});
  }
}

TEST(CfbDamagedTest, BrokenStructuresAreRefused) {
  const auto built = testing::CompoundFileWith({{u"Workbook", SmallWorkbook()}});
  const uint32_t first = built.firstSectors[0];
  const struct {
    const char* what;
    std::function<void(Bytes&)> breakIt;
  } cases[] = {
      {"FAT chain loops back", [&](Bytes& b) { PutU32(b, built.FatEntryOffset(first + 3), first); }},
      {"FAT chain loops on itself", [&](Bytes& b) { PutU32(b, built.FatEntryOffset(first), first); }},
      {"FAT chain leaves the table", [&](Bytes& b) { PutU32(b, built.FatEntryOffset(first), 5000); }},
      {"FAT chain ends early",
       [&](Bytes& b) { PutU32(b, built.FatEntryOffset(first), testing::kEndOfChain); }},
      {"FAT sector beyond the file", [&](Bytes& b) { PutU32(b, 76, 90); }},
      {"more FAT sectors than the file holds", [&](Bytes& b) { PutU32(b, 44, 0x10000000); }},
      {"directory sector out of range", [&](Bytes& b) { PutU32(b, 48, 0xFFFFFF00); }},
      {"stream larger than the file",
       [&](Bytes& b) { PutU32(b, built.DirectoryEntryOffset(1) + 120, 0x7FFFFFFF); }},
      {"sector shift of 20", [&](Bytes& b) { b[30] = 20; }},
      {"cut inside the stream", [&](Bytes& b) { b.resize(b.size() - 1000); }},
      {"cut inside the header", [&](Bytes& b) { b.resize(300); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = built.bytes;
    c.breakIt(bytes);
    const auto result = Read(bytes);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failure.error, WorkbookError::Damaged) << result.failure.detail;
  }
}

TEST(CfbDamagedTest, DirectoryCycleEndsTheSearch) {
  auto built = testing::CompoundFileWith({{u"Other", Bytes(10, 0)}, {u"WORKBOOK", SmallWorkbook()}});
  // Entry 2's right sibling points back at entry 1: the walk must end and still find the stream.
  PutU32(built.bytes, built.DirectoryEntryOffset(2) + 72, 1);
  const auto result = Read(built.bytes);
  ASSERT_TRUE(result.ok) << result.failure.detail;
  EXPECT_EQ(result.column.texts.ToVector(), std::vector<Text>{"1"});
}

TEST(CfbDamagedTest, EveryPrefixIsRefusedOrReadWhole) {
  // A cut in the padding after the last stream's end loses nothing; any other cut is damage,
  // never a shorter column. text.xls keeps its workbook in the mini stream, sst_continue.xls in
  // ordinary sectors.
  for (const char* name : {"text.xls", "text.biff5.xls", "sst_continue.xls"}) {
    const Bytes whole = FixtureBytes(name);
    ASSERT_FALSE(whole.empty()) << name;
    const auto expected = Read(whole);
    ASSERT_TRUE(expected.ok) << name;
    const size_t step = whole.size() > 20000 ? 97 : 1;
    for (size_t keep = 0; keep < whole.size(); keep += step) {
      const auto result = Read(Bytes(whole.begin(), whole.begin() + keep));
      if (result.ok) {
        ASSERT_EQ(result.column.lastUsedRow, expected.column.lastUsedRow) << name << " cut to " << keep;
        ASSERT_EQ(result.column.texts.ToVector(), expected.column.texts.ToVector())
            << name << " cut to " << keep;
      } else {
        ASSERT_EQ(result.failure.error, WorkbookError::Damaged) << name << " cut to " << keep;
      }
    }
  }
}

}  // namespace
}  // namespace morvane
