// Code page 936 conversions through iconv, with one descriptor per direction and thread.
#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "platform/codepage936.h"

namespace morvane {
namespace {

// glibc's CP936 is its GBK with 0x80 as the euro sign, which is what Windows' code page 936 does.
constexpr const char* kCodepage936 = "CP936";
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class Converter {
 public:
  Converter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(descriptor_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Valid() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }

  enum class Stop { Done, Unconvertible, Incomplete, Failed };

  // Converts as much of input as it can, appending to out and consuming input; stops at the first
  // sequence it cannot convert.
  Stop Convert(std::string_view& input, std::string& out) {
    if (!Valid()) return Stop::Failed;
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    while (true) {
      const std::size_t used = out.size();
      out.resize(used + std::max<std::size_t>(input.size() * 2, 16));
      char* in = const_cast<char*>(input.data());
      std::size_t inLeft = input.size();
      char* outPointer = out.data() + used;
      std::size_t outLeft = out.size() - used;
      const std::size_t result = iconv(descriptor_, &in, &inLeft, &outPointer, &outLeft);
      const int error = errno;
      out.resize(out.size() - outLeft);
      input.remove_prefix(input.size() - inLeft);
      if (result != static_cast<std::size_t>(-1)) return Stop::Done;
      if (error == E2BIG) continue;
      if (error == EILSEQ) return Stop::Unconvertible;
      if (error == EINVAL) return Stop::Incomplete;
      return Stop::Failed;
    }
  }

 private:
  iconv_t descriptor_;
};

Converter& Utf8ToCodepage936Converter() {
  thread_local Converter converter(kCodepage936, "UTF-8");
  return converter;
}

Converter& Codepage936ToUtf8Converter() {
  thread_local Converter converter("UTF-8", kCodepage936);
  return converter;
}

Converter& Codepage936ToUtf16Converter() {
  thread_local Converter converter(kUtf16, kCodepage936);
  return converter;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Bytes taken by the UTF-8 character at the start of text, or, when it is malformed, by its
// longest well-formed beginning (at least 1): that much becomes one "?", as on Windows.
std::size_t Utf8CharacterLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 1;
  }
  std::size_t taken = 1;
  while (taken < length && taken < text.size()) {
    const auto byte = static_cast<unsigned char>(text[taken]);
    if (byte < (taken == 1 ? low : 0x80) || byte > (taken == 1 ? high : 0xBF)) break;
    ++taken;
  }
  return taken;
}

// With replace, every character that cannot be written (or malformed byte) becomes one "?".
std::optional<Text> FromUtf8(std::string_view utf8, bool replace) {
  if (IsAscii(utf8)) return Text(utf8);
  Text out;
  out.reserve(utf8.size());
  Converter& converter = Utf8ToCodepage936Converter();
  while (true) {
    switch (converter.Convert(utf8, out)) {
      case Converter::Stop::Done:
        return out;
      case Converter::Stop::Failed:
        return std::nullopt;
      case Converter::Stop::Unconvertible:
      case Converter::Stop::Incomplete:
        if (!replace) return std::nullopt;
        out += '?';
        utf8.remove_prefix(Utf8CharacterLength(utf8));
        break;
    }
  }
}

}  // namespace

Text Utf8ToCodepage936(std::string_view utf8) { return *FromUtf8(utf8, true); }

std::optional<Text> Utf8ToCodepage936Exactly(std::string_view utf8) { return FromUtf8(utf8, false); }

Text Utf16ToCodepage936(std::u16string_view utf16) {
  // Unpaired surrogates become U+FFFD, which code page 936 lacks, so they too come out as "?".
  std::string utf8;
  utf8.reserve(utf16.size() * 3);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t code = utf16[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    AppendUtf8(utf8, code);
  }
  return Utf8ToCodepage936(utf8);
}

std::optional<std::string> Codepage936ToUtf8(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() * 3 / 2 + 1);
  if (Codepage936ToUtf8Converter().Convert(text, out) != Converter::Stop::Done) return std::nullopt;
  return out;
}

std::optional<std::u16string> Codepage936ToUtf16(std::string_view text) {
  if (IsAscii(text)) return std::u16string(text.begin(), text.end());
  std::string bytes;
  if (Codepage936ToUtf16Converter().Convert(text, bytes) != Converter::Stop::Done) return std::nullopt;
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

}  // namespace morvane
