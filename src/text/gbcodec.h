// Conversion between the program's GB18030 byte strings (GBK is a subset, byte for byte)
// and UTF-16 / UTF-8, without the system's code page.
#pragma once

#include <cstddef>
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

// Appends code point cp (below U+110000, not a surrogate) to out as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// Bytes of the well-formed UTF-8 character that starts at s[i] (i < s.size()): 1-4, or 0 when
// the bytes there are no such character (overlong forms and surrogates included).
std::size_t Utf8CharLength(std::string_view s, std::size_t i);

// Bytes of the sequence that starts at gb[i] (i < gb.size()), as the decoder above takes it:
// 1 for ASCII and for every broken or cut-short sequence, 2 or 4 for a whole character. The
// one rule for "how long is this character" in the program: a 0x5C inside a character is
// then never taken for a folder separator, and a 0x5C the decoder shows as '\' always is.
std::size_t GbCharLength(std::string_view gb, std::size_t i);
// The length of gb without a character cut short at its end: a lead byte alone, or the first
// two or three bytes of what can still become a four-byte sequence.
std::size_t GbCompleteLength(std::string_view gb);

}  // namespace almanix
