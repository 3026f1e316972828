// NameList: positions, whole texts of any length, emptying, and reads racing with changes.
#include "app/name_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace morvane {
namespace {

TEST(NameListTest, ANewListIsEmptyAndAppendsCountUpFromZero) {
  NameList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetItemText(0), "");
  for (int32_t expected = 0; expected < 3; ++expected) EXPECT_EQ(list.AppendItem(), expected);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.GetItemText(2), "");  // a new item holds the empty text
}

TEST(NameListTest, PositionsThatNameNoItemGiveTheEmptyTextAndChangeNothing) {
  NameList list;
  list.AppendItem();
  list.AppendItem();
  list.SetItemText(0, "a");
  list.SetItemText(1, "b");
  for (int32_t position : {-1, 2, 3, INT32_MIN, INT32_MAX}) {
    SCOPED_TRACE(position);
    list.SetItemText(position, "x");
    EXPECT_EQ(list.GetItemText(position), "");
  }
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetItemText(0), "a");
  EXPECT_EQ(list.GetItemText(1), "b");
  list.SetItemText(1, "");
  EXPECT_EQ(list.GetItemText(1), "");
}

TEST(NameListTest, TextsComeBackWholeByteForByte) {
  const std::string cases[] = {
      std::string(510, 'a'),  std::string(511, 'b'),      std::string(512, 'c'),
      std::string(5000, 'd'), "  leading and trailing  ",
      "\xB1\xA8\xB8\xE6.pdf",  // 报告.pdf
  };
  NameList list;
  for (const auto& text : cases) list.SetItemText(list.AppendItem(), text);
  for (int32_t position = 0; position < list.Count(); ++position) {
    SCOPED_TRACE(position);
    EXPECT_EQ(list.GetItemText(position), cases[position]);
  }
}

// An item set again takes the new text whole, short after long and long after short.
TEST(NameListTest, AnItemSetAgainHoldsOnlyItsLatestText) {
  const std::string sequence[] = {
      "short.txt",          std::string(40, 'L'),  "s",    "", std::string(17, 'M'),
      std::string(15, 'f'), std::string(300, 'X'), "a.txt"};
  NameList list;
  list.AppendItem();
  for (const auto& text : sequence) {
    SCOPED_TRACE(text.size());
    list.SetItemText(0, text);
    EXPECT_EQ(list.GetItemText(0), text);
  }
}

TEST(NameListTest, TheEmptyTableEmptiesTheListAndAppendsStartAgain) {
  NameList list;
  for (int i = 0; i < 3; ++i) list.SetItemText(list.AppendItem(), "name");
  list.SetItemTable(ByteRun{});
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetItemText(0), "");
  EXPECT_EQ(list.AppendItem(), 0);
  EXPECT_EQ(list.GetItemText(0), "");
}

// The copy job reads on its worker while the user-interface thread loads and clears. A reader
// sees either a whole text that was set or the empty text. Meant for ThreadSanitizer.
TEST(NameListTest, ReadsRaceSafelyWithAppendsSetsAndClears) {
  NameList list;
  const std::string text(600, 'n');  // longer than one read buffer of the Windows list
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      for (int32_t position = 0; position < 50; ++position) {
        const Text got = list.GetItemText(position);
        if (!got.empty() && got != text) ++torn;
      }
    }
  });
  for (int round = 0; round < 200; ++round) {
    for (int i = 0; i < 40; ++i) list.SetItemText(list.AppendItem(), text);
    list.SetItemTable(ByteRun{});
  }
  done = true;
  reader.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace morvane
