// The open-file dialog, the folder browser and the message box, driven from a timer: their fields,
// the chosen path or a cancel, and the window's enabled state during and after.
// clang-format off
#include "window_fixture.h"
#include <commdlg.h>
#include <shlobj.h>
// clang-format on

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/program_texts.h"
#include "pickers/pickers.h"
#include "services/message.h"

namespace morvane {
namespace {

constexpr int kFileNameCombo = 0x47C;  // cmb13 of the explorer-style dialog
constexpr int kFileNameEdit = 0x480;   // edt1

void Press(HWND dialog, int button) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

void TypeFileName(HWND dialog, const std::wstring& name) {
  HWND field = GetDlgItem(dialog, kFileNameCombo);
  if (!field) field = GetDlgItem(dialog, kFileNameEdit);
  ASSERT_NE(field, nullptr);
  SetWindowTextW(field, name.c_str());
}

// A fresh folder with a Chinese name under the temporary folder.
class DialogsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    folder_ = std::wstring(base) + L"\u540D\u5355" + std::to_wstring(GetCurrentProcessId());  // 名单
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    DeleteFileW((folder_ + L"\\a.xlsx").c_str());
    RemoveDirectoryW(folder_.c_str());
    WindowTest::TearDown();
  }
  std::wstring folder_;
};

TEST_F(DialogsTest, OpenFileDialogGetsItsFieldsAndGivesTheTypedPath) {
  struct Case {
    const char* what;
    std::wstring typed;
    std::wstring chosen;  // empty: cancelled
  };
  const Case cases[] = {
      {"existing workbook", folder_ + L"\\a.xlsx", folder_ + L"\\a.xlsx"},
      {"missing file in an existing folder", folder_ + L"\\\u65B0.xlsx", folder_ + L"\\\u65B0.xlsx"},
      // Wine's dialog does not add the default extension to a typed full path; Windows does.
      {"no extension gets the default one", folder_ + L"\\b", folder_ + (UnderWine() ? L"\\b" : L"\\b.E")},
      {"cancelled", L"", L""},
  };
  const HANDLE file =
      CreateFileW((folder_ + L"\\a.xlsx").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(file);
  for (const Case& row : cases) {
    SCOPED_TRACE(row.what);
    bool ownerEnabledDuring = true;
    std::wstring offered;
    DialogDriver driver([&](HWND dialog) {
      ownerEnabledDuring = IsWindowEnabled(Main()) != 0;
      offered = WindowText(GetDlgItem(dialog, kFileNameCombo));
      if (row.typed.empty()) {
        Press(dialog, IDCANCEL);
      } else {
        TypeFileName(dialog, row.typed);
        Press(dialog, IDOK);
      }
    });
    OpenFileDialogRequest request{texts::kWorkbookFilter, "C:\\windows", texts::kWorkbookDefaultExtension,
                                  "earlier.xls"};
    const bool confirmed = binding_->ShowOpenFileDialog(request);
    EXPECT_TRUE(driver.Acted());
    EXPECT_FALSE(ownerEnabledDuring) << "modal to the window";
    EXPECT_EQ(offered, L"earlier.xls") << "the last confirmed path is offered again";
    EXPECT_TRUE(IsWindowEnabled(Main())) << "enabled again afterwards";
    EXPECT_EQ(confirmed, !row.chosen.empty());
    EXPECT_EQ(Wide(request.fileName), row.chosen.empty() ? L"earlier.xls" : row.chosen);

    const OpenFileDialogRecord fields = binding_->LastOpenFileDialog();
    EXPECT_EQ(fields.filter, std::wstring(L"EXCEL\u6587\u4EF6\0*.xls*\0\0", 16));
    EXPECT_EQ(fields.filterIndex, 1u);
    EXPECT_EQ(fields.fileBufferSize, 260u);
    EXPECT_EQ(fields.fileTitleBufferSize, 64u);
    EXPECT_EQ(fields.initialDirectory, L"C:\\windows");
    EXPECT_EQ(fields.defaultExtension, L"E");
    EXPECT_FALSE(fields.hasTitle);
    EXPECT_EQ(fields.flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST |
                                               OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_ENABLESIZING));
  }
}

TEST_F(DialogsTest, FolderBrowserDisablesTheWindowAndGivesThePathOrNothing) {
  // The browser starts at the desktop; choosing that item gives the desktop folder.
  wchar_t desktop[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
  struct Case {
    const char* what;
    bool choose;
  };
  const Case cases[] = {{"chosen", true}, {"cancelled", false}};
  for (const Case& row : cases) {
    SCOPED_TRACE(row.what);
    SetActiveWindow(Main());
    bool enabledDuring = true;
    std::wstring title;
    DialogDriver driver([&](HWND dialog) {
      enabledDuring = IsWindowEnabled(Main()) != 0;
      if (!row.choose) {
        Press(dialog, IDCANCEL);
        return;
      }
      const HWND tree = FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
      if (tree) {
        const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
      }
      Press(dialog, tree ? IDOK : IDCANCEL);
    });
    window_->SetEditText(Control::编辑框2, "old");
    window_->Click(Control::按钮2);
    EXPECT_TRUE(driver.Acted());
    EXPECT_FALSE(enabledDuring) << "modal to the whole program";
    EXPECT_TRUE(IsWindowEnabled(Main())) << "its enabled state back afterwards";
    EXPECT_EQ(WindowText(Handle(Control::编辑框2)), row.choose ? std::wstring(desktop) : L"")
        << "a cancelled browser empties the field";
    const FolderBrowserRecord fields = binding_->LastFolderBrowser();
    EXPECT_EQ(fields.title, L"\u9009\u62E9\u6587\u4EF6\u76EE\u5F55");  // 选择文件目录
    EXPECT_EQ(fields.flags, static_cast<UINT>(BIF_EDITBOX));
    EXPECT_FALSE(fields.hasRoot);
    EXPECT_FALSE(fields.hasCallback);
    EXPECT_EQ(fields.owner, Main()) << "owned by the active window";
  }
}

TEST_F(DialogsTest, FolderBrowserRestoresADisabledWindowAsDisabled) {
  EnableWindow(Main(), FALSE);
  DialogDriver driver([&](HWND dialog) { Press(dialog, IDCANCEL); });
  EXPECT_EQ(binding_->BrowseForFolder(texts::kTargetFolderPrompt), "");
  EXPECT_TRUE(driver.Acted());
  EXPECT_FALSE(IsWindowEnabled(Main()));
  EnableWindow(Main(), TRUE);
}

TEST_F(DialogsTest, MessageBoxIsModalOnTheWindowThreadOnly) {
  // On the window's thread: the window is disabled while the box is open.
  bool enabledDuring = true;
  std::wstring caption, text;
  {
    DialogDriver driver([&](HWND box) {
      enabledDuring = IsWindowEnabled(Main()) != 0;
      caption = WindowText(box);
      EnumChildWindows(
          box,
          [](HWND child, LPARAM data) {
            if (_wcsicmp(ClassName(child).c_str(), L"Static") == 0 && GetWindowTextLengthW(child) > 0)
              *reinterpret_cast<std::wstring*>(data) = WindowText(child);
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&text));
      Press(box, IDOK);
    });
    ShowMessage(*binding_, texts::kEmptyFolderMessage);
    EXPECT_TRUE(driver.Acted());
  }
  EXPECT_FALSE(enabledDuring);
  EXPECT_TRUE(IsWindowEnabled(Main()));
  EXPECT_EQ(caption, L"\u4FE1\u606F\uFF1A");  // 信息：
  EXPECT_EQ(text, Wide(texts::kEmptyFolderMessage));

  // From a worker: the window stays usable, and closing it closes the worker's box.
  std::atomic<bool> returned{false};
  DWORD workerThread = 0;
  std::thread worker([&] {
    workerThread = GetCurrentThreadId();
    ShowMessage(*binding_, texts::kFailuresNotice);
    returned = true;
  });
  auto boxOpen = [&] {
    HWND found = nullptr;
    if (workerThread)
      EnumThreadWindows(
          workerThread,
          [](HWND window, LPARAM data) {
            if (IsWindowVisible(window)) *reinterpret_cast<HWND*>(data) = window;
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&found));
    return found != nullptr;
  };
  EXPECT_TRUE(PumpUntil(boxOpen));
  EXPECT_TRUE(IsWindowEnabled(Main()));
  EXPECT_FALSE(returned);
  SendMessageW(Main(), WM_CLOSE, 0, 0);
  binding_->RunMessageLoop();  // ends at once: the window is gone
  worker.join();
  EXPECT_TRUE(returned);
}

}  // namespace
}  // namespace morvane
