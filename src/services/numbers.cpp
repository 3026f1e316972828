// Number services: truncation to 64 bits, "%d", and the progress label's "%.13g".
#include "services/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace morvane {

int64_t RealToInt64(double value) {
  constexpr double kTwoTo63 = 9223372036854775808.0;
  // The negated test also catches NaN.
  if (!(value >= -kTwoTo63 && value < kTwoTo63)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

Text IntToText(int32_t value) {
  std::array<char, 16> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return Text(buffer.data(), result.ptr);
}

namespace {

// The first `count` significant digits of |value| exactly as its decimal expansion has them (not
// rounded), and the power of ten of the first one. value is finite and not zero.
struct LeadingDigits {
  std::array<char, 18> digits;
  int exponent;
};

// Reads "d.ddddde±x" as written by to_chars in scientific form.
bool SplitScientific(const char* begin, const char* end, LeadingDigits& out) {
  std::size_t kept = 0;
  const char* p = begin;
  for (; p != end && *p != 'e'; ++p) {
    if (*p == '.') continue;
    if (kept < out.digits.size()) out.digits[kept++] = *p;
  }
  if (p == end || kept < out.digits.size()) return false;
  ++p;
  if (p != end && *p == '+') ++p;
  return std::from_chars(p, end, out.exponent).ec == std::errc();
}

LeadingDigits TruncatedDigits(double magnitude) {
  LeadingDigits leading{};
  // With 10 digits beyond the 18th, to_chars' own rounding reaches the 18th only through a run of
  // nines, which comes out as zeros; then the expansion is taken whole (a double has at most 767
  // significant digits), which has no rounding at all.
  std::array<char, 64> shortBuffer;
  auto result = std::to_chars(shortBuffer.data(), shortBuffer.data() + shortBuffer.size(), magnitude,
                              std::chars_format::scientific, 27);
  // An integer below 10^28 has no more digits than were asked for, so nothing was rounded.
  bool carryPossible = !(magnitude < 1e27 && std::trunc(magnitude) == magnitude);
  for (const char* p = shortBuffer.data() + 19; carryPossible && p != result.ptr && *p != 'e'; ++p) {
    if (*p != '0') {
      carryPossible = false;
      break;
    }
  }
  if (!carryPossible && SplitScientific(shortBuffer.data(), result.ptr, leading)) return leading;
  std::array<char, 800> longBuffer;
  result = std::to_chars(longBuffer.data(), longBuffer.data() + longBuffer.size(), magnitude,
                         std::chars_format::scientific, 770);
  SplitScientific(longBuffer.data(), result.ptr, leading);
  return leading;
}

// Rounds digits[0, count) half up on digits[count]; a carry out of the first digit raises the exponent.
void RoundHalfUp(std::array<char, 18>& digits, std::size_t count, int& exponent) {
  const bool up = digits[count] >= '5';
  for (std::size_t i = count; i < digits.size(); ++i) digits[i] = '0';
  if (!up) return;
  for (std::size_t i = count; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits[0] = '1';
  ++exponent;
}

}  // namespace

Text RealToText(double value) {
  // The program never shows these; they follow the C library's spelling.
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0) return "0";

  LeadingDigits leading = TruncatedDigits(std::fabs(value));
  RoundHalfUp(leading.digits, 17, leading.exponent);
  RoundHalfUp(leading.digits, 13, leading.exponent);
  std::size_t significant = 13;
  while (significant > 1 && leading.digits[significant - 1] == '0') --significant;
  const char* digits = leading.digits.data();
  const int exponent = leading.exponent;

  Text text;
  text.reserve(24);
  if (value < 0) text += '-';
  if (exponent < -4 || exponent >= 13) {
    text += digits[0];
    if (significant > 1) {
      text += '.';
      text.append(digits + 1, significant - 1);
    }
    text += 'e';
    text += exponent < 0 ? '-' : '+';
    const int magnitude = std::abs(exponent);
    if (magnitude < 100) text += '0';
    if (magnitude < 10) text += '0';
    text += IntToText(magnitude);
  } else if (exponent < 0) {
    text += "0.";
    text.append(static_cast<std::size_t>(-exponent - 1), '0');
    text.append(digits, significant);
  } else {
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (significant <= integerDigits) {
      text.append(digits, significant);
      text.append(integerDigits - significant, '0');
    } else {
      text.append(digits, integerDigits);
      text += '.';
      text.append(digits + integerDigits, significant - integerDigits);
    }
  }
  return text;
}

}  // namespace morvane
