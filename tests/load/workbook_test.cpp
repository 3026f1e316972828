// One table of workbook scenarios, each saved by a real writer (tests/fixtures/make_fixtures.py),
// checked through the one open function in every format that has the file.
#include "load/workbook.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/files.h"

namespace morvane {
namespace {

struct Scenario {
  const char* name;
  int32_t lastUsedRow;
  std::vector<Text> rows;  // A1 .. A(lastUsedRow)
  // The formats this scenario is saved in: "<name>.<format>" under tests/fixtures, the .xls ones
  // (BIFF8 from LibreOffice, BIFF5 from Gnumeric, made from the .xlsx) under tests/fixtures/xls.
  std::vector<const char*> formats = {"xlsx", "xls", "biff5.xls"};
};

const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios = {
      {"text", 3, {"a.txt", "b.txt", "c.txt"}},
      {"chinese",
       3,
       {"\xD5\xC5\xC8\xFD.txt", "\xC0\xEE\xCB\xC4\xB5\xC4\xB1\xA8\xB8\xE6.doc",
        "\xC4\xBF\xC2\xBC\\\xCE\xC4\xBC\xFE.pdf"}},
      {"numbers",
       9,
       {"12", "0.3", "0.333333333333333", "123456789012345", "1.23456789012346E+15", "1E-05", "-12.5",
        "0.0001", "45292"}},
      {"dates", 6, {"2024/1/1", "2024/1/1 12:00:00", "07:12:00", "2024/1/1", "45292", "2024/1/1 06:00:00"}},
      {"booleans", 2, {"-1", "0"}},
      // Cached results saved by LibreOffice: a number, a string, a boolean, two errors.
      {"formulas", 6, {"3", "xy.txt", "-1", "", "", "last"}},
      {"empty_inside", 3, {"a.txt", "", "c.txt"}},
      // Rows are read from A1 to the last used row, so A9 and A10 are not lost.
      {"range_from_a3",
       10,
       {"", "", "n3.txt", "n4.txt", "n5.txt", "n6.txt", "n7.txt", "n8.txt", "n9.txt", "n10.txt"}},
      {"other_column_last", 5, {"a.txt", "b.txt", "", "", ""}},
      {"first_sheet_last", 1, {"first.txt"}},
      {"macro", 2, {"macro.txt", "book.txt"}, {"xlsm", "xls", "biff5.xls"}},
      {"strict", 2, {"strict.txt", "2024/1/1"}},
      {"date1904", 3, {"2024/1/1", "2024/1/1 18:30:00", "0"}},
      // Inline strings, cells and rows without r, a formula string with an escape, an ISO date cell.
      // (Not as .xls: the formula's stored result differs from what LibreOffice computes.)
      {"inline_strings",
       7,
       {"inline.txt", "rich text.txt", "", "a&b\ttab.txt", "2024/1/1 12:00:00", "", ""},
       {"xlsx"}},
      // Rich-text runs joined, the phonetic run left out, an escaped underscore kept literal.
      {"rich_phonetic", 3, {"rich_bold.txt", "\x9Dh\xD7\xD6.txt", "under_x005F_score"}},
      {"outside_cp936", 2, {"a?b.txt", "?\xD5\xC5.txt"}},
      {"empty", 0, {}},
      // The same workbook through other ZIP structures.
      {"zip_descriptors", 3, {"a.txt", "b.txt", "c.txt"}, {"xlsx"}},
      {"zip64", 3, {"a.txt", "b.txt", "c.txt"}, {"xlsx"}},
  };
  return scenarios;
}

std::string FixturePath(const std::string& file) { return std::string(MORVANE_FIXTURES_DIR) + "/" + file; }

void ExpectColumn(const WorkbookReadResult& result, const Scenario& scenario) {
  ASSERT_TRUE(result.ok) << result.failure.detail;
  EXPECT_EQ(result.column.lastUsedRow, scenario.lastUsedRow);
  EXPECT_LE(result.column.texts.size(), static_cast<std::size_t>(result.column.lastUsedRow));
  std::vector<Text> rows;
  for (int32_t i = 0; i < result.column.lastUsedRow; ++i)
    rows.push_back(result.column.texts.Get(static_cast<std::size_t>(i)));
  EXPECT_EQ(rows, scenario.rows);
}

TEST(Workbook, ScenariosInEveryFormat) {
  for (const auto& scenario : Scenarios()) {
    for (const char* format : scenario.formats) {
      const std::string extension = format;
      const std::string folder = extension.ends_with("xls") ? "xls/" : "";
      const std::string file = folder + scenario.name + "." + extension;
      SCOPED_TRACE(file);
      ExpectColumn(ReadFirstSheetColumn(Text(FixturePath(file))), scenario);
      // The same bytes from memory, as the fuzz targets read them.
      const ByteRun bytes = ReadWholeFile(FixturePath(file));
      ExpectColumn(ReadFirstSheetColumnFromBytes(bytes), scenario);
    }
  }
}

TEST(Workbook, FilesThatCannotBeRead) {
  struct Case {
    const char* file;
    WorkbookError error;
  } cases[] = {
      {"missing.xlsx", WorkbookError::CannotOpenFile},
      {"", WorkbookError::CannotOpenFile},
      {"not_a_workbook.xlsx", WorkbookError::UnknownFormat},
      {"truncated.xlsx", WorkbookError::Damaged},
      {"binary.xlsb", WorkbookError::Unsupported},
      // Found by fuzz_zip: an extra field longer than what was left of its header kept the
      // central directory loop turning in place.
      {"fuzz_extra_field_loop.xlsx", WorkbookError::Damaged},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto result = ReadFirstSheetColumn(Text(FixturePath(c.file)));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failure.error, c.error) << result.failure.detail;
    EXPECT_TRUE(result.column.texts.empty());
    EXPECT_EQ(result.column.lastUsedRow, 0);
  }
  // The signature decides, not the name: a workbook saved under another extension still opens.
  EXPECT_TRUE(ReadFirstSheetColumn(Text(FixturePath("macro.xlsm"))).ok);
  EXPECT_EQ(ReadFirstSheetColumnFromBytes({}).failure.error, WorkbookError::UnknownFormat);
}

TEST(Workbook, EveryPrefixOfAWorkbookFailsCleanly) {
  // A file cut anywhere (a download stopped, a copy interrupted) is reported, never read as a
  // shorter list.
  const ByteRun bytes = ReadWholeFile(FixturePath("text.xlsx"));
  ASSERT_FALSE(bytes.empty());
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    const auto result = ReadFirstSheetColumnFromBytes(std::span(bytes.data(), size));
    ASSERT_FALSE(result.ok) << size;
  }
}

}  // namespace
}  // namespace morvane
