// GB18030 as glibc's iconv has it: GB18030-2005, except that the 18 two-byte codes GB18030-2022
// moved out of the private use area (A6D9-A6DF, A6EC, A6ED, A6F3, FE59, FE61, FE66, FE67, FE6D,
// FE7E, FE90, FEA0) decode to their real characters, and FE51, FE52, FE53, FE6C, FE76, FE91 to
// their plane-2 ideographs. Where iconv has no answer we follow the Unicode recommendation for
// GB18030-2022: the 24 former private-use code points encode as those two-byte codes, and the 18
// four-byte codes the moved characters had still decode to them (both one way). The tables are
// generated into gb18030_tables.inc by tools/gbcodec.
//
// Byte sequences:
//   00-7F                        ASCII
//   81-FE 40-7E|80-FE            two-byte code, kGbTwoByte (every one is assigned)
//   81-FE 30-39 81-FE 30-39      four-byte code: linear index 0..39419 is the BMP (kGbFourByteRuns),
//                                189000.. is U+10000..U+10FFFF, the rest is unassigned
// A well-formed but unassigned four-byte code decodes to one U+FFFD for its four bytes. Anything
// else that is not well formed (80, FF, a lead byte at the end, a lead byte followed by a byte that
// cannot follow it, a four-byte code cut short) decodes to one U+FFFD for its first byte only, and
// decoding goes on at the next byte, so ASCII after a broken lead byte survives.
#include "text/gbcodec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace almanix {
namespace {

struct GbTwoByteWide {
    uint16_t code;
    uint32_t cp;
};
struct GbFourByteRun {
    uint16_t index;
    uint16_t cp;
};
struct GbFourByteSpan {
    uint16_t cp;
    uint16_t count;
    uint16_t index;
};
struct GbPuaAlias {
    uint16_t cp;
    uint16_t code;
};

#include "text/gb18030_tables.inc"

constexpr char32_t kReplacement = 0xFFFD;
constexpr uint32_t kFourByteBmpCount = 39420;    // 0x81308130 .. 0x8431A439
constexpr uint32_t kSupplementaryBase = 189000;  // linear index of 0x90308130 = U+10000

inline bool IsTwoByteTrail(uint8_t b)
{
    return b >= 0x40 && b != 0x7F && b != 0xFF;
}
inline bool IsDigit(uint8_t b)
{
    return b >= 0x30 && b <= 0x39;
}
inline bool IsLead(uint8_t b)
{
    return b >= 0x81 && b != 0xFF;
}

char32_t DecodeFourByte(uint32_t linear)
{
    if (linear < kFourByteBmpCount) {
        // The last run starting at or before the index (the table ends with a sentinel run).
        const GbFourByteRun* run = std::upper_bound(std::begin(kGbFourByteRuns), std::end(kGbFourByteRuns) - 1, linear,
                                       [](uint32_t index, const GbFourByteRun& r) { return index < r.index; }) -
            1;
        return run->cp ? run->cp + (linear - run->index) : kReplacement;
    }
    if (linear >= kSupplementaryBase && linear - kSupplementaryBase < 0x100000)
        return 0x10000 + (linear - kSupplementaryBase);
    return kReplacement;
}

// Bytes of the sequence at p (p < end), at least 1: what DecodeGb takes.
inline size_t SequenceLength(const uint8_t* p, const uint8_t* end)
{
    const size_t left = static_cast<size_t>(end - p);
    if (p[0] < 0x80 || !IsLead(p[0]) || left < 2)
        return 1;
    if (IsTwoByteTrail(p[1]))
        return 2;
    return IsDigit(p[1]) && left >= 4 && IsLead(p[2]) && IsDigit(p[3]) ? 4 : 1;
}

// Decodes the sequence at p (p < end) into cp; returns the bytes it takes, at least 1.
inline size_t DecodeGb(const uint8_t* p, const uint8_t* end, char32_t& cp)
{
    const uint8_t b1 = p[0];
    const size_t n = SequenceLength(p, end);
    if (b1 < 0x80) {
        cp = b1;
    } else if (n == 1) {
        cp = kReplacement;
    } else if (n == 2) {
        const uint8_t b2 = p[1];
        const uint16_t v = kGbTwoByte[(b1 - 0x81) * 190 + (b2 - 0x40) - (b2 > 0x7F)];
        if (v) {
            cp = v;
        } else {
            const uint16_t code = static_cast<uint16_t>(b1 << 8 | b2);
            cp = kReplacement;
            for (const GbTwoByteWide& w : kGbTwoByteWide)
                if (w.code == code)
                    cp = w.cp;
        }
    } else {
        const uint32_t linear =
            ((static_cast<uint32_t>(b1 - 0x81) * 10 + (p[1] - 0x30)) * 126 + (p[2] - 0x81)) * 10 + (p[3] - 0x30);
        cp = DecodeFourByte(linear);
    }
    return n;
}

// Two-byte code of every BMP code point that has one (0: none), built from kGbTwoByte once.
class CReverseTwoByte {
public:
    CReverseTwoByte()
    {
        for (uint32_t i = 0; i < sizeof kGbTwoByte / sizeof kGbTwoByte[0]; ++i) {
            if (!kGbTwoByte[i])
                continue;
            uint32_t trail = i % 190 + 0x40;
            trail += trail >= 0x7F;
            m_code[kGbTwoByte[i]] = static_cast<uint16_t>((0x81 + i / 190) << 8 | trail);
        }
        for (const GbPuaAlias& a : kGbPuaAliases)
            if (a.code)
                m_code[a.cp] = a.code;
    }
    uint16_t operator[](char32_t cp) const { return m_code[cp]; }

private:
    uint16_t m_code[0x10000] = {};
};

const CReverseTwoByte& ReverseTwoByte()
{
    static const CReverseTwoByte table;
    return table;
}

inline uint8_t* PutFourByte(uint32_t linear, uint8_t* out)
{
    out[3] = static_cast<uint8_t>(0x30 + linear % 10);
    linear /= 10;
    out[2] = static_cast<uint8_t>(0x81 + linear % 126);
    linear /= 126;
    out[1] = static_cast<uint8_t>(0x30 + linear % 10);
    out[0] = static_cast<uint8_t>(0x81 + linear / 10);
    return out + 4;
}

// Four-byte form of a BMP code point without a two-byte code; the form of U+FFFD for surrogates.
uint32_t FourByteIndex(char32_t cp)
{
    const GbFourByteSpan* span = std::upper_bound(std::begin(kGbFourByteSpans), std::end(kGbFourByteSpans), cp,
        [](char32_t c, const GbFourByteSpan& s) { return c < s.cp; });
    if (span != std::begin(kGbFourByteSpans)) {
        --span;
        if (cp - span->cp < span->count)
            return span->index + (cp - span->cp);
    }
    return FourByteIndex(kReplacement);
}

// Writes the GB form of a Unicode scalar value (surrogates and values past U+10FFFF take the
// form of U+FFFD); at most 4 bytes.
inline uint8_t* EncodeGb(char32_t cp, const CReverseTwoByte& reverse, uint8_t* out)
{
    if (cp < 0x80) {
        *out = static_cast<uint8_t>(cp);
        return out + 1;
    }
    if (cp < 0x10000) {
        if (const uint16_t code = reverse[cp]) {
            out[0] = static_cast<uint8_t>(code >> 8);
            out[1] = static_cast<uint8_t>(code);
            return out + 2;
        }
        return PutFourByte(FourByteIndex(cp), out);
    }
    if (cp > 0x10FFFF)
        return PutFourByte(FourByteIndex(kReplacement), out);
    for (const GbTwoByteWide& w : kGbTwoByteWide) {
        if (w.cp == cp) {
            out[0] = static_cast<uint8_t>(w.code >> 8);
            out[1] = static_cast<uint8_t>(w.code);
            return out + 2;
        }
    }
    return PutFourByte(kSupplementaryBase + (cp - 0x10000), out);
}

// Decodes one UTF-8 sequence at p (p < end); an ill-formed one yields U+FFFD for its longest
// well-formed prefix, at least one byte (the maximal subpart of Unicode's recommendation).
inline size_t DecodeUtf8(const uint8_t* p, const uint8_t* end, char32_t& cp)
{
    const uint8_t b = p[0];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    size_t need;
    char32_t c;
    uint8_t lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        c = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;  // overlong
        else if (b == 0xED)
            hi = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        c = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;  // overlong
        else if (b == 0xF4)
            hi = 0x8F;  // past U+10FFFF
    } else {
        cp = kReplacement;
        return 1;
    }
    const size_t left = static_cast<size_t>(end - p);
    size_t i = 1;
    for (; i <= need; ++i) {
        if (i >= left || p[i] < lo || p[i] > hi) {
            cp = kReplacement;
            return i;
        }
        c = c << 6 | (p[i] & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    cp = c;
    return i;
}

inline uint8_t* EncodeUtf8(char32_t cp, uint8_t* out)
{
    if (cp < 0x80) {
        *out++ = static_cast<uint8_t>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<uint8_t>(0xC0 | cp >> 6);
        *out++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<uint8_t>(0xE0 | cp >> 12);
        *out++ = static_cast<uint8_t>(0x80 | (cp >> 6 & 0x3F));
        *out++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<uint8_t>(0xF0 | cp >> 18);
        *out++ = static_cast<uint8_t>(0x80 | (cp >> 12 & 0x3F));
        *out++ = static_cast<uint8_t>(0x80 | (cp >> 6 & 0x3F));
        *out++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    }
    return out;
}

inline bool IsHighSurrogate(uint32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
inline bool IsLowSurrogate(uint32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Reads one code point from UTF-16 units at p (p < end); a lone surrogate reads as U+FFFD.
template <class Unit> inline size_t DecodeUtf16(const Unit* p, const Unit* end, char32_t& cp)
{
    const uint32_t u = static_cast<uint16_t>(p[0]);
    if (!IsHighSurrogate(u) && !IsLowSurrogate(u)) {
        cp = u;
        return 1;
    }
    if (IsHighSurrogate(u) && end - p >= 2 && IsLowSurrogate(static_cast<uint16_t>(p[1]))) {
        cp = 0x10000 + ((u - 0xD800) << 10) + (static_cast<uint16_t>(p[1]) - 0xDC00);
        return 2;
    }
    cp = kReplacement;
    return 1;
}

// The decoded text never has more UTF-16 units than the GB text has bytes.
template <class String> String GbToUnits(std::string_view gb)
{
    using Unit = typename String::value_type;
    String out(gb.size(), Unit());
    const uint8_t* p = reinterpret_cast<const uint8_t*>(gb.data());
    const uint8_t* const end = p + gb.size();
    Unit* o = &out[0];
    while (p < end) {
        if (*p < 0x80) {
            *o++ = static_cast<Unit>(*p++);
            continue;
        }
        char32_t cp;
        p += DecodeGb(p, end, cp);
        if (cp < 0x10000) {
            *o++ = static_cast<Unit>(cp);
        } else {
            *o++ = static_cast<Unit>(0xD800 + ((cp - 0x10000) >> 10));
            *o++ = static_cast<Unit>(0xDC00 + (cp & 0x3FF));
        }
    }
    out.resize(static_cast<size_t>(o - &out[0]));
    return out;
}

// An output byte string written through a pointer: room for 4 more bytes is made before each
// code point, so the first guess only needs to fit the common case.
class CByteSink {
public:
    explicit CByteSink(size_t guess) : m_out(guess + 4, '\0'), m_used(0) {}
    uint8_t* Room()
    {
        if (m_out.size() - m_used < 4)
            m_out.resize(m_out.size() * 2);
        return reinterpret_cast<uint8_t*>(&m_out[0]) + m_used;
    }
    void Commit(const uint8_t* end) { m_used = static_cast<size_t>(end - reinterpret_cast<uint8_t*>(&m_out[0])); }
    std::string Take()
    {
        m_out.resize(m_used);
        return std::move(m_out);
    }

private:
    std::string m_out;
    size_t m_used;
};

template <class Unit> std::string UnitsToGb(const Unit* p, size_t n)
{
    const CReverseTwoByte& reverse = ReverseTwoByte();
    CByteSink sink(2 * n);  // ASCII and two-byte codes never grow it
    const Unit* const end = p + n;
    while (p < end) {
        char32_t cp;
        p += DecodeUtf16(p, end, cp);
        sink.Commit(EncodeGb(cp, reverse, sink.Room()));
    }
    return sink.Take();
}

}  // namespace

std::u16string GbToUtf16(std::string_view gb)
{
    return GbToUnits<std::u16string>(gb);
}

std::string Utf16ToGb(std::u16string_view text)
{
    return UnitsToGb(text.data(), text.size());
}

void AppendUtf8(std::string& out, char32_t cp)
{
    uint8_t buf[4];
    out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(EncodeUtf8(cp, buf) - buf));
}

size_t Utf8CharLength(std::string_view s, size_t i)
{
    const auto* p = reinterpret_cast<const uint8_t*>(s.data()) + i;
    char32_t cp;
    const size_t n = DecodeUtf8(p, reinterpret_cast<const uint8_t*>(s.data()) + s.size(), cp);
    const bool bWritten = n == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] == 0xBD;  // U+FFFD itself
    return cp == kReplacement && !bWritten ? 0 : n;
}

std::string GbToUtf8(std::string_view gb)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(gb.data());
    const uint8_t* const end = p + gb.size();
    CByteSink sink(gb.size() + gb.size() / 2);  // two-byte codes take three UTF-8 bytes
    while (p < end) {
        char32_t cp;
        p += DecodeGb(p, end, cp);
        sink.Commit(EncodeUtf8(cp, sink.Room()));
    }
    return sink.Take();
}

std::string Utf8ToGb(std::string_view utf8)
{
    const CReverseTwoByte& reverse = ReverseTwoByte();
    const uint8_t* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const uint8_t* const end = p + utf8.size();
    CByteSink sink(utf8.size());  // three-byte UTF-8 becomes two GB bytes
    while (p < end) {
        char32_t cp;
        p += DecodeUtf8(p, end, cp);
        sink.Commit(EncodeGb(cp, reverse, sink.Room()));
    }
    return sink.Take();
}

std::size_t GbCharLength(std::string_view gb, std::size_t i)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(gb.data());
    return SequenceLength(p + i, p + gb.size());
}

std::size_t GbCompleteLength(std::string_view gb)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(gb.data());
    const size_t size = gb.size();
    size_t i = 0;
    while (i < size) {
        const size_t n = SequenceLength(p + i, p + size);
        if (n == 1 && IsLead(p[i])) {
            // A lead byte the decoder takes alone because the text ends: alone at the end,
            // or followed by a digit, or a digit and a lead, that a longer text would complete.
            const size_t left = size - i;
            if (left == 1 || (IsDigit(p[i + 1]) && (left == 2 || (left == 3 && IsLead(p[i + 2])))))
                return i;
        }
        i += n;
    }
    return size;
}

// The W functions' strings (gbcodec_win.h declares these where wchar_t holds UTF-16). Built
// everywhere so that this file has one form; elsewhere nothing calls them.
std::wstring GbToWide(std::string_view gb)
{
    return GbToUnits<std::wstring>(gb);
}

std::string WideToGb(std::wstring_view text)
{
    return UnitsToGb(text.data(), text.size());
}

}  // namespace almanix
