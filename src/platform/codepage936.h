// Conversions between the program's code-page-936 texts and the platform's Unicode forms.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "services/texts.h"

namespace morvane {

// Characters that code page 936 lacks become "?", as the Windows conversion does by default.
Text Utf8ToCodepage936(std::string_view utf8);
Text Utf16ToCodepage936(std::u16string_view utf16);

// Nothing when some character cannot be written in code page 936.
std::optional<Text> Utf8ToCodepage936Exactly(std::string_view utf8);

// Appends one Unicode code point as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// Nothing when the bytes are not valid code page 936.
std::optional<std::string> Codepage936ToUtf8(std::string_view text);
std::optional<std::u16string> Codepage936ToUtf16(std::string_view text);

}  // namespace morvane
