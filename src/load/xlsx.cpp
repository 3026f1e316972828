// The .xlsx/.xlsm reader. (Placeholder until the reader lands.)
#include "load/workbook.h"

namespace morvane {

WorkbookReadResult ReadOoxmlFirstSheetColumn(const ReadOnlyFile&) {
  return {false, {}, {WorkbookError::Unsupported, "no .xlsx reader yet"}};
}

}  // namespace morvane
