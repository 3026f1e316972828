// A million names into the real list view, against the same appends on the headless binding.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/program_globals.h"
#include "load/load.h"
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

// The load of a big workbook (MORVANE_BIG_WORKBOOK, e.g. from bench/make_big_xlsx.py) into the real
// window against the same load on the headless binding. Figures, not a check of the reader:
// run with --gtest_also_run_disabled_tests.
class NoDialogBinding : public Win32Binding {
 public:
  using Win32Binding::Win32Binding;
  bool ShowOpenFileDialog(OpenFileDialogRequest&) override { return false; }  // 编辑框1 is read
};

TEST(WindowSpeedTest, DISABLED_BigWorkbookLoadsIntoTheWindowWithinThreeTimesTheHeadlessLoad) {
  const char* path = std::getenv("MORVANE_BIG_WORKBOOK");
  ASSERT_NE(path, nullptr) << "MORVANE_BIG_WORKBOOK names the workbook";
  double headlessSeconds = 0;
  {
    HeadlessBinding binding;
    MainWindow window(binding);
    binding.Attach(window);
    binding.QueueOpenFileAnswer(Text(path));
    const auto start = std::chrono::steady_clock::now();
    LoadNamesFromWorkbook(window);
    headlessSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(window.Names().Count(), RowCount.load());
  }
  NoDialogBinding binding(GetModuleHandleW(nullptr));
  MainWindow window(binding);
  ASSERT_TRUE(binding.CreateWindow(window));
  window.SetEditText(Control::编辑框1, path);
  const auto start = std::chrono::steady_clock::now();
  LoadNamesFromWorkbook(window);
  binding.ProcessPendingMessages();
  UpdateWindow(binding.WindowHandle());
  const double windowSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const HWND list = binding.ControlHandle(Control::超级列表框1);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), RowCount.load());
  const auto scrollStart = std::chrono::steady_clock::now();
  SendMessageW(list, LVM_ENSUREVISIBLE, RowCount.load() - 1, FALSE);
  UpdateWindow(list);
  const double scrollSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - scrollStart).count();
  std::printf("load of %d rows: headless %.3f s, window %.3f s (%.2fx); scroll to the end %.3f s\n",
              RowCount.load(), headlessSeconds, windowSeconds, windowSeconds / headlessSeconds,
              scrollSeconds);
  EXPECT_LT(windowSeconds, 3 * headlessSeconds);
  DestroyWindow(binding.WindowHandle());
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace
}  // namespace morvane
