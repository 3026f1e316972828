// Texts and byte runs.
#include "services/texts.h"

#include <algorithm>

namespace morvane {

int32_t TextLength(std::string_view text) {
  const auto end = text.find('\0');
  return static_cast<int32_t>(end == std::string_view::npos ? text.size() : end);
}

Text JoinTexts(std::initializer_list<std::string_view> parts) {
  Text joined;
  std::size_t total = 0;
  for (std::string_view part : parts) total += static_cast<std::size_t>(TextLength(part));
  joined.reserve(total);
  for (std::string_view part : parts)
    joined.append(part.substr(0, static_cast<std::size_t>(TextLength(part))));
  return joined;
}

int CompareTexts(std::string_view a, std::string_view b) {
  a = a.substr(0, static_cast<std::size_t>(TextLength(a)));
  b = b.substr(0, static_cast<std::size_t>(TextLength(b)));
  if (a.empty()) return b.empty() ? 0 : -1;
  if (b.empty()) return 1;
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  // The terminator counts as byte 0, so a proper prefix is smaller.
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

ByteRun TextToBytes(std::string_view text) {
  text = text.substr(0, static_cast<std::size_t>(TextLength(text)));
  return ByteRun(text.begin(), text.end());
}

Text BytesToText(const ByteRun& bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), static_cast<unsigned char>(0));
  return Text(bytes.begin(), end);
}

ByteRun ZeroBytes(int32_t count) {
  return count <= 0 ? ByteRun{} : ByteRun(static_cast<std::size_t>(count), 0);
}

}  // namespace morvane
