// The workbook load. (Placeholder until the load lands.)
#include "load/load.h"

namespace morvane {

void LoadNamesFromWorkbook(MainWindow&) {}

}  // namespace morvane
