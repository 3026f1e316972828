// Folder pickers for the two folder fields, and emptying the name list.
#include "pickers/pickers.h"

#include "app/program_texts.h"
#include "platform/binding.h"

namespace morvane {

// The binding makes the browser modal to the whole program and restores every window after it.
Text BrowseForFolder(MainWindow& window, const Text& prompt) {
  return window.Binding().BrowseForFolder(prompt);
}

// A cancelled browser gives the empty text, so cancelling empties the field.
void ChooseSourceFolder(MainWindow& window) {
  window.SetEditText(Control::编辑框2, BrowseForFolder(window, texts::kSourceFolderPrompt));
}

void ChooseTargetFolder(MainWindow& window) {
  window.SetEditText(Control::编辑框3, BrowseForFolder(window, texts::kTargetFolderPrompt));
}

// Only the items go: RowCount stays, so a job before the next load reads empty names.
void ClearNameList(MainWindow& window) { window.Names().SetItemTable(ZeroBytes(0)); }

}  // namespace morvane
