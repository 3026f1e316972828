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

// Characters the code page lacks become "?" (the ANSI calls' default); with `exactly`, nothing.
inline std::optional<Text> TextFromWide(std::wstring_view wide, bool exactly) {
  if (wide.empty()) return Text();
  if (wide.size() > INT_MAX / 2) return std::nullopt;
  const int size = static_cast<int>(wide.size());
  const DWORD flags = exactly ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = exactly ? &usedDefault : nullptr;
  const int length = WideCharToMultiByte(936, flags, wide.data(), size, nullptr, 0, "?", usedDefaultOut);
  if (length <= 0 || usedDefault) return std::nullopt;
  Text text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(936, flags, wide.data(), size, text.data(), length, "?", usedDefaultOut);
  if (usedDefault) return std::nullopt;
  return text;
}

inline Text TextFromWide(std::wstring_view wide) { return TextFromWide(wide, false).value_or(Text()); }

}  // namespace morvane
