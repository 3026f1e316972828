// Opening a workbook by its signature. (First version.)
#include "load/workbook.h"

namespace morvane {

WorkbookReadResult ReadFirstSheetColumn(const Text& path) {
  auto file = OpenReadOnlyFile(path);
  if (!file) return {false, {}, {WorkbookError::CannotOpenFile, "cannot open"}};
  return ReadFirstSheetColumn(*file);
}

WorkbookReadResult ReadFirstSheetColumn(const ReadOnlyFile&) {
  return {false, {}, {WorkbookError::UnknownFormat, "no reader yet"}};
}

WorkbookReadResult ReadFirstSheetColumnFromBytes(std::span<const unsigned char>) {
  return {false, {}, {WorkbookError::UnknownFormat, "no reader yet"}};
}

}  // namespace morvane
