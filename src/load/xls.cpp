// The .xls reader. (Placeholder until the reader lands.)
#include "load/workbook.h"

namespace morvane {

WorkbookReadResult ReadXlsFirstSheetColumn(const ReadOnlyFile&) {
  return {false, {}, {WorkbookError::Unsupported, "no .xls reader yet"}};
}

}  // namespace morvane
