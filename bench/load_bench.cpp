// Loads a workbook through the program's own load path, without a window, and times it.
//
// Usage: load_bench FILE [--print]
// Figures go to standard error. With --print, standard output holds the names and nothing else:
// one UTF-8 line per row, "\" written as "\\", LF as "\n" and CR as "\r".
// Exit status: 0 when the workbook loaded, 2 when it cannot be read, 1 for a wrong command line.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/main_window.h"
#include "app/program_globals.h"
#include "load/load.h"
#include "load/workbook.h"
#include "platform/codepage936.h"
#include "platform/headless/headless_binding.h"

namespace {

using namespace morvane;

void AppendEscaped(std::string& out, std::string_view name) {
  for (const char c : name) {
    const char escaped = c == '\\' ? '\\' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\0';
    if (escaped) {
      out.push_back('\\');
      out.push_back(escaped);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('\n');
}

bool PrintNames(NameList& names) {
  std::string buffer;
  const int32_t count = names.Count();
  for (int32_t i = 0; i < count; ++i) {
    const Text item = names.GetItemText(i);
    // The reader writes code page 936, so this only fails for bytes no reader gives.
    const std::optional<std::string> utf8 = Codepage936ToUtf8(item);
    AppendEscaped(buffer, utf8 ? *utf8 : item);
    if (buffer.size() >= (1u << 16)) {
      if (std::fwrite(buffer.data(), 1, buffer.size(), stdout) != buffer.size()) return false;
      buffer.clear();
    }
  }
  return std::fwrite(buffer.data(), 1, buffer.size(), stdout) == buffer.size() && std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool print = false;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--print") == 0)
      print = true;
    else if (!file)
      file = argv[i];
    else
      file = nullptr, i = argc;
  }
  if (!file || argc > 3) {
    std::fprintf(stderr, "usage: load_bench FILE [--print]\n");
    return 1;
  }
  const std::optional<Text> path = Utf8ToCodepage936Exactly(file);
  if (!path || path->empty()) {
    std::fprintf(stderr, "load_bench: the path cannot be written in code page 936\n");
    return 2;
  }

  HeadlessBinding binding;
  MainWindow window(binding);
  binding.Attach(window);
  ProgramDirectory = Text(".");
  binding.QueueOpenFileAnswer(*path);

  const auto start = std::chrono::steady_clock::now();
  window.Click(Control::按钮1);
  const auto end = std::chrono::steady_clock::now();
  const double milliseconds = std::chrono::duration<double, std::milli>(end - start).count();

  const bool loaded = binding.Messages().empty();
  std::fprintf(stderr, "rows: %d\nitems: %d\nload: %.1f ms\n", static_cast<int>(RowCount),
               static_cast<int>(window.Names().Count()), milliseconds);
  if (!loaded) {
    // The load tells the user no reason; the reader tells developers.
    const WorkbookReadResult read = ReadFirstSheetColumn(*path);
    std::fprintf(stderr, "load_bench: the workbook cannot be read (%s)\n", read.failure.detail.c_str());
    return 2;
  }
  if (print && !PrintNames(window.Names())) return 1;
  return 0;
}
