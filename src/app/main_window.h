// MainWindow: the window's fixed definition, its event table and the control operations, apart
// from any platform. A binding (Qt, Win32, headless) makes it real.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "app/name_list.h"
#include "app/user_interface_calls.h"
#include "services/texts.h"

namespace morvane {

class PlatformBinding;
class CopyJobs;

// In creation order, which is also the tab order of those with a tab stop.
enum class Control : int {
  编辑框1,
  按钮1,
  通用对话框1,
  Excel程序1,
  Excel工作簿1,
  编辑框2,
  按钮2,
  超级列表框1,
  按钮3,
  按钮4,
  编辑框3,
  按钮5,
  标签1,
  时钟1,
  标签2,
  标签3,
  标签4,
  标签5,
};

enum class ControlKind { EditBox, PushButton, OpenFileDialog, SpreadsheetApplication, SpreadsheetWorkbook, ListView, Label, Timer };

struct ControlDefinition {
  Control control;
  const char* name;  // the form name, UTF-8
  ControlKind kind;
  int left, top, width, height;  // client pixels; 0 for controls without a window
  const char* initialText;       // code page 936
  bool tabStop;
};

struct WindowDefinition {
  const char* caption;
  int outerWidth, outerHeight;    // frame included, as on Windows
  int clientWidth, clientHeight;  // what that frame leaves
  int listColumnWidth;
  const char* listColumnTitle;  // code page 936
  int timerPeriodMilliseconds;
};

extern const WindowDefinition kWindowDefinition;
extern const std::array<ControlDefinition, 18> kControlDefinitions;
const ControlDefinition& DefinitionOf(Control control);
bool HasWindow(ControlKind kind);

// The controls with a tab stop, in tab order.
std::span<const Control> TabOrder();
// The next (or, backwards, the previous) tab stop after `from`, wrapping around.
Control NextTabStop(Control from, bool backwards);

class MainWindow;
using ClickHandler = void (*)(MainWindow&);

struct EventBinding {
  Control control;
  ClickHandler handler;
  const char* handlerName;
};
extern const std::array<EventBinding, 5> kEventTable;

class MainWindow {
 public:
  // The binding gives the platform's dialogs, message box and control texts.
  explicit MainWindow(PlatformBinding& binding);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Control operations, callable from any thread. From another thread each is carried out on the
  // user-interface thread while the caller waits. Once the window is closed they give the absent
  // text and ignore writes.
  Text GetEditText(Control editBox);
  void SetEditText(Control editBox, const Text& text);
  void SetLabelCaption(Control label, const Text& text);

  // A button's click, on the user-interface thread: runs its handler from the event table.
  void Click(Control button);

  // Close request: from now on control operations do nothing, and waiting workers are released.
  void Close();
  bool IsClosed() const;

  NameList& Names();
  PlatformBinding& Binding();
  UserInterfaceCalls& Calls();
  CopyJobs& Jobs();

  // The dialog's file name: empty at start, then the last confirmed path.
  Text& OpenFileDialogFileName();

 private:
  PlatformBinding& binding_;
  NameList names_;
  UserInterfaceCalls calls_;
  std::atomic<bool> closed_{false};
  Text openFileDialogFileName_;
  std::unique_ptr<CopyJobs> jobs_;
};

}  // namespace morvane
