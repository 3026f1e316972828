// The text of a cell value, as the platform's standard coercion to text gives it on a Chinese
// system: one set of rules for every reader.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "services/texts.h"

namespace morvane {

// Up to 15 significant digits, shortest form, "E+NN"/"E-NN" exponents: 0.1+0.2 → "0.3".
Text NumberCellText(double value);
// "yyyy/M/d", "yyyy/M/d HH:mm:ss" or "HH:mm:ss" for a date-formatted number (a serial day).
Text DateCellText(double serial, bool date1904);
// TRUE → "-1", FALSE → "0".
Text BooleanCellText(bool value);
// Text cells: characters code page 936 lacks become "?".
Text StringCellText(std::string_view utf8);
Text StringCellTextUtf16(std::u16string_view utf16);
// Many texts at once, each as StringCellText gives it: `joined` holds UTF-8 texts, each followed
// by a NUL (so none holds one), and `take` gets the results in order. One conversion serves them
// all where every character has a code page 936 form; where some has not, halves are tried.
void StringCellTexts(std::string_view joined, const std::function<void(std::string_view)>& take);
// Appends UTF-16 as StringCellTextUtf16 reads it, in UTF-8 without NULs, ready to be joined.
void AppendCellUtf8(std::string& out, std::u16string_view utf16);

// Whether a number format (built-in id and, for custom ones, its code) shows a date or time.
bool IsDateFormat(int formatId, std::string_view formatCode);

}  // namespace morvane
