// MainWindow: definition, event table and control operations.
#include "app/main_window.h"

#include <algorithm>

#include "app/program_texts.h"
#include "copy/copy_job.h"
#include "load/load.h"
#include "pickers/pickers.h"
#include "platform/binding.h"

namespace morvane {

const WindowDefinition kWindowDefinition{
    texts::kWindowCaption, 262, 293, 256, 268, 150, texts::kNameColumnTitle, 500,
};

const std::array<ControlDefinition, 18> kControlDefinitions{{
    {Control::编辑框1, "编辑框1", ControlKind::EditBox, 101, 39, 155, 24, "", true},
    {Control::按钮1, "按钮1", ControlKind::PushButton, 0, 38, 96, 24, texts::kOpenWorkbookButton, true},
    {Control::通用对话框1, "通用对话框1", ControlKind::OpenFileDialog, 0, 0, 0, 0, "", false},
    {Control::Excel程序1, "Excel程序1", ControlKind::SpreadsheetApplication, 0, 0, 0, 0, "", false},
    {Control::Excel工作簿1, "Excel工作簿1", ControlKind::SpreadsheetWorkbook, 0, 0, 0, 0, "", false},
    {Control::编辑框2, "编辑框2", ControlKind::EditBox, 101, 66, 155, 24, texts::kSourceFolderInitial, true},
    {Control::按钮2, "按钮2", ControlKind::PushButton, 1, 66, 95, 24, texts::kSourceFolderButton, true},
    {Control::超级列表框1, "超级列表框1", ControlKind::ListView, 104, 119, 152, 105, "", true},
    {Control::按钮3, "按钮3", ControlKind::PushButton, 1, 117, 95, 24, texts::kClearButton, true},
    {Control::按钮4, "按钮4", ControlKind::PushButton, 2, 146, 94, 22, texts::kCopyButton, true},
    {Control::编辑框3, "编辑框3", ControlKind::EditBox, 100, 90, 156, 24, texts::kTargetFolderInitial, true},
    {Control::按钮5, "按钮5", ControlKind::PushButton, 1, 91, 95, 24, texts::kTargetFolderButton, true},
    {Control::标签1, "标签1", ControlKind::Label, 58, 182, 40, 24, "0", false},
    {Control::时钟1, "时钟1", ControlKind::Timer, 0, 0, 0, 0, "", false},
    {Control::标签2, "标签2", ControlKind::Label, 8, 182, 40, 24, texts::kProgressCaption, false},
    {Control::标签3, "标签3", ControlKind::Label, 8, 202, 80, 24, texts::kCreditShort, false},
    {Control::标签4, "标签4", ControlKind::Label, 8, 8, 192, 24, texts::kHeading, false},
    {Control::标签5, "标签5", ControlKind::Label, 72, 232, 168, 24, texts::kCreditLong, false},
}};

const std::array<EventBinding, 5> kEventTable{{
    {Control::按钮1, &LoadNamesFromWorkbook, "LoadNamesFromWorkbook"},
    {Control::按钮2, &ChooseSourceFolder, "ChooseSourceFolder"},
    {Control::按钮3, &ClearNameList, "ClearNameList"},
    {Control::按钮4, &StartCopyJob, "StartCopyJob"},
    {Control::按钮5, &ChooseTargetFolder, "ChooseTargetFolder"},
}};

const ControlDefinition& DefinitionOf(Control control) { return kControlDefinitions[static_cast<std::size_t>(control)]; }

bool HasWindow(ControlKind kind) {
  return kind == ControlKind::EditBox || kind == ControlKind::PushButton || kind == ControlKind::ListView ||
         kind == ControlKind::Label;
}

namespace {

constexpr std::array<Control, 9> kTabOrder{
    Control::编辑框1, Control::按钮1, Control::编辑框2, Control::按钮2, Control::超级列表框1,
    Control::按钮3,  Control::按钮4, Control::编辑框3, Control::按钮5,
};

}  // namespace

std::span<const Control> TabOrder() { return kTabOrder; }

Control NextTabStop(Control from, bool backwards) {
  const auto found = std::find(kTabOrder.begin(), kTabOrder.end(), from);
  // From a control without a tab stop the cycle starts at either end.
  if (found == kTabOrder.end()) return backwards ? kTabOrder.back() : kTabOrder.front();
  const std::size_t size = kTabOrder.size();
  const auto index = static_cast<std::size_t>(found - kTabOrder.begin());
  return kTabOrder[backwards ? (index + size - 1) % size : (index + 1) % size];
}

MainWindow::MainWindow(PlatformBinding& binding)
    : binding_(binding), jobs_(std::make_unique<CopyJobs>(*this)) {}

MainWindow::~MainWindow() {
  Close();
  jobs_->StopAndWait();
}

Text MainWindow::GetEditText(Control editBox) {
  Text text;
  calls_.Run([&] { text = binding_.ReadControlText(editBox); });
  return text;
}

void MainWindow::SetEditText(Control editBox, const Text& text) {
  calls_.Run([&] { binding_.WriteControlText(editBox, text); });
}

void MainWindow::SetLabelCaption(Control label, const Text& text) {
  calls_.Run([&] { binding_.WriteControlText(label, text); });
}

void MainWindow::Click(Control button) {
  if (IsClosed()) return;
  for (const EventBinding& binding : kEventTable) {
    if (binding.control == button) binding.handler(*this);
  }
}

void MainWindow::Close() {
  closed_ = true;
  calls_.Close();
}

bool MainWindow::IsClosed() const { return closed_; }

NameList& MainWindow::Names() { return names_; }
PlatformBinding& MainWindow::Binding() { return binding_; }
UserInterfaceCalls& MainWindow::Calls() { return calls_; }
CopyJobs& MainWindow::Jobs() { return *jobs_; }
Text& MainWindow::OpenFileDialogFileName() { return openFileDialogFileName_; }

}  // namespace morvane
