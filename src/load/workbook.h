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

// The texts of one column, row index 0 first, packed: a million names take their bytes and a
// number each rather than a string object and an allocation each. Rows may also share texts
// added once (a workbook's shared strings), so a row holding one costs its number and no copy.
// Rows come in order from the readers and are appended; a row set again or set below the last
// appended one (damaged or odd files) is kept aside, so any order costs no more than a map of
// those rows.
class ColumnTexts {
 public:
  // Shared texts are numbered from 0 in the order added, all before any row's own text.
  void AddShared(std::string_view text);
  std::size_t SharedCount() const { return shared_; }
  // The row takes shared text `shared`, which must have been added.
  void SetShared(std::size_t index, std::size_t shared);
  // Rows between the last one and `index` read as the empty text.
  void Set(std::size_t index, std::string_view text);
  // The empty text past the end.
  Text Get(std::size_t index) const;
  // One past the highest row set.
  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  // Drops the rows from `rows` on.
  void Truncate(std::size_t rows);
  // Room for `rows` rows, `shared` more shared texts and `bytes` bytes in all, as hints.
  void Reserve(std::size_t rows, std::size_t shared, std::size_t bytes);
  std::vector<Text> ToVector() const;
  // True once a text could not be kept: the texts outgrew what a column holds (4 GB, or 4 billion
  // texts), or a shared text came after rows' own texts. The reader must then refuse the workbook.
  bool Overflowed() const { return overflowed_; }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;     // a row never set
  static constexpr uint32_t kReplaced = 0xFFFFFFFE;  // a row kept aside in replaced_

  // The new text's number, or kEmpty when it does not fit.
  uint32_t Add(std::string_view text);
  void SetNumber(std::size_t index, uint32_t number);

  GrowingBytes bytes_;
  std::vector<uint32_t> ends_;  // text t is bytes_[ends_[t-1], ends_[t])
  std::vector<uint32_t> rows_;  // each row's text number
  std::size_t shared_ = 0;      // texts [0, shared_) are shared
  std::map<std::size_t, Text> replaced_;
  bool overflowed_ = false;
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
