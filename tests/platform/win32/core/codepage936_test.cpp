// Code page 936 conversions through the Win32 functions: round trips, replacement, refusals.
#include "platform/codepage936.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

struct RoundTripCase {
  const char* utf8;
  const char* codepage936;
};

TEST(Codepage936Win32Test, ConvertsBothWays) {
  const RoundTripCase cases[] = {
      {"", ""},
      {"abc\\d.txt", "abc\\d.txt"},
      {"\xE4\xBF\xA1\xE6\x81\xAF\xEF\xBC\x9A", "\xD0\xC5\xCF\xA2\xA3\xBA"},  // 信息：
      {"\xE5\xA4\x8D\xE5\x88\xB6\xE5\xA4\xB1\xE8\xB4\xA5\xE6\x96\x87\xE4\xBB\xB6.txt",
       "\xB8\xB4\xD6\xC6\xCA\xA7\xB0\xDC\xCE\xC4\xBC\xFE.txt"},  // 复制失败文件.txt
      {"\xE2\x82\xAC", "\x80"},  // the euro sign has a byte of its own in code page 936
  };
  for (const RoundTripCase& row : cases) {
    SCOPED_TRACE(row.utf8);
    EXPECT_EQ(Utf8ToCodepage936(row.utf8), row.codepage936);
    EXPECT_EQ(Utf8ToCodepage936Exactly(row.utf8), std::optional<Text>(row.codepage936));
    EXPECT_EQ(Codepage936ToUtf8(row.codepage936), std::optional<std::string>(row.utf8));
    const auto utf16 = Codepage936ToUtf16(row.codepage936);
    ASSERT_TRUE(utf16.has_value());
    EXPECT_EQ(Utf16ToCodepage936(*utf16), row.codepage936);
  }
}

TEST(Codepage936Win32Test, MissingCharactersBecomeQuestionMarksOrRefuseExactConversion) {
  const char* korean =
      "a\xED\x95\x9C"
      "b";  // a한b: Hangul is not in code page 936
  EXPECT_EQ(Utf8ToCodepage936(korean), "a?b");
  EXPECT_EQ(Utf8ToCodepage936Exactly(korean), std::nullopt);
  EXPECT_EQ(Utf16ToCodepage936(u"x\uD55Cy"), "x?y");
}

TEST(Codepage936Win32Test, InvalidBytesAreRefused) {
  EXPECT_EQ(Codepage936ToUtf8("ab\x81"), std::nullopt);  // a lead byte without its trail byte
  EXPECT_EQ(Codepage936ToUtf16("ab\x81"), std::nullopt);
}

}  // namespace
}  // namespace morvane
