// Entry of the Linux program: the Qt application around ProgramStart.
#include <QApplication>

#include "app/program_start.h"
#include "platform/qt/qt_binding.h"
#include "platform/qt/qt_main_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setWindowIcon(morvane::DefaultIcon());
  int status;
  {
    morvane::QtBinding binding;
    status = morvane::ProgramStart(binding);
  }
  morvane::RunExitCallbacks();
  return status;
}
