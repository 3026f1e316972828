// Shared by the copy tests: a temporary folder tree, a window on the headless binding, file helpers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_globals.h"
#include "app/program_texts.h"
#include "copy/copy_job.h"
#include "platform/codepage936.h"
#include "platform/headless/headless_binding.h"

namespace morvane::testing_support {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = fs::temp_directory_path() / ("morvane-copy-" + std::to_string(random()));
      if (fs::create_directory(path_)) return;
    }
    throw std::runtime_error("no temporary folder");
  }
  ~TemporaryFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every entry below the folder, as paths relative to it.
inline std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> entries;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error))
    entries.insert(fs::relative(it->path(), folder).generic_string());
  return entries;
}

// The headless binding with a hook after every control write, run on the user-interface thread
// while the worker waits: the place to act between two rows without any timing.
class HookedBinding : public HeadlessBinding {
 public:
  std::function<void(Control, const Text&)> afterWrite;
  void WriteControlText(Control control, const Text& text) override {
    HeadlessBinding::WriteControlText(control, text);
    if (afterWrite) afterWrite(control, text);
  }
};

// A window whose source and target fields name two fresh folders in different parents, so a name
// that climbs out of one could only land beside the other. RowCount is 0 at start and at the end.
class CopyScene {
 public:
  CopyScene() {
    fs::create_directories(source);
    fs::create_directories(target);
    binding.Attach(window);
    window.SetEditText(Control::编辑框2, source.string());
    window.SetEditText(Control::编辑框3, target.string());
    RowCount = 0;
  }
  ~CopyScene() {
    window.Close();
    window.Jobs().StopAndWait();
    RowCount = 0;
  }
  CopyScene(const CopyScene&) = delete;
  CopyScene& operator=(const CopyScene&) = delete;

  // What a load leaves: the names appended to the list and RowCount set to their number.
  void Load(const std::vector<Text>& names) {
    for (const Text& name : names) window.Names().SetItemText(window.Names().AppendItem(), name);
    RowCount = static_cast<int32_t>(names.size());
  }

  // Clicks 按钮4 and serves the worker until no job runs or waits.
  void ClickCopyAndWait() {
    window.Click(Control::按钮4);
    ASSERT_TRUE(binding.PumpUntil([&] { return !window.Jobs().Busy(); }, 20000));
  }

  std::vector<Text> Labels() const { return binding.LabelHistory(Control::标签1); }
  // 复制失败文件.txt as the file system spells it.
  fs::path LogPath() const {
    const std::string utf8 = Codepage936ToUtf8(texts::kFailureLogSuffix + 1).value();
    return target / fs::path(std::u8string(utf8.begin(), utf8.end()));
  }
  std::string LogName() const { return LogPath().filename().generic_string(); }

  TemporaryFolder root;
  fs::path source = root.Path() / "from" / "source";
  fs::path target = root.Path() / "to" / "target";
  HookedBinding binding;
  MainWindow window{binding};
};

class CopyJobTest : public ::testing::Test, protected CopyScene {};

}  // namespace morvane::testing_support
