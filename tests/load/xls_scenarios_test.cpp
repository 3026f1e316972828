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

WorkbookReadResult ReadXls(const std::string& name) {
  auto file = OpenReadOnlyFile(kFolder + name);
  if (!file) return {false, {}, {WorkbookError::CannotOpenFile, name}};
  return ReadXlsFirstSheetColumn(*file);
}

// Every row from A1 to the last used row, rows past the stored texts as the empty text.
std::vector<Text> Rows(const FirstSheetColumn& column) {
  std::vector<Text> rows(static_cast<size_t>(std::max(column.lastUsedRow, 0)));
  for (size_t i = 0; i < rows.size() && i < column.texts.size(); ++i) rows[i] = column.texts[i];
  return rows;
}

void ExpectRows(const std::string& file, const std::vector<Text>& expected) {
  SCOPED_TRACE(file);
  const auto result = ReadXls(file);
  ASSERT_TRUE(result.ok) << result.failure.detail;
  EXPECT_EQ(result.column.lastUsedRow, static_cast<int32_t>(expected.size()));
  const auto rows = Rows(result.column);
  for (size_t i = 0; i < rows.size() && i < expected.size(); ++i) {
    EXPECT_EQ(rows[i], expected[i]) << "row " << i + 1;
  }
}

struct Scenario {
  const char* name;
  std::vector<Text> rows;
};

TEST(XlsScenariosTest, EachScenarioReadsTheSameAsBiff8AndBiff5) {
  const Scenario scenarios[] = {
      {"text", {"a.txt", "b.txt", "c.txt"}},
      {"chinese", {U("张三.txt"), U("李四 报告.doc"), U("王五.xls")}},
      {"numbers", {"12", "3.5", "-7", "1.23456789012346E+15", "1E-05", "123456789012345", "0.1"}},
      // The last is the date's serial under a number format.
      {"dates", {"2024/1/1", "2024/1/1 12:00:00", "07:12:00", "45292"}},
      {"date1904", {"2024/1/1", "3.5"}},
      {"booleans", {"-1", "0"}},
      // =1+2, ="ab"&"cd", =1/0, =1>0, =NA(), ="" beside a number in B6.
      {"formulas", {"3", "abcd", "", "-1", "", ""}},
      // A blank row inside; the used range counts B2 too.
      {"empty_inside", {"first", "", "third"}},
      // Names in A3:A10: rows are read from A1 to the used range's last row.
      {"from_a3",
       {"", "", "name3.txt", "name4.txt", "name5.txt", "name6.txt", "name7.txt", "name8.txt", "name9.txt",
        "name10.txt"}},
      // The last used row is C5's.
      {"last_row_elsewhere", {"only", "", "", "", ""}},
      {"empty", {}},
      {"two_sheets", {"first sheet"}},
  };
  for (const auto& scenario : scenarios) {
    ExpectRows(std::string(scenario.name) + ".xls", scenario.rows);
    ExpectRows(std::string(scenario.name) + ".biff5.xls", scenario.rows);
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
