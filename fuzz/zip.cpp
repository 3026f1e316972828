// Fuzz target for the ZIP layer and the whole open path: any bytes as a workbook file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "load/byte_reader.h"
#include "load/workbook.h"
#include "load/zip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvane;
  const std::span<const unsigned char> bytes(data, size);
  ReadFirstSheetColumnFromBytes(bytes);

  // Every entry streamed to its end, so damaged deflate data and forged sizes are reached even
  // where the reader would stop early.
  MemoryFile file(bytes);
  ZipError error;
  std::string detail;
  auto archive = ZipArchive::Open(file, error, detail);
  if (!archive) return 0;
  std::vector<unsigned char> buffer(4096);
  std::size_t opened = 0;
  for (const auto& entry : archive->Entries()) {
    if (++opened > 64) break;
    auto reader = archive->OpenEntry(entry, error, detail);
    if (!reader) continue;
    while (reader->Read(buffer.data(), buffer.size()) > 0) {
    }
  }
  return 0;
}
