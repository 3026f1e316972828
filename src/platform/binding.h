// What the program needs from a platform: the window made real, its dialogs, its message box.
// Qt, Win32 and the headless binding of the tests each implement it.
#pragma once

#include <memory>

#include "app/main_window.h"
#include "load/spreadsheet.h"
#include "services/message.h"
#include "services/texts.h"

namespace morvane {

// Settings of 通用对话框1 for one showing.
struct OpenFileDialogRequest {
  Text filter;            // "EXCEL文件|*.xls*": description and pattern split by "|"
  Text initialDirectory;  // ProgramDirectory
  Text defaultExtension;  // "E"
  Text fileName;          // offered again: the last confirmed path, or empty
};

class PlatformBinding : public MessagePresenter {
 public:

  // Start-up: the program's own file (code page 936) and making a folder current.
  virtual Text ExecutablePath() = 0;
  virtual bool SetCurrentFolder(const Text& folder) = 0;

  // Creates and shows the window for the model, the first focus in 编辑框1; false if it cannot.
  virtual bool CreateWindow(MainWindow& window) = 0;
  // Runs the user-interface thread's loop until the window is closed.
  virtual void RunMessageLoop() = 0;

  // User-interface thread only: the native control's text, and changing it (labels repaint).
  virtual Text ReadControlText(Control control) = 0;
  virtual void WriteControlText(Control control, const Text& text) = 0;

  // Caption "信息：", the text and one OK button; returns when the user has closed it. From the
  // user-interface thread it is modal to the program; from another thread only its caller waits
  // and the window stays usable. Returns at once once the window is closed.
  void ShowMessageBox(const Text& caption, const Text& message) override = 0;

  // User-interface thread. The chosen folder's path, or the empty text when cancelled or when the
  // path cannot be written in code page 936. Modal to the whole program while open; every window's
  // enabled state is as before afterwards.
  virtual Text BrowseForFolder(const Text& prompt) = 0;

  // User-interface thread. True with the confirmed full path in request.fileName; false when
  // cancelled.
  virtual bool ShowOpenFileDialog(OpenFileDialogRequest& request) = 0;

  // The spreadsheet application's automation server where the platform has one, else null.
  virtual std::unique_ptr<SpreadsheetOperations> CreateAutomationServer() { return nullptr; }

  // A fatal error: shows the text; the caller then ends the process with -1.
  virtual void ShowFatalError(const Text& message) = 0;
};

}  // namespace morvane
