// Folder pickers fill or empty their field with the right prompt; clearing empties only the list.
#include "pickers/pickers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_globals.h"
#include "app/program_texts.h"
#include "platform/headless/headless_binding.h"

namespace morvane {
namespace {

TEST(FolderPickerTest, TheChosenFolderFillsTheFieldAndCancelEmptiesIt) {
  struct Case {
    const char* what;
    Control button, field, otherField;
    const char* prompt;
    Text answer;  // empty: cancelled
  };
  const Text longPath = "/" + std::string(300, 'x');
  const Case cases[] = {
      {"source chosen", Control::按钮2, Control::编辑框2, Control::编辑框3, texts::kSourceFolderPrompt,
       "/data/in"},
      {"source cancelled", Control::按钮2, Control::编辑框2, Control::编辑框3, texts::kSourceFolderPrompt,
       ""},
      {"target chosen", Control::按钮5, Control::编辑框3, Control::编辑框2, texts::kTargetFolderPrompt,
       "D:\\\xB1\xA3\xB4\xE6"},  // D:\保存
      {"target cancelled", Control::按钮5, Control::编辑框3, Control::编辑框2, texts::kTargetFolderPrompt,
       ""},
      {"drive root", Control::按钮5, Control::编辑框3, Control::编辑框2, texts::kTargetFolderPrompt, "C:\\"},
      {"path past 259 bytes", Control::按钮2, Control::编辑框2, Control::编辑框3, texts::kSourceFolderPrompt,
       longPath},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HeadlessBinding binding;
    MainWindow window(binding);
    binding.Attach(window);
    window.SetEditText(c.field, "/previous/choice");
    const Text other = window.GetEditText(c.otherField);
    if (!c.answer.empty()) binding.QueueFolderAnswer(c.answer);

    window.Click(c.button);

    EXPECT_EQ(binding.FolderPrompts(), std::vector<Text>{c.prompt});
    EXPECT_EQ(window.GetEditText(c.field), c.answer);
    EXPECT_EQ(window.GetEditText(c.otherField), other);
    EXPECT_TRUE(binding.Messages().empty());
  }
}

TEST(ClearNameListTest, EmptiesTheListAndLeavesEverythingElse) {
  HeadlessBinding binding;
  MainWindow window(binding);
  binding.Attach(window);
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    window.Names().SetItemText(window.Names().AppendItem(), name);
  RowCount = 3;
  const Text source = window.GetEditText(Control::编辑框2);
  const Text target = window.GetEditText(Control::编辑框3);

  window.Click(Control::按钮3);
  window.Click(Control::按钮3);  // an empty list stays empty

  EXPECT_EQ(window.Names().Count(), 0);
  EXPECT_EQ(window.Names().GetItemText(0), "");
  EXPECT_EQ(RowCount, 3);
  EXPECT_EQ(window.GetEditText(Control::编辑框2), source);
  EXPECT_EQ(window.GetEditText(Control::编辑框3), target);
  EXPECT_TRUE(binding.LabelHistory(Control::标签1).empty());

  // A later load appends to the empty list from position 0.
  window.Names().SetItemText(window.Names().AppendItem(), "d.txt");
  EXPECT_EQ(window.Names().GetItemText(0), "d.txt");
  RowCount = 0;
}

}  // namespace
}  // namespace morvane
