// Opening a workbook by its signature, whatever the file is called.
#include "load/workbook.h"

#include <cstring>

#include "load/byte_reader.h"

namespace morvane {

WorkbookReadResult ReadFirstSheetColumn(const Text& path) {
  auto file = OpenReadOnlyFile(path);
  if (!file) return {false, {}, {WorkbookError::CannotOpenFile, "cannot open"}};
  return ReadFirstSheetColumn(*file);
}

WorkbookReadResult ReadFirstSheetColumn(const ReadOnlyFile& file) {
  static constexpr unsigned char kZip[4] = {'P', 'K', 3, 4};
  static constexpr unsigned char kCompoundFile[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  unsigned char head[8] = {};
  const std::size_t count = file.Size() < sizeof head ? static_cast<std::size_t>(file.Size()) : sizeof head;
  if (!file.ReadAt(0, std::span<unsigned char>(head, count)))
    return {false, {}, {WorkbookError::CannotOpenFile, "cannot read the first bytes"}};
  if (count >= 4 && std::memcmp(head, kZip, 4) == 0) return ReadOoxmlFirstSheetColumn(file);
  // A compound file is an .xls or a password-protected .xlsx (an EncryptedPackage stream); the
  // .xls reader tells them apart, since it walks the directory anyway.
  if (count == 8 && std::memcmp(head, kCompoundFile, 8) == 0) return ReadXlsFirstSheetColumn(file);
  return {false, {}, {WorkbookError::UnknownFormat, "neither a ZIP nor a compound file"}};
}

WorkbookReadResult ReadFirstSheetColumnFromBytes(std::span<const unsigned char> bytes) {
  MemoryFile file(bytes);
  return ReadFirstSheetColumn(file);
}

}  // namespace morvane
