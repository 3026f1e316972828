// Entry of window_tests: OLE on the test thread, as morvane.exe has it; the fixture's helpers.
#include <ole2.h>

#include "platform/win32/wide_text.h"
#include "window_fixture.h"

namespace morvane {
namespace {

thread_local DialogDriver* currentDriver = nullptr;

struct FindDialog {
  HWND acted;  // the box acted on last, which may not have gone yet
  HWND found = nullptr;
};

BOOL CALLBACK LookForDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<FindDialog*>(data);
  if (window != search->acted && ClassName(window) == L"#32770" && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

DialogDriver::DialogDriver(std::function<void(HWND)> act)
    : DialogDriver(std::vector<std::function<void(HWND)>>{std::move(act)}) {}

DialogDriver::DialogDriver(std::vector<std::function<void(HWND)>> acts) : acts_(std::move(acts)) {
  currentDriver = this;
  timer_ = SetTimer(nullptr, 0, 100, &DialogDriver::Tick);
}

DialogDriver::~DialogDriver() {
  if (timer_) KillTimer(nullptr, timer_);
  currentDriver = nullptr;
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
  DialogDriver* driver = currentDriver;
  if (!driver || driver->Acted()) return;
  FindDialog search{driver->last_};
  EnumThreadWindows(GetCurrentThreadId(), &LookForDialog, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return;
  driver->last_ = search.found;
  const std::size_t act = driver->next_++;
  if (driver->Acted()) {
    KillTimer(nullptr, driver->timer_);
    driver->timer_ = 0;
  }
  driver->acts_[act](search.found);
}

std::wstring Wide(const Text& text) { return WideFromText(text); }

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring BoxText(HWND box) {
  std::wstring text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM found) {
        if (_wcsicmp(ClassName(child).c_str(), L"Static") == 0 && GetWindowTextLengthW(child) > 0)
          *reinterpret_cast<std::wstring*>(found) = WindowText(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

std::wstring FixturePath(const char* relative) {
  std::wstring path = Wide(Text(MORVANE_FIXTURES_DIR) + "/" + relative);
  for (wchar_t& character : path)
    if (character == L'/') character = L'\\';
  return path;
}

void PressButton(HWND dialog, int button) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

}  // namespace morvane

int wmain(int argc, wchar_t** argv) {
  OleInitialize(nullptr);
  testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  OleUninitialize();
  return status;
}
