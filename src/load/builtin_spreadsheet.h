// Morvane's own workbook reader behind the spreadsheet operations, in the application's place.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "load/spreadsheet.h"
#include "load/workbook.h"

namespace morvane {

// A cell address such as "A123" or "$B$7": 1-based column and row, both zero when malformed.
struct CellAddress {
  int32_t column = 0;
  int32_t row = 0;
  bool Valid() const { return column > 0 && row > 0; }
};
CellAddress ParseCellAddress(std::string_view address);

// Reads column A of the workbook at a path; tests put a fake in the reader's place.
using WorkbookReader = std::function<WorkbookReadResult(const Text& path)>;

// Only the first sheet is kept, and of it only column A and the used range's last row: that is
// all the load reads. The used range is reported from row 1 to its last row, so a load reading
// from A1 reaches the last used row even when the sheet's first rows are empty.
class BuiltinSpreadsheet : public SpreadsheetOperations {
 public:
  BuiltinSpreadsheet();
  explicit BuiltinSpreadsheet(WorkbookReader reader);
  ~BuiltinSpreadsheet() override;

  bool CreateApplication() override;
  void SetApplicationVisible(bool visible) override;
  void AttachWorkbook() override;
  bool OpenWorkbook(const Text& path) override;
  void ActivateWorkbook() override;
  void ActivateSheet() override;
  void SelectSheet(int32_t index) override;
  ObjectReference GetSheet() override;
  ObjectReference GetRange() override;
  void SetRangeStart(const Text& cell) override;
  void SetRangeEnd(const Text& cell) override;
  ObjectReference ReadObject(const ObjectReference& object, std::string_view name) override;
  double ReadNumber(const ObjectReference& object, std::string_view name) override;
  Text ReadText(const ObjectReference& object, std::string_view name) override;
  void CloseWorkbooks() override;
  void DetachWorkbook() override;
  void QuitApplication() override;
  void ReleaseApplication() override;

  // Why the last OpenWorkbook failed, for developers (None after a success).
  const WorkbookFailure& LastFailure() const { return lastFailure_; }

  struct Sheet;
  struct Range;

 private:
  std::shared_ptr<Range>& SpareRange();
  const Range* AsRange(const ObjectReference& object) const;

  WorkbookReader reader_;
  bool created_ = false;
  bool attached_ = false;
  // First sheet of the current workbook, and the current sheet (the same or none).
  std::shared_ptr<Sheet> workbookSheet_;
  std::shared_ptr<Sheet> sheet_;
  // The current range: a slot of spareRanges_, or none. Being current takes no reference, so
  // making a range current costs no count.
  const std::shared_ptr<Range>* range_ = nullptr;
  // The start cell, and its text where it is short enough to compare: the load gives the same
  // address twice, and the second then needs no parsing.
  CellAddress rangeStart_;
  std::array<char, 12> rangeStartText_{};
  std::size_t rangeStartLength_ = 0;  // 0: no text kept
  // The load asks for one cell per row: range objects nobody else holds are used again, so a
  // row costs no allocation.
  std::array<std::shared_ptr<Range>, 3> spareRanges_;
  WorkbookFailure lastFailure_;
};

}  // namespace morvane
