// The copy job on real folders: copies, the failure log, the label, the notices, and overlaps.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/program_texts.h"
#include "copy/copy_test_support.h"
#ifndef _WIN32
#include "services/files_testing.h"
#endif

namespace morvane {
namespace {

using namespace testing_support;
using Texts = std::vector<Text>;

TEST_F(CopyJobTest, CopiesListedFilesLogsTheMissingOneAndCountsUp) {
  WriteBytes(source / "a.txt", "alpha");
  WriteBytes(source / "c.txt", "gamma");
  WriteBytes(target / "c.txt", "an older and much longer c.txt");
  WriteBytes(LogPath(), "old.txt\r\n");
  Load({"a.txt", "b.txt", "c.txt"});

  ClickCopyAndWait();

  EXPECT_EQ(ReadBytes(target / "a.txt"), "alpha");
  EXPECT_EQ(ReadBytes(target / "c.txt"), "gamma");
  EXPECT_FALSE(fs::exists(target / "b.txt"));
  EXPECT_EQ(ReadBytes(LogPath()), "old.txt\r\nb.txt\r\n");
  EXPECT_EQ(Labels(), (Texts{"33.33333333333%", "66.66666666667%", "100%"}));
  EXPECT_EQ(binding.Messages(), Texts{texts::kFailuresNotice});
  EXPECT_EQ(Entries(target), (std::set<std::string>{"a.txt", "c.txt", LogName()}));
}

TEST(CopyJobFieldsTest, AnEmptyFieldStopsTheJobBeforeAnythingIsTouched) {
  struct Case {
    const char* what;
    bool sourceEmpty, targetEmpty;
    int32_t rows;
  };
  const Case cases[] = {
      {"source empty, no rows", true, false, 0}, {"target empty, no rows", false, true, 0},
      {"both empty, no rows", true, true, 0},    {"source empty, one row", true, false, 1},
      {"target empty, one row", false, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CopyScene scene;
    WriteBytes(scene.source / "a.txt", "alpha");
    scene.Load({"a.txt"});
    RowCount = c.rows;
    if (c.sourceEmpty) scene.window.SetEditText(Control::编辑框2, "");
    if (c.targetEmpty) scene.window.SetEditText(Control::编辑框3, "");

    scene.ClickCopyAndWait();

    EXPECT_EQ(scene.binding.Messages(), Texts{texts::kEmptyFolderMessage});
    EXPECT_TRUE(scene.Labels().empty());
    EXPECT_TRUE(Entries(scene.target).empty());
  }
}

TEST_F(CopyJobTest, NoRowsWithBothFieldsFilledDoesNothing) {
  WriteBytes(source / "a.txt", "alpha");
  window.Names().SetItemText(window.Names().AppendItem(), "a.txt");  // listed, but RowCount is 0
  ClickCopyAndWait();
  EXPECT_TRUE(binding.Messages().empty());
  EXPECT_TRUE(Labels().empty());
  EXPECT_TRUE(Entries(target).empty());
}

TEST_F(CopyJobTest, AClearedListGivesOneEmptyLinePerRow) {
  WriteBytes(source / "a.txt", "alpha");
  Load({"a.txt", "a.txt", "a.txt"});
  window.Click(Control::按钮3);
  ASSERT_EQ(RowCount, 3);

  ClickCopyAndWait();

  EXPECT_EQ(ReadBytes(LogPath()), "\r\n\r\n\r\n");
  EXPECT_FALSE(fs::exists(target / "a.txt"));
  EXPECT_EQ(Labels().back(), "100%");
  EXPECT_EQ(binding.Messages(), Texts{texts::kFailuresNotice});
}

TEST_F(CopyJobTest, TwoLoadsWithoutClearingCopyOnlyTheFirstRowCountItems) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteBytes(source / name, name);
  Load({"a.txt", "b.txt", "c.txt"});
  Load({"c.txt", "b.txt"});  // RowCount 2, while the list holds five items

  ClickCopyAndWait();

  EXPECT_EQ(Entries(target), (std::set<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(Labels(), (Texts{"50%", "100%"}));
  EXPECT_TRUE(binding.Messages().empty());
}

TEST_F(CopyJobTest, AnOlderLogIsLeftAloneWhenNothingFails) {
  const std::string older = "x.txt\r\nunterminated";
  WriteBytes(LogPath(), older);
  WriteBytes(source / "a.txt", "alpha");
  Load({"a.txt"});

  ClickCopyAndWait();

  EXPECT_EQ(ReadBytes(LogPath()), older);
  EXPECT_TRUE(binding.Messages().empty());
  EXPECT_EQ(Labels(), Texts{"100%"});
}

TEST_F(CopyJobTest, AFailureIsAppendedBehindEveryByteOfTheOldLog) {
  // A NUL byte, bytes of no text, and a last line without CR LF that the name is joined to.
  const std::string older("one\r\nt\0wo\r\n\xFF\xFE\r\nthree", 18);
  WriteBytes(LogPath(), older);
  Load({"missing.txt", "gone.txt"});

  ClickCopyAndWait();

  EXPECT_EQ(ReadBytes(LogPath()), older + "missing.txt\r\ngone.txt\r\n");
  EXPECT_EQ(binding.Messages(), Texts{texts::kFailuresNotice});
}

TEST(CopyJobLogTest, AFailureThatCannotBeLoggedIsReported) {
  struct Case {
    const char* what;
    std::function<void(CopyScene&)> arrange;
  };
  const Case cases[] = {
      {"target folder missing", [](CopyScene& scene) { fs::remove(scene.target); }},
      {"the log's name taken by a folder", [](CopyScene& scene) { fs::create_directory(scene.LogPath()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CopyScene scene;
    WriteBytes(scene.source / "a.txt", "alpha");
    scene.Load({"a.txt", "b.txt"});
    c.arrange(scene);
    const auto before = Entries(scene.root.Path());

    scene.ClickCopyAndWait();

    EXPECT_EQ(scene.binding.Messages(), Texts{texts::kUnloggedFailuresNotice});
    EXPECT_EQ(scene.Labels(), (Texts{"50%", "100%"}));
    // Only a.txt may have been added, and only where the target folder exists.
    auto after = Entries(scene.root.Path());
    after.erase("to/target/a.txt");
    EXPECT_EQ(after, before);
  }
}

TEST(ClimbsOutOfFolderTest, RefusesEveryWayOutAndKeepsSubfolders) {
  struct Case {
    std::string name;
    bool climbs;
  };
  const Case cases[] = {
      {"a.txt", false},
      {"sub\\a.txt", false},
      {"sub/a.txt", false},
      {"sub\\.\\a.txt", false},
      {".hidden", false},
      {"a..txt", false},
      {"..a.txt", false},
      {"a.txt..", false},
      {"", false},
      {"..", true},
      {"..\\a.txt", true},
      {"../a.txt", true},
      {"sub\\..\\a.txt", true},  // stays inside, but no ".." is let through
      {"sub\\..", true},
      {".. \\a.txt", true},  // trailing spaces and dots are dropped: ".. " and "..." are ".."
      {"...\\a.txt", true},
      {". .\\a.txt", true},
      {"\\a.txt", true},
      {"/etc/passwd", true},
      {"\\\\server\\share\\a.txt", true},
      {"C:a.txt", true},
      {"C:\\a.txt", true},
      {"z:/a.txt", true},
      // 0x81 0x5C is one character whose trail byte is "\": no separator, so no ".." component.
      {"\x81\\..", false},
      {"\x81\\..\\a.txt", false},
      {"\xB1\xED\\..\\a.txt", true},  // 表 then a real separator
      // Not valid code page 936 (0xFF): the file layer may split at that "\", so it counts.
      {"\xFF\x81\\..\\a.txt", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("name: " + c.name);
    EXPECT_EQ(ClimbsOutOfFolder(c.name), c.climbs);
  }
}

TEST_F(CopyJobTest, NamesThatClimbOutAreLoggedAndNotCopied) {
  // Each of these would reach root/from/secret.txt and write root/to/secret.txt.
  WriteBytes(root.Path() / "from" / "secret.txt", "secret");
  fs::create_directories(source / "sub");
  fs::create_directories(target / "sub");
  WriteBytes(source / "sub" / "a.txt", "below");
  const Texts names{"..\\secret.txt",   "../secret.txt", "sub\\..\\..\\secret.txt",
                    "... \\secret.txt", "sub\\a.txt",    (root.Path() / "from" / "secret.txt").string()};
  Load(names);

  ClickCopyAndWait();

  EXPECT_FALSE(fs::exists(root.Path() / "to" / "secret.txt"));
  EXPECT_EQ(ReadBytes(target / "sub" / "a.txt"), "below");
  std::string expectedLog;
  for (const Text& name : names)
    if (name != "sub\\a.txt") expectedLog += name + "\r\n";
  EXPECT_EQ(ReadBytes(LogPath()), expectedLog);
  EXPECT_EQ(binding.Messages(), Texts{texts::kFailuresNotice});
}

TEST_F(CopyJobTest, AFieldEmptiedDuringTheJobFailsItsRowsInsteadOfUsingTheRoot) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteBytes(source / name, name);
  Load({"a.txt", "b.txt", "c.txt"});
  binding.afterWrite = [&](Control control, const Text& text) {
    if (control == Control::标签1 && text == "33.33333333333%")
      binding.WriteControlText(Control::编辑框2, "");
  };

  ClickCopyAndWait();

  EXPECT_EQ(Entries(target), (std::set<std::string>{"a.txt", LogName()}));
  EXPECT_EQ(ReadBytes(LogPath()), "b.txt\r\nc.txt\r\n");
}

TEST_F(CopyJobTest, ASecondClickRunsAfterTheFirstJobWithTheRowCountOfItsOwnStart) {
  for (const char* name : {"a.txt", "b.txt"}) WriteBytes(source / name, name);
  Load({"a.txt", "b.txt"});
  bool clicked = false;
  binding.afterWrite = [&](Control control, const Text&) {
    if (control != Control::标签1 || clicked) return;
    clicked = true;
    // Between the first job's rows: a second click, and a load that shortens RowCount.
    window.Click(Control::按钮4);
    RowCount = 1;
  };

  ClickCopyAndWait();

  // The first job keeps its two rows and divisor; the second starts after it, with one row.
  EXPECT_EQ(Labels(), (Texts{"50%", "100%", "100%"}));
  EXPECT_EQ(ReadBytes(target / "b.txt"), "b.txt");
  EXPECT_TRUE(binding.Messages().empty());
}

TEST_F(CopyJobTest, RowsAfterAClearDuringTheJobReadTheEmptyName) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteBytes(source / name, name);
  Load({"a.txt", "b.txt", "c.txt"});
  binding.afterWrite = [&](Control control, const Text& text) {
    if (control == Control::标签1 && text == "33.33333333333%") window.Click(Control::按钮3);
  };

  ClickCopyAndWait();

  EXPECT_EQ(Entries(target), (std::set<std::string>{"a.txt", LogName()}));
  EXPECT_EQ(ReadBytes(LogPath()), "\r\n\r\n");
  EXPECT_EQ(Labels().size(), 3u);
  EXPECT_EQ(binding.Messages(), Texts{texts::kFailuresNotice});
}

TEST_F(CopyJobTest, ClosingDuringALargeCopyLeavesNoPartialFileAndReturnsQuickly) {
  // Large enough that the copy is still under way when the test sees it start.
  const std::size_t size = 256u << 20;
  {
    std::ofstream out(source / "big.bin", std::ios::binary);
    const std::string block(1 << 20, 'b');
    for (std::size_t written = 0; written < size; written += block.size())
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  WriteBytes(source / "small.txt", "small");
  WriteBytes(target / "big.bin", "old big");
  Load({"small.txt", "big.bin", "small.txt"});
  const std::set<std::string> settled{"small.txt", "big.bin"};

#ifdef _WIN32
  // The copy of big.bin has begun once its temporary file appears or the old target changes.
  const auto bigCopyStarted = [&] {
    return Labels().size() == 1 && (Entries(target) != settled || fs::file_size(target / "big.bin") != 7);
  };
#else
  // The copy goes to a file without a name, so the file layer tells when big.bin's is under way.
  static std::atomic<bool> kernelCopyOfBig;
  kernelCopyOfBig = false;
  ScopedFileSystemCalls restore;
  fileSystemCalls.copyFileRange = [](int from, int to, std::size_t chunk) {
    if (chunk > 1000) kernelCopyOfBig = true;
    return RealFileSystemCalls().copyFileRange(from, to, chunk);
  };
  const auto bigCopyStarted = [] { return kernelCopyOfBig.load(); };
#endif

  window.Click(Control::按钮4);
  ASSERT_TRUE(binding.PumpUntil(bigCopyStarted, 20000));
  const auto start = std::chrono::steady_clock::now();
  window.Close();
  window.Jobs().StopAndWait();
  const auto elapsed = std::chrono::steady_clock::now() - start;

  EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
  EXPECT_EQ(ReadBytes(target / "small.txt"), "small");
  ASSERT_EQ(fs::file_size(target / "big.bin"), 7u);
  EXPECT_EQ(ReadBytes(target / "big.bin"), "old big");
  EXPECT_EQ(Entries(target), settled);
  EXPECT_EQ(Labels(), Texts{"33.33333333333%"});
  EXPECT_TRUE(binding.Messages().empty());
}

TEST_F(CopyJobTest, StopAndWaitServesAWorkerWaitingOnTheOpenWindow) {
  // StopAndWait on the user-interface thread of a window not yet closed: the worker waits for
  // that very thread to answer a control read, so StopAndWait must answer it, not just wait.
  WriteBytes(source / "a.txt", "alpha");
  Load({"a.txt", "a.txt", "a.txt"});
  window.Click(Control::按钮4);
  window.Click(Control::按钮4);                                // queued behind the first, and dropped with it
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // no pumping: the worker blocks
  const auto start = std::chrono::steady_clock::now();
  window.Jobs().StopAndWait();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_FALSE(window.Jobs().Busy());
  EXPECT_TRUE(Labels().empty());
  EXPECT_TRUE(binding.Messages().empty());
  EXPECT_TRUE(Entries(target).empty());
  window.Click(Control::按钮4);  // ignored once stopped
  EXPECT_FALSE(window.Jobs().Busy());
}

}  // namespace
}  // namespace morvane
