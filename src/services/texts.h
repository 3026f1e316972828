// Texts and byte runs: code-page-936 byte strings, where an absent text and the empty text are one value.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// Bytes in code page 936 without the terminator; a text never holds a NUL byte.
using Text = std::string;

// A 32-bit signed count of bytes of any value, NUL included.
using ByteRun = std::vector<unsigned char>;

// Number of bytes before the first NUL.
int32_t TextLength(std::string_view text);

// A new text holding the arguments in order, each up to its first NUL.
Text JoinTexts(std::initializer_list<std::string_view> parts);

// -1, 0 or 1; bytes compare unsigned, the terminator counts, absent equals empty.
int CompareTexts(std::string_view a, std::string_view b);

// The text's bytes, without terminator.
ByteRun TextToBytes(std::string_view text);

// The bytes up to the first NUL.
Text BytesToText(const ByteRun& bytes);

// n bytes of value 0; n <= 0 gives the empty run.
ByteRun ZeroBytes(int32_t count);

}  // namespace morvane
