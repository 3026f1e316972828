// Code page 936 conversions through the Win32 code-page functions, code page 936 named explicitly
// so the system's own ANSI code page never matters.
#include <windows.h>

#include <climits>

#include "platform/codepage936.h"

namespace morvane {
namespace {

constexpr UINT kCodepage936 = 936;

std::optional<std::wstring> Utf8ToWide(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  if (utf8.size() > INT_MAX) return std::nullopt;
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
  return wide;
}

// Characters the code page lacks become "?"; with `exact`, they make the whole conversion fail.
std::optional<Text> WideToCodepage936(const wchar_t* wide, std::size_t count, bool exact) {
  if (count == 0) return Text();
  if (count > INT_MAX / 2) return std::nullopt;
  const int size = static_cast<int>(count);
  const DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL usedDefault = FALSE;
  const int length =
      WideCharToMultiByte(kCodepage936, flags, wide, size, nullptr, 0, "?", exact ? &usedDefault : nullptr);
  if (length <= 0 || usedDefault) return std::nullopt;
  Text text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(kCodepage936, flags, wide, size, text.data(), length, "?",
                      exact ? &usedDefault : nullptr);
  if (usedDefault) return std::nullopt;
  return text;
}

}  // namespace

Text Utf8ToCodepage936(std::string_view utf8) {
  const auto wide = Utf8ToWide(utf8);
  if (!wide) return Text("?");
  return WideToCodepage936(wide->data(), wide->size(), false).value_or(Text("?"));
}

Text Utf16ToCodepage936(std::u16string_view utf16) {
  return WideToCodepage936(reinterpret_cast<const wchar_t*>(utf16.data()), utf16.size(), false)
      .value_or(Text("?"));
}

std::optional<Text> Utf8ToCodepage936Exactly(std::string_view utf8) {
  const auto wide = Utf8ToWide(utf8);
  if (!wide) return std::nullopt;
  return WideToCodepage936(wide->data(), wide->size(), true);
}

std::optional<std::u16string> Codepage936ToUtf16(std::string_view text) {
  if (text.empty()) return std::u16string();
  if (text.size() > INT_MAX) return std::nullopt;
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(kCodepage936, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::u16string wide(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(kCodepage936, MB_ERR_INVALID_CHARS, text.data(), size,
                      reinterpret_cast<wchar_t*>(wide.data()), length);
  return wide;
}

std::optional<std::string> Codepage936ToUtf8(std::string_view text) {
  const auto wide = Codepage936ToUtf16(text);
  if (!wide) return std::nullopt;
  if (wide->empty()) return std::string();
  const int size = static_cast<int>(wide->size());
  const auto* data = reinterpret_cast<const wchar_t*>(wide->data());
  const int length = WideCharToMultiByte(CP_UTF8, 0, data, size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, data, size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

}  // namespace morvane
