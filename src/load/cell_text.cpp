// Cell values to text. (First version.)
#include "load/cell_text.h"

#include <cstdio>

#include "platform/codepage936.h"

namespace morvane {

Text NumberCellText(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return buffer;
}

Text DateCellText(double serial, bool) { return NumberCellText(serial); }
Text BooleanCellText(bool value) { return value ? "-1" : "0"; }
Text StringCellText(std::string_view utf8) { return Utf8ToCodepage936(utf8); }
Text StringCellTextUtf16(std::u16string_view utf16) { return Utf16ToCodepage936(utf16); }
bool IsDateFormat(int, std::string_view) { return false; }

}  // namespace morvane
