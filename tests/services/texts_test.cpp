// Texts and byte runs: absent equals empty, unsigned comparison, NUL ends a text.
#include "services/texts.h"

#include <gtest/gtest.h>

#include <string>

#include "app/program_texts.h"

namespace morvane {
namespace {

using namespace std::string_literals;

TEST(CompareTextsTest, ComparesUnsignedBytesWithTheTerminatorCounting) {
  const struct {
    std::string a, b;
    int expected;
  } cases[] = {
      {"", "", 0},
      {"", texts::kMessageCaption, -1},
      {texts::kMessageCaption, "", 1},
      {"abc", "abc", 0},
      {"abc", "ab", 1},  // a longer text against its own prefix
      {"ab", "abc", -1},
      {"abc", "abd", -1},
      {"B", "a", -1},    // no case folding
      {"\x80", "z", 1},  // 0x80 and above sort after every ASCII byte
      {"z", "\xB8\xB4", -1},
      {"\xB8\xB4", "\xB8\xB5", -1},
      {"a\0b"s, "a", 0},  // a text ends at its first NUL
      {"\0x"s, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "\"" << c.a << "\" vs \"" << c.b << "\"");
    EXPECT_EQ(CompareTexts(c.a, c.b), c.expected);
  }
}

TEST(JoinTextsTest, JoinsInOrderUpToEachNul) {
  EXPECT_EQ(JoinTexts({"", ""}), "");
  EXPECT_EQ(JoinTexts({texts::kMessageCaption}), texts::kMessageCaption);
  EXPECT_EQ(JoinTexts({"C:\\dir", "\\", "a.txt"}), "C:\\dir\\a.txt");
  EXPECT_EQ(JoinTexts({"a\0zz"s, "b"}), "ab");
}

TEST(TextLengthTest, CountsBytesBeforeTheFirstNul) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength(texts::kMessageCaption), 6);
  EXPECT_EQ(TextLength("ab\0cd"s), 2);
}

TEST(ByteRunTest, ConvertsBetweenTextsAndRuns) {
  EXPECT_EQ(BytesToText(ByteRun{'a', 0, 'b'}), "a");
  EXPECT_EQ(BytesToText(ByteRun{0, 'a'}), "");
  EXPECT_EQ(BytesToText(ByteRun{'a', 'b'}), "ab");
  EXPECT_EQ(BytesToText(ByteRun{}), "");

  // The separator, six two-byte characters and ".txt", without a terminator.
  const ByteRun logName = TextToBytes(texts::kFailureLogSuffix);
  ASSERT_EQ(logName.size(), 17u);
  EXPECT_EQ(logName.front(), '\\');
  EXPECT_EQ(logName.back(), 't');
  EXPECT_TRUE(TextToBytes("").empty());
  EXPECT_EQ(TextToBytes("a\0b"s), (ByteRun{'a'}));

  EXPECT_EQ(ZeroBytes(3), ByteRun(3, 0));
  EXPECT_TRUE(ZeroBytes(0).empty());
  EXPECT_TRUE(ZeroBytes(-5).empty());
}

}  // namespace
}  // namespace morvane
