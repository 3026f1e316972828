// A real Morvane window on the test thread, and helpers to drive it and its dialogs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/win32/win32_binding.h"

namespace morvane {

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    binding_ = std::make_unique<Win32Binding>(GetModuleHandleW(nullptr));
    window_ = std::make_unique<MainWindow>(*binding_);
    ASSERT_TRUE(binding_->CreateWindow(*window_));
    binding_->ProcessPendingMessages();
  }

  void TearDown() override {
    if (binding_->WindowHandle()) DestroyWindow(binding_->WindowHandle());
    DropQuit();
    window_.reset();
    binding_.reset();
  }

  // Takes the WM_QUIT that closing the window posts, so the next test starts clean.
  static bool DropQuit() {
    MSG message;
    bool quit = false;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return quit;
  }

  // Steps the window's loop until done() or the timeout; true when done() became true.
  bool PumpUntil(const std::function<bool()>& done, int milliseconds = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      binding_->ProcessPendingMessages();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
  }

  HWND Handle(Control control) const { return binding_->ControlHandle(control); }
  HWND Main() const { return binding_->WindowHandle(); }

  // Posts a key to a window as the keyboard would, and lets the loop take it.
  void PressKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    binding_->ProcessPendingMessages();
  }

  std::unique_ptr<Win32Binding> binding_;
  std::unique_ptr<MainWindow> window_;
};

// Shift held for the thread's key-state checks while it lives.
class ShiftHeld {
 public:
  ShiftHeld() { SetShift(0x80); }
  ~ShiftHeld() { SetShift(0); }

 private:
  static void SetShift(BYTE state) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = state;
    keys[VK_LSHIFT] = state;
    SetKeyboardState(keys);
  }
};

// Runs `act` on the first dialog box (class "#32770") that the calling thread shows, or each act
// on the next box in turn, from a timer that the boxes' own modal loops serve.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(HWND)> act);
  explicit DialogDriver(std::vector<std::function<void(HWND)>> acts);
  ~DialogDriver();
  bool Acted() const { return next_ == acts_.size(); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  std::vector<std::function<void(HWND)>> acts_;
  std::size_t next_ = 0;
  HWND last_ = nullptr;
  UINT_PTR timer_ = 0;
};

// Known differences of Wine from Windows are marked where a test meets them.
inline bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// UTF-16 of a code-page-936 text (tests compare against what the controls hold).
std::wstring Wide(const Text& text);
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The message of a message box: its static text.
std::wstring BoxText(HWND box);
// A committed fixture's path, with the separators the dialogs give back.
std::wstring FixturePath(const char* relative);
// Presses a dialog's button as a click on it would.
void PressButton(HWND dialog, int button);

}  // namespace morvane
