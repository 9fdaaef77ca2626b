// The codec against glibc's iconv over the whole code space: every two-byte code, every BMP code
// point, every four-byte code of the BMP and every supplementary code point, both ways.
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/gbcodec.h"

namespace almanix {
namespace {

class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv()
    {
        if (IsOpen())
            iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // false when iconv rejects any of the input.
    bool Convert(const void* in, size_t inLen, std::string& out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buf[64];
        char* src = const_cast<char*>(static_cast<const char*>(in));
        char* dst = buf;
        size_t dstLen = sizeof buf;
        if (iconv(m_cd, &src, &inLen, &dst, &dstLen) == static_cast<size_t>(-1) || inLen != 0 ||
            iconv(m_cd, nullptr, nullptr, &dst, &dstLen) == static_cast<size_t>(-1))
            return false;
        out.assign(buf, dst);
        return true;
    }

private:
    iconv_t m_cd;
};

// Converters for GB18030 and GBK to and from UTF-16LE and UTF-8; iconv results as our types.
struct Iconvs {
    CIconv gbToUtf16{"UTF-16LE", "GB18030"};
    CIconv utf16ToGb{"GB18030", "UTF-16LE"};
    CIconv gbToUtf8{"UTF-8", "GB18030"};
    CIconv gbkToUtf16{"UTF-16LE", "GBK"};

    bool Decode(CIconv& cd, const std::string& gb, std::u16string& out)
    {
        std::string bytes;
        if (!cd.Convert(gb.data(), gb.size(), bytes))
            return false;
        out.resize(bytes.size() / 2);
        std::memcpy(&out[0], bytes.data(), out.size() * 2);
        return true;
    }
    bool Encode(const std::u16string& text, std::string& gb)
    {
        return utf16ToGb.Convert(text.data(), text.size() * 2, gb);
    }
};

// The input in a heap block of exactly its size, so a read past it is a heap overflow.
std::u16string DecodeExact(const std::string& gb)
{
    std::unique_ptr<char[]> block(new char[gb.size()]);
    std::memcpy(block.get(), gb.data(), gb.size());
    return GbToUtf16(std::string_view(block.get(), gb.size()));
}
std::string EncodeExact(const std::u16string& text)
{
    std::unique_ptr<char16_t[]> block(new char16_t[text.size()]);
    std::memcpy(block.get(), text.data(), text.size() * sizeof(char16_t));
    return Utf16ToGb(std::u16string_view(block.get(), text.size()));
}

std::u16string Utf16Of(uint32_t cp)
{
    if (cp < 0x10000)
        return std::u16string(1, static_cast<char16_t>(cp));
    cp -= 0x10000;
    return {static_cast<char16_t>(0xD800 + (cp >> 10)), static_cast<char16_t>(0xDC00 + (cp & 0x3FF))};
}

std::string Utf8Of(uint32_t cp)
{
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | cp >> 6);
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | cp >> 12);
        s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | cp >> 18);
        s += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

std::string FourByteCode(uint32_t linear)
{
    std::string b(4, '\0');
    b[3] = static_cast<char>(0x30 + linear % 10);
    linear /= 10;
    b[2] = static_cast<char>(0x81 + linear % 126);
    linear /= 126;
    b[1] = static_cast<char>(0x30 + linear % 10);
    b[0] = static_cast<char>(0x81 + linear / 10);
    return b;
}

std::string Hex(const std::string& bytes)
{
    std::string s;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", c);
        s += buf;
    }
    return s;
}
std::string Hex(const std::u16string& text)
{
    std::string s;
    char buf[8];
    for (char16_t c : text) {
        std::snprintf(buf, sizeof buf, "%s%04X", s.empty() ? "" : " ", static_cast<unsigned>(c));
        s += buf;
    }
    return s;
}

// Collects mismatches of a sweep and reports the first few.
class CMismatches {
public:
    void Add(const std::string& what)
    {
        if (m_count++ < 12)
            m_first += "\n  " + what;
    }
    ::testing::AssertionResult None() const
    {
        if (m_count == 0)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << m_count << " mismatches, first:" << m_first;
    }

private:
    size_t m_count = 0;
    std::string m_first;
};

// GB18030-2005 had private-use code points at these two-byte codes; glibc decodes the codes to
// the real characters and has no form for the private-use code points, which encode one way to
// the two-byte code. The first 18 characters had the four-byte codes of kOldFourByte.
struct FormerPua {
    uint16_t pua;
    uint16_t code;
};
constexpr FormerPua kFormerPua[] = {
    {0xE78D, 0xA6D9},
    {0xE78E, 0xA6DA},
    {0xE78F, 0xA6DB},
    {0xE790, 0xA6DC},
    {0xE791, 0xA6DD},
    {0xE792, 0xA6DE},
    {0xE793, 0xA6DF},
    {0xE794, 0xA6EC},
    {0xE795, 0xA6ED},
    {0xE796, 0xA6F3},
    {0xE81E, 0xFE59},
    {0xE826, 0xFE61},
    {0xE82B, 0xFE66},
    {0xE82C, 0xFE67},
    {0xE832, 0xFE6D},
    {0xE843, 0xFE7E},
    {0xE854, 0xFE90},
    {0xE864, 0xFEA0},
    {0xE816, 0xFE51},
    {0xE817, 0xFE52},
    {0xE818, 0xFE53},
    {0xE831, 0xFE6C},
    {0xE83B, 0xFE76},
    {0xE855, 0xFE91},
};

// The GB18030-2005 four-byte codes of the 18 characters that now have two-byte codes; iconv
// rejects them, we decode them to the character (one way).
const std::map<std::string, char16_t> kOldFourByte = {
    {"\x82\x35\x90\x37", 0x9FB4},
    {"\x82\x35\x90\x38", 0x9FB5},
    {"\x82\x35\x90\x39", 0x9FB6},
    {"\x82\x35\x91\x30", 0x9FB7},
    {"\x82\x35\x91\x31", 0x9FB8},
    {"\x82\x35\x91\x32", 0x9FB9},
    {"\x82\x35\x91\x33", 0x9FBA},
    {"\x82\x35\x91\x34", 0x9FBB},
    {"\x84\x31\x82\x36", 0xFE10},
    {"\x84\x31\x82\x37", 0xFE11},
    {"\x84\x31\x82\x38", 0xFE12},
    {"\x84\x31\x82\x39", 0xFE13},
    {"\x84\x31\x83\x30", 0xFE14},
    {"\x84\x31\x83\x31", 0xFE15},
    {"\x84\x31\x83\x32", 0xFE16},
    {"\x84\x31\x83\x33", 0xFE17},
    {"\x84\x31\x83\x34", 0xFE18},
    {"\x84\x31\x83\x35", 0xFE19},
};

std::string TwoByte(uint16_t code)
{
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

class GbCodecIconv : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_iconv.gbToUtf16.IsOpen() && m_iconv.utf16ToGb.IsOpen() && m_iconv.gbToUtf8.IsOpen() &&
            m_iconv.gbkToUtf16.IsOpen());
    }
    Iconvs m_iconv;
};

TEST_F(GbCodecIconv, EveryTwoByteCodeDecodesAndRoundTripsAsIconv)
{
    CMismatches bad;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string gb = TwoByte(static_cast<uint16_t>(lead << 8 | trail));
            std::u16string want;
            std::string wantUtf8;
            if (!m_iconv.Decode(m_iconv.gbToUtf16, gb, want) ||
                !m_iconv.gbToUtf8.Convert(gb.data(), gb.size(), wantUtf8)) {
                bad.Add(Hex(gb) + ": iconv rejects it");
                continue;
            }
            const std::u16string got = DecodeExact(gb);
            if (got != want)
                bad.Add(Hex(gb) + " decodes to " + Hex(got) + ", iconv " + Hex(want));
            if (EncodeExact(got) != gb)
                bad.Add(Hex(gb) + " comes back as " + Hex(EncodeExact(got)));
            if (GbToUtf8(gb) != wantUtf8 || Utf8ToGb(wantUtf8) != gb)
                bad.Add(Hex(gb) + " differs from iconv through UTF-8");
        }
    }
    EXPECT_TRUE(bad.None());
}

TEST_F(GbCodecIconv, EveryBmpCodePointEncodesAsIconvAndRoundTrips)
{
    std::map<uint32_t, uint16_t> formerPua;
    for (const FormerPua& f : kFormerPua)
        formerPua[f.pua] = f.code;
    CMismatches bad;
    size_t withoutIconvForm = 0;
    for (uint32_t cp = 0; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp < 0xE000)
            continue;
        const std::u16string text = Utf16Of(cp);
        const std::string got = EncodeExact(text);
        std::string want;
        if (!m_iconv.Encode(text, want)) {
            ++withoutIconvForm;
            auto it = formerPua.find(cp);
            if (it == formerPua.end())
                bad.Add("U+" + Hex(text) + ": iconv has no form");
            else if (got != TwoByte(it->second))
                bad.Add("U+" + Hex(text) + " encodes to " + Hex(got) + ", not its former code");
            continue;
        }
        if (got != want)
            bad.Add("U+" + Hex(text) + " encodes to " + Hex(got) + ", iconv " + Hex(want));
        if (DecodeExact(got) != text)
            bad.Add("U+" + Hex(text) + " comes back as " + Hex(DecodeExact(got)));
        if (Utf8ToGb(Utf8Of(cp)) != got)
            bad.Add("U+" + Hex(text) + " encodes differently from UTF-8");
    }
    EXPECT_TRUE(bad.None());
    EXPECT_EQ(withoutIconvForm, std::size(kFormerPua));
}

TEST_F(GbCodecIconv, EveryFourByteCodeOfTheBmpBothWays)
{
    CMismatches bad;
    size_t oldCodes = 0;
    for (uint32_t linear = 0; linear < 39420; ++linear) {
        const std::string gb = FourByteCode(linear);
        const std::u16string got = DecodeExact(gb);
        std::u16string want;
        if (!m_iconv.Decode(m_iconv.gbToUtf16, gb, want)) {
            auto it = kOldFourByte.find(gb);
            if (it == kOldFourByte.end())
                bad.Add(Hex(gb) + ": iconv rejects it");
            else if (got != std::u16string(1, it->second))
                bad.Add(Hex(gb) + " decodes to " + Hex(got) + ", not its old character");
            ++oldCodes;
            continue;
        }
        if (got != want)
            bad.Add(Hex(gb) + " decodes to " + Hex(got) + ", iconv " + Hex(want));
        if (EncodeExact(got) != gb)
            bad.Add(Hex(gb) + " comes back as " + Hex(EncodeExact(got)));
    }
    EXPECT_TRUE(bad.None());
    EXPECT_EQ(oldCodes, kOldFourByte.size());
}

TEST_F(GbCodecIconv, EverySupplementaryCodePointBothWays)
{
    CMismatches bad;
    for (uint32_t cp = 0x10000; cp <= 0x10FFFF; ++cp) {
        const std::u16string text = Utf16Of(cp);
        const std::string linearForm = FourByteCode(189000 + cp - 0x10000);
        std::string want;
        std::u16string wantText;
        if (!m_iconv.Encode(text, want) || !m_iconv.Decode(m_iconv.gbToUtf16, linearForm, wantText)) {
            bad.Add("U+" + Hex(text) + ": iconv rejects it");
            continue;
        }
        // Six plane-2 ideographs encode as two-byte codes; the rest as their linear form.
        if (EncodeExact(text) != want)
            bad.Add("U+" + Hex(text) + " encodes to " + Hex(EncodeExact(text)) + ", iconv " + Hex(want));
        if (DecodeExact(linearForm) != wantText)
            bad.Add(Hex(linearForm) + " decodes to " + Hex(DecodeExact(linearForm)) + ", iconv " + Hex(wantText));
        if (cp % 61 == 0 && (Utf8ToGb(Utf8Of(cp)) != want || GbToUtf8(linearForm) != Utf8Of(cp)))
            bad.Add("U+" + Hex(text) + " differs through UTF-8");
    }
    EXPECT_TRUE(bad.None());
}

TEST_F(GbCodecIconv, UnassignedFourByteCodesAreOneReplacementEach)
{
    CMismatches bad;
    const uint32_t kLinearEnd = 126 * 10 * 126 * 10;
    for (uint32_t linear = 39420; linear < kLinearEnd; linear += 37) {
        if (linear >= 189000 && linear < 189000 + 0x100000)
            linear = 189000 + 0x100000;
        const std::string gb = FourByteCode(linear);
        std::u16string ignored;
        if (m_iconv.Decode(m_iconv.gbToUtf16, gb, ignored))
            bad.Add(Hex(gb) + ": iconv decodes it");
        const std::u16string got = DecodeExact("a" + gb + "b");
        if (got != u"a\uFFFDb")
            bad.Add(Hex(gb) + " decodes to " + Hex(got));
    }
    EXPECT_TRUE(bad.None());
}

// GBK is what the program's files hold. iconv's "GBK" knows fewer codes than its "GB18030"
// (no user-defined areas, no A2E3 euro) and reads the single byte 80 as U+20AC; GB18030 wins:
// 80 is not a character. Where both converters decode a code they agree.
TEST_F(GbCodecIconv, GbkCodesDecodeAsIconvGbk)
{
    CMismatches bad;
    size_t gbkCodes = 0;
    std::string allGbk;
    std::u16string allGbkText;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string gb = TwoByte(static_cast<uint16_t>(lead << 8 | trail));
            std::u16string want;
            if (!m_iconv.Decode(m_iconv.gbkToUtf16, gb, want))
                continue;
            ++gbkCodes;
            allGbk += gb;
            allGbkText += want;
            if (DecodeExact(gb) != want)
                bad.Add(Hex(gb) + " decodes to " + Hex(DecodeExact(gb)) + ", iconv GBK " + Hex(want));
        }
    }
    EXPECT_TRUE(bad.None());
    EXPECT_GT(gbkCodes, 21000u);
    // A whole text of them, byte for byte.
    EXPECT_EQ(DecodeExact(allGbk), allGbkText);
    EXPECT_EQ(EncodeExact(allGbkText), allGbk);

    std::u16string euro;
    ASSERT_TRUE(m_iconv.Decode(m_iconv.gbkToUtf16, "\x80", euro));
    EXPECT_EQ(euro, u"\u20AC");
    EXPECT_EQ(DecodeExact("\x80"), u"\uFFFD");
    EXPECT_EQ(DecodeExact("\xA1\xA4\xA1\xAA"), u"\u00B7\u2014");
}

}  // namespace
}  // namespace almanix
