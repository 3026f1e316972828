// File services on Win32: code-page-936 paths, temporary file and replace, sharing, stop flag.
#include "services/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace morvane {
namespace {

// 复制失败文件.txt and 源 (source) as code-page-936 bytes.
constexpr char kLogName[] = "\xB8\xB4\xD6\xC6\xCA\xA7\xB0\xDC\xCE\xC4\xBC\xFE.txt";
constexpr char kChineseFolder[] = "\xD4\xB4";

ByteRun Bytes(std::string_view text) { return ByteRun(text.begin(), text.end()); }

// A fresh folder under the temporary folder, removed with everything in it afterwards.
class Win32FilesTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    folderWide_ = std::wstring(base) + L"morvane-files-" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(folderWide_);
    ASSERT_TRUE(CreateDirectoryW(folderWide_.c_str(), nullptr));
    char narrow[MAX_PATH * 2];
    WideCharToMultiByte(936, 0, folderWide_.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
    folder_ = narrow;
  }
  void TearDown() override { RemoveTree(folderWide_); }

  static void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = path + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveTree(child);
        else
          DeleteFileW(child.c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
  }

  Text Path(const Text& name) const { return folder_ + "\\" + name; }

  // Names in the folder, so a left-over temporary file shows.
  std::vector<std::wstring> Entries() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folderWide_ + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
  }

  std::wstring folderWide_;
  Text folder_;
};

TEST_F(Win32FilesTest, WritesAndReadsWholeFilesUnderChineseNames) {
  const Text log = Path(kLogName);
  const ByteRun first = Bytes("a.txt\r\n");
  const ByteRun empty;
  const ByteRun second = Bytes(std::string_view("b\0c", 3));
  ASSERT_TRUE(WriteWholeFile(log, {&first, &empty, &second}));
  EXPECT_EQ(ReadWholeFile(log), Bytes(std::string("a.txt\r\nb\0c", 10)));
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L"\u590D\u5236\u5931\u8D25\u6587\u4EF6.txt"});

  // A shorter write leaves exactly the new bytes.
  const ByteRun shorter = Bytes("x");
  ASSERT_TRUE(WriteWholeFile(log, {&shorter}));
  EXPECT_EQ(ReadWholeFile(log), shorter);
  EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(Win32FilesTest, AcceptsBothSeparators) {
  ASSERT_TRUE(CreateDirectoryW((folderWide_ + L"\\\u6E90").c_str(), nullptr));  // 源
  const Text slashed = folder_ + "/" + kChineseFolder + "/a.txt";
  const ByteRun content = Bytes("ab");
  ASSERT_TRUE(WriteWholeFile(slashed, {&content}));
  EXPECT_TRUE(FileExists(folder_ + "\\" + kChineseFolder + "\\a.txt"));
  EXPECT_EQ(ReadWholeFile(folder_ + "\\" + kChineseFolder + "/a.txt"), content);
}

TEST_F(Win32FilesTest, FailuresGiveEmptyOrFalseAndTouchNothing) {
  const ByteRun content = Bytes("ab");
  const ByteRun empty;
  ASSERT_TRUE(WriteWholeFile(Path("empty.txt"), {&empty}));
  struct Case {
    const char* what;
    Text path;
  };
  const Case unreadable[] = {
      {"empty path", ""},  {"missing file", Path("missing.txt")},    {"empty file", Path("empty.txt")},
      {"folder", folder_}, {"invalid code page 936", Path("a\x81")},
  };
  for (const Case& row : unreadable) {
    SCOPED_TRACE(row.what);
    EXPECT_TRUE(ReadWholeFile(row.path).empty());
    EXPECT_EQ(OpenReadOnlyFile(row.path) != nullptr, std::string(row.what) == "empty file");
  }
  EXPECT_FALSE(WriteWholeFile("", {&content}));
  EXPECT_FALSE(WriteWholeFile(Path("missing\\a.txt"), {&content}));
  EXPECT_FALSE(WriteWholeFile(folder_, {&content}));
  EXPECT_FALSE(AppendToFile("", content));
  EXPECT_FALSE(AppendToFile(folder_, content));
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L"empty.txt"});
}

TEST_F(Win32FilesTest, FileExistsMatchesFoldersAndWildcards) {
  const ByteRun content = Bytes("ab");
  ASSERT_TRUE(WriteWholeFile(Path("a.txt"), {&content}));
  EXPECT_TRUE(FileExists(Path("a.txt")));
  EXPECT_TRUE(FileExists(folder_));
  EXPECT_TRUE(FileExists(Path("*")));
  EXPECT_TRUE(FileExists(Path("?.txt")));
  EXPECT_FALSE(FileExists(Path("b.txt")));
  EXPECT_FALSE(FileExists(""));
  // The Linux tree is drive Z: under Wine; the test program's own sources are there.
  EXPECT_TRUE(FileExists(MORVANE_SOURCE_DIR "/CMakeLists.txt"));
}

TEST_F(Win32FilesTest, SharingModesRefuseReadsDuringWritesAndWritesDuringReads) {
  const Text path = Path("shared.txt");
  const ByteRun before = Bytes("before");
  const ByteRun after = Bytes("after");
  ASSERT_TRUE(WriteWholeFile(path, {&before}));
  const std::wstring wide = folderWide_ + L"\\shared.txt";
  {
    const HANDLE writer = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(ReadWholeFile(path).empty());
    CloseHandle(writer);
  }
  {
    const HANDLE reader = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteWholeFile(path, {&after}));
    EXPECT_FALSE(CopyFileReplacing(path, path));
    CloseHandle(reader);
  }
  EXPECT_EQ(ReadWholeFile(path), before);
  EXPECT_EQ(Entries().size(), 1u) << "no temporary file may be left behind";
}

TEST_F(Win32FilesTest, CopyReplacesTheTargetOnlyWhenTheCopyWorks) {
  const ByteRun source = Bytes("new content");
  const ByteRun old = Bytes("old");
  ASSERT_TRUE(WriteWholeFile(Path(kLogName), {&source}));
  ASSERT_TRUE(WriteWholeFile(Path("target.txt"), {&old}));
  EXPECT_TRUE(CopyFileReplacing(Path(kLogName), Path("target.txt")));
  EXPECT_EQ(ReadWholeFile(Path("target.txt")), source);

  ASSERT_TRUE(WriteWholeFile(Path("target.txt"), {&old}));
  struct Case {
    const char* what;
    Text source;
    Text target;
  };
  const Case failing[] = {
      {"missing source", Path("missing.txt"), Path("target.txt")},
      {"source is a folder", folder_, Path("target.txt")},
      {"empty name", Path(""), Path("target.txt")},
      {"target folder missing", Path(kLogName), Path("missing\\target.txt")},
  };
  for (const Case& row : failing) {
    SCOPED_TRACE(row.what);
    EXPECT_FALSE(CopyFileReplacing(row.source, row.target));
    EXPECT_EQ(ReadWholeFile(Path("target.txt")), old);
    EXPECT_EQ(Entries().size(), 2u) << "no temporary file may be left behind";
  }

  const std::atomic<bool> stop{true};
  EXPECT_FALSE(CopyFileReplacing(Path(kLogName), Path("target.txt"), &stop));
  EXPECT_EQ(ReadWholeFile(Path("target.txt")), old);
  EXPECT_EQ(Entries().size(), 2u);
}

TEST_F(Win32FilesTest, AppendsWithoutRewriting) {
  const Text log = Path(kLogName);
  const ByteRun line = Bytes("a.txt\r\n");
  ASSERT_TRUE(AppendToFile(log, line));
  ASSERT_TRUE(AppendToFile(log, Bytes("\xD4\xB4.txt\r\n")));
  EXPECT_EQ(ReadWholeFile(log), Bytes("a.txt\r\n\xD4\xB4.txt\r\n"));
}

TEST_F(Win32FilesTest, ReadsAnyRangeOfAnOpenFile) {
  const ByteRun content = Bytes("0123456789");
  ASSERT_TRUE(WriteWholeFile(Path("r.bin"), {&content}));
  const auto file = OpenReadOnlyFile(Path("r.bin"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Size(), 10u);
  unsigned char middle[3];
  ASSERT_TRUE(file->ReadAt(4, middle));
  EXPECT_EQ(std::string(middle, middle + 3), "456");
  unsigned char pastEnd[3];
  EXPECT_FALSE(file->ReadAt(8, pastEnd));
  // Open for reading, others may read but not write.
  const ByteRun other = Bytes("x");
  EXPECT_FALSE(WriteWholeFile(Path("r.bin"), {&other}));
}

}  // namespace
}  // namespace morvane
