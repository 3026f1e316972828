// Number services: truncation, "%d" and the progress label's "%.13g" with half-up rounding.
#include "services/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace morvane {
namespace {

TEST(RealToInt64Test, DropsTheFractionAndMapsEverythingOutOfRangeToTheSmallestValue) {
  constexpr int64_t kSmallest = std::numeric_limits<int64_t>::min();
  const struct {
    double value;
    int64_t expected;
  } cases[] = {
      {0.0, 0},
      {-0.5, 0},
      {2.9, 2},
      {-2.9, -2},
      {1e19, kSmallest},
      {9223372036854775808.0, kSmallest},            // 2^63, one past the largest
      {-9223372036854775808.0, kSmallest},           // -2^63 itself
      {9223372036854774784.0, 9223372036854774784},  // largest double below 2^63
      {-9223372036854774784.0, -9223372036854774784},
      {-1e19, kSmallest},
      {std::numeric_limits<double>::quiet_NaN(), kSmallest},
      {std::numeric_limits<double>::infinity(), kSmallest},
      {-std::numeric_limits<double>::infinity(), kSmallest},
      {4294967296.5, 4294967296},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "value " << c.value);
    EXPECT_EQ(RealToInt64(c.value), c.expected);
  }
}

TEST(IntToTextTest, WritesPlainDecimalDigits) {
  const struct {
    int32_t value;
    const char* expected;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {-1, "-1"},
      {100, "100"},
      {2147483647, "2147483647"},
      {-2147483647 - 1, "-2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(IntToText(c.value), c.expected);
  }
}

TEST(RealToTextTest, FormatsAsTheProgressLabelShowsIt) {
  const struct {
    double value;
    const char* expected;
  } cases[] = {
      {100.0, "100"},
      {100 * (1 / 3.), "33.33333333333"},
      {100 * (2 / 3.), "66.66666666667"},
      {7.000000000000001, "7"},
      {0.001, "0.001"},
      {9.5367431640625e-05, "9.536743164063e-005"},
      {1e21, "1e+021"},
      {100.0 * 1 / 7, "14.28571428571"},
      {0.0, "0"},
      {-0.0, "0"},
      {-2.5, "-2.5"},
      {1.0, "1"},
      {0.5, "0.5"},
      // Where fixed and exponent form meet.
      {0.0001, "0.0001"},
      {0.00001, "1e-005"},
      {1234567890123.0, "1234567890123"},
      {1e13, "1e+013"},
      {9999999999999.4, "9999999999999"},
      {9999999999999.5, "1e+013"},  // rounding carries into a new digit, then the form changes
      {99.99999999999995, "100"},
      {1e100, "1e+100"},
      {1e-300, "1e-300"},
      {-1.5e-7, "-1.5e-007"},
      {123456789.125, "123456789.125"},
      {1152921504606846976.0, "1.152921504607e+018"},  // 2^60, all of its 19 digits exact
      {4503599627370497.0, "4.50359962737e+015"},      // 2^52 + 1
      {std::numeric_limits<double>::max(), "1.797693134862e+308"},
      {std::numeric_limits<double>::denorm_min(), "4.940656458412e-324"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "value " << c.expected);
    EXPECT_EQ(RealToText(c.value), c.expected);
  }
}

// A 5 as the 14th significant digit always rounds up, also where it is an exact tie (printf rounds
// those to even) and where it only appears after rounding to 17 digits (printf sees less than half).
TEST(RealToTextTest, RoundsHalfUpWherePrintfDoesNot) {
  const struct {
    double value;
    const char* expected;
    const char* printfGives;
  } cases[] = {
      {9.5367431640625e-05, "9.536743164063e-005", "9.536743164062e-05"},  // 100 / 2^20, an exact tie
      {9.5367431640625e-07, "9.536743164063e-007", "9.536743164062e-07"},  // 2^-20
      {58.306884765625, "58.30688476563", "58.30688476562"},               // exact tie
      {1234567890122.5, "1234567890123", "1234567890122"},                 // exact tie in the units
      {95.391729422645, "95.39172942265", "95.39172942264"},  // just below half, half at 17 digits
      {18.481141794105, "18.48114179411", "18.4811417941"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(RealToText(c.value), c.expected);
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.13g", c.value);
    EXPECT_STREQ(printed, c.printfGives) << "the row no longer shows a difference from printf";
  }
}

TEST(RealToTextTest, SpellsInfinityAndNaNLikeTheCLibrary) {
  EXPECT_EQ(RealToText(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(RealToText(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(RealToText(std::numeric_limits<double>::quiet_NaN()), "nan");
}

}  // namespace
}  // namespace morvane
