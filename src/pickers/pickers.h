// Folder pickers for the source and target fields, and emptying the name list.
#pragma once

#include "app/main_window.h"

namespace morvane {

// The folder the user chose, or the empty text; modal to the whole program while open.
Text BrowseForFolder(MainWindow& window, const Text& prompt);

void ChooseSourceFolder(MainWindow& window);  // 按钮2 → 编辑框2
void ChooseTargetFolder(MainWindow& window);  // 按钮5 → 编辑框3
void ClearNameList(MainWindow& window);       // 按钮3

}  // namespace morvane
