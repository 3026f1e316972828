// Number services. (First version: replaced by the exact formatter.)
#include "services/numbers.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace morvane {

int64_t RealToInt64(double value) {
  if (!(value > -9223372036854775808.0 - 1.0 && value < 9223372036854775808.0)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

Text IntToText(int32_t value) { return std::to_string(value); }

Text RealToText(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.13g", value);
  return buffer;
}

}  // namespace morvane
