// The built-in spreadsheet server: the operations answered from column A of the first sheet.
#include "load/builtin_spreadsheet.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace morvane {

namespace {

// The largest sheet the spreadsheet formats allow: columns A to XFD, rows 1 to 1,048,576.
constexpr int32_t kLastColumn = 16384;
constexpr int32_t kLastRow = 1048576;

// Property names resolve without regard to case, as automation servers resolve them.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

CellAddress ParseCellAddress(std::string_view address) {
  std::size_t at = 0;
  const std::size_t size = address.size();
  if (at < size && address[at] == '$') ++at;
  int32_t column = 0;
  int letters = 0;
  for (; at < size; ++at) {
    char letter = address[at];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') break;
    if (++letters > 3) return {};
    column = column * 26 + (letter - 'A' + 1);
  }
  if (letters == 0) return {};
  if (at < size && address[at] == '$') ++at;
  int32_t row = 0;
  int digits = 0;
  for (; at < size; ++at) {
    const char digit = address[at];
    if (digit < '0' || digit > '9') break;
    if (++digits > 7) return {};
    row = row * 10 + (digit - '0');
  }
  if (digits == 0 || at != size) return {};
  if (column > kLastColumn || row < 1 || row > kLastRow) return {};
  return {column, row};
}

// The first sheet of a workbook: column A and the used range's last row. Column A stays as the
// reader packed it, its bytes in one block: no second copy of the names is made while the list
// fills.
struct BuiltinSpreadsheet::Sheet : SpreadsheetObject {
  Sheet() = default;
  explicit Sheet(FirstSheetColumn read) : lastUsedRow(read.lastUsedRow), texts(std::move(read.texts)) {}

  // Text of A(row); the empty text below the last text read.
  Text TextOf(int32_t row) const { return row < 1 ? Text() : texts.Get(static_cast<std::size_t>(row - 1)); }

  int32_t lastUsedRow = 0;
  ColumnTexts texts;
};

// A block of cells of a sheet; `rows` marks the row collection of such a block.
struct BuiltinSpreadsheet::Range : SpreadsheetObject {
  std::shared_ptr<Sheet> sheet;
  int32_t firstRow = 1, lastRow = 0;  // lastRow < firstRow: no rows
  int32_t firstColumn = 1, lastColumn = 1;
  bool rows = false;

  int64_t RowTotal() const { return lastRow < firstRow ? 0 : int64_t{lastRow} - firstRow + 1; }
  int64_t ColumnTotal() const { return lastColumn < firstColumn ? 0 : int64_t{lastColumn} - firstColumn + 1; }
};

BuiltinSpreadsheet::BuiltinSpreadsheet() : BuiltinSpreadsheet(WorkbookReader{}) {}

BuiltinSpreadsheet::BuiltinSpreadsheet(WorkbookReader reader) : reader_(std::move(reader)) {
  if (!reader_) reader_ = [](const Text& path) { return ReadFirstSheetColumn(path); };
}

BuiltinSpreadsheet::~BuiltinSpreadsheet() = default;

bool BuiltinSpreadsheet::CreateApplication() {
  created_ = true;
  return true;
}

void BuiltinSpreadsheet::SetApplicationVisible(bool) {}

void BuiltinSpreadsheet::AttachWorkbook() {
  if (!created_) return;
  range_ = nullptr;
  attached_ = true;
  workbookSheet_ = std::make_shared<Sheet>();
  sheet_ = workbookSheet_;
}

bool BuiltinSpreadsheet::OpenWorkbook(const Text& path) {
  if (!attached_) {
    lastFailure_ = {WorkbookError::CannotOpenFile, "no workbook attached"};
    return false;
  }
  if (path.empty()) {
    lastFailure_ = {WorkbookError::CannotOpenFile, "empty path"};
    return false;
  }
  WorkbookReadResult read = reader_(path);
  if (!read.ok) {
    lastFailure_ = std::move(read.failure);
    if (lastFailure_.error == WorkbookError::None) lastFailure_.error = WorkbookError::Damaged;
    return false;
  }
  lastFailure_ = {};
  // A reader's count beyond the sheet's last row would make the load read past the sheet.
  read.column.lastUsedRow = std::clamp(read.column.lastUsedRow, int32_t{0}, kLastRow);
  workbookSheet_ = std::make_shared<Sheet>(std::move(read.column));
  sheet_ = workbookSheet_;
  return true;
}

void BuiltinSpreadsheet::ActivateWorkbook() {}

void BuiltinSpreadsheet::ActivateSheet() {}

void BuiltinSpreadsheet::SelectSheet(int32_t index) {
  // Only the first sheet is read; other indexes name no sheet this server knows.
  if (attached_ && index == 1 && workbookSheet_) sheet_ = workbookSheet_;
}

ObjectReference BuiltinSpreadsheet::GetSheet() { return sheet_; }

ObjectReference BuiltinSpreadsheet::GetRange() { return range_ ? *range_ : nullptr; }

void BuiltinSpreadsheet::SetRangeStart(const Text& cell) {
  if (!created_) return;
  rangeStart_ = ParseCellAddress(cell);
  rangeStartLength_ = cell.size() <= rangeStartText_.size() ? cell.size() : 0;
  std::memcpy(rangeStartText_.data(), cell.data(), rangeStartLength_);
}

void BuiltinSpreadsheet::SetRangeEnd(const Text& cell) {
  if (!sheet_) return;
  const CellAddress start = rangeStart_;
  const bool sameText = rangeStartLength_ != 0 && cell.size() == rangeStartLength_ &&
                        std::memcmp(cell.data(), rangeStartText_.data(), rangeStartLength_) == 0;
  const CellAddress end = sameText ? start : ParseCellAddress(cell);
  if (!start.Valid() || !end.Valid()) {
    range_ = nullptr;
    return;
  }
  std::shared_ptr<Range>& slot = SpareRange();
  Range& range = *slot;
  if (range.sheet != sheet_) range.sheet = sheet_;
  range.firstRow = std::min(start.row, end.row);
  range.lastRow = std::max(start.row, end.row);
  range.firstColumn = std::min(start.column, end.column);
  range.lastColumn = std::max(start.column, end.column);
  range.rows = false;
  range_ = &slot;
}

std::shared_ptr<BuiltinSpreadsheet::Range>& BuiltinSpreadsheet::SpareRange() {
  for (std::shared_ptr<Range>& spare : spareRanges_) {
    if (!spare) spare = std::make_shared<Range>();
    // Held by nobody but this array: no one can see it change.
    if (spare.use_count() == 1) return spare;
  }
  // Every range is held elsewhere: the last slot leaves its range to its holders.
  std::shared_ptr<Range>& last = spareRanges_.back();
  last = std::make_shared<Range>();
  return last;
}

const BuiltinSpreadsheet::Range* BuiltinSpreadsheet::AsRange(const ObjectReference& object) const {
  if (!object) return nullptr;
  for (const std::shared_ptr<Range>& spare : spareRanges_) {
    if (object.get() == spare.get()) return spare.get();
  }
  return dynamic_cast<const Range*>(object.get());
}

ObjectReference BuiltinSpreadsheet::ReadObject(const ObjectReference& object, std::string_view name) {
  if (!object) return nullptr;
  if (const auto* sheet = dynamic_cast<const Sheet*>(object.get())) {
    if (!SameName(name, "UsedRange")) return nullptr;
    // From A1, not from the first used row: the load addresses rows from A1.
    auto used = std::make_shared<Range>();
    used->sheet = std::static_pointer_cast<Sheet>(object);
    used->firstRow = 1;
    used->lastRow = sheet->lastUsedRow;
    return used;
  }
  if (const Range* range = AsRange(object)) {
    if (!SameName(name, "Rows")) return nullptr;
    auto rows = std::make_shared<Range>(*range);
    rows->rows = true;
    return rows;
  }
  return nullptr;
}

double BuiltinSpreadsheet::ReadNumber(const ObjectReference& object, std::string_view name) {
  const Range* range = AsRange(object);
  if (!range) return 0.0;
  if (SameName(name, "Count"))
    return static_cast<double>(range->rows ? range->RowTotal() : range->RowTotal() * range->ColumnTotal());
  if (SameName(name, "Row")) return range->firstRow;
  if (SameName(name, "Column")) return range->firstColumn;
  return 0.0;
}

Text BuiltinSpreadsheet::ReadText(const ObjectReference& object, std::string_view name) {
  const Range* range = AsRange(object);
  // A block's value is an array, which no text coercion takes.
  if (!range || range->rows || !range->sheet || !SameName(name, "Value")) return {};
  if (range->firstRow != range->lastRow || range->firstColumn != range->lastColumn) return {};
  if (range->firstColumn != 1) return {};  // only column A was read
  return range->sheet->TextOf(range->firstRow);
}

void BuiltinSpreadsheet::CloseWorkbooks() {
  if (!attached_) return;
  range_ = nullptr;
  sheet_.reset();
  workbookSheet_.reset();
}

void BuiltinSpreadsheet::DetachWorkbook() {
  range_ = nullptr;
  sheet_.reset();
  workbookSheet_.reset();
  rangeStart_ = {};
  rangeStartLength_ = 0;
  attached_ = false;
}

void BuiltinSpreadsheet::QuitApplication() {
  if (!created_) return;
  DetachWorkbook();
  created_ = false;
}

void BuiltinSpreadsheet::ReleaseApplication() {
  DetachWorkbook();
  created_ = false;
}

}  // namespace morvane
