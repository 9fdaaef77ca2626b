// Conversion between the program's GB18030 byte strings (GBK is a subset, byte for byte)
// and UTF-16 / UTF-8, without the system's code page.
#pragma once

#include <string>
#include <string_view>

namespace almanix {

// Invalid or truncated sequences decode to U+FFFD; nothing past the input is read.
// A broken sequence gives one U+FFFD for its first byte and decoding goes on at the next byte
// (so ASCII after a bad lead byte survives); a well-formed but unassigned four-byte code gives
// one U+FFFD for its four bytes. The single bytes 0x80 and 0xFF are invalid.
std::u16string GbToUtf16(std::string_view gb);
// Every code point has a GB18030 form; lone surrogates encode as the form of U+FFFD.
std::string Utf16ToGb(std::u16string_view text);

std::string GbToUtf8(std::string_view gb);
// Invalid UTF-8 encodes as the form of U+FFFD, once per maximal subpart of an ill-formed
// sequence (as Unicode recommends: "\xE5\x86" cut short is one U+FFFD, "\xC0\x80" two).
std::string Utf8ToGb(std::string_view utf8);

} // namespace almanix
