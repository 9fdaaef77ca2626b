// Broken input: what each malformed GB, UTF-16 and UTF-8 sequence becomes and how much of the
// input it takes. Every input sits in a heap block of exactly its size, so that a read past the
// end is a heap overflow under ASan.
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "text/gbcodec.h"

namespace almanix {
namespace {

// An exact-size copy of some bytes or units on the heap.
template <class Char> class CExactBlock {
public:
    explicit CExactBlock(std::basic_string_view<Char> text) : m_block(new Char[text.size()]), m_size(text.size())
    {
        std::memcpy(m_block.get(), text.data(), text.size() * sizeof(Char));
    }
    std::basic_string_view<Char> View() const { return {m_block.get(), m_size}; }

private:
    std::unique_ptr<Char[]> m_block;
    size_t m_size;
};

const char kFffdGb[] = "\x84\x31\xA4\x37";
const char kFffdUtf8[] = "\xEF\xBF\xBD";

// Malformed GB input: one U+FFFD for the first byte of a broken sequence (decoding resumes at
// the next byte), one U+FFFD for all four bytes of a well-formed but unassigned code.
TEST(GbCodecMalformed, GbDecodesToReplacementsWithoutReadingPastTheEnd)
{
    struct Case {
        std::string gb;
        std::u16string text;
    };
    const Case cases[] = {
        {"\x80", u"\uFFFD"},
        {"\xFF", u"\uFFFD"},
        {"a\x80"
         "b\xFF"
         "c",
            u"a\uFFFD"
            "b\uFFFD"
            "c"},
        {"\x81", u"\uFFFD"},  // lead byte at the end
        {"ab\xFE", u"ab\uFFFD"},
        {"\xC5\xA9\xC0", u"\u519C\uFFFD"},  // 农 and half of 历
        {"\x81\x7F", u"\uFFFD\x7F"},        // 7F is no trail byte
        {"\x81 x", u"\uFFFD x"},
        {"\xC5\r\n", u"\uFFFD\r\n"},  // the line break survives
        {"\x81\xFF", u"\uFFFD\uFFFD"},
        {"\x81\x30",
            u"\uFFFD"
            "0"},  // four-byte code cut short
        {"\x81\x30\x81",
            u"\uFFFD"
            "0\uFFFD"},
        {"\x81\x30\x81\x2F",
            u"\uFFFD"
            "0\uFFFD/"},
        {"\x81\x30\xFF\x30",
            u"\uFFFD"
            "0\uFFFD"
            "0"},
        {"\x81\x30\x41\x30",
            u"\uFFFD"
            "0A0"},
        {"\x81\x30\x81\x41",
            u"\uFFFD"
            "0\u4E04"},  // 8141 is a two-byte code
        {"\xFE\x39\xFE",
            u"\uFFFD"
            "9\uFFFD"},
        {"\x81\x30\x81\x30", u"\u0080"},
        {"\x84\x31\xA4\x37", u"\uFFFD"},  // the form of U+FFFD itself
        {"\x84\x31\xA4\x39", u"\uFFFF"},  // last four-byte code of the BMP
        {"\x84\x31\xA5\x30"
         "x",
            u"\uFFFDx"},  // first unassigned one after it
        {"\x8F\x39\xFE\x39", u"\uFFFD"},
        {"\x90\x30\x81\x30", u"\U00010000"},
        {"\xE3\x32\x9A\x35", u"\U0010FFFF"},
        {"\xE3\x32\x9A\x36"
         "x",
            u"\uFFFDx"},  // past U+10FFFF
        {"\xFE\x39\xFE\x39", u"\uFFFD"},
        {"", u""},
    };
    for (const Case& c : cases) {
        CExactBlock<char> gb(c.gb);
        EXPECT_EQ(GbToUtf16(gb.View()), c.text) << "GB " << ::testing::PrintToString(c.gb);
        // The UTF-8 path takes the same decisions.
        EXPECT_EQ(Utf8ToGb(GbToUtf8(gb.View())), Utf16ToGb(c.text)) << "GB " << ::testing::PrintToString(c.gb);
    }
}

TEST(GbCodecMalformed, GbToUtf8WritesReplacementCharacters)
{
    CExactBlock<char> gb(std::string_view("\x80"
                                          "a\xC5\xA9\x81"));
    EXPECT_EQ(GbToUtf8(gb.View()), std::string(kFffdUtf8) + "a\xE5\x86\x9C" + kFffdUtf8);
}

// Lone surrogates encode as the form of U+FFFD; pairs as their four-byte code.
TEST(GbCodecMalformed, Utf16SurrogatesEncode)
{
    struct Case {
        std::u16string text;
        std::string gb;
    };
    const std::string fffd = kFffdGb;
    const Case cases[] = {
        {u"\xD800", fffd},  // high surrogate at the end
        {u"\xDC00", fffd},
        {u"\xD800"
         "a",
            fffd + "a"},
        {u"\xDC00\xD800", fffd + fffd},  // reversed pair
        {u"\xD800\xD800\xDC00", fffd + "\x90\x30\x81\x30"},
        {u"\xD83D\xDE00", "\x94\x39\xFC\x36"},  // U+1F600
        {u"\xDBFF\xDFFF", "\xE3\x32\x9A\x35"},  // U+10FFFF
        {u"\uFFFD", fffd},
    };
    for (const Case& c : cases) {
        CExactBlock<char16_t> text(c.text);
        EXPECT_EQ(Utf16ToGb(text.View()), c.gb) << "UTF-16 " << ::testing::PrintToString(c.text);
    }
}

// Invalid UTF-8: one U+FFFD for each maximal well-formed prefix, at least one byte.
TEST(GbCodecMalformed, Utf8InvalidSequencesEncodeAsReplacement)
{
    struct Case {
        std::string utf8;
        int replacements;  // U+FFFD forms before the rest
        std::string rest;
    };
    const Case cases[] = {
        {"\x80", 1, ""},
        {"\x80\xBF", 2, ""},
        {"\xC0\x80", 2, ""},  // overlong
        {"\xC1\xBF", 2, ""},
        {"\xE0\x80\x80", 3, ""},      // overlong
        {"\xED\xA0\x80", 3, ""},      // surrogate
        {"\xF4\x90\x80\x80", 4, ""},  // past U+10FFFF
        {"\xF5\x80", 2, ""},
        {"\xF8\x88\x80\x80\x80", 5, ""},
        {"\xFF", 1, ""},
        {"\xE5\x86", 1, ""},  // 农 cut short: one replacement
        {"\xE5\x86"
         "a",
            1, "a"},
        {"\xF0\x9F\x98", 1, ""},
        {"\xF0\x9F\x98"
         "\xE5\x86\x9C",
            1, "\xC5\xA9"},
        {"\xC3", 1, ""},
    };
    for (const Case& c : cases) {
        std::string want;
        for (int i = 0; i < c.replacements; ++i)
            want += kFffdGb;
        want += c.rest;
        CExactBlock<char> utf8(c.utf8);
        EXPECT_EQ(Utf8ToGb(utf8.View()), want) << "UTF-8 " << ::testing::PrintToString(c.utf8);
    }
}

TEST(GbCodecMalformed, Utf8WellFormedEdges)
{
    struct Case {
        std::string utf8;
        std::string gb;
    };
    const Case cases[] = {
        {"\xE5\x86\x9C\xE5\x8E\x86", "\xC5\xA9\xC0\xFA"},  // 农历
        {"\xC2\x80", "\x81\x30\x81\x30"},                  // U+0080
        {"\xEF\xBF\xBF", "\x84\x31\xA4\x39"},              // U+FFFF
        {"\xF0\x90\x80\x80", "\x90\x30\x81\x30"},          // U+10000
        {"\xF4\x8F\xBF\xBF", "\xE3\x32\x9A\x35"},          // U+10FFFF
        {"\xE2\x82\xAC", "\xA2\xE3"},                      // euro sign
    };
    for (const Case& c : cases) {
        CExactBlock<char> utf8(c.utf8);
        EXPECT_EQ(Utf8ToGb(utf8.View()), c.gb) << "UTF-8 " << ::testing::PrintToString(c.utf8);
        EXPECT_EQ(GbToUtf8(c.gb), c.utf8);
    }
}

// Narrow literals are compiled to GB18030, so they must read back as the text written.
TEST(GbCodecMalformed, NarrowLiteralsAreGbText)
{
    EXPECT_EQ(GbToUtf16("农历二〇二四年 正月初一\r\n"), u"农历二〇二四年 正月初一\r\n");
    EXPECT_EQ(Utf16ToGb(u"备忘"), "备忘");
    EXPECT_EQ(std::string("日历").size(), 4u);
}

}  // namespace
}  // namespace almanix

namespace almanix {
namespace {

// One rule for where a character ends: every sequence GbCharLength delimits decodes on its own
// exactly as it does inside the text, and GbCompleteLength keeps only what a longer text would
// not change. "\x81\x30\x5C" is where the memo files and the codec once disagreed: the 0x5C
// is a backslash of its own, not the end of a four-byte character.
TEST(GbCodecMalformed, CharacterLengthIsTheDecodersOwn)
{
    EXPECT_EQ(GbCharLength("\x81\x30\x5C", 0), 1u);
    EXPECT_EQ(GbToUtf16("\x81\x30\x5C"), u"\uFFFD0\\");
    EXPECT_EQ(GbCharLength("\x81\x30\x81\x30", 0), 4u);
    EXPECT_EQ(GbCharLength("\xC4\x5C", 0), 2u);
    const unsigned char bytes[] = {0x00, 0x30, 0x39, 0x40, 0x5C, 0x7F, 0x80, 0x81, 0xA1, 0xFE, 0xFF};
    const size_t n = sizeof bytes;
    for (size_t a = 0; a < n; ++a)
        for (size_t b = 0; b < n; ++b)
            for (size_t c = 0; c < n; ++c)
                for (size_t d = 0; d < n; ++d) {
                    const char raw[] = {static_cast<char>(bytes[a]), static_cast<char>(bytes[b]),
                        static_cast<char>(bytes[c]), static_cast<char>(bytes[d])};
                    const std::string text(raw, 4);
                    std::u16string pieces;
                    for (size_t i = 0; i < text.size(); i += GbCharLength(text, i))
                        pieces += GbToUtf16(text.substr(i, GbCharLength(text, i)));
                    ASSERT_EQ(pieces, GbToUtf16(text)) << a << ' ' << b << ' ' << c << ' ' << d;
                    for (size_t cut = 0; cut <= 4; ++cut) {
                        // What is kept decodes the same whatever came after the cut.
                        const std::u16string head = GbToUtf16(text.substr(0, GbCompleteLength(text.substr(0, cut))));
                        ASSERT_EQ(pieces.compare(0, head.size(), head), 0)
                            << a << ' ' << b << ' ' << c << ' ' << d << " cut " << cut;
                    }
                }
}

}  // namespace
}  // namespace almanix
