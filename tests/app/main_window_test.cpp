// MainWindow model: definition, control operations across threads, behaviour after close.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app/program_texts.h"
#include "platform/headless/headless_binding.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;

TEST(MainWindowTest, StartsWithTheDefinedTexts) {
  HeadlessBinding binding;
  MainWindow window(binding);
  binding.Attach(window);
  EXPECT_EQ(window.GetEditText(Control::编辑框1), "");
  EXPECT_EQ(window.GetEditText(Control::编辑框2), texts::kSourceFolderInitial);
  EXPECT_EQ(window.GetEditText(Control::编辑框3), texts::kTargetFolderInitial);
  window.SetEditText(Control::编辑框3, "");
  EXPECT_EQ(window.GetEditText(Control::编辑框3), "");
}

// A worker's operations take effect in its order, each finished before the next starts.
TEST(MainWindowTest, AWorkersOperationsRunInItsOrder) {
  HeadlessBinding binding;
  MainWindow window(binding);
  binding.Attach(window);
  constexpr int kRows = 200;
  std::atomic<bool> finished{false};
  std::atomic<int> misreads{0};
  std::thread worker([&] {
    for (int row = 1; row <= kRows; ++row) {
      const Text number = std::to_string(row);
      window.SetLabelCaption(Control::标签1, number);
      window.SetEditText(Control::编辑框2, number);
      if (window.GetEditText(Control::编辑框2) != number) ++misreads;
    }
    finished = true;
  });
  ASSERT_TRUE(binding.PumpUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_EQ(misreads, 0);
  std::vector<Text> expected;
  for (int row = 1; row <= kRows; ++row) expected.push_back(std::to_string(row));
  EXPECT_EQ(binding.LabelHistory(Control::标签1), expected);
}

// The worker's call returns only once the user-interface thread has carried it out.
TEST(MainWindowTest, AWorkerWaitsForTheUserInterfaceThread) {
  HeadlessBinding binding;
  MainWindow window(binding);
  binding.Attach(window);
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    window.SetEditText(Control::编辑框3, "target");
    returned = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(returned) << "the call returned before the user-interface thread served it";
  ASSERT_TRUE(binding.PumpUntil([&] { return returned.load(); }));
  EXPECT_EQ(binding.ReadControlText(Control::编辑框3), "target");
  worker.join();
}

// After the window is closed a worker's calls give the absent text and change nothing, and a
// worker already waiting in a call is let go.
TEST(MainWindowTest, OperationsAfterCloseAreHarmlessAndNeverBlock) {
  HeadlessBinding binding;
  MainWindow window(binding);
  binding.Attach(window);
  std::promise<void> waiting;
  window.Calls().SetWake([&waiting] { waiting.set_value(); });  // nobody serves the call
  auto blocked = std::async(std::launch::async, [&] { return window.GetEditText(Control::编辑框2); });
  ASSERT_EQ(waiting.get_future().wait_for(5s), std::future_status::ready);
  window.Close();
  ASSERT_EQ(blocked.wait_for(5s), std::future_status::ready) << "a waiting worker stayed blocked";
  EXPECT_EQ(blocked.get(), "");

  auto later = std::async(std::launch::async, [&] {
    window.SetLabelCaption(Control::标签1, "50%");
    window.SetEditText(Control::编辑框2, "changed");
    return window.GetEditText(Control::编辑框2);
  });
  ASSERT_EQ(later.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(later.get(), "");
  EXPECT_EQ(window.GetEditText(Control::编辑框2), "");  // on the user-interface thread too
  EXPECT_EQ(binding.ReadControlText(Control::编辑框2), texts::kSourceFolderInitial);
  EXPECT_TRUE(binding.LabelHistory(Control::标签1).empty());
}

TEST(MainWindowTest, TabMovesThroughTheTabStopsAndWraps) {
  const struct {
    Control from, next, previous;
  } cases[] = {
      {Control::编辑框1, Control::按钮1, Control::按钮5},
      {Control::按钮1, Control::编辑框2, Control::编辑框1},
      {Control::编辑框2, Control::按钮2, Control::按钮1},
      {Control::按钮2, Control::超级列表框1, Control::编辑框2},
      {Control::超级列表框1, Control::按钮3, Control::按钮2},
      {Control::按钮3, Control::按钮4, Control::超级列表框1},
      {Control::按钮4, Control::编辑框3, Control::按钮3},
      {Control::编辑框3, Control::按钮5, Control::按钮4},
      {Control::按钮5, Control::编辑框1, Control::编辑框3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(DefinitionOf(c.from).name);
    EXPECT_EQ(NextTabStop(c.from, false), c.next);
    EXPECT_EQ(NextTabStop(c.from, true), c.previous);
  }
  for (const Control control : TabOrder()) EXPECT_TRUE(DefinitionOf(control).tabStop);
  for (const ControlDefinition& definition : kControlDefinitions) {
    if (definition.kind == ControlKind::Label) {
      EXPECT_FALSE(definition.tabStop) << definition.name;
    }
  }
}

}  // namespace
}  // namespace morvane
