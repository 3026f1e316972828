// Win32Binding: the window, its controls, the message loop and the dialogs.
#include "platform/win32/win32_binding.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/win32/excel_automation.h"
#include "platform/win32/wide_text.h"

namespace morvane {
namespace {

constexpr wchar_t kWindowClass[] = L"MorvaneWindow";
constexpr wchar_t kLabelClass[] = L"MorvaneLabel";
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kEditStyle = WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | ES_AUTOHSCROLL;
constexpr DWORD kButtonStyle =
    WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
// Owner data: the list asks NameList for the texts it shows, so a million names cost no copies.
constexpr DWORD kListStyle =
    WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDATA;
constexpr DWORD kListExtendedStyle = LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP;  // 0x403
constexpr DWORD kLabelStyle = WS_CHILD | WS_CLIPSIBLINGS;
constexpr int kFirstControlId = 100;
constexpr UINT kLabelFlags = DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;

HFONT GuiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

bool ModifierDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

// Labels paint themselves: button-face fill, then the caption with ampersands drawn as they are.
void PaintLabel(HWND label, HDC dc) {
  RECT client;
  GetClientRect(label, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  const int length = GetWindowTextLengthW(label);
  std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
  GetWindowTextW(label, caption.data(), length + 1);
  caption.resize(static_cast<std::size_t>(length));
  const auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(label, 0));
  const HGDIOBJ oldFont = SelectObject(dc, font ? font : GuiFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextW(dc, caption.c_str(), length, &client, kLabelFlags);
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK LabelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(label, &paint);
      PaintLabel(label, dc);
      EndPaint(label, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintLabel(label, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFONT:
      SetWindowLongPtrW(label, 0, static_cast<LONG_PTR>(wParam));
      if (LOWORD(lParam)) InvalidateRect(label, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(label, 0);
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_SETFOCUS:
      // Labels never hold the focus: it goes back where it came from.
      if (wParam && IsWindow(reinterpret_cast<HWND>(wParam))) SetFocus(reinterpret_cast<HWND>(wParam));
      return 0;
    default:
      return DefWindowProcW(label, message, wParam, lParam);
  }
}

}  // namespace

Win32Binding::Win32Binding(HINSTANCE instance) : instance_(instance) {}

Win32Binding::~Win32Binding() {
  // The model may already be gone; the window must not reach it any more.
  model_ = nullptr;
  if (window_) DestroyWindow(window_);
  if (bigIcon_) DestroyIcon(bigIcon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

Text Win32Binding::ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return TextFromWide(path);
    }
    path.resize(path.size() * 2);
  }
}

bool Win32Binding::SetCurrentFolder(const Text& folder) {
  return SetCurrentDirectoryW(WideFromText(folder).c_str()) != 0;
}

bool Win32Binding::RegisterClasses() {
  INITCOMMONCONTROLSEX common{sizeof(common), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&common);

  WNDCLASSEXW windowClass{};
  if (!GetClassInfoExW(instance_, kWindowClass, &windowClass)) {
    windowClass = WNDCLASSEXW{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Win32Binding::WindowProcedure;
    windowClass.hInstance = instance_;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass)) return false;
  }
  WNDCLASSEXW labelClass{};
  if (!GetClassInfoExW(instance_, kLabelClass, &labelClass)) {
    labelClass = WNDCLASSEXW{};
    labelClass.cbSize = sizeof(labelClass);
    labelClass.lpfnWndProc = &LabelProcedure;
    labelClass.cbWndExtra = sizeof(LONG_PTR);  // the font
    labelClass.hInstance = instance_;
    labelClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    labelClass.lpszClassName = kLabelClass;
    if (!RegisterClassExW(&labelClass)) return false;
  }
  return true;
}

bool Win32Binding::CreateWindow(MainWindow& window) {
  if (window_ || !RegisterClasses()) return false;
  model_ = &window;
  const WindowDefinition& definition = kWindowDefinition;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - definition.outerWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - definition.outerHeight) / 2;
  const HWND created =
      CreateWindowExW(0, kWindowClass, WideFromText(definition.caption).c_str(), kWindowStyle, left, top,
                      definition.outerWidth, definition.outerHeight, nullptr, nullptr, instance_, this);
  if (!created) {
    model_ = nullptr;
    return false;
  }
  RECT outer;
  GetWindowRect(window_, &outer);
  if (outer.right - outer.left != definition.outerWidth || outer.bottom - outer.top != definition.outerHeight)
    SetWindowPos(window_, nullptr, outer.left, outer.top, definition.outerWidth, definition.outerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);

  bigIcon_ = static_cast<HICON>(LoadImageW(instance_, L"DEFAULT_ICON", IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ =
      static_cast<HICON>(LoadImageW(instance_, L"DEFAULT_ICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                    GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);

  if (!CreateControls()) {
    DestroyWindow(window_);
    return false;
  }
  window.Calls().SetUserInterfaceThread(std::this_thread::get_id());
  userInterfaceThread_ = GetCurrentThreadId();
  const HWND target = window_;
  window.Calls().SetWake([target] { PostMessageW(target, kServeCallsMessage, 0, 0); });
  window.Names().SetObserver(this);
  ItemsReplaced();

  for (const HWND control : controls_)
    if (control) ShowWindow(control, SW_SHOW);
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  // Activation normally hands the focus on; without an active window (no window manager) do it here.
  if (GetFocus() == nullptr || GetFocus() == window_) FocusControl(TabOrder().front());
  return true;
}

bool Win32Binding::CreateControls() {
  for (const ControlDefinition& definition : kControlDefinitions) {
    if (!HasWindow(definition.kind)) continue;
    const wchar_t* className = nullptr;
    DWORD style = 0;
    DWORD extendedStyle = 0;
    switch (definition.kind) {
      case ControlKind::EditBox:
        className = L"EDIT";
        style = kEditStyle;
        extendedStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::PushButton:
        className = L"BUTTON";
        style = kButtonStyle;
        break;
      case ControlKind::ListView:
        className = WC_LISTVIEWW;
        style = kListStyle;
        extendedStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::Label:
        className = kLabelClass;
        style = kLabelStyle;
        break;
      default:
        continue;
    }
    const auto index = static_cast<std::size_t>(definition.control);
    const HWND control = CreateWindowExW(
        extendedStyle, className, WideFromText(definition.initialText).c_str(), style, definition.left,
        definition.top, definition.width, definition.height, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(index))), instance_,
        nullptr);
    if (!control) return false;
    controls_[index] = control;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
    if (definition.kind == ControlKind::EditBox) {
      SendMessageW(control, EM_LIMITTEXT, 0, 0);
      SendMessageW(control, EM_SETSEL, 0, 0);
    } else if (definition.kind == ControlKind::ListView) {
      SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kListExtendedStyle);
      SendMessageW(control, LVM_SETTEXTCOLOR, 0, RGB(0, 0, 0));
      SendMessageW(control, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
      SendMessageW(control, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
      std::wstring title = WideFromText(kWindowDefinition.listColumnTitle);
      LVCOLUMNW column{};
      column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
      column.fmt = LVCFMT_LEFT;
      column.cx = kWindowDefinition.listColumnWidth;
      column.pszText = title.data();
      column.iSubItem = 0;
      if (SendMessageW(control, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)) != 0) return false;
    }
  }
  return true;
}

HWND Win32Binding::ControlHandle(Control control) const {
  return controls_[static_cast<std::size_t>(control)];
}

bool Win32Binding::ControlOf(HWND handle, Control& control) const {
  for (HWND current = handle; current && current != window_; current = GetParent(current)) {
    const auto found = std::find(controls_.begin(), controls_.end(), current);
    if (found != controls_.end()) {
      control = static_cast<Control>(found - controls_.begin());
      return true;
    }
  }
  return false;
}

void Win32Binding::FocusControl(Control control) {
  if (const HWND handle = ControlHandle(control)) SetFocus(handle);
}

bool Win32Binding::HandleKey(const MSG& message) {
  if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
  if (!window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
  const bool control = ModifierDown(VK_CONTROL);
  const bool alt = ModifierDown(VK_MENU);
  const bool shift = ModifierDown(VK_SHIFT);
  if (message.wParam == VK_ESCAPE && !control && !alt && !shift) {
    SendMessageW(window_, WM_CLOSE, 0, 0);
    return true;
  }
  if (message.wParam == VK_TAB && !control && !alt) {
    Control from = TabOrder().front();
    const bool known = ControlOf(GetFocus(), from);
    Control next = known ? NextTabStop(from, shift) : (shift ? TabOrder().back() : TabOrder().front());
    for (std::size_t tries = 0; tries < TabOrder().size(); ++tries) {
      const HWND handle = ControlHandle(next);
      if (handle && IsWindowVisible(handle) && IsWindowEnabled(handle)) {
        SetFocus(handle);
        break;
      }
      next = NextTabStop(next, shift);
    }
    return true;
  }
  return false;
}

void Win32Binding::RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (HandleKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  CloseWorkerMessageBoxes();
}

void Win32Binding::ProcessPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave it for a loop that is meant to end.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (HandleKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LRESULT CALLBACK Win32Binding::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* binding = static_cast<Win32Binding*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    binding->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(binding));
  }
  auto* binding = reinterpret_cast<Win32Binding*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!binding) return DefWindowProcW(window, message, wParam, lParam);
  return binding->HandleMessage(message, wParam, lParam);
}

LRESULT Win32Binding::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam != 0 && model_) {
        Control button;
        if (ControlOf(reinterpret_cast<HWND>(lParam), button)) model_->Click(button);
        return 0;
      }
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == ControlHandle(Control::超级列表框1) && header->code == LVN_GETDISPINFOW) {
        AnswerItemText(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
        return 0;
      }
      // Typing in the list finds nothing: the program handles no event of the list.
      if (header->hwndFrom == ControlHandle(Control::超级列表框1) && header->code == LVN_ODFINDITEMW) return -1;
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) lastFocus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      if (lastFocus_ && IsWindow(lastFocus_) && IsChild(window_, lastFocus_))
        SetFocus(lastFocus_);
      else
        FocusControl(TabOrder().front());
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case kServeCallsMessage:
      if (model_) model_->Calls().ServePending();
      return 0;
    case kSyncListMessage:
      SyncList();
      return 0;
    case WM_DESTROY: {
      {
        std::lock_guard lock(messageBoxesMutex_);
        messageBoxesClosed_ = true;
      }
      if (model_) {
        model_->Names().SetObserver(nullptr);
        model_->Close();
      }
      controls_.fill(nullptr);
      PostQuitMessage(0);
      return 0;
    }
    case WM_NCDESTROY: {
      const HWND destroyed = window_;
      SetWindowLongPtrW(destroyed, GWLP_USERDATA, 0);
      window_ = nullptr;
      model_ = nullptr;
      return DefWindowProcW(destroyed, message, wParam, lParam);
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void Win32Binding::AnswerItemText(NMLVDISPINFOW& request) {
  if (!(request.item.mask & LVIF_TEXT) || !request.item.pszText || request.item.cchTextMax <= 0 || !model_)
    return;
  const std::wstring text = request.item.iSubItem == 0
                                ? WideFromText(model_->Names().GetItemText(request.item.iItem))
                                : std::wstring();
  const std::size_t fits = std::min(text.size(), static_cast<std::size_t>(request.item.cchTextMax - 1));
  std::copy_n(text.data(), fits, request.item.pszText);
  request.item.pszText[fits] = L'\0';
}

// A load appends a million names without taking messages; telling the list view of each one would
// cost a scroll-bar update per name. The list catches up once, when the loop next runs.
void Win32Binding::ItemAppended(int32_t) { RequestListSync(); }
void Win32Binding::ItemChanged(int32_t) { RequestListSync(); }

void Win32Binding::ItemsReplaced() {
  SyncList();
  if (const HWND list = ControlHandle(Control::超级列表框1)) InvalidateRect(list, nullptr, TRUE);
}

void Win32Binding::RequestListSync() {
  if (!listSyncPosted_.exchange(true) && window_) PostMessageW(window_, kSyncListMessage, 0, 0);
}

void Win32Binding::SyncList() {
  listSyncPosted_ = false;
  const HWND list = ControlHandle(Control::超级列表框1);
  if (!list || !model_) return;
  const auto count = static_cast<WPARAM>(model_->Names().Count());
  if (static_cast<WPARAM>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) != count)
    SendMessageW(list, LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  InvalidateRect(list, nullptr, FALSE);
}

Text Win32Binding::ListViewItemText(int32_t position) {
  const HWND list = ControlHandle(Control::超级列表框1);
  if (!list) return {};
  SyncList();
  std::wstring buffer(512, L'\0');
  while (true) {
    buffer[0] = L'\0';
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto copied = static_cast<std::size_t>(
        SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&item)));
    if (copied < buffer.size() - 1) break;
    buffer.assign(buffer.size() * 2, L'\0');
  }
  buffer.resize(std::wcslen(buffer.c_str()));
  return TextFromWide(buffer);
}

Text Win32Binding::ReadControlText(Control control) {
  const HWND handle = ControlHandle(control);
  if (!handle) return {};
  const int length = GetWindowTextLengthW(handle);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(handle, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return TextFromWide(text);
}

void Win32Binding::WriteControlText(Control control, const Text& text) {
  const HWND handle = ControlHandle(control);
  if (!handle) return;
  SetWindowTextW(handle, WideFromText(text).c_str());
  if (DefinitionOf(control).kind == ControlKind::Label) InvalidateRect(handle, nullptr, TRUE);
}

void Win32Binding::ShowMessageBox(const Text& caption, const Text& message) {
  const bool worker = userInterfaceThread_ != 0 && GetCurrentThreadId() != userInterfaceThread_;
  if (worker) {
    std::lock_guard lock(messageBoxesMutex_);
    if (messageBoxesClosed_) return;
    messageBoxThreads_.insert(GetCurrentThreadId());
  }
  // No owner and task-modal: only the calling thread's windows are disabled, so from a worker the
  // main window stays usable.
  MessageBoxW(nullptr, WideFromText(message).c_str(), WideFromText(caption).c_str(), MB_OK | MB_TASKMODAL);
  if (worker) {
    std::lock_guard lock(messageBoxesMutex_);
    messageBoxThreads_.erase(GetCurrentThreadId());
  }
}

// After the window closes, boxes that workers still show are closed for them, so no job keeps the
// process from ending; later ones are not shown at all.
void Win32Binding::CloseWorkerMessageBoxes() {
  {
    std::lock_guard lock(messageBoxesMutex_);
    messageBoxesClosed_ = true;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    std::vector<DWORD> threads;
    {
      std::lock_guard lock(messageBoxesMutex_);
      threads.assign(messageBoxThreads_.begin(), messageBoxThreads_.end());
    }
    if (threads.empty()) return;
    for (const DWORD thread : threads)
      EnumThreadWindows(
          thread,
          [](HWND box, LPARAM) -> BOOL {
            PostMessageW(box, WM_CLOSE, 0, 0);
            return TRUE;
          },
          0);
    Sleep(20);
  }
}

Text Win32Binding::BrowseForFolder(const Text& prompt) {
  HWND active = GetActiveWindow();
  if (!IsWindow(active)) active = nullptr;
  const HWND foreground = GetForegroundWindow();

  struct Disabled {
    HWND window;
    bool enabled;
  };
  std::vector<Disabled> disabled;
  if (window_ && IsWindow(window_) && !GetParent(window_)) {
    disabled.push_back({window_, IsWindowEnabled(window_) != 0});
    EnableWindow(window_, FALSE);
  }

  wchar_t buffer[MAX_PATH] = {};
  const std::wstring title = WideFromText(prompt);
  BROWSEINFOW info{};
  info.hwndOwner = active;
  info.pidlRoot = nullptr;
  info.pszDisplayName = buffer;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_EDITBOX;
  info.lpfn = nullptr;
  info.lParam = 0;
  lastFolderBrowser_ = {info.hwndOwner, title, info.ulFlags, info.pidlRoot != nullptr, info.lpfn != nullptr};
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);

  for (const Disabled& entry : disabled)
    if (IsWindow(entry.window)) EnableWindow(entry.window, entry.enabled ? TRUE : FALSE);
  if (foreground && IsWindow(foreground)) SetForegroundWindow(foreground);
  if (active && IsWindow(active)) SetActiveWindow(active);

  if (!item) return {};
  buffer[0] = L'\0';
  Text result;
  // The path must survive in code page 936 exactly; a lossy one would name another folder.
  if (SHGetPathFromIDListW(item, buffer)) result = TextFromWideExactly(buffer).value_or(Text());
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
    allocator->Free(item);
    allocator->Release();
  }
  return result;
}

bool Win32Binding::ShowOpenFileDialog(OpenFileDialogRequest& request) {
  // "EXCEL文件|*.xls*" becomes description NUL pattern NUL, ended by the empty pair's NUL.
  std::wstring filter = WideFromText(request.filter);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  wchar_t file[MAX_PATH] = {};
  const std::wstring offered = WideFromText(request.fileName);
  std::copy_n(offered.data(), std::min<std::size_t>(offered.size(), MAX_PATH - 1), file);
  wchar_t fileTitle[64] = {};
  const std::wstring initialDirectory = WideFromText(request.initialDirectory);
  const std::wstring defaultExtension = WideFromText(request.defaultExtension);

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = window_ && IsWindow(window_) ? window_ : nullptr;
  dialog.hInstance = instance_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrFileTitle = fileTitle;
  dialog.nMaxFileTitle = 64;
  dialog.lpstrInitialDir = initialDirectory.c_str();
  dialog.lpstrTitle = nullptr;
  dialog.lpstrDefExt = defaultExtension.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER |
                 OFN_ENABLESIZING;
  lastOpenFileDialog_ = {
      dialog.hwndOwner, filter,           dialog.nFilterIndex,          dialog.nMaxFile, dialog.nMaxFileTitle,
      initialDirectory, defaultExtension, dialog.lpstrTitle != nullptr, dialog.Flags};
  if (!GetOpenFileNameW(&dialog)) return false;
  const auto chosen = TextFromWideExactly(file);
  if (!chosen) return false;
  request.fileName = *chosen;
  return true;
}

std::unique_ptr<SpreadsheetOperations> Win32Binding::CreateAutomationServer() {
  return CreateExcelAutomation();
}

void Win32Binding::ShowFatalError(const Text& message) {
  MessageBoxW(nullptr, WideFromText(message).c_str(), L"Morvane", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace morvane
