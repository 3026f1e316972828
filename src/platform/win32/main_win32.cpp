// Entry of morvane.exe: OLE for the user-interface thread, then the program on the Win32 binding.
// clang-format off
#include "platform/win32/win32_binding.h"
// clang-format on

#include <ole2.h>

#include "app/program_start.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The folder browser and spreadsheet automation need OLE on this thread; a failure shows later as
  // a browser or a load that does nothing.
  const HRESULT ole = OleInitialize(nullptr);
  int status = 0;
  {
    morvane::Win32Binding binding(instance);
    status = morvane::ProgramStart(binding);
  }
  morvane::RunExitCallbacks();
  if (SUCCEEDED(ole)) OleUninitialize();
  return status;
}
