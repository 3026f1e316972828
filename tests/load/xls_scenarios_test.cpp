// The .xls reader on files saved by real writers: each scenario as BIFF8 and BIFF5 must agree.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "load/workbook.h"
#include "platform/codepage936.h"

namespace morvane {
namespace {

const std::string kFolder = std::string(MORVANE_FIXTURES_DIR) + "/xls/";

Text U(const char* utf8) { return Utf8ToCodepage936(utf8); }

// Through the one open function, which picks the reader by signature.
WorkbookReadResult ReadXls(const std::string& name) { return ReadFirstSheetColumn(Text(kFolder + name)); }

// Every row from A1 to the last used row, rows past the stored texts as the empty text.
std::vector<Text> Rows(const FirstSheetColumn& column) {
  std::vector<Text> rows(static_cast<size_t>(std::max(column.lastUsedRow, 0)));
  for (size_t i = 0; i < rows.size() && i < column.texts.size(); ++i) rows[i] = column.texts[i];
  return rows;
}

void ExpectRows(const std::string& file, int32_t lastUsedRow, const std::vector<Text>& expected) {
  SCOPED_TRACE(file);
  const auto result = ReadXls(file);
  ASSERT_TRUE(result.ok) << result.failure.detail;
  EXPECT_EQ(result.column.lastUsedRow, lastUsedRow);
  EXPECT_LE(result.column.texts.size(), static_cast<size_t>(result.column.lastUsedRow));
  EXPECT_EQ(Rows(result.column), expected);
}

void ExpectRows(const std::string& file, const std::vector<Text>& expected) {
  ExpectRows(file, static_cast<int32_t>(expected.size()), expected);
}

struct Scenario {
  const char* name;
  int32_t lastUsedRow;
  std::vector<Text> rows;  // A1 .. A(lastUsedRow)
};

// The workbook scenario table's rows, for the scenarios saved as .xls (BIFF8 by LibreOffice) and
// .biff5.xls (BIFF5 by Gnumeric) from the same .xlsx files.
TEST(XlsScenariosTest, EachScenarioReadsTheSameAsBiff8AndBiff5) {
  const Scenario scenarios[] = {
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
      {"formulas", 6, {"3", "xy.txt", "-1", "", "", "last"}},
      {"empty_inside", 3, {"a.txt", "", "c.txt"}},
      {"range_from_a3",
       10,
       {"", "", "n3.txt", "n4.txt", "n5.txt", "n6.txt", "n7.txt", "n8.txt", "n9.txt", "n10.txt"}},
      {"other_column_last", 5, {"a.txt", "b.txt", "", "", ""}},
      {"first_sheet_last", 1, {"first.txt"}},
      {"macro", 2, {"macro.txt", "book.txt"}},
      {"strict", 2, {"strict.txt", "2024/1/1"}},
      {"date1904", 3, {"2024/1/1", "2024/1/1 18:30:00", "0"}},
      {"rich_phonetic", 3, {"rich_bold.txt", "\x9Dh\xD7\xD6.txt", "under_x005F_score"}},
      {"outside_cp936", 2, {"a?b.txt", "?\xD5\xC5.txt"}},
      {"empty", 0, {}},
  };
  for (const auto& scenario : scenarios) {
    for (const char* format : {".xls", ".biff5.xls"}) {
      ExpectRows(scenario.name + std::string(format), scenario.lastUsedRow, scenario.rows);
    }
  }
}

TEST(XlsScenariosTest, SharedStringsBrokenAcrossContinueRecordsInBothEncodings) {
  // The fixture script checks that Latin (8-bit) and Chinese (UTF-16) strings break across
  // CONTINUE records; the BIFF5 twin stores the same strings in LABEL records.
  std::vector<Text> rows;
  char buffer[32];
  for (int row = 1; row <= 300; ++row) {
    std::snprintf(buffer, sizeof buffer, "latin string %04d ", row);
    rows.push_back(buffer + std::string(60, 'x'));
  }
  for (int row = 301; row <= 600; ++row) {
    std::snprintf(buffer, sizeof buffer, "%04d", row);
    std::string utf8 = "中文字符串" + std::string(buffer);
    for (int i = 0; i < 30; ++i) utf8 += "汉字";
    rows.push_back(U(utf8.c_str()));
  }
  ExpectRows("sst_continue.xls", rows);
  ExpectRows("sst_continue.biff5.xls", rows);
}

TEST(XlsScenariosTest, FirstSheetInTabOrderIsReadWhereverItsRecordsLie) {
  // The sheet named first by BOUNDSHEET has its records after the other sheet's.
  ExpectRows("first_sheet_second.xls", {"second sheet"});
}

TEST(XlsScenariosTest, PasswordProtectedWorkbookIsRefused) {
  const auto result = ReadXls("encrypted.xls");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.failure.error, WorkbookError::Encrypted);
  EXPECT_TRUE(result.column.texts.empty());
}

}  // namespace
}  // namespace morvane
