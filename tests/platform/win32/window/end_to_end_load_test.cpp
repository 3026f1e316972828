// The workbook load on the real window: the path typed into the open-file dialog, the names in the
// list view, and the message when nothing can read the file.
#include <gtest/gtest.h>

#include "app/program_globals.h"
#include "app/program_texts.h"
#include "window_fixture.h"

namespace morvane {
namespace {

constexpr int kFileNameCombo = 0x47C;  // cmb13 of the explorer-style dialog

// 按钮1 with the path typed into the open-file dialog; `then` acts on the box that follows, if any.
void ClickLoad(HWND button, const std::wstring& path, std::function<void(HWND)> then = nullptr) {
  std::vector<std::function<void(HWND)>> acts{[&](HWND dialog) {
    SetWindowTextW(GetDlgItem(dialog, kFileNameCombo), path.c_str());
    PressButton(dialog, IDOK);
  }};
  if (then) acts.push_back(then);
  DialogDriver driver(acts);
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_TRUE(driver.Acted());
}

TEST_F(WindowTest, LoadsTheChosenWorkbookAndAppendsOnEveryLoad) {
  const std::wstring workbook = FixturePath("load/three_names.xlsx");
  ClickLoad(Handle(Control::按钮1), workbook);
  EXPECT_EQ(WindowText(Handle(Control::编辑框1)), workbook);
  EXPECT_EQ(RowCount.load(), 3);
  binding_->ProcessPendingMessages();
  const HWND list = Handle(Control::超级列表框1);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  const Text names[] = {"a.txt", "b.txt", "c.txt"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(binding_->ListViewItemText(i), names[i]);

  ClickLoad(Handle(Control::按钮1), workbook);
  binding_->ProcessPendingMessages();
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 6);
  EXPECT_EQ(binding_->ListViewItemText(5), "c.txt");
  EXPECT_EQ(RowCount.load(), 3);
}

TEST_F(WindowTest, UnreadableWorkbookWithoutASpreadsheetApplicationIsReported) {
  // Wine has no spreadsheet application: the built-in reader's refusal is the end of it.
  std::wstring caption, message;
  ClickLoad(Handle(Control::按钮1), FixturePath("load/not_a_workbook.xlsx"), [&](HWND box) {
    caption = WindowText(box);
    message = BoxText(box);
    PressButton(box, IDOK);
  });
  EXPECT_EQ(caption, L"\u4FE1\u606F\uFF1A");  // 信息：
  EXPECT_EQ(message, Wide(texts::kUnreadableWorkbookMessage));
  EXPECT_EQ(RowCount.load(), 0);
  EXPECT_EQ(window_->Names().Count(), 0);
}

}  // namespace
}  // namespace morvane
