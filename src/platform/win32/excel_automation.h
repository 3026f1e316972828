// The spreadsheet operations through the spreadsheet application's automation server (IDispatch
// late binding), for files Morvane's own reader cannot open.
#pragma once

#include <oaidl.h>

#include <functional>
#include <memory>

#include "load/spreadsheet.h"

namespace morvane {

// Gives the application object as a new reference, or null when it cannot be created.
using AutomationApplicationFactory = std::function<IDispatch*()>;

// The operations on whatever application object the factory gives (tests give their own).
std::unique_ptr<SpreadsheetOperations> CreateDispatchSpreadsheet(AutomationApplicationFactory factory);

// "Excel.Application" when CLSIDFromProgID and CoCreateInstance succeed, else null. COM must be
// initialised on the calling thread.
std::unique_ptr<SpreadsheetOperations> CreateExcelAutomation();

}  // namespace morvane
