// The BIFF5/BIFF8 records (MS-XLS) of an .xls workbook stream: column A of the first sheet.
#pragma once

#include <span>

#include "load/workbook.h"

namespace morvane {

// Reads the "Workbook" (BIFF8) or "Book" (BIFF5) stream, taken out of its compound file. The
// stream is read as the walk through its records reaches each part, never held whole.
WorkbookReadResult ReadBiffFirstSheetColumn(const ReadOnlyFile& workbookStream);
WorkbookReadResult ReadBiffFirstSheetColumn(std::span<const unsigned char> workbookStream);

}  // namespace morvane
