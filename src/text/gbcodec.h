// Conversion between the program's GB18030 byte strings (GBK is a subset, byte for byte)
// and UTF-16 / UTF-8, without the system's code page.
#pragma once

#include <string>
#include <string_view>

namespace almanix {

// Invalid or truncated sequences decode to U+FFFD; nothing past the input is read.
std::u16string GbToUtf16(std::string_view gb);
// Every code point has a GB18030 form; lone surrogates encode as the form of U+FFFD.
std::string Utf16ToGb(std::u16string_view text);

std::string GbToUtf8(std::string_view gb);
std::string Utf8ToGb(std::string_view utf8);

} // namespace almanix
