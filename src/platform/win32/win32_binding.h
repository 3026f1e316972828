// The Win32 binding: MainWindow as a real window with native controls, dialogs and message boxes.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
// PlatformBinding has a member of that name.
#undef CreateWindow

#include <array>
#include <atomic>
#include <mutex>
#include <set>
#include <string>

#include "platform/binding.h"

namespace morvane {

// Posted to the window whenever a worker waits on a control operation.
inline constexpr UINT kServeCallsMessage = WM_APP + 1;
// Posted once after a run of name-list changes: the list view catches up with the model.
inline constexpr UINT kSyncListMessage = WM_APP + 2;

// What the last open-file dialog was given, kept so tests can check the fields.
struct OpenFileDialogRecord {
  HWND owner = nullptr;
  std::wstring filter;  // NULs included, up to and with the closing empty pair
  DWORD filterIndex = 0;
  DWORD fileBufferSize = 0;
  DWORD fileTitleBufferSize = 0;
  std::wstring initialDirectory;
  std::wstring defaultExtension;
  bool hasTitle = false;
  DWORD flags = 0;
};

struct FolderBrowserRecord {
  HWND owner = nullptr;
  std::wstring title;
  UINT flags = 0;
  bool hasRoot = false;
  bool hasCallback = false;
};

class Win32Binding : public PlatformBinding, private NameListObserver {
 public:
  explicit Win32Binding(HINSTANCE instance);
  ~Win32Binding() override;
  Win32Binding(const Win32Binding&) = delete;
  Win32Binding& operator=(const Win32Binding&) = delete;

  Text ExecutablePath() override;
  bool SetCurrentFolder(const Text& folder) override;
  bool CreateWindow(MainWindow& window) override;
  void RunMessageLoop() override;
  Text ReadControlText(Control control) override;
  void WriteControlText(Control control, const Text& text) override;
  void ShowMessageBox(const Text& caption, const Text& message) override;
  Text BrowseForFolder(const Text& prompt) override;
  bool ShowOpenFileDialog(OpenFileDialogRequest& request) override;
  std::unique_ptr<SpreadsheetOperations> CreateAutomationServer() override;
  void ShowFatalError(const Text& message) override;

  HWND WindowHandle() const { return window_; }
  // Null for controls without a window and after the window is destroyed.
  HWND ControlHandle(Control control) const;
  // The control a window belongs to (the control itself or one of its own children).
  bool ControlOf(HWND handle, Control& control) const;

  // Handles the messages waiting now, with the window's key handling (tests step the loop).
  void ProcessPendingMessages();
  // The loop's key handling: true when the message was taken and must go no further.
  bool HandleKey(const MSG& message);

  // An item's text as the list-view control gives it back (LVM_GETITEMTEXTW, growing buffer).
  Text ListViewItemText(int32_t position);

  OpenFileDialogRecord LastOpenFileDialog() const { return lastOpenFileDialog_; }
  FolderBrowserRecord LastFolderBrowser() const { return lastFolderBrowser_; }

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool RegisterClasses();
  bool CreateControls();
  void AnswerItemText(NMLVDISPINFOW& request);
  void FocusControl(Control control);
  void CloseWorkerMessageBoxes();
  void RequestListSync();
  void SyncList();

  void ItemAppended(int32_t position) override;
  void ItemChanged(int32_t position) override;
  void ItemsReplaced() override;

  HINSTANCE instance_;
  HWND window_ = nullptr;
  MainWindow* model_ = nullptr;
  DWORD userInterfaceThread_ = 0;
  std::array<HWND, 18> controls_{};
  HWND lastFocus_ = nullptr;
  HFONT font_ = nullptr;
  std::atomic<bool> listSyncPosted_{false};
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  OpenFileDialogRecord lastOpenFileDialog_;
  FolderBrowserRecord lastFolderBrowser_;

  // Threads other than the user-interface thread that have a message box open.
  std::mutex messageBoxesMutex_;
  std::set<DWORD> messageBoxThreads_;
  bool messageBoxesClosed_ = false;
};

}  // namespace morvane
