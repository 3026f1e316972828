// A million names into the real list view, against the same appends on the headless binding.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "platform/headless/headless_binding.h"
#include "window_fixture.h"

namespace morvane {
namespace {

constexpr int32_t kNames = 1048576;

double AppendMillion(MainWindow& window) {
  const auto start = std::chrono::steady_clock::now();
  NameList& names = window.Names();
  for (int32_t row = 1; row <= kNames; ++row)
    names.SetItemText(names.AppendItem(), "name" + std::to_string(row) + ".txt");
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(WindowTest, MillionNamesAppendQuicklyAndScroll) {
  HeadlessBinding headlessBinding;
  MainWindow headless(headlessBinding);
  headlessBinding.Attach(headless);
  const double headlessSeconds = AppendMillion(headless);
  const auto windowStart = std::chrono::steady_clock::now();
  AppendMillion(*window_);
  binding_->ProcessPendingMessages();
  UpdateWindow(Main());
  const double windowSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - windowStart).count();
  const HWND list = Handle(Control::超级列表框1);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), kNames);
  // Scrolling to the end and painting asks only for the shown texts.
  const auto scrollStart = std::chrono::steady_clock::now();
  SendMessageW(list, LVM_ENSUREVISIBLE, kNames - 1, FALSE);
  UpdateWindow(list);
  binding_->ProcessPendingMessages();
  const double scrollSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - scrollStart).count();
  EXPECT_EQ(binding_->ListViewItemText(kNames - 1), "name1048576.txt");
  std::printf("appends of %d names: headless %.3f s, window %.3f s; scroll to the end %.3f s\n", kNames,
              headlessSeconds, windowSeconds, scrollSeconds);
  // The appends alone, without the reading that a whole load adds to both sides; the slack keeps a
  // busy machine's scheduling out of it.
  EXPECT_LT(windowSeconds, 3 * headlessSeconds + 0.2);
  EXPECT_LT(scrollSeconds, 1.0);
}

}  // namespace
}  // namespace morvane
