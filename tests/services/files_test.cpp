// File services on real temporary folders, with faults injected through the system call table.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/codepage936.h"
#include "services/files.h"
#include "services/files_testing.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class FilesTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() /
            (std::string("morvane-files-") + info->name() + "-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code error;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(root_, error);
  }

  // The program's path text for a UTF-8 name under the test folder, joined with "\".
  Text PathOf(const std::string& utf8Name) const {
    return *Utf8ToCodepage936Exactly(root_.string() + "\\" + utf8Name);
  }
  fs::path DiskPath(const std::string& utf8Name) const { return root_ / fs::u8path(utf8Name); }

  void Put(const std::string& utf8Name, const std::string& content) const {
    fs::create_directories(DiskPath(utf8Name).parent_path());
    std::ofstream(DiskPath(utf8Name), std::ios::binary) << content;
  }
  std::string Content(const std::string& utf8Name) const {
    std::ifstream in(DiskPath(utf8Name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Every entry name under the test folder, so a left-over temporary file shows.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root_))
      names.push_back(fs::relative(entry.path(), root_).string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_;
};

ByteRun Bytes(const std::string& bytes) { return ByteRun(bytes.begin(), bytes.end()); }

TEST_F(FilesTest, ReadWholeFileGivesTheBytesOrTheEmptyRun) {
  Put("empty.txt", "");
  Put("data.bin", std::string("a\0b\xFF", 4));
  fs::create_directories(DiskPath("folder"));
  const struct {
    Text path;
    std::string expected;
  } cases[] = {
      {"", ""},
      {PathOf("missing.txt"), ""},
      {PathOf("empty.txt"), ""},
      {PathOf("folder"), ""},
      {PathOf("data.bin"), std::string("a\0b\xFF", 4)},
      {PathOf("data.bin  .."), std::string("a\0b\xFF", 4)},  // Windows ignores trailing spaces and dots
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ReadWholeFile(c.path), Bytes(c.expected));
  }
}

// A named pipe given as a workbook or a log must not hang the program: opening one for reading
// waited for a writer forever.
TEST_F(FilesTest, ANamedPipeIsRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(DiskPath("pipe").c_str(), 0600), 0);
  EXPECT_TRUE(ReadWholeFile(PathOf("pipe")).empty());
  EXPECT_EQ(OpenReadOnlyFile(PathOf("pipe")), nullptr);
  const unsigned char line[] = {'a', '\r', '\n'};
  EXPECT_FALSE(AppendToFile(PathOf("pipe"), line));
}

TEST_F(FilesTest, FileExistsCountsFoldersAndWildcardsInTheLastComponent) {
  Put("dir/a.txt", "x");
  Put("dir/报告[1].pdf", "x");
  fs::create_directories(DiskPath("dir/sub"));
  fs::create_directories(DiskPath("empty"));
  const struct {
    Text path;
    bool expected;
  } cases[] = {
      {"", false},
      {PathOf("missing"), false},
      {PathOf("dir\\a.txt"), true},
      {PathOf("dir/a.txt"), true},
      {PathOf("dir\\sub"), true},
      {PathOf("dir\\a.txt."), true},
      {PathOf("dir\\*"), true},
      {PathOf("dir\\*.txt"), true},
      {PathOf("dir\\?.txt"), true},
      {PathOf("dir\\??.txt"), false},
      {PathOf("dir\\*.doc"), false},
      {PathOf("dir\\报告[1]*"), true},    // "[" is an ordinary character
      {PathOf("dir\\报?[1].pdf"), true},  // "?" is one character, not one byte
      {PathOf("dir\\报告[2]*"), false},
      {PathOf("missing\\*"), false},
      {PathOf("d*\\a.txt"), false},  // only the last component is a pattern
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileExists(c.path), c.expected);
  }
}

TEST_F(FilesTest, WriteWholeFileReplacesTheWholeContent) {
  EXPECT_FALSE(WriteWholeFile("", {}));

  const ByteRun first = Bytes("first"), empty, second = Bytes(std::string("\0two", 4));
  ASSERT_TRUE(WriteWholeFile(PathOf("new.bin"), {&first, &empty, nullptr, &second}));
  EXPECT_EQ(Content("new.bin"), std::string("first\0two", 9));

  Put("long.txt", std::string(1000, 'x'));
  fs::permissions(DiskPath("long.txt"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(WriteWholeFile(PathOf("long.txt"), {&first}));
  EXPECT_EQ(Content("long.txt"), "first");
  EXPECT_EQ(fs::status(DiskPath("long.txt")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"long.txt", "new.bin"}));
}

TEST_F(FilesTest, WriteWholeFileFailsWithoutTouchingAnything) {
  const ByteRun bytes = Bytes("new");
  fs::create_directories(DiskPath("folder/inside"));
  EXPECT_FALSE(WriteWholeFile(PathOf("missing\\file.txt"), {&bytes}));
  EXPECT_FALSE(WriteWholeFile(PathOf("folder"), {&bytes}));
  EXPECT_FALSE(WriteWholeFile(root_.string() + "\\bad\xFF", {&bytes}));  // not code page 936
  EXPECT_EQ(Entries(), (std::vector<std::string>{"folder", "folder/inside"}));
}

TEST_F(FilesTest, AFailedWriteLeavesTheOldContent) {
  const struct {
    const char* fault;
    void (*inject)(FileSystemCalls&);
  } cases[] = {
      {"second write fails",
       [](FileSystemCalls& calls) {
         static int writes;
         writes = 0;
         calls.write = [](int descriptor, const void* data, std::size_t size) -> ssize_t {
           if (++writes == 2) {
             errno = ENOSPC;
             return -1;
           }
           return RealFileSystemCalls().write(descriptor, data, size);
         };
       }},
      {"write takes nothing",
       [](FileSystemCalls& calls) {
         calls.write = [](int, const void*, std::size_t) -> ssize_t { return 0; };
       }},
      {"flush fails",
       [](FileSystemCalls& calls) {
         calls.fsync = [](int) {
           errno = EIO;
           return -1;
         };
       }},
      {"rename fails",
       [](FileSystemCalls& calls) {
         calls.rename = [](const char*, const char*) {
           errno = EXDEV;
           return -1;
         };
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    Put("target.txt", "old content");
    const ByteRun first = Bytes("new "), second = Bytes("content that is longer");
    {
      ScopedFileSystemCalls restore;
      c.inject(fileSystemCalls);
      EXPECT_FALSE(WriteWholeFile(PathOf("target.txt"), {&first, &second}));
    }
    EXPECT_EQ(Content("target.txt"), "old content");
    EXPECT_EQ(Entries(), std::vector<std::string>{"target.txt"});
  }
}

TEST_F(FilesTest, WriteWholeFileRefusesATargetTheUserMayNotWrite) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write every file";
  Put("locked.txt", "old");
  fs::permissions(DiskPath("locked.txt"), fs::perms::owner_read);
  const ByteRun bytes = Bytes("new");
  EXPECT_FALSE(WriteWholeFile(PathOf("locked.txt"), {&bytes}));
  EXPECT_FALSE(CopyFileReplacing(PathOf("locked.txt"), PathOf("locked.txt")));
  EXPECT_EQ(Content("locked.txt"), "old");
}

TEST_F(FilesTest, AppendToFileAddsAtTheEndAndCreatesTheFile) {
  const std::string line = "a.txt\r\n";
  const auto bytes = std::span(reinterpret_cast<const unsigned char*>(line.data()), line.size());
  ASSERT_TRUE(AppendToFile(PathOf("log.txt"), bytes));
  ASSERT_TRUE(AppendToFile(PathOf("log.txt"), bytes));
  EXPECT_EQ(Content("log.txt"), line + line);

  {
    // Short writes are carried on until every byte is in.
    ScopedFileSystemCalls restore;
    fileSystemCalls.write = [](int descriptor, const void* data, std::size_t) {
      return RealFileSystemCalls().write(descriptor, data, 1);
    };
    ASSERT_TRUE(AppendToFile(PathOf("log.txt"), bytes));
  }
  EXPECT_EQ(Content("log.txt"), line + line + line);

  {
    ScopedFileSystemCalls restore;
    fileSystemCalls.write = [](int, const void*, std::size_t) -> ssize_t {
      errno = ENOSPC;
      return -1;
    };
    EXPECT_FALSE(AppendToFile(PathOf("log.txt"), bytes));
  }
  EXPECT_EQ(Content("log.txt"), line + line + line);
  EXPECT_FALSE(AppendToFile(PathOf("missing\\log.txt"), bytes));
  EXPECT_FALSE(AppendToFile("", bytes));
}

TEST_F(FilesTest, CopyReplacesTheTargetAndKeepsTimeAndMode) {
  const struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
  Put("dst/a.txt", std::string(5000, 'o'));
  // 0666 is more than the usual creation mask lets a new file have.
  for (const mode_t mode : {0640u, 0666u, 0400u}) {
    for (const char* target : {"dst/a.txt", "dst/new.txt"}) {
      SCOPED_TRACE(testing::Message() << target << " mode " << std::oct << mode);
      fs::remove(DiskPath("src/a.txt"));
      Put("src/a.txt", "source bytes");
      ASSERT_EQ(::chmod(DiskPath("src/a.txt").c_str(), mode), 0);
      ASSERT_EQ(::utimensat(AT_FDCWD, DiskPath("src/a.txt").c_str(), times, 0), 0);
      ASSERT_TRUE(CopyFileReplacing(PathOf("src\\a.txt"), PathOf(target)));
      EXPECT_EQ(Content(target), "source bytes");
      struct stat info {};
      ASSERT_EQ(::stat(DiskPath(target).c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, mode);
      EXPECT_EQ(info.st_mtim.tv_sec, 1200000000);
      EXPECT_EQ(info.st_mtim.tv_nsec, 987654321);
      ASSERT_EQ(::chmod(DiskPath(target).c_str(), 0644), 0);  // so that the next round may replace it
    }
  }
  Put("src/empty.txt", "");
  ASSERT_TRUE(CopyFileReplacing(PathOf("src\\empty.txt"), PathOf("dst\\a.txt")));
  EXPECT_EQ(Content("dst/a.txt"), "");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"dst", "dst/a.txt", "dst/new.txt", "src", "src/a.txt",
                                                 "src/empty.txt"}));
}

TEST_F(FilesTest, CopyFailsWithoutTouchingTheTarget) {
  Put("src/a.txt", "source");
  Put("dst/a.txt", "old target");
  Put("dst/folder/keep.txt", "kept");
  const struct {
    const char* what;
    Text source, target;
  } cases[] = {
      {"missing source", PathOf("src\\missing.txt"), PathOf("dst\\a.txt")},
      {"source is a folder", PathOf("src"), PathOf("dst\\a.txt")},
      {"target is a folder", PathOf("src\\a.txt"), PathOf("dst\\folder")},
      {"target folder missing", PathOf("src\\a.txt"), PathOf("nowhere\\a.txt")},
      {"empty source", "", PathOf("dst\\a.txt")},
      {"empty target", PathOf("src\\a.txt"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(CopyFileReplacing(c.source, c.target));
    EXPECT_EQ(Content("dst/a.txt"), "old target");
    EXPECT_EQ(Content("dst/folder/keep.txt"), "kept");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"dst", "dst/a.txt", "dst/folder", "dst/folder/keep.txt",
                                                   "src", "src/a.txt"}));
  }
}

std::atomic<bool> stopRequested{false};

// A copy goes to an unnamed file that gets the target's name only when complete, or, where the
// file system has no unnamed files, to a named temporary file. Cut off, a copy over an existing
// file leaves the old target and a copy to a new name no file; neither leaves a temporary file.
TEST_F(FilesTest, ACopyCutOffLeavesTheOldTargetOrNoFileAndNoTemporaryFile) {
  Put("src/a.txt", std::string(100, 's'));
  const struct {
    const char* fault;
    void (*inject)(FileSystemCalls&);
    bool overExisting;  // the fault can strike a copy over an existing file
    bool toNewName;     // … and a copy to a new name
    bool unnamedOnly;   // … only where the copy goes to an unnamed file
  } cases[] = {
      {"stopped after the first chunk",
       [](FileSystemCalls& calls) {
         // A small chunk, so that the copy is still in flight when the stop comes.
         calls.copyFileRange = [](int from, int to, std::size_t) {
           stopRequested = true;
           return RealFileSystemCalls().copyFileRange(from, to, 10);
         };
       },
       true, true, false},
      {"kernel copy fails",
       [](FileSystemCalls& calls) {
         calls.copyFileRange = [](int, int, std::size_t) -> ssize_t {
           errno = EIO;
           return -1;
         };
       },
       true, true, false},
      {"buffered copy fails",
       [](FileSystemCalls& calls) {
         calls.copyFileRange = [](int, int, std::size_t) -> ssize_t {
           errno = EXDEV;
           return -1;
         };
         calls.write = [](int, const void*, std::size_t) -> ssize_t {
           errno = ENOSPC;
           return -1;
         };
       },
       true, true, false},
      {"rename fails",
       [](FileSystemCalls& calls) {
         calls.rename = [](const char*, const char*) {
           errno = EIO;
           return -1;
         };
       },
       true, false, false},
      {"linking the copy in fails",
       [](FileSystemCalls& calls) {
         calls.link = [](int, const char*) {
           errno = EIO;
           return -1;
         };
       },
       true, true, true},
      {"every temporary name is taken",
       [](FileSystemCalls& calls) {
         calls.link = [](int descriptor, const char* to) {
           if (std::string_view(to).find(".morvane-") == std::string_view::npos)
             return RealFileSystemCalls().link(descriptor, to);
           errno = EEXIST;
           return -1;
         };
       },
       true, false, true},
  };
  for (const bool unnamedFiles : {true, false}) {
    const auto copyWith = [&](void (*inject)(FileSystemCalls&), const char* target) {
      stopRequested = false;
      ScopedFileSystemCalls restore;
      inject(fileSystemCalls);
      if (!unnamedFiles) {
        fileSystemCalls.open = [](const char* path, int flags, mode_t mode) {
          if ((flags & O_TMPFILE) == O_TMPFILE) {
            errno = EOPNOTSUPP;
            return -1;
          }
          return RealFileSystemCalls().open(path, flags, mode);
        };
      }
      return CopyFileReplacing(PathOf("src\\a.txt"), PathOf(target), &stopRequested);
    };
    for (const auto& c : cases) {
      if (c.unnamedOnly && !unnamedFiles) continue;
      SCOPED_TRACE(testing::Message() << c.fault << (unnamedFiles ? "" : ", no unnamed files"));
      Put("dst/a.txt", "old target");
      if (c.overExisting) {
        EXPECT_FALSE(copyWith(c.inject, "dst\\a.txt"));
        EXPECT_EQ(Content("dst/a.txt"), "old target");
      }
      if (c.toNewName) {
        EXPECT_FALSE(copyWith(c.inject, "dst\\new.txt"));
      }
      EXPECT_EQ(Entries(), (std::vector<std::string>{"dst", "dst/a.txt", "src", "src/a.txt"}));
    }
    SCOPED_TRACE(unnamedFiles ? "no fault" : "no fault, no unnamed files");
    EXPECT_TRUE(copyWith([](FileSystemCalls&) {}, "dst\\a.txt"));
    EXPECT_TRUE(copyWith([](FileSystemCalls&) {}, "dst\\new.txt"));
    EXPECT_EQ(Content("dst/a.txt"), std::string(100, 's'));
    EXPECT_EQ(Content("dst/new.txt"), std::string(100, 's'));
    fs::remove(DiskPath("dst/new.txt"));
  }

  Put("dst/a.txt", "old target");
  stopRequested = true;
  EXPECT_FALSE(CopyFileReplacing(PathOf("src\\a.txt"), PathOf("dst\\a.txt"), &stopRequested));
  EXPECT_EQ(Content("dst/a.txt"), "old target");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"dst", "dst/a.txt", "src", "src/a.txt"}));
}

TEST_F(FilesTest, CopyFallsBackToReadAndWriteAcrossFileSystems) {
  const std::string content(3 << 20, 'z');
  Put("src/big.bin", content);
  ScopedFileSystemCalls restore;
  fileSystemCalls.copyFileRange = [](int, int, std::size_t) -> ssize_t {
    errno = EXDEV;
    return -1;
  };
  ASSERT_TRUE(CopyFileReplacing(PathOf("src\\big.bin"), PathOf("copy.bin")));
  EXPECT_EQ(Content("copy.bin"), content);
}

TEST_F(FilesTest, PathTextsBecomeUtf8NamesWithoutTrailingSpacesAndDots) {
  const ByteRun bytes = Bytes("pdf");
  // 报告.pdf in code page 936, then with what Windows would drop.
  ASSERT_TRUE(WriteWholeFile(*Utf8ToCodepage936Exactly(root_.string() + "\\报告.pdf . "), {&bytes}));
  EXPECT_EQ(Entries(), std::vector<std::string>{"报告.pdf"});
  EXPECT_EQ(ReadWholeFile(PathOf("报告.pdf")), bytes);

  fs::create_directories(DiskPath("子目录"));
  ASSERT_TRUE(CopyFileReplacing(PathOf("报告.pdf"), PathOf("子目录. \\..\\子目录\\.\\副本.pdf")));
  EXPECT_EQ(Content("子目录/副本.pdf"), "pdf");
  EXPECT_TRUE(FileExists(PathOf("子目录\\副本.pdf ")));

  // A trail byte of 0x5C inside a character is not a separator: 0x81 0x5C is 乗.
  ASSERT_TRUE(WriteWholeFile(root_.string() + "\\\x81\x5C.txt", {&bytes}));
  EXPECT_TRUE(fs::exists(DiskPath("乗.txt")));
}

TEST_F(FilesTest, ReadOnlyFileReadsAtAnyOffset) {
  Put("data.bin", "0123456789");
  fs::create_directories(DiskPath("folder"));
  EXPECT_EQ(OpenReadOnlyFile(PathOf("folder")), nullptr);
  EXPECT_EQ(OpenReadOnlyFile(PathOf("missing")), nullptr);
  EXPECT_EQ(OpenReadOnlyFile(""), nullptr);
  const auto file = OpenReadOnlyFile(PathOf("data.bin"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), 10u);
  unsigned char out[4];
  ASSERT_TRUE(file->ReadAt(6, out));
  EXPECT_EQ(std::string(out, out + 4), "6789");
  EXPECT_FALSE(file->ReadAt(7, out));
}

}  // namespace
}  // namespace morvane

#endif
