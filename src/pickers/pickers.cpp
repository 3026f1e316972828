// Folder pickers and list clearing.
#include "pickers/pickers.h"

#include "app/program_texts.h"
#include "platform/binding.h"

namespace morvane {

Text BrowseForFolder(MainWindow& window, const Text& prompt) { return window.Binding().BrowseForFolder(prompt); }

void ChooseSourceFolder(MainWindow& window) {
  window.SetEditText(Control::编辑框2, BrowseForFolder(window, texts::kSourceFolderPrompt));
}

void ChooseTargetFolder(MainWindow& window) {
  window.SetEditText(Control::编辑框3, BrowseForFolder(window, texts::kTargetFolderPrompt));
}

void ClearNameList(MainWindow& window) { window.Names().SetItemTable(ZeroBytes(0)); }

}  // namespace morvane
