// The copy job on the real window: real folders with Chinese names, the failure log, the progress
// label and the job's notices, which the worker shows in boxes of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/program_globals.h"
#include "app/program_texts.h"
#include "copy/copy_job.h"
#include "services/files.h"
#include "window_fixture.h"

namespace morvane {
namespace {

// Presses OK on every message box another thread of this process shows, keeping its message.
void CloseOtherThreadsBoxes(std::vector<std::wstring>& messages) {
  EnumWindows(
      [](HWND window, LPARAM data) {
        DWORD process = 0;
        const DWORD thread = GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId() && thread != GetCurrentThreadId() && IsWindowVisible(window) &&
            ClassName(window) == L"#32770") {
          reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(BoxText(window));
          PressButton(window, IDOK);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&messages));
}

// A source folder 源 and a target folder 目标 under the temporary folder.
class CopyJobWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    root_ = std::wstring(base) + L"morvane-copy-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root_.c_str(), nullptr);
    for (const wchar_t* folder : {L"\\\u6E90", L"\\\u76EE\u6807"})
      CreateDirectoryW((root_ + folder).c_str(), nullptr);
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(936, 0, root_.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
    source_ = Text(narrow) + "\\\xD4\xB4";
    target_ = Text(narrow) + "\\\xC4\xBF\xB1\xEA";
  }

  void TearDown() override {
    WindowTest::TearDown();
    for (const wchar_t* folder : {L"\\\u6E90", L"\\\u76EE\u6807"}) {
      const std::wstring path = root_ + folder;
      WIN32_FIND_DATAW found;
      const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
      if (search != INVALID_HANDLE_VALUE) {
        do DeleteFileW((path + L"\\" + found.cFileName).c_str());
        while (FindNextFileW(search, &found));
        FindClose(search);
      }
      RemoveDirectoryW(path.c_str());
    }
    RemoveDirectoryW(root_.c_str());
  }

  // 按钮4, then the loop runs until the job has ended; the worker's boxes are closed as they come.
  std::vector<std::wstring> CopyAndWait() {
    std::vector<std::wstring> messages;
    SendMessageW(Handle(Control::按钮4), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] {
      CloseOtherThreadsBoxes(messages);
      return !window_->Jobs().Busy();
    }));
    return messages;
  }

  void ListNames(const std::vector<Text>& names) {
    for (const Text& name : names) window_->Names().SetItemText(window_->Names().AppendItem(), name);
    RowCount = static_cast<int32_t>(names.size());
  }

  std::wstring root_;
  Text source_;
  Text target_;
};

TEST_F(CopyJobWindowTest, CopiesTheListedFilesAndLogsTheMissingOne) {
  // b.txt is missing from the source folder; c.txt replaces an older copy in the target.
  const ByteRun a{'A'}, c{'C'}, old{'o', 'l', 'd'};
  ASSERT_TRUE(WriteWholeFile(source_ + "\\a.txt", {&a}));
  ASSERT_TRUE(WriteWholeFile(source_ + "\\c.txt", {&c}));
  ASSERT_TRUE(WriteWholeFile(target_ + "\\c.txt", {&old}));
  ListNames({"a.txt", "b.txt", "c.txt"});
  window_->SetEditText(Control::编辑框2, source_);
  window_->SetEditText(Control::编辑框3, target_);

  EXPECT_EQ(CopyAndWait(), std::vector<std::wstring>{Wide(texts::kFailuresNotice)});
  EXPECT_EQ(ReadWholeFile(target_ + "\\a.txt"), a);
  EXPECT_EQ(ReadWholeFile(target_ + "\\c.txt"), c);
  EXPECT_FALSE(FileExists(target_ + "\\b.txt"));
  const ByteRun log = ReadWholeFile(target_ + texts::kFailureLogSuffix);
  EXPECT_EQ(Text(log.begin(), log.end()), "b.txt\r\n");
  EXPECT_EQ(WindowText(Handle(Control::标签1)), L"100%");

  // A second run appends to the log.
  EXPECT_EQ(CopyAndWait(), std::vector<std::wstring>{Wide(texts::kFailuresNotice)});
  const ByteRun twice = ReadWholeFile(target_ + texts::kFailureLogSuffix);
  EXPECT_EQ(Text(twice.begin(), twice.end()), "b.txt\r\nb.txt\r\n");
}

TEST_F(CopyJobWindowTest, EmptyFolderFieldIsRefusedWithAMessage) {
  ListNames({"a.txt"});
  window_->SetEditText(Control::编辑框2, "");
  EXPECT_EQ(CopyAndWait(), std::vector<std::wstring>{Wide(texts::kEmptyFolderMessage)});
  EXPECT_EQ(WindowText(Handle(Control::标签1)), L"0");
}

TEST_F(CopyJobWindowTest, WindowStaysUsableWhileTheWorkerShowsItsNotice) {
  ListNames({"missing.txt"});
  window_->SetEditText(Control::编辑框2, source_);
  window_->SetEditText(Control::编辑框3, target_);
  SendMessageW(Handle(Control::按钮4), BM_CLICK, 0, 0);
  std::vector<std::wstring> messages;
  bool enabledWithBoxOpen = false;
  EXPECT_TRUE(PumpUntil([&] {
    std::vector<std::wstring> seen;
    EnumWindows(
        [](HWND window, LPARAM data) {
          DWORD process = 0;
          const DWORD thread = GetWindowThreadProcessId(window, &process);
          if (process == GetCurrentProcessId() && thread != GetCurrentThreadId() && IsWindowVisible(window) &&
              ClassName(window) == L"#32770")
            reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(BoxText(window));
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
    if (!seen.empty()) enabledWithBoxOpen = IsWindowEnabled(Main()) != 0;
    return !seen.empty();
  }));
  EXPECT_TRUE(enabledWithBoxOpen);
  // Closing the window while the notice is open: the box goes with it and the job ends.
  SendMessageW(Main(), WM_CLOSE, 0, 0);
  binding_->RunMessageLoop();
  window_->Jobs().StopAndWait();
  EXPECT_FALSE(window_->Jobs().Busy());
}

}  // namespace
}  // namespace morvane
