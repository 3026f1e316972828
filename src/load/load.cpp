// The workbook load: the open-file dialog, then column A of the first sheet into the name list.
#include "load/load.h"

#include <charconv>

#include "app/program_globals.h"
#include "app/program_texts.h"
#include "load/builtin_spreadsheet.h"
#include "platform/binding.h"
#include "services/message.h"
#include "services/numbers.h"

namespace morvane {

namespace {

// The references one load holds; released after the application, in this order.
struct LoadReferences {
  ObjectReference sheet;
  ObjectReference usedRange;
  ObjectReference rows;
  ObjectReference cell;

  void Release() {
    sheet.reset();
    usedRange.reset();
    rows.reset();
    cell.reset();
  }
};

// The dialog's kind is fixed by the binding's call; the load sets the rest before every showing.
void ChooseWorkbook(MainWindow& window) {
  OpenFileDialogRequest request;
  request.filter = texts::kWorkbookFilter;
  request.initialDirectory = ProgramDirectory;
  request.defaultExtension = texts::kWorkbookDefaultExtension;
  request.fileName = window.OpenFileDialogFileName();
  if (!window.Binding().ShowOpenFileDialog(request)) return;
  window.OpenFileDialogFileName() = request.fileName;
  window.SetEditText(Control::编辑框1, request.fileName);
}

// Rows from A1 to the used range's count, each cell's text appended as one item.
void ReadRows(MainWindow& window, SpreadsheetOperations& spreadsheet, LoadReferences& references) {
  spreadsheet.ActivateWorkbook();
  spreadsheet.ActivateSheet();
  spreadsheet.SelectSheet(0);
  references.sheet = spreadsheet.GetSheet();
  references.usedRange = spreadsheet.ReadObject(references.sheet, "UsedRange");
  references.rows = spreadsheet.ReadObject(references.usedRange, "Rows");
  const double count = spreadsheet.ReadNumber(references.rows, "Count");
  RowCount = static_cast<int32_t>(RealToInt64(count));  // the low 32 bits

  NameList& names = window.Names();
  const int32_t bound = RowCount;
  // "A" and the row's digits, as JoinTexts and IntToText would give them, written into one
  // text kept short enough to need no allocation.
  char digits[16] = {'A'};
  Text address;
  // i is wider than the bound so that the last test cannot overflow; RowCounter ends at n + 1.
  // The per-row stores need no ordering: a copy job reading them only wants whole values.
  for (int64_t i = 1;; ++i) {
    const auto row = static_cast<int32_t>(i);
    RowCounter.store(row, std::memory_order_relaxed);
    if (i > bound) break;
    const auto written = std::to_chars(digits + 1, digits + sizeof digits, row);
    address.assign(digits, written.ptr);
    spreadsheet.SetRangeStart(address);
    spreadsheet.SetRangeEnd(address);
    references.cell = spreadsheet.GetRange();
    CellText = spreadsheet.ReadText(references.cell, "Value");
    const int32_t position = names.AppendItem();
    LastItemIndex.store(position, std::memory_order_relaxed);
    names.SetItemText(position, CellText);
  }
}

// One load through one server. False, with nothing read, when the workbook did not open.
bool LoadThrough(MainWindow& window, SpreadsheetOperations& spreadsheet, const Text& path) {
  LoadReferences references;
  spreadsheet.CreateApplication();
  spreadsheet.SetApplicationVisible(false);
  spreadsheet.AttachWorkbook();
  const bool opened = spreadsheet.OpenWorkbook(path);
  // An unopened path would otherwise read the empty workbook's sheet, whose rows are not names.
  if (opened) ReadRows(window, spreadsheet, references);
  spreadsheet.CloseWorkbooks();
  spreadsheet.DetachWorkbook();
  spreadsheet.QuitApplication();
  spreadsheet.ReleaseApplication();
  references.Release();
  return opened;
}

// Nothing read: no rows, and the counter where an empty loop leaves it.
void LoadNothing() {
  RowCount = 0;
  RowCounter = 1;
}

}  // namespace

void LoadNamesFromWorkbook(MainWindow& window) {
  ChooseWorkbook(window);
  const Text path = window.GetEditText(Control::编辑框1);

  // Morvane's own reader first; the spreadsheet application, where the platform has one, opens
  // what it cannot (formats it does not read yet, damaged files the application repairs).
  {
    BuiltinSpreadsheet builtin;
    if (LoadThrough(window, builtin, path)) return;
  }
  if (path.empty()) {
    LoadNothing();
    return;
  }
  if (std::unique_ptr<SpreadsheetOperations> server = window.Binding().CreateAutomationServer()) {
    if (LoadThrough(window, *server, path)) return;
  }
  LoadNothing();
  ShowMessage(window.Binding(), texts::kUnreadableWorkbookMessage);
}

}  // namespace morvane
