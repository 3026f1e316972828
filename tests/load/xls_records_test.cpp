// BIFF record cases built by hand: code pages, cell encodings, nested substreams and refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "load/biff.h"
#include "load/byte_reader.h"
#include "load/cfb.h"
#include "load/workbook.h"
#include "platform/codepage936.h"
#include "xls_test_builder.h"

namespace morvane {
namespace {

using testing::AppendU16;
using testing::AppendU32;
using testing::Bytes;
using testing::Join;
using testing::Record;

WorkbookReadResult ReadFile(const std::u16string& streamName, const Bytes& stream) {
  const auto built = testing::CompoundFileWith({{streamName, stream}});
  MemoryFile file(built.bytes);
  return ReadXlsFirstSheetColumn(file);
}

// A cell record's row, column and XF.
Bytes Cell(uint16_t row, uint16_t column, std::initializer_list<unsigned char> rest = {}) {
  Bytes payload;
  AppendU16(payload, row);
  AppendU16(payload, column);
  AppendU16(payload, 15);
  payload.insert(payload.end(), rest);
  return payload;
}

Bytes NumberRecord(uint16_t row, uint16_t column, double value) {
  Bytes payload = Cell(row, column);
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  AppendU32(payload, static_cast<uint32_t>(bits));
  AppendU32(payload, static_cast<uint32_t>(bits >> 32));
  return Record(0x0203, payload);
}

// BIFF5 LABEL: a 16-bit count, then the bytes in the workbook's code page.
Bytes Biff5Label(uint16_t row, const std::string& bytes) {
  Bytes payload = Cell(row, 0);
  AppendU16(payload, static_cast<uint16_t>(bytes.size()));
  payload.insert(payload.end(), bytes.begin(), bytes.end());
  return Record(0x0204, payload);
}

Bytes CodePage(uint16_t codePage) {
  Bytes payload;
  AppendU16(payload, codePage);
  return Record(0x0042, payload);
}

void ExpectColumn(const WorkbookReadResult& result, int32_t lastUsedRow, const std::vector<Text>& texts) {
  ASSERT_TRUE(result.ok) << result.failure.detail;
  EXPECT_EQ(result.column.lastUsedRow, lastUsedRow);
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(result.column.texts.Get(i), texts[i]) << "row " << i + 1;
}

TEST(XlsRecordsTest, Biff5StringsFollowTheCodePage) {
  const std::string gbk = *Utf8ToCodepage936Exactly("张三.txt");
  {
    SCOPED_TRACE("code page 936: the bytes are already the program's text");
    ExpectColumn(ReadFile(u"Book", testing::WorkbookStream(0x0500, CodePage(936), Biff5Label(0, gbk))), 1,
                 {gbk});
  }
  {
    SCOPED_TRACE("code page 1252");
    ExpectColumn(
        ReadFile(u"Book", testing::WorkbookStream(0x0500, CodePage(1252), Biff5Label(0, "\x80 caf\xE9"))), 1,
        {Utf8ToCodepage936("€ café")});
  }
}

TEST(XlsRecordsTest, NumberEncodingsAndMultipleCellRecords) {
  Bytes mulRk = Cell(1, 0);
  mulRk.resize(4);  // row and first column only
  // RK: 12 as an integer, 1.23 as an integer / 100, 3.5 as the high half of a double.
  for (uint32_t rk : {(12u << 2) | 2u, (123u << 2) | 3u, 0x400C0000u}) {
    AppendU16(mulRk, 15);
    AppendU32(mulRk, rk);
  }
  AppendU16(mulRk, 2);
  Bytes rkNegative = Cell(0, 0);
  AppendU32(rkNegative, static_cast<uint32_t>(-7 * 4) | 2u);
  Bytes mulBlank = Cell(6, 3);
  AppendU16(mulBlank, 15);
  AppendU16(mulBlank, 4);
  const Bytes sheet = Join({Record(0x027E, rkNegative), Record(0x00BD, mulRk), NumberRecord(2, 0, 0.1 + 0.2),
                            Record(0x00BE, mulBlank)});
  ExpectColumn(ReadFile(u"Workbook", testing::WorkbookStream(0x0600, {}, sheet)), 7,
               {"-7", "12", "0.3", "", "", "", ""});
}

TEST(XlsRecordsTest, FormulaTextComesFromTheFollowingStringRecord) {
  auto formula = [](uint16_t row, uint16_t column) {
    return Record(0x0006, Cell(row, column, {0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));
  };
  auto stringRecord = [](const std::string& text) {
    Bytes payload;
    AppendU16(payload, static_cast<uint16_t>(text.size()));
    payload.push_back(0);
    payload.insert(payload.end(), text.begin(), text.end());
    return Record(0x0207, payload);
  };
  // B1's string must not land in A1; A2's arrives after a SHRFMLA-like record in between.
  const Bytes sheet = Join({formula(0, 1), stringRecord("from B1"), formula(1, 0), Record(0x04BC, {0, 0}),
                            stringRecord("from A2")});
  ExpectColumn(ReadFile(u"Workbook", testing::WorkbookStream(0x0600, {}, sheet)), 2, {"", "from A2"});
}

// Cell records out of row order or repeated: the record read last gives the row's text.
TEST(XlsRecordsTest, CellsOutOfRowOrderOrRepeatedKeepTheLastRecord) {
  const Bytes sheet =
      Join({NumberRecord(2, 0, 3), NumberRecord(0, 0, 1), NumberRecord(2, 0, 33), NumberRecord(4, 0, 5),
            NumberRecord(0, 0, 11), NumberRecord(4, 0, 55), NumberRecord(6, 1, 9)});
  const auto result = ReadFile(u"Workbook", testing::WorkbookStream(0x0600, {}, sheet));
  ASSERT_TRUE(result.ok) << result.failure.detail;
  EXPECT_EQ(result.column.lastUsedRow, 7);
  EXPECT_EQ(result.column.texts.ToVector(), (std::vector<Text>{"11", "", "33", "", "55"}));
}

// The stream is read through a window far smaller than this one: shared strings in both
// encodings broken across CONTINUE records, labels, and formula texts whose STRING records go on in CONTINUE records, of
// many lengths, so that records and their continuations straddle every edge of the window.
TEST(XlsRecordsTest, AStreamManyWindowsLongReadsLikeAShortOne) {
  constexpr size_t kRecordRoom = 8224;
  // Records of one type and its CONTINUE records; every part begins with a flags byte of its own.
  struct Continued {
    uint16_t type;
    std::vector<Bytes> records{Bytes()};
    void Add(const Bytes& bytes) { records.back().insert(records.back().end(), bytes.begin(), bytes.end()); }
    // Characters one byte each, or UTF-16LE two bytes each, never split inside a character. As
    // Excel may, UTF-16 characters after a break that all fit in one byte go on one byte each.
    void AddCharacters(std::string text, bool twoBytes = false) {
      for (size_t done = 0; done < text.size();) {
        if (kRecordRoom - records.back().size() < (twoBytes ? 2 : 1)) {
          bool narrow = twoBytes;
          for (size_t i = done + 1; i < text.size(); i += 2) narrow = narrow && text[i] == 0;
          if (narrow) {
            std::string rest;
            for (size_t i = done; i < text.size(); i += 2) rest.push_back(text[i]);
            text = text.substr(0, done) + rest;
            twoBytes = false;
          }
          records.push_back(Bytes{twoBytes ? uint8_t{1} : uint8_t{0}});
        }
        const size_t width = twoBytes ? 2 : 1;
        const size_t room = (kRecordRoom - records.back().size()) / width * width;
        const size_t take = std::min(text.size() - done, room);
        records.back().insert(records.back().end(), text.begin() + done, text.begin() + done + take);
        done += take;
      }
    }
    Bytes Records() const {
      Bytes out = Record(type, records[0]);
      for (size_t i = 1; i < records.size(); ++i) out = Join({out, Record(0x003C, records[i])});
      return out;
    }
  };

  constexpr uint32_t kShared = 20000;
  std::vector<std::string> shared;
  Continued sst{0x00FC};
  Bytes counts;
  AppendU32(counts, kShared);
  AppendU32(counts, kShared);
  sst.Add(counts);
  // UTF-16 strings, here and there and in a run of 6,000 (longer than one conversion takes):
  // "名单" and the number, read back in code page 936, one with an emoji code page 936 lacks.
  const std::string names16("\x0D\x54\x55\x53", 4);
  const std::string names936 = *Utf8ToCodepage936Exactly("名单");
  for (uint32_t i = 0; i < kShared; ++i) {
    const bool twoBytes = i % 5 == 4 || i >= kShared - 6000;
    std::string characters;
    if (twoBytes) {
      shared.push_back(names936 + std::to_string(i));
      characters = names16;
      if (i == 14700) {  // the string of row 2100
        shared.back() = names936 + "?" + std::to_string(i);
        characters += std::string("\x3D\xD8\x00\xDE", 4);  // U+1F600
      }
      for (const char digit : std::to_string(i)) characters += std::string{digit, '\0'};
    } else {
      shared.push_back("shared-" + std::to_string(i) + std::string(i % 40, 'x'));
      characters = shared.back();
    }
    if (kRecordRoom - sst.records.back().size() < 4) sst.records.push_back(Bytes());
    Bytes header;
    AppendU16(header, static_cast<uint16_t>(characters.size() / (twoBytes ? 2 : 1)));
    header.push_back(twoBytes ? 1 : 0);
    sst.Add(header);
    sst.AddCharacters(characters, twoBytes);
  }

  constexpr uint16_t kRows = 15000;
  std::vector<Text> expected;
  Bytes sheet;
  for (uint16_t row = 0; row < kRows; ++row) {
    Bytes record;
    if (row % 3 == 0) {
      Bytes payload = Cell(row, 0);
      AppendU32(payload, row * 7u % kShared);
      record = Record(0x00FD, payload);
      expected.push_back(shared[row * 7u % kShared]);
    } else if (row % 3 == 1) {
      const std::string text = "label-" + std::to_string(row) + std::string(row % 200, 'y');
      Bytes payload = Cell(row, 0);
      AppendU16(payload, static_cast<uint16_t>(text.size()));
      payload.push_back(0);
      payload.insert(payload.end(), text.begin(), text.end());
      record = Record(0x0204, payload);
      expected.push_back(text);
    } else {
      const std::string text = "formula-" + std::to_string(row) + std::string(200 + row % 300, 'z');
      Continued string{0x0207};
      Bytes header;
      AppendU16(header, static_cast<uint16_t>(text.size()));
      header.push_back(0);
      string.Add(header);
      string.AddCharacters(text.substr(0, text.size() / 2));
      string.records.push_back(Bytes{0});
      string.AddCharacters(text.substr(text.size() / 2));
      record = Join(
          {Record(0x0006, Cell(row, 0, {0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0})), string.Records()});
      expected.push_back(text);
    }
    sheet.insert(sheet.end(), record.begin(), record.end());
  }
  const Bytes stream = testing::WorkbookStream(0x0600, sst.Records(), sheet);
  ASSERT_GT(stream.size(), 3u << 20);

  const auto result = ReadBiffFirstSheetColumn(stream);
  ASSERT_TRUE(result.ok) << result.failure.detail;
  EXPECT_EQ(result.column.lastUsedRow, kRows);
  EXPECT_TRUE(result.column.texts.ToVector() == expected);
}

TEST(XlsRecordsTest, CellsOfAnEmbeddedChartAreNotTheSheet) {
  const Bytes chart = Join({testing::Bof(0x0600, 0x20), NumberRecord(99, 0, 5), testing::Eof()});
  const Bytes sheet = Join({NumberRecord(0, 0, 1), chart, NumberRecord(1, 0, 2)});
  ExpectColumn(ReadFile(u"Workbook", testing::WorkbookStream(0x0600, {}, sheet)), 2, {"1", "2"});
}

TEST(XlsRecordsTest, RefusedWorkbooks) {
  Bytes sstIndex = Cell(0, 0);
  AppendU32(sstIndex, 3);
  Bytes emptySst;
  AppendU32(emptySst, 0);
  AppendU32(emptySst, 0);
  Bytes farSheet = testing::WorkbookStream(0x0600, {}, {});
  testing::PutU32(farSheet, 20 + 4, 0x7FFFFFF0);  // BOUNDSHEET's position, after the 20-byte BOF
  const struct {
    const char* what;
    std::u16string streamName;
    Bytes stream;
    WorkbookError error;
  } cases[] = {
      {"FILEPASS in BIFF8", u"Workbook", testing::WorkbookStream(0x0600, Record(0x002F, {0, 0}), {}),
       WorkbookError::Encrypted},
      {"FILEPASS in BIFF5", u"Book", testing::WorkbookStream(0x0500, Record(0x002F, {0, 0}), {}),
       WorkbookError::Encrypted},
      {"BIFF4 workbook", u"Book", Join({Record(0x0409, {0, 0, 0, 1}), testing::Eof()}),
       WorkbookError::Unsupported},
      {"BOF of an unknown version", u"Workbook", Join({testing::Bof(0x0400, 5), testing::Eof()}),
       WorkbookError::Unsupported},
      {"no BOF", u"Workbook", Join({NumberRecord(0, 0, 1)}), WorkbookError::Damaged},
      {"LABELSST past the SST", u"Workbook",
       testing::WorkbookStream(0x0600, Record(0x00FC, emptySst), Record(0x00FD, sstIndex)),
       WorkbookError::Damaged},
      {"sheet position past the stream", u"Workbook", farSheet, WorkbookError::Damaged},
      {"cell record too short", u"Workbook", testing::WorkbookStream(0x0600, {}, Record(0x0203, Bytes(8, 0))),
       WorkbookError::Damaged},
      {"globals without EOF", u"Workbook", testing::Bof(0x0600, 5), WorkbookError::Damaged},
      {"password-protected .xlsx", u"EncryptedPackage", Bytes(100, 0), WorkbookError::Encrypted},
      {"no workbook stream", u"WordDocument", Bytes(100, 0), WorkbookError::Unsupported},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto result = ReadFile(c.streamName, c.stream);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failure.error, c.error) << result.failure.detail;
  }
}

}  // namespace
}  // namespace morvane
