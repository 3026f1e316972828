// Fuzz target for the compound file layer: open, find the workbook stream, read every stream.
#include "load/cfb.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "load/byte_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  morvane::MemoryFile file(std::span<const unsigned char>(data, size));
  std::string detail;
  auto compound = morvane::CompoundFile::Open(file, detail);
  if (!compound) return 0;
  std::vector<unsigned char> bytes;
  for (const char16_t* name : {u"Workbook", u"Book", u"EncryptedPackage"}) {
    if (auto index = compound->FindRootStream(name)) compound->ReadStream(*index, bytes, detail);
  }
  return 0;
}
