// One workbook interface over the .xlsx/.xlsm and .xls readers: column A of the first sheet.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "services/files.h"
#include "services/texts.h"

namespace morvane {

enum class WorkbookError {
  None,
  CannotOpenFile,  // missing, a folder, unreadable
  UnknownFormat,   // the signature is neither ZIP nor compound file
  Encrypted,       // password-protected (.xlsx in a compound file, FILEPASS)
  Unsupported,     // .xlsb, BIFF2-4 and the like
  Damaged,         // structure broken or a limit exceeded
};

struct WorkbookFailure {
  WorkbookError error = WorkbookError::None;
  std::string detail;  // for developers: which structure, which offset
};

// Column A of the first sheet, with the used range's last row.
struct FirstSheetColumn {
  // Number of the last row that holds a cell in any column; 0 for an empty sheet.
  int32_t lastUsedRow = 0;
  // texts[i] is the text of cell A(i+1); rows past the end read as the empty text.
  std::vector<Text> texts;
};

struct WorkbookReadResult {
  bool ok = false;
  FirstSheetColumn column;
  WorkbookFailure failure;
};

// Reads the workbook, choosing the reader by signature, not by extension.
WorkbookReadResult ReadFirstSheetColumn(const Text& path);
WorkbookReadResult ReadFirstSheetColumn(const ReadOnlyFile& file);
WorkbookReadResult ReadFirstSheetColumnFromBytes(std::span<const unsigned char> bytes);

// The readers behind it.
WorkbookReadResult ReadOoxmlFirstSheetColumn(const ReadOnlyFile& file);  // ZIP signature
WorkbookReadResult ReadXlsFirstSheetColumn(const ReadOnlyFile& file);    // compound file signature

}  // namespace morvane
