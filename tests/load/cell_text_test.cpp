// The value-to-text rules every reader shares.
#include "load/cell_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace morvane {
namespace {

TEST(CellText, NumbersUseFifteenSignificantDigits) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {12, "12"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {123456789012345, "123456789012345"},
      {1234567890123456, "1.23456789012346E+15"},
      {999999999999999, "999999999999999"},
      {1e15, "1E+15"},
      {1e-05, "1E-05"},
      {0.0001, "0.0001"},
      {0.00012345, "0.00012345"},
      {1.5e-5, "1.5E-05"},
      {-0.0, "0"},
      {-12.5, "-12.5"},
      {1e100, "1E+100"},
      {2.5e-300, "2.5E-300"},
      {0.999999999999999999, "1"},
      {std::numeric_limits<double>::quiet_NaN(), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(NumberCellText(c.value), c.text);
  }
}

TEST(CellText, DatesCountDaysAsTheOleDateDoes) {
  struct Case {
    double serial;
    bool date1904;
    const char* text;
  } cases[] = {
      {45292, false, "2024/1/1"},
      {45292.5, false, "2024/1/1 12:00:00"},
      {0.3, false, "07:12:00"},
      {0, false, "00:00:00"},
      {1, false, "1899/12/31"},  // serials up to 60 are handed over as OLE dates unchanged
      {60, false, "1900/2/28"},
      {61, false, "1900/3/1"},
      {2958465, false, "9999/12/31"},
      {2958466, false, "2958466"},  // past the last OLE date: the number
      {-1, false, "-1"},
      {45292.99999999, false, "2024/1/2"},  // rounds to whole seconds, over midnight
      {45292.000005, false, "2024/1/1"},
      {45292.0000058, false, "2024/1/1 00:00:01"},
      {43830, true, "2024/1/1"},
      {0, true, "1904/1/1"},
      {1.75, true, "1904/1/2 18:00:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(DateCellText(c.serial, c.date1904), c.text);
  }
}

TEST(CellText, BooleansAndStrings) {
  EXPECT_EQ(BooleanCellText(true), "-1");
  EXPECT_EQ(BooleanCellText(false), "0");
  EXPECT_EQ(StringCellText("a.txt"), "a.txt");
  EXPECT_EQ(StringCellText("\xE5\xBC\xA0\xE4\xB8\x89.txt"), "\xD5\xC5\xC8\xFD.txt");  // 张三.txt
  // An emoji and a Hangul syllable are missing from code page 936; each becomes one "?".
  EXPECT_EQ(StringCellText("a\xF0\x9F\x98\x80\xE5\xBC\xA0\xEA\xB0\x80z"), "a?\xD5\xC5?z");
  EXPECT_EQ(StringCellText("a\xFF"
                           "b"),
            "a?b");
  EXPECT_EQ(StringCellTextUtf16(u"\u5F20\u4E09"), "\xD5\xC5\xC8\xFD");
  EXPECT_EQ(StringCellTextUtf16(std::u16string(u"x") + char16_t(0xD800) + u"y"), "x?y");
  // A pair of surrogates is one character, missing here; NUL is dropped.
  EXPECT_EQ(StringCellTextUtf16(std::u16string(u"x\U0001F600\u5F20") + char16_t(0) + u"y"), "x?\xD5\xC5y");
}

// Texts converted together come out as each would alone, in order, whichever of them holds a
// character code page 936 lacks or bytes that are not UTF-8.
TEST(CellText, StringsConvertedTogetherReadAsEachAlone) {
  const std::string good = "\xE5\xBC\xA0\xE4\xB8\x89.txt";  // 张三.txt
  const std::string missing = "a\xF0\x9F\x98\x80\xE5\xBC\xA0\xEA\xB0\x80z";
  const std::string broken = "a\xFF" "b";
  const struct {
    const char* what;
    std::vector<std::string> texts;
  } cases[] = {
      {"one text", {good}},
      {"every text converts", {good, "plain", "", good + good}},
      {"a missing character in the middle", {good, good, "x", missing, good, "y", good}},
      {"missing characters first and last", {missing, good, good, good, broken}},
      {"nothing converts", {missing, broken, missing}},
      {"no texts", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string joined;
    std::vector<Text> expected;
    for (const std::string& text : c.texts) {
      joined += text + '\0';
      expected.push_back(StringCellText(text));
    }
    std::vector<Text> results;
    StringCellTexts(joined, [&](std::string_view text) { results.emplace_back(text); });
    EXPECT_EQ(results, expected);
  }
}

TEST(CellText, DateFormats) {
  struct Case {
    int id;
    const char* code;
    bool date;
  } cases[] = {
      {14, "", true},
      {22, "", true},
      {31, "", true},
      {45, "", true},
      {58, "", true},
      {0, "", false},
      {2, "", false},
      {23, "", false},
      {49, "", false},
      {164, "yyyy\\-mm\\-dd", true},
      {164, "[$-804]yyyy\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\"", true},
      {164, "[h]:mm:ss", true},
      {164, "[Red]0.00", false},
      {164, "0.00\"days\"", false},
      {164, "#,##0_);[Red](#,##0)", false},
      {164, "General", false},
      {164, "0.00E+00", false},
      {164, "\\d0", false},
      {164, "@", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    SCOPED_TRACE(c.id);
    EXPECT_EQ(IsDateFormat(c.id, c.code), c.date);
  }
}

}  // namespace
}  // namespace morvane
