// Start-up on the headless binding: the program's folder, the exit callbacks, the exit status.
#include "app/program_start.h"

#include <gtest/gtest.h>

#include "app/program_globals.h"
#include "platform/headless/headless_binding.h"

namespace morvane {
namespace {

class RecordingBinding : public HeadlessBinding {
 public:
  bool SetCurrentFolder(const Text& folder) override {
    currentFolders.push_back(folder);
    return true;
  }
  std::vector<Text> currentFolders;
};

TEST(ProgramStartTest, TakesTheProgramFolderFromItsOwnPath) {
  const struct {
    Text executablePath, expected;
  } cases[] = {
      {"/opt/morvane/morvane", "/opt/morvane"},
      {"C:\\Tools\\morvane.exe", "C:\\Tools"},
      {"C:\\morvane.exe", "C:"},
      {"morvane", ""},
      // 0x81 0x5C is one character whose second byte is "\": not a separator.
      {"/opt/\x81\x5C/morvane", "/opt/\x81\x5C"},
      {"/opt/a\x81\x5C"
       "b",
       "/opt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.executablePath);
    RecordingBinding binding;
    binding.executablePath = c.executablePath;
    EXPECT_EQ(ProgramStart(binding), 0);
    EXPECT_EQ(ProgramDirectory, c.expected);
    EXPECT_EQ(binding.currentFolders, std::vector<Text>{c.expected});
  }
  RunExitCallbacks();
}

int calls = 0;
void CountCall() { ++calls; }

TEST(ProgramStartTest, RegistersReleaseProgramGlobalsOnce) {
  RunExitCallbacks();
  calls = 0;
  HeadlessBinding binding;
  EXPECT_EQ(ProgramStart(binding), 0);
  EXPECT_EQ(ProgramStart(binding), 0);
  RegisterExitCallback(&CountCall);
  RegisterExitCallback(&CountCall);
  CellText = "last cell";
  RunExitCallbacks();
  EXPECT_EQ(CellText, "");
  EXPECT_EQ(calls, 1);
  // The list ran once and is empty now.
  CellText = "kept";
  RunExitCallbacks();
  EXPECT_EQ(CellText, "kept");
  EXPECT_EQ(calls, 1);
  CellText.clear();
}

}  // namespace
}  // namespace morvane
