// Times the .xls reader on one file: xls_read_bench FILE [--print]; figures on standard error.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "load/workbook.h"
#include "platform/codepage936.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: xls_read_bench FILE [--print]\n");
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  auto file = morvane::OpenReadOnlyFile(argv[1]);
  if (!file) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 2;
  }
  const auto result = morvane::ReadXlsFirstSheetColumn(*file);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!result.ok) {
    std::fprintf(stderr, "error %d: %s\n", static_cast<int>(result.failure.error),
                 result.failure.detail.c_str());
    return 2;
  }
  if (argc > 2 && std::strcmp(argv[2], "--print") == 0) {
    for (int32_t row = 0; row < result.column.lastUsedRow; ++row) {
      const auto utf8 = morvane::Codepage936ToUtf8(result.column.texts.Get(static_cast<std::size_t>(row)));
      std::printf("%s\n", utf8 ? utf8->c_str() : "<not CP936>");
    }
  }
  std::fprintf(stderr, "rows %d, %.4f s\n", result.column.lastUsedRow, seconds);
  return 0;
}
