// The workbook load: column A of the first sheet into the name list.
#pragma once

#include "app/main_window.h"

namespace morvane {

// Click handler of 按钮1.
void LoadNamesFromWorkbook(MainWindow& window);

}  // namespace morvane
