// The program-wide variables.
#include "app/program_globals.h"

namespace morvane {

std::atomic<int32_t> RowCount{0};
std::atomic<int32_t> RowCounter{0};
std::atomic<int32_t> LastItemIndex{0};
Text CellText;
Text ProgramDirectory;

void ReleaseProgramGlobals() { Text().swap(CellText); }

}  // namespace morvane
