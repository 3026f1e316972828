// Fuzz target for the BIFF layer: the input is a workbook stream, or a whole .xls whose
// workbook stream is taken out first so that seeds from real files reach the records.
#include "load/biff.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "load/byte_reader.h"
#include "load/cfb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const unsigned char> input(data, size);
  morvane::MemoryFile file(input);
  std::string detail;
  std::vector<unsigned char> stream;
  if (auto compound = morvane::CompoundFile::Open(file, detail)) {
    auto index = compound->FindRootStream(u"Workbook");
    if (!index) index = compound->FindRootStream(u"Book");
    if (index && compound->ReadStream(*index, stream, detail)) input = stream;
  }
  morvane::ReadBiffFirstSheetColumn(input);
  return 0;
}
