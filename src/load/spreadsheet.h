// The spreadsheet operations the load drives, for the application object (Excel程序1) and the
// workbook object (Excel工作簿1). None raises: a failed read gives the absent text, 0.0 or an empty
// reference, and every other failure keeps the earlier state.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "services/texts.h"

namespace morvane {

// An object of the spreadsheet (sheet, range, rows, cell); the last holder releases it.
class SpreadsheetObject {
 public:
  virtual ~SpreadsheetObject() = default;
};
using ObjectReference = std::shared_ptr<SpreadsheetObject>;

class SpreadsheetOperations {
 public:
  virtual ~SpreadsheetOperations() = default;

  virtual bool CreateApplication() = 0;
  virtual void SetApplicationVisible(bool visible) = 0;
  // Releases old references, adds an empty workbook and makes its first sheet current.
  virtual void AttachWorkbook() = 0;
  // True when the workbook opened; it and its first sheet become current.
  virtual bool OpenWorkbook(const Text& path) = 0;
  virtual void ActivateWorkbook() = 0;
  virtual void ActivateSheet() = 0;
  // Indexes start at 1; 0 names no sheet and changes nothing.
  virtual void SelectSheet(int32_t index) = 0;
  virtual ObjectReference GetSheet() = 0;
  virtual ObjectReference GetRange() = 0;
  virtual void SetRangeStart(const Text& cell) = 0;
  // Only with a current sheet: the current range becomes start to end cell.
  virtual void SetRangeEnd(const Text& cell) = 0;
  // Property reads by name ("UsedRange", "Rows", "Count", "Value"). The load reads rows from A1,
  // so the used range's "Rows" "Count" it relies on is the number of the range's last row (a range
  // starting at row 3 and ending at row 10 counts 10); an empty sheet counts 0.
  virtual ObjectReference ReadObject(const ObjectReference& object, std::string_view name) = 0;
  virtual double ReadNumber(const ObjectReference& object, std::string_view name) = 0;
  virtual Text ReadText(const ObjectReference& object, std::string_view name) = 0;
  virtual void CloseWorkbooks() = 0;
  virtual void DetachWorkbook() = 0;
  virtual void QuitApplication() = 0;
  virtual void ReleaseApplication() = 0;
};

}  // namespace morvane
