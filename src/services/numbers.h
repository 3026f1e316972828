// Number services: truncation to 64 bits and the decimal forms the window shows.
#pragma once

#include <cstdint>

#include "services/texts.h"

namespace morvane {

// Drops the fraction; NaN and values outside the 64-bit range give -2^63.
int64_t RealToInt64(double value);

// Decimal digits with a leading "-" for negatives, as "%d" gives.
Text IntToText(int32_t value);

// "%.13g" as the progress label shows it: 17 digits rounded half up, then half up to 13,
// exponent with a sign and at least three digits ("9.536743164063e-005", "1e+021").
Text RealToText(double value);

}  // namespace morvane
