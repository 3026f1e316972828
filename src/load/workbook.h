// One workbook interface over the .xlsx/.xlsm and .xls readers: column A of the first sheet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "load/growing_bytes.h"
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

// The texts of one column, row index 0 first, packed: a million names take their bytes and an
// offset each rather than a string object and an allocation each. Rows come in order from the
// readers and are appended; a row set again or set below the last appended one (damaged or odd
// files) is kept aside, so any order costs no more than a map of those rows.
class ColumnTexts {
 public:
  // Rows between the last one and `index` read as the empty text.
  void Set(std::size_t index, std::string_view text);
  // The empty text past the end.
  Text Get(std::size_t index) const;
  // One past the highest row set.
  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  // Drops the rows from `rows` on.
  void Truncate(std::size_t rows);
  // Room for `rows` rows of `bytes` bytes in all, as a hint; 0 where the bytes are not known.
  void Reserve(std::size_t rows, std::size_t bytes);
  std::vector<Text> ToVector() const;

 private:
  GrowingBytes bytes_;
  std::vector<std::size_t> ends_;  // row i is bytes_[ends_[i-1], ends_[i])
  std::map<std::size_t, Text> replaced_;
};

// Column A of the first sheet, with the used range's last row.
struct FirstSheetColumn {
  // Number of the last row that holds a cell in any column; 0 for an empty sheet.
  int32_t lastUsedRow = 0;
  // texts.Get(i) is the text of cell A(i+1).
  ColumnTexts texts;
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
