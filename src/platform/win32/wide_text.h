// Code page 936 texts to and from the UTF-16 the wide-character Win32 calls take.
#pragma once

#include <windows.h>

#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "services/texts.h"

namespace morvane {

// Bytes that are not valid code page 936 show as the replacement character, as the ANSI calls do.
inline std::wstring WideFromText(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(936, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(936, 0, text.data(), size, wide.data(), length);
  return wide;
}

// One "?" for each character the code page lacks (a surrogate pair is one), as the ANSI calls give.
Text TextFromWide(std::wstring_view wide);
// Nothing when some character is lacking: a path with "?" in it would name another file.
std::optional<Text> TextFromWideExactly(std::wstring_view wide);

}  // namespace morvane
