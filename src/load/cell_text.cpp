// Cell values to text, as VariantChangeType to VT_BSTR gives them on a Chinese system.
#include "load/cell_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/codepage936.h"

namespace morvane {
namespace {

// Days from 1899/12/30 (the OLE day 0) to a civil date, proleptic Gregorian.
void CivilFromOleDay(int64_t oleDay, int64_t& year, unsigned& month, unsigned& day) {
  // 1899/12/30 is day -25569 from 1970/1/1.
  int64_t z = oleDay - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(z - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

char* PutUnsigned(char* out, uint64_t value, int minimumDigits) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count < minimumDigits) digits[count++] = '0';
  while (count > 0) *out++ = digits[--count];
  return out;
}

// The largest OLE date (9999/12/31 23:59:59).
constexpr double kLastOleDate = 2958466.0;

}  // namespace

Text NumberCellText(double value) {
  if (!std::isfinite(value)) return {};
  if (value == 0) return "0";  // -0 too: the coercion never shows a minus zero
  // Shortest form at 15 significant digits, switching to an exponent below 1E-04 or from 1E+15 on,
  // as "%.15G" does; the exponent keeps at least two digits.
  char buffer[40];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  Text text(buffer, result.ptr);
  const auto e = text.find('e');
  if (e != Text::npos) text[e] = 'E';
  return text;
}

Text DateCellText(double serial, bool date1904) {
  // Excel hands a date cell over as an OLE date holding the serial unchanged, so serials 1 to 60
  // come out one day before what the sheet shows (1 is 1899/12/31, the fictitious 1900/2/29 is
  // 1900/2/28), exactly as the coercion prints them. The 1904 system is shifted onto the 1900 one.
  if (date1904) serial += 1462;
  if (!std::isfinite(serial) || serial < 0 || serial >= kLastOleDate)
    return NumberCellText(date1904 ? serial - 1462 : serial);
  int64_t day = static_cast<int64_t>(serial);
  // Rounded to whole seconds; a time that rounds up to midnight moves to the next day.
  int64_t seconds = std::llround((serial - static_cast<double>(day)) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day;
  }
  char buffer[48];
  char* out = buffer;
  if (day != 0) {
    int64_t year;
    unsigned month, dayOfMonth;
    CivilFromOleDay(day, year, month, dayOfMonth);
    out = PutUnsigned(out, static_cast<uint64_t>(year), 4);
    *out++ = '/';
    out = PutUnsigned(out, month, 1);
    *out++ = '/';
    out = PutUnsigned(out, dayOfMonth, 1);
    if (seconds != 0) *out++ = ' ';
  }
  if (day == 0 || seconds != 0) {
    out = PutUnsigned(out, static_cast<uint64_t>(seconds / 3600), 2);
    *out++ = ':';
    out = PutUnsigned(out, static_cast<uint64_t>(seconds / 60 % 60), 2);
    *out++ = ':';
    out = PutUnsigned(out, static_cast<uint64_t>(seconds % 60), 2);
  }
  return Text(buffer, out);
}

Text BooleanCellText(bool value) { return value ? "-1" : "0"; }

Text StringCellText(std::string_view utf8) {
  bool ascii = true;
  for (unsigned char c : utf8)
    if (c >= 0x80 || c == 0) {
      ascii = false;
      break;
    }
  if (ascii) return Text(utf8);
  if (auto whole = Utf8ToCodepage936Exactly(utf8); whole && whole->find('\0') == Text::npos) return *whole;
  // Some character is missing from code page 936 (or the bytes are not UTF-8): convert character
  // by character so only the missing ones become "?".
  Text text;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (i + length > utf8.size()) length = 1;
    if (lead == 0) {
      ++i;
      continue;  // a text never holds NUL
    }
    if (lead < 0x80) {
      text.push_back(static_cast<char>(lead));
    } else {
      auto one = length > 1 ? Utf8ToCodepage936Exactly(utf8.substr(i, length)) : std::nullopt;
      text += one && !one->empty() ? *one : Text("?");
    }
    i += length;
  }
  return text;
}

void AppendCellUtf8(std::string& out, std::u16string_view utf16) {
  // Through UTF-8 so that unpaired surrogates and missing characters follow one rule. Written
  // through a pointer into room for the longest form (three bytes a unit), then cut to size.
  const std::size_t start = out.size();
  out.resize(start + utf16.size() * 3);
  char* p = out.data() + start;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    uint32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      *p++ = '?';
      continue;
    }
    if (c == 0) continue;  // a text never holds NUL
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (c >> 18));
      *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

Text StringCellTextUtf16(std::u16string_view utf16) {
  std::string utf8;
  AppendCellUtf8(utf8, utf16);
  return StringCellText(utf8);
}

void StringCellTexts(std::string_view joined, const std::function<void(std::string_view)>& take) {
  const auto count = static_cast<std::size_t>(std::count(joined.begin(), joined.end(), '\0'));
  if (count == 0) return;
  if (count == 1) {
    take(StringCellText(joined.substr(0, joined.size() - 1)));
    return;
  }
  // A code page 936 character never holds a zero byte, so the separators come through as they were.
  if (auto converted = Utf8ToCodepage936Exactly(joined);
      converted && static_cast<std::size_t>(std::count(converted->begin(), converted->end(), '\0')) == count) {
    std::string_view rest = *converted;
    for (std::size_t nul; (nul = rest.find('\0')) != std::string_view::npos; rest.remove_prefix(nul + 1))
      take(rest.substr(0, nul));
    return;
  }
  std::size_t middle = 0;
  for (std::size_t texts = 0; texts < count / 2; ++texts) middle = joined.find('\0', middle) + 1;
  StringCellTexts(joined.substr(0, middle), take);
  StringCellTexts(joined.substr(middle), take);
}

bool IsDateFormat(int formatId, std::string_view formatCode) {
  if (formatCode.empty()) {
    // Built-in date and time formats, with the ids the Chinese locale adds (27-36, 50-58).
    return (formatId >= 14 && formatId <= 22) || (formatId >= 27 && formatId <= 36) ||
           (formatId >= 45 && formatId <= 47) || (formatId >= 50 && formatId <= 58);
  }
  // A custom code shows a date or time when a y, m, d, h or s stands outside quoted text, escaped
  // characters and brackets; "[h]", "[mm]" and "[ss]" are elapsed times and count too.
  for (std::size_t i = 0; i < formatCode.size(); ++i) {
    const char c = formatCode[i];
    switch (c) {
      case '"': {
        const auto end = formatCode.find('"', i + 1);
        if (end == std::string_view::npos) return false;
        i = end;
        break;
      }
      case '\\':
      case '_':
      case '*':
        ++i;  // the next character is literal (or a fill/space width)
        break;
      case '[': {
        const auto end = formatCode.find(']', i + 1);
        if (end == std::string_view::npos) return false;
        const auto inside = formatCode.substr(i + 1, end - i - 1);
        if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos) return true;
        i = end;
        break;
      }
      case ';':
        return false;  // only the first section decides, as for positive numbers
      default:
        switch (c) {
          case 'y':
          case 'Y':
          case 'm':
          case 'M':
          case 'd':
          case 'D':
          case 'h':
          case 'H':
          case 's':
          case 'S':
            return true;
          default:
            break;
        }
    }
  }
  return false;
}

}  // namespace morvane
