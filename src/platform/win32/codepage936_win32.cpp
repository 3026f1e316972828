// Code page 936 conversions through the Win32 code-page functions, code page 936 named explicitly
// so the system's own ANSI code page never matters.
#include <windows.h>

#include <climits>

#include "platform/codepage936.h"
#include "platform/win32/wide_text.h"

namespace morvane {
namespace {

constexpr UINT kCodepage936 = 936;
constexpr wchar_t kLacking = L'?';

// UTF-16 of the UTF-8 text, with one "?" for every character beyond the basic plane, which code page
// 936 has none of, and for every malformed sequence: the longest start of a valid sequence, or a
// single byte, as Windows' own UTF-8 decoder replaces them. `clean` turns false if any.
std::wstring Utf8ToWideMarkingLacks(std::string_view utf8, bool& clean) {
  std::wstring wide;
  wide.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      wide.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range, narrower after some leads
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // no overlong forms
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    }
    std::size_t taken = 1;
    char32_t point = lead & (0x7F >> length);
    while (length != 0 && taken < length && i + taken < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[i + taken]);
      const bool fits = taken == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
      if (!fits) break;
      point = (point << 6) | (next & 0x3F);
      ++taken;
    }
    if (length == 0 || taken < length || point > 0xFFFF) {
      wide.push_back(kLacking);
      clean = false;
    } else {
      wide.push_back(static_cast<wchar_t>(point));
    }
    i += taken;
  }
  return wide;
}

// A surrogate pair is one character code page 936 lacks; a lone surrogate is no character at all.
std::wstring Utf16MarkingLacks(std::wstring_view utf16, bool& clean) {
  std::wstring wide;
  wide.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const wchar_t unit = utf16[i];
    if (unit < 0xD800 || unit > 0xDFFF) {
      wide.push_back(unit);
      continue;
    }
    clean = false;
    wide.push_back(kLacking);
    if (unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) ++i;
  }
  return wide;
}

// The basic-plane text in code page 936: "?" for what it lacks, the system's default conversion.
// With `exactly`, no best-fit look-alikes and nothing when anything is lacking.
std::optional<Text> WideToCodepage936(std::wstring_view wide, bool exactly) {
  if (wide.empty()) return Text();
  if (wide.size() > INT_MAX / 2) return std::nullopt;
  const int size = static_cast<int>(wide.size());
  const DWORD flags = exactly ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = exactly ? &usedDefault : nullptr;
  const int length =
      WideCharToMultiByte(kCodepage936, flags, wide.data(), size, nullptr, 0, "?", usedDefaultOut);
  if (length <= 0 || usedDefault) return std::nullopt;
  Text text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(kCodepage936, flags, wide.data(), size, text.data(), length, "?", usedDefaultOut);
  if (usedDefault) return std::nullopt;
  return text;
}

}  // namespace

Text TextFromWide(std::wstring_view wide) {
  bool clean = true;
  return WideToCodepage936(Utf16MarkingLacks(wide, clean), false).value_or(Text());
}

std::optional<Text> TextFromWideExactly(std::wstring_view wide) {
  bool clean = true;
  const std::wstring marked = Utf16MarkingLacks(wide, clean);
  if (!clean) return std::nullopt;
  return WideToCodepage936(marked, true);
}

Text Utf8ToCodepage936(std::string_view utf8) {
  bool clean = true;
  return WideToCodepage936(Utf8ToWideMarkingLacks(utf8, clean), false).value_or(Text());
}

Text Utf16ToCodepage936(std::u16string_view utf16) {
  return TextFromWide(std::wstring_view(reinterpret_cast<const wchar_t*>(utf16.data()), utf16.size()));
}

std::optional<Text> Utf8ToCodepage936Exactly(std::string_view utf8) {
  bool clean = true;
  const std::wstring wide = Utf8ToWideMarkingLacks(utf8, clean);
  if (!clean) return std::nullopt;
  return WideToCodepage936(wide, true);
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
