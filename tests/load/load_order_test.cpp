// The load's order of operations, row count and failure handling, on a recording spreadsheet server.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_globals.h"
#include "app/program_texts.h"
#include "load/load.h"
#include "load/spreadsheet.h"
#include "platform/headless/headless_binding.h"

namespace morvane {
namespace {

// A path Morvane's own reader cannot open, so the load goes to the automation server.
const Text kServerOnlyPath = "/nonexistent-morvane-folder/names.xlsx";

using CallLog = std::vector<std::string>;

// An object handed out by the server; its release is recorded.
struct RecordedObject : SpreadsheetObject {
  RecordedObject(std::shared_ptr<CallLog> log, std::string name)
      : log(std::move(log)), name(std::move(name)) {}
  ~RecordedObject() override { log->push_back("~" + name); }
  std::shared_ptr<CallLog> log;
  std::string name;
};

// Records every call; opens only `openablePath`, counts `rowCount` rows and names row i "name<i>".
class RecordingServer : public SpreadsheetOperations {
 public:
  RecordingServer(std::shared_ptr<CallLog> log, Text openablePath, double rowCount)
      : log_(std::move(log)), openablePath_(std::move(openablePath)), rowCount_(rowCount) {}

  bool CreateApplication() override { return Record("CreateApplication"), true; }
  void SetApplicationVisible(bool visible) override {
    Record(std::string("SetApplicationVisible ") + (visible ? "true" : "false"));
  }
  void AttachWorkbook() override { Record("AttachWorkbook"); }
  bool OpenWorkbook(const Text& path) override {
    Record("OpenWorkbook " + path);
    return path == openablePath_;
  }
  void ActivateWorkbook() override { Record("ActivateWorkbook"); }
  void ActivateSheet() override { Record("ActivateSheet"); }
  void SelectSheet(int32_t index) override { Record("SelectSheet " + std::to_string(index)); }
  ObjectReference GetSheet() override {
    Record("GetSheet");
    return Make("sheet");
  }
  ObjectReference GetRange() override {
    Record("GetRange");
    return Make("cell " + start_);
  }
  void SetRangeStart(const Text& cell) override {
    Record("SetRangeStart " + cell);
    start_ = cell;
  }
  void SetRangeEnd(const Text& cell) override { Record("SetRangeEnd " + cell); }
  ObjectReference ReadObject(const ObjectReference& object, std::string_view name) override {
    Record("ReadObject " + NameOf(object) + " " + std::string(name));
    if (NameOf(object) == "sheet" && name == "UsedRange") return Make("usedRange");
    if (NameOf(object) == "usedRange" && name == "Rows") return Make("rows");
    return nullptr;
  }
  double ReadNumber(const ObjectReference& object, std::string_view name) override {
    Record("ReadNumber " + NameOf(object) + " " + std::string(name));
    return NameOf(object) == "rows" && name == "Count" ? rowCount_ : 0.0;
  }
  Text ReadText(const ObjectReference& object, std::string_view name) override {
    Record("ReadText " + NameOf(object) + " " + std::string(name));
    const std::string cell = NameOf(object);
    if (cell.rfind("cell A", 0) != 0 || name != "Value") return {};
    return "name" + cell.substr(6);
  }
  void CloseWorkbooks() override { Record("CloseWorkbooks"); }
  void DetachWorkbook() override { Record("DetachWorkbook"); }
  void QuitApplication() override { Record("QuitApplication"); }
  void ReleaseApplication() override { Record("ReleaseApplication"); }

 private:
  void Record(std::string call) { log_->push_back(std::move(call)); }
  ObjectReference Make(std::string name) { return std::make_shared<RecordedObject>(log_, std::move(name)); }
  static std::string NameOf(const ObjectReference& object) {
    const auto* recorded = dynamic_cast<const RecordedObject*>(object.get());
    return recorded ? recorded->name : "null";
  }

  std::shared_ptr<CallLog> log_;
  Text openablePath_;
  double rowCount_;
  Text start_;
};

class LoadOrderTest : public testing::Test {
 protected:
  LoadOrderTest() {
    binding.Attach(window);
    ProgramDirectory = "/opt/morvane";
    RowCount = -7;
    RowCounter = -7;
    LastItemIndex = -7;
    CellText = "before";
  }

  // Every load is served by a new RecordingServer over the shared log.
  void ServeWith(Text openablePath, double rowCount) {
    binding.automationFactory = [this, openablePath, rowCount]() -> std::unique_ptr<SpreadsheetOperations> {
      ++serversCreated;
      return std::make_unique<RecordingServer>(log, openablePath, rowCount);
    };
  }

  std::vector<Text> Items() {
    std::vector<Text> items;
    for (int32_t i = 0; i < window.Names().Count(); ++i) items.push_back(window.Names().GetItemText(i));
    return items;
  }

  HeadlessBinding binding;
  MainWindow window{binding};
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
  int serversCreated = 0;
};

TEST_F(LoadOrderTest, DrivesTheServerInOrderAndReleasesEveryReference) {
  ServeWith(kServerOnlyPath, 3);
  binding.QueueOpenFileAnswer(kServerOnlyPath);
  window.Click(Control::按钮1);

  const CallLog expected{
      "CreateApplication", "SetApplicationVisible false", "AttachWorkbook", "OpenWorkbook " + kServerOnlyPath,
      "ActivateWorkbook", "ActivateSheet", "SelectSheet 0", "GetSheet", "ReadObject sheet UsedRange",
      "ReadObject usedRange Rows", "ReadNumber rows Count",
      // Each pass's cell replaces the previous one, which is released only then.
      "SetRangeStart A1", "SetRangeEnd A1", "GetRange", "ReadText cell A1 Value", "SetRangeStart A2",
      "SetRangeEnd A2", "GetRange", "~cell A1", "ReadText cell A2 Value", "SetRangeStart A3",
      "SetRangeEnd A3", "GetRange", "~cell A2", "ReadText cell A3 Value", "CloseWorkbooks", "DetachWorkbook",
      "QuitApplication", "ReleaseApplication", "~sheet", "~usedRange", "~rows", "~cell A3"};
  EXPECT_EQ(*log, expected);
  EXPECT_EQ(Items(), (std::vector<Text>{"name1", "name2", "name3"}));
  EXPECT_EQ(RowCount, 3);
  EXPECT_EQ(RowCounter, 4);
  EXPECT_EQ(LastItemIndex, 2);
  EXPECT_EQ(CellText, "name3");
  EXPECT_EQ(binding.ReadControlText(Control::编辑框1), kServerOnlyPath);
  EXPECT_TRUE(binding.Messages().empty());
}

TEST_F(LoadOrderTest, RowCountIsTheLowThirtyTwoBitsOfTheTruncatedCount) {
  struct Case {
    const char* what;
    double count;
    int32_t rowCount;
    int32_t rowCounterAfter;
  };
  const Case cases[] = {
      {"fraction dropped", 3.9, 3, 4},
      {"2^32 + 2 wraps to 2", 4294967298.0, 2, 3},
      {"NaN is INT64_MIN, whose low bits are 0", std::numeric_limits<double>::quiet_NaN(), 0, 1},
      {"too large for 64 bits is INT64_MIN too", 1e30, 0, 1},
      {"negative: no pass", -5.0, -5, 1},
      {"zero", 0.0, 0, 1},
      {"2^31 wraps negative: no pass", 2147483648.0, std::numeric_limits<int32_t>::min(), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HeadlessBinding caseBinding;
    MainWindow caseWindow(caseBinding);
    caseBinding.Attach(caseWindow);
    caseBinding.automationFactory = [count = c.count, this] {
      return std::make_unique<RecordingServer>(log, kServerOnlyPath, count);
    };
    caseBinding.QueueOpenFileAnswer(kServerOnlyPath);
    LoadNamesFromWorkbook(caseWindow);
    EXPECT_EQ(RowCount, c.rowCount);
    EXPECT_EQ(RowCounter, c.rowCounterAfter);
    EXPECT_EQ(caseWindow.Names().Count(), std::max(c.rowCount, 0));
    EXPECT_TRUE(caseBinding.Messages().empty());
  }
}

TEST_F(LoadOrderTest, UnopenableWorkbookShowsTheMessageAndAppendsNothing) {
  window.Names().SetItemText(window.Names().AppendItem(), "earlier");
  ServeWith("/some/other/path.xlsx", 3);
  binding.QueueOpenFileAnswer(kServerOnlyPath);
  window.Click(Control::按钮1);

  // The server is still shut down in full; nothing is read from it.
  const CallLog expected{"CreateApplication", "SetApplicationVisible false",
                         "AttachWorkbook",    "OpenWorkbook " + kServerOnlyPath,
                         "CloseWorkbooks",    "DetachWorkbook",
                         "QuitApplication",   "ReleaseApplication"};
  EXPECT_EQ(*log, expected);
  EXPECT_EQ(Items(), std::vector<Text>{"earlier"});
  EXPECT_EQ(RowCount, 0);
  EXPECT_EQ(binding.Messages(), std::vector<Text>{texts::kUnreadableWorkbookMessage});
}

TEST_F(LoadOrderTest, UnopenableWorkbookWithoutAutomationServerShowsTheMessage) {
  binding.QueueOpenFileAnswer(kServerOnlyPath);
  window.Click(Control::按钮1);
  EXPECT_EQ(window.Names().Count(), 0);
  EXPECT_EQ(RowCount, 0);
  EXPECT_EQ(binding.Messages(), std::vector<Text>{texts::kUnreadableWorkbookMessage});
}

TEST_F(LoadOrderTest, EmptyPathIsSilent) {
  ServeWith(kServerOnlyPath, 3);
  window.Click(Control::按钮1);  // cancelled, and 编辑框1 is empty
  EXPECT_EQ(serversCreated, 0);
  EXPECT_EQ(window.Names().Count(), 0);
  EXPECT_EQ(RowCount, 0);
  EXPECT_TRUE(binding.Messages().empty());
}

TEST_F(LoadOrderTest, DialogIsSetBeforeEveryShowingAndOffersTheLastConfirmedPath) {
  ServeWith(kServerOnlyPath, 1);
  binding.QueueOpenFileAnswer(kServerOnlyPath);
  window.Click(Control::按钮1);
  ProgramDirectory = "/opt/elsewhere";
  binding.QueueOpenFileAnswer(std::nullopt);
  window.Click(Control::按钮1);

  const std::vector<OpenFileDialogRequest> requests = binding.OpenFileRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].filter, texts::kWorkbookFilter);
  EXPECT_EQ(requests[0].defaultExtension, "E");
  EXPECT_EQ(requests[0].initialDirectory, "/opt/morvane");
  EXPECT_EQ(requests[0].fileName, "");
  EXPECT_EQ(requests[1].initialDirectory, "/opt/elsewhere");
  EXPECT_EQ(requests[1].fileName, kServerOnlyPath);
  // Cancelled: the earlier path is read again.
  EXPECT_EQ(window.OpenFileDialogFileName(), kServerOnlyPath);
  EXPECT_EQ(Items(), (std::vector<Text>{"name1", "name1"}));
  EXPECT_EQ(RowCount, 1);
}

TEST_F(LoadOrderTest, CancelGoesOnWithTheTextTypedIntoTheEditBox) {
  ServeWith(kServerOnlyPath, 2);
  window.SetEditText(Control::编辑框1, kServerOnlyPath);
  binding.QueueOpenFileAnswer(std::nullopt);
  window.Click(Control::按钮1);
  EXPECT_EQ(Items(), (std::vector<Text>{"name1", "name2"}));
  EXPECT_EQ(window.OpenFileDialogFileName(), "");
}

}  // namespace
}  // namespace morvane
