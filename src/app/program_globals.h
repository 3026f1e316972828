// The program-wide variables shared by the load, the copy job and start-up.
#pragma once

#include <atomic>
#include <cstdint>

#include "services/texts.h"

namespace morvane {

// Row count of the latest load; read by copy jobs when they start.
extern std::atomic<int32_t> RowCount;
// The load's 1-based row; each copy job keeps a counter of its own.
extern std::atomic<int32_t> RowCounter;
// Position of the last item the load appended.
extern std::atomic<int32_t> LastItemIndex;
// Text of the last cell the load read; user-interface thread only.
extern Text CellText;
// Folder of the program's own file, without a trailing separator; set once at start-up.
extern Text ProgramDirectory;

// The program's only exit callback: releases CellText.
void ReleaseProgramGlobals();

}  // namespace morvane
