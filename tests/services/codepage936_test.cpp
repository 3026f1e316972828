// Conversions between code page 936 and Unicode.
#include "platform/codepage936.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace morvane {
namespace {

using namespace std::string_literals;

TEST(Codepage936Test, DecodesAndEncodesBothWays) {
  const struct {
    const char* codepage936;
    const char* utf8;
  } cases[] = {
      {"", ""},
      {"plain ascii 123", "plain ascii 123"},
      {"\xB8\xB4\xD6\xC6\xCA\xA7\xB0\xDC\xCE\xC4\xBC\xFE.txt", "复制失败文件.txt"},
      {"\x80", "€"},  // Windows' code page 936 has the euro sign at 0x80, unlike GBK
      {"\xA1\xA4\xA1\xAA", "·—"},
      {"\x81\x5C", "乗"},  // the trail byte is "\"
      {"a\xB1\xED"
       "b",
       "a表b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Codepage936ToUtf8(c.codepage936), std::optional<std::string>(c.utf8));
    EXPECT_EQ(Utf8ToCodepage936(c.utf8), c.codepage936);
    EXPECT_EQ(Utf8ToCodepage936Exactly(c.utf8), std::optional<Text>(c.codepage936));
  }
}

TEST(Codepage936Test, WritesOneQuestionMarkForEachCharacterItLacks) {
  const struct {
    std::string utf8;
    const char* expected;
  } cases[] = {
      {"a😀b", "a?b"},
      {"กข", "??"},
      {"表😀表", "\xB1\xED?\xB1\xED"},
      {"a\xFF"
       "b",
       "a?b"},                  // not UTF-8 at all
      {"a\xE8\xA1", "a?"},      // cut-off sequence at the end
      {"\xC0\xAF", "??"},       // overlong "/"
      {"\xED\xA0\x80", "???"},  // an encoded surrogate
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(Utf8ToCodepage936(c.utf8), c.expected);
    EXPECT_EQ(Utf8ToCodepage936Exactly(c.utf8), std::nullopt);
  }
}

TEST(Codepage936Test, RefusesBytesThatAreNotCodePage936) {
  for (const std::string& bytes : {"\x81"s, "ab\xB1"s, "\xFF"s, "\xB1\x20"s}) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    EXPECT_EQ(Codepage936ToUtf8(bytes), std::nullopt);
    EXPECT_EQ(Codepage936ToUtf16(bytes), std::nullopt);
  }
}

TEST(Codepage936Test, ConvertsUtf16IncludingSurrogates) {
  EXPECT_EQ(Codepage936ToUtf16("a\xB1\xED\x80"), std::optional<std::u16string>(u"a表€"));
  EXPECT_EQ(Codepage936ToUtf16("ascii"), std::optional<std::u16string>(u"ascii"));
  EXPECT_EQ(Utf16ToCodepage936(u"a表€"), "a\xB1\xED\x80");
  EXPECT_EQ(Utf16ToCodepage936(u"x\U0001F600y"), "x?y");  // a pair is one character
  EXPECT_EQ(Utf16ToCodepage936(std::u16string{u'a', char16_t(0xD800), u'b'}), "a?b");
}

// Each thread keeps its own converters; run under ThreadSanitizer too.
TEST(Codepage936Test, ConvertsOnManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&failures, t] {
      for (int i = 0; i < 2000; ++i) {
        if (Codepage936ToUtf8("\xB1\xED" + std::to_string(i)) != "表" + std::to_string(i)) ++failures[t];
        if (Utf8ToCodepage936("表😀" + std::to_string(i)) != "\xB1\xED?" + std::to_string(i)) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace morvane
