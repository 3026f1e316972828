// MainWindow model: definition, control operations across threads, behaviour after close.
#include <gtest/gtest.h>

#include <thread>

#include "app/main_window.h"
#include "app/program_texts.h"
#include "platform/headless/headless_binding.h"

namespace morvane {
namespace {

TEST(MainWindowTest, StartsWithTheDefinedTexts) {
  HeadlessBinding binding;
  MainWindow window(binding);
  binding.Attach(window);
  EXPECT_EQ(window.GetEditText(Control::编辑框1), "");
  EXPECT_EQ(window.GetEditText(Control::编辑框2), texts::kSourceFolderInitial);
  EXPECT_EQ(window.GetEditText(Control::编辑框3), texts::kTargetFolderInitial);
}

}  // namespace
}  // namespace morvane
