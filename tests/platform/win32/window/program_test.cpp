// morvane.exe started as a user starts it: its window, and Esc from every focusable control ending
// the program with status 0.
#include <gtest/gtest.h>

#include <string>

#include "window_fixture.h"

namespace morvane {
namespace {

constexpr int kFirstControlId = 100;  // control ids follow the definition order

struct Program {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;
};

struct Search {
  DWORD processId;
  HWND found = nullptr;
};

BOOL CALLBACK LookForMainWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && ClassName(window) == L"MorvaneWindow" && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

bool Start(Program& program) {
  std::wstring commandLine = L"\"" + Wide(MORVANE_EXE_PATH) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &program.process))
    return false;
  for (int tries = 0; tries < 300 && !program.window; ++tries) {
    Search search{program.process.dwProcessId};
    EnumWindows(&LookForMainWindow, reinterpret_cast<LPARAM>(&search));
    program.window = search.found;
    if (!program.window) Sleep(50);
  }
  return program.window != nullptr;
}

DWORD WaitForExit(Program& program) {
  DWORD status = STILL_ACTIVE;
  if (WaitForSingleObject(program.process.hProcess, 15000) == WAIT_OBJECT_0)
    GetExitCodeProcess(program.process.hProcess, &status);
  else
    TerminateProcess(program.process.hProcess, 99);
  CloseHandle(program.process.hThread);
  CloseHandle(program.process.hProcess);
  return status;
}

TEST(ProgramTest, EscFromEveryFocusableControlEndsTheProgramWithStatusZero) {
  for (const Control control : TabOrder()) {
    SCOPED_TRACE(DefinitionOf(control).name);
    Program program;
    ASSERT_TRUE(Start(program));
    const HWND target = GetDlgItem(program.window, kFirstControlId + static_cast<int>(control));
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(WindowText(program.window), L"Morvane");
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(WaitForExit(program), 0u);
  }
}

TEST(ProgramTest, CloseButtonEndsTheProgramWithStatusZero) {
  Program program;
  ASSERT_TRUE(Start(program));
  RECT outer;
  GetWindowRect(program.window, &outer);
  EXPECT_EQ(outer.right - outer.left, 262);
  EXPECT_EQ(outer.bottom - outer.top, 293);
  PostMessageW(program.window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(WaitForExit(program), 0u);
}

}  // namespace
}  // namespace morvane
