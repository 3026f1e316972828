// The built-in spreadsheet server: addresses, the used range, cell reads and its life cycle.
#include "load/builtin_spreadsheet.h"

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/program_globals.h"
#include "platform/headless/headless_binding.h"

namespace morvane {
namespace {

TEST(CellAddressTest, ParsesAddressesAndRefusesTheRest) {
  struct Case {
    const char* address;
    int32_t column, row;  // 0, 0: malformed
  };
  const Case cases[] = {
      {"A1", 1, 1},        {"a12", 1, 12}, {"$A$3", 1, 3},
      {"B7", 2, 7},        {"AA1", 27, 1}, {"XFD1048576", 16384, 1048576},
      {"XFE1", 0, 0},      {"A0", 0, 0},   {"A1048577", 0, 0},
      {"A12345678", 0, 0}, {"", 0, 0},     {"1", 0, 0},
      {"A", 0, 0},         {"A1 ", 0, 0},  {" A1", 0, 0},
      {"AAAA1", 0, 0},     {"A-1", 0, 0},  {"A1:A2", 0, 0},
      {"$$A1", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const CellAddress parsed = ParseCellAddress(c.address);
    EXPECT_EQ(parsed.column, c.column);
    EXPECT_EQ(parsed.row, c.row);
  }
}

// A reader that gives "a", "b" in A1:A2 and a used range down to row 5, or fails.
WorkbookReadResult FakeRead(const Text& path) {
  if (path != "names.xlsx") return {false, {}, {WorkbookError::CannotOpenFile, "fake"}};
  FirstSheetColumn column;
  column.lastUsedRow = 5;
  column.texts.Set(0, "a");
  column.texts.Set(1, "b");
  return {true, std::move(column), {}};
}

class BuiltinSpreadsheetTest : public testing::Test {
 protected:
  BuiltinSpreadsheetTest() : server(&FakeRead) {}

  bool Open(const Text& path) {
    server.CreateApplication();
    server.SetApplicationVisible(false);
    server.AttachWorkbook();
    return server.OpenWorkbook(path);
  }
  double UsedRows() {
    return server.ReadNumber(server.ReadObject(server.ReadObject(server.GetSheet(), "UsedRange"), "Rows"),
                             "Count");
  }
  Text Read(const Text& start, const Text& end) {
    server.SetRangeStart(start);
    server.SetRangeEnd(end);
    return server.ReadText(server.GetRange(), "Value");
  }

  BuiltinSpreadsheet server;
};

TEST_F(BuiltinSpreadsheetTest, ReadsColumnAOfTheOpenedWorkbook) {
  ASSERT_TRUE(Open("names.xlsx"));
  server.SelectSheet(0);
  EXPECT_EQ(UsedRows(), 5.0);
  struct Case {
    const char* start;
    const char* end;
    const char* text;
  };
  const Case cases[] = {
      {"A1", "A1", "a"}, {"A2", "A2", "b"}, {"a2", "$A$2", "b"}, {"A3", "A3", ""},  // below the texts
      {"A5", "A5", ""},  {"A9", "A9", ""},  {"B1", "B1", ""},    {"A1", "A2", ""},  // a block
      {"A1", "B1", ""},  {"A1", "A-1", ""}, {"", "A1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.start) + ":" + c.end);
    EXPECT_EQ(Read(c.start, c.end), c.text);
  }
}

TEST_F(BuiltinSpreadsheetTest, MalformedAddressLeavesNoCurrentRange) {
  ASSERT_TRUE(Open("names.xlsx"));
  EXPECT_EQ(Read("A1", "A1"), "a");
  server.SetRangeStart("A1");
  server.SetRangeEnd("A1x");
  EXPECT_EQ(server.GetRange(), nullptr);
}

TEST_F(BuiltinSpreadsheetTest, CellHeldByTheCallerKeepsItsRowWhenTheNextIsTaken) {
  ASSERT_TRUE(Open("names.xlsx"));
  std::vector<ObjectReference> held;
  for (const char* address : {"A1", "A2", "A1", "A2", "A1"}) {
    server.SetRangeStart(address);
    server.SetRangeEnd(address);
    held.push_back(server.GetRange());
  }
  const char* expected[] = {"a", "b", "a", "b", "a"};
  for (std::size_t i = 0; i < held.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(server.ReadText(held[i], "Value"), expected[i]);
  }
  // And the pass-by-pass pattern of the load: the previous cell replaced by the next.
  ObjectReference cell;
  for (const char* address : {"A1", "A2", "A1"}) {
    server.SetRangeStart(address);
    server.SetRangeEnd(address);
    ObjectReference previous = cell;
    cell = server.GetRange();
    EXPECT_NE(cell, previous);
    EXPECT_EQ(server.ReadText(cell, "Value"), address == std::string("A2") ? "b" : "a");
  }
}

TEST_F(BuiltinSpreadsheetTest, FailedOpenLeavesTheEmptyWorkbookCurrent) {
  EXPECT_FALSE(Open("missing.xlsx"));
  EXPECT_EQ(server.LastFailure().error, WorkbookError::CannotOpenFile);
  ASSERT_NE(server.GetSheet(), nullptr);
  EXPECT_EQ(UsedRows(), 0.0);
  EXPECT_EQ(Read("A1", "A1"), "");
  EXPECT_FALSE(server.OpenWorkbook(""));
}

TEST_F(BuiltinSpreadsheetTest, NothingWorksBeforeTheApplicationOrAfterItQuits) {
  EXPECT_FALSE(server.OpenWorkbook("names.xlsx"));  // no application yet
  server.AttachWorkbook();
  EXPECT_FALSE(server.OpenWorkbook("names.xlsx"));
  EXPECT_EQ(server.GetSheet(), nullptr);

  ASSERT_TRUE(Open("names.xlsx"));
  server.CloseWorkbooks();
  EXPECT_EQ(server.GetSheet(), nullptr);
  EXPECT_EQ(server.GetRange(), nullptr);
  server.DetachWorkbook();
  server.QuitApplication();
  server.ReleaseApplication();
  EXPECT_FALSE(server.OpenWorkbook("names.xlsx"));
  // A new load starts afresh.
  ASSERT_TRUE(Open("names.xlsx"));
  EXPECT_EQ(UsedRows(), 5.0);
}

TEST_F(BuiltinSpreadsheetTest, SelectSheetKnowsOnlyTheFirstSheet) {
  ASSERT_TRUE(Open("names.xlsx"));
  const ObjectReference first = server.GetSheet();
  for (int32_t index : {0, 2, -1}) {
    SCOPED_TRACE(index);
    server.SelectSheet(index);
    EXPECT_EQ(server.GetSheet(), first);
  }
  server.SelectSheet(1);
  EXPECT_EQ(server.GetSheet(), first);
}

TEST_F(BuiltinSpreadsheetTest, UnknownNamesAndObjectsReadAsNothing) {
  ASSERT_TRUE(Open("names.xlsx"));
  const ObjectReference sheet = server.GetSheet();
  server.SetRangeStart("A1");
  server.SetRangeEnd("A1");
  const ObjectReference cell = server.GetRange();
  EXPECT_EQ(server.ReadObject(sheet, "Cells"), nullptr);
  EXPECT_EQ(server.ReadObject(nullptr, "UsedRange"), nullptr);
  EXPECT_EQ(server.ReadNumber(sheet, "Count"), 0.0);
  EXPECT_EQ(server.ReadNumber(cell, "Width"), 0.0);
  EXPECT_EQ(server.ReadNumber(nullptr, "Count"), 0.0);
  EXPECT_EQ(server.ReadText(cell, "Formula"), "");
  EXPECT_EQ(server.ReadText(sheet, "Value"), "");
  EXPECT_EQ(server.ReadText(nullptr, "Value"), "");
  // Another server's object is not mistaken for one of ours.
  struct Foreign : SpreadsheetObject {};
  EXPECT_EQ(server.ReadText(std::make_shared<Foreign>(), "Value"), "");
  // Names resolve without regard to case.
  EXPECT_EQ(server.ReadText(cell, "value"), "a");
  EXPECT_EQ(server.ReadNumber(server.ReadObject(server.ReadObject(sheet, "usedrange"), "ROWS"), "count"),
            5.0);
}

TEST(BuiltinSpreadsheetLimitsTest, UsedRangeNeverReachesPastTheLastRowASheetCanHave) {
  BuiltinSpreadsheet server([](const Text&) { return WorkbookReadResult{true, {2000000000, {}}, {}}; });
  server.CreateApplication();
  server.AttachWorkbook();
  ASSERT_TRUE(server.OpenWorkbook("big.xlsx"));
  const ObjectReference rows = server.ReadObject(server.ReadObject(server.GetSheet(), "UsedRange"), "Rows");
  EXPECT_EQ(server.ReadNumber(rows, "Count"), 1048576.0);
}

// Through the whole load: names in A3:A10 only are read from A1 to A10, two empty items first.
// (The server stands in as the automation server, so this runs without a file reader.)
TEST(BuiltinSpreadsheetLoadTest, UsedRangeBelowRowOneIsReadFromA1ToItsLastRow) {
  HeadlessBinding binding;
  MainWindow window(binding);
  binding.Attach(window);
  binding.automationFactory = []() -> std::unique_ptr<SpreadsheetOperations> {
    return std::make_unique<BuiltinSpreadsheet>([](const Text&) {
      FirstSheetColumn column;
      column.lastUsedRow = 10;
      for (int row = 3; row <= 10; ++row) column.texts.Set(row - 1, "name" + std::to_string(row));
      return WorkbookReadResult{true, std::move(column), {}};
    });
  };
  binding.QueueOpenFileAnswer(Text("/nonexistent-morvane-folder/from_a3.xlsx"));
  window.Click(Control::按钮1);

  EXPECT_EQ(RowCount, 10);
  ASSERT_EQ(window.Names().Count(), 10);
  for (int32_t i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(window.Names().GetItemText(i), i < 2 ? "" : "name" + std::to_string(i + 1));
  }
  EXPECT_TRUE(binding.Messages().empty());
}

}  // namespace
}  // namespace morvane
