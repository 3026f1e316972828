// Code page 936 conversions through iconv. (First version.)
#include <iconv.h>

#include <cerrno>

#include "platform/codepage936.h"

namespace morvane {
namespace {

std::optional<std::string> Convert(const char* to, const char* from, std::string_view input) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(input.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1)) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

Text Utf8ToCodepage936(std::string_view utf8) { return Convert("CP936", "UTF-8", utf8).value_or(Text("?")); }

Text Utf16ToCodepage936(std::u16string_view utf16) {
  return Convert("CP936", "UTF-16LE", std::string_view(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2))
      .value_or(Text("?"));
}

std::optional<Text> Utf8ToCodepage936Exactly(std::string_view utf8) { return Convert("CP936", "UTF-8", utf8); }

std::optional<std::string> Codepage936ToUtf8(std::string_view text) { return Convert("UTF-8", "CP936", text); }

std::optional<std::u16string> Codepage936ToUtf16(std::string_view text) {
  auto bytes = Convert("UTF-16LE", "CP936", text);
  if (!bytes) return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(bytes->data()), bytes->size() / 2);
}

}  // namespace morvane
