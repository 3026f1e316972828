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
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = column.texts.Get(i);
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

// The scenarios every format shares are in workbook_test.cpp; these are the .xls reader's own.
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
