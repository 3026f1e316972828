// The built-in reader's cell-value-to-text rules against VariantChangeType itself, the coercion the
// automation server's texts go through, on a Chinese (zh-CN) system.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "load/cell_text.h"
#include "platform/codepage936.h"

namespace morvane {
namespace {

constexpr LCID kChinese = MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT);

// The text VariantChangeType gives for the value, in code page 936; "<failed>" if it refuses.
Text CoercedText(VARIANT value) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeTypeEx(&text, &value, kChinese, 0, VT_BSTR))) return "<failed>";
  const Text result = Utf16ToCodepage936(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.bstrVal), SysStringLen(text.bstrVal)));
  VariantClear(&text);
  return result;
}

VARIANT Number(double number) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_R8;
  value.dblVal = number;
  return value;
}

VARIANT Date(double serial) {
  VARIANT value = Number(serial);
  value.vt = VT_DATE;
  return value;
}

VARIANT Boolean(bool flag) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BOOL;
  value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
  return value;
}

struct Case {
  const char* what;
  VARIANT value;
  Text builtIn;
};

void Check(const Case& row) {
  SCOPED_TRACE(row.what);
  // Wine's coercion agrees with the built-in rules on every row here; Windows' own is the reference
  // where they part (a time alone is "06:00:00" in Wine's zh-CN format).
  EXPECT_EQ(row.builtIn, CoercedText(row.value)) << "built-in rule (left) against VariantChangeType (right)";
}

TEST(CellTextVariantTest, NumbersMatchTheCoercion) {
  const Case cases[] = {
      {"0", Number(0), NumberCellText(0)},
      {"12", Number(12), NumberCellText(12)},
      {"-1", Number(-1), NumberCellText(-1)},
      {"0.1 + 0.2", Number(0.1 + 0.2), NumberCellText(0.1 + 0.2)},
      {"1.5", Number(1.5), NumberCellText(1.5)},
      {"-0.5", Number(-0.5), NumberCellText(-0.5)},
      {"1/3", Number(1.0 / 3), NumberCellText(1.0 / 3)},
      {"2/3", Number(2.0 / 3), NumberCellText(2.0 / 3)},
      {"15 digits", Number(123456789012345), NumberCellText(123456789012345)},
      {"16 digits", Number(1234567890123456), NumberCellText(1234567890123456)},
      {"1e15", Number(1e15), NumberCellText(1e15)},
      {"1e16", Number(1e16), NumberCellText(1e16)},
      {"1e21", Number(1e21), NumberCellText(1e21)},
      {"0.0001", Number(0.0001), NumberCellText(0.0001)},
      {"0.00001", Number(0.00001), NumberCellText(0.00001)},
      {"1.23e-10", Number(1.23e-10), NumberCellText(1.23e-10)},
      {"largest", Number(std::numeric_limits<double>::max()),
       NumberCellText(std::numeric_limits<double>::max())},
      {"phone-like", Number(13800138000), NumberCellText(13800138000)},
  };
  for (const Case& row : cases) Check(row);
}

TEST(CellTextVariantTest, DatesMatchTheCoercion) {
  // Serials from 61 (1900-03-01) on are the same days in the spreadsheet and in VT_DATE.
  const Case cases[] = {
      {"1900-03-01", Date(61), DateCellText(61, false)},
      {"2020-01-01", Date(43831), DateCellText(43831, false)},
      {"2020-01-01 12:00", Date(43831.5), DateCellText(43831.5, false)},
      {"2020-01-01 18:30:15", Date(43831 + (18 * 3600 + 30 * 60 + 15) / 86400.0),
       DateCellText(43831 + (18 * 3600 + 30 * 60 + 15) / 86400.0, false)},
      {"2024-12-31", Date(45657), DateCellText(45657, false)},
      {"time only 06:00", Date(0.25), DateCellText(0.25, false)},
      {"9999-12-31", Date(2958465), DateCellText(2958465, false)},
  };
  for (const Case& row : cases) Check(row);
}

TEST(CellTextVariantTest, BooleansMatchTheCoercion) {
  const Case cases[] = {
      {"TRUE", Boolean(true), BooleanCellText(true)},
      {"FALSE", Boolean(false), BooleanCellText(false)},
  };
  for (const Case& row : cases) Check(row);
}

}  // namespace
}  // namespace morvane
