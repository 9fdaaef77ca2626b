// Writes the GB18030 tables of src/text/ (gb18030_tables.inc) from the system's iconv(3).
//
// Usage: gbcodec_gen OUTPUT
//
// Everything comes from iconv "GB18030" except the few code points glibc leaves without a
// form (see kFormerPua below); the program refuses to write a table that would contradict
// iconv anywhere iconv gives an answer.
#include <gnu/libc-version.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTwoByteCount = 126 * 190;         // leads 0x81-0xFE, trails 0x40-0x7E, 0x80-0xFE
constexpr uint32_t kFourByteBmpCount = 39420;    // 0x81308130 .. 0x8431A439
constexpr uint32_t kSupplementaryBase = 189000;  // linear index of 0x90308130 = U+10000

// Two-byte codes that GB18030-2005 mapped to the private use area and glibc (like later
// editions) maps to real characters, with the private-use code point they had. glibc gives
// those private-use code points no form at all, and rejects the four-byte codes the 18 BMP
// characters among them had. As the Unicode recommendation for GB18030-2022 does, a former
// private-use code point encodes as its two-byte code (one way), and the old four-byte code
// decodes to the character (one way): nothing typed becomes "?", old text keeps its meaning.
struct FormerPua {
    uint16_t code;
    uint16_t pua;
};
constexpr FormerPua kFormerPua[] = {
    {0xA6D9, 0xE78D},
    {0xA6DA, 0xE78E},
    {0xA6DB, 0xE78F},
    {0xA6DC, 0xE790},
    {0xA6DD, 0xE791},
    {0xA6DE, 0xE792},
    {0xA6DF, 0xE793},
    {0xA6EC, 0xE794},
    {0xA6ED, 0xE795},
    {0xA6F3, 0xE796},
    {0xFE51, 0xE816},
    {0xFE52, 0xE817},
    {0xFE53, 0xE818},
    {0xFE59, 0xE81E},
    {0xFE61, 0xE826},
    {0xFE66, 0xE82B},
    {0xFE67, 0xE82C},
    {0xFE6C, 0xE831},
    {0xFE6D, 0xE832},
    {0xFE76, 0xE83B},
    {0xFE7E, 0xE843},
    {0xFE90, 0xE854},
    {0xFE91, 0xE855},
    {0xFEA0, 0xE864},
};

class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input; false when iconv rejects any of it.
    bool Convert(const void* in, size_t inLen, std::string& out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buf[64];
        char* src = const_cast<char*>(static_cast<const char*>(in));
        char* dst = buf;
        size_t dstLen = sizeof buf;
        if (iconv(m_cd, &src, &inLen, &dst, &dstLen) == static_cast<size_t>(-1) || inLen != 0)
            return false;
        if (iconv(m_cd, nullptr, nullptr, &dst, &dstLen) == static_cast<size_t>(-1))
            return false;
        out.assign(buf, dst);
        return true;
    }

private:
    iconv_t m_cd;
};

// One code point from GB bytes, or -1.
long DecodeGb(CIconv& dec, const uint8_t* bytes, size_t len)
{
    std::string out;
    if (!dec.Convert(bytes, len, out) || out.size() != 4)
        return -1;
    uint32_t cp;
    std::memcpy(&cp, out.data(), 4);
    return cp;
}

// GB bytes of one code point, or "" when iconv has none.
std::string EncodeGb(CIconv& enc, uint32_t cp)
{
    std::string out;
    if (!enc.Convert(&cp, 4, out))
        return {};
    return out;
}

void FourByteCode(uint32_t linear, uint8_t* b)
{
    b[3] = static_cast<uint8_t>(0x30 + linear % 10);
    linear /= 10;
    b[2] = static_cast<uint8_t>(0x81 + linear % 126);
    linear /= 126;
    b[1] = static_cast<uint8_t>(0x30 + linear % 10);
    b[0] = static_cast<uint8_t>(0x81 + linear / 10);
}

uint16_t TwoByteCode(int index)
{
    int trail = index % 190 + 0x40;
    if (trail >= 0x7F)
        ++trail;
    return static_cast<uint16_t>((0x81 + index / 190) << 8 | trail);
}

int TwoByteIndex(uint16_t code)
{
    int trail = code & 0xFF;
    return ((code >> 8) - 0x81) * 190 + trail - 0x40 - (trail > 0x7F ? 1 : 0);
}

bool Fail(const char* what, uint32_t value)
{
    std::fprintf(stderr, "gbcodec_gen: %s (0x%X)\n", what, value);
    return false;
}

struct Tables {
    std::vector<uint32_t> twoByte = std::vector<uint32_t>(kTwoByteCount);
    std::vector<uint32_t> fourByte = std::vector<uint32_t>(kFourByteBmpCount);  // 0: no character
    std::vector<FormerPua> aliases;                                             // pua -> two-byte code, one way
    std::vector<uint32_t> decodeOnly;                                           // four-byte codes iconv rejects
};

bool Collect(Tables& t)
{
    CIconv dec("UTF-32LE", "GB18030");
    CIconv enc("GB18030", "UTF-32LE");
    if (!dec.IsOpen() || !enc.IsOpen())
        return Fail("iconv has no GB18030 converter", 0);

    for (uint32_t b = 0; b < 0x80; ++b) {
        uint8_t byte = static_cast<uint8_t>(b);
        if (DecodeGb(dec, &byte, 1) != static_cast<long>(b))
            return Fail("single byte is not ASCII", b);
    }

    std::vector<uint8_t> covered(0x10000);  // BMP code points that have a form
    for (int i = 0; i < kTwoByteCount; ++i) {
        uint16_t code = TwoByteCode(i);
        uint8_t b[2] = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)};
        long cp = DecodeGb(dec, b, 2);
        if (cp <= 0)
            return Fail("two-byte code does not decode", code);
        if (EncodeGb(enc, static_cast<uint32_t>(cp)) != std::string(b, b + 2))
            return Fail("two-byte code does not round-trip", code);
        t.twoByte[i] = static_cast<uint32_t>(cp);
        if (cp < 0x10000) {
            if (covered[cp])
                return Fail("code point has two forms", static_cast<uint32_t>(cp));
            covered[cp] = 1;
        }
    }

    std::vector<uint32_t> freeSlots;
    for (uint32_t i = 0; i < kFourByteBmpCount; ++i) {
        uint8_t b[4];
        FourByteCode(i, b);
        long cp = DecodeGb(dec, b, 4);
        if (cp < 0) {
            freeSlots.push_back(i);
            continue;
        }
        if (cp >= 0x10000 || covered[cp])
            return Fail("four-byte BMP code decodes to a code point that has another form", i);
        if (EncodeGb(enc, static_cast<uint32_t>(cp)) != std::string(b, b + 4))
            return Fail("four-byte BMP code does not round-trip", i);
        t.fourByte[i] = static_cast<uint32_t>(cp);
        covered[cp] = 1;
    }

    // iconv rejects the four-byte codes the moved characters had; they still decode to those
    // characters (one way), so text from converters of the 2005 edition keeps its meaning. The
    // moved characters, in code point order, had the free codes in the same order.
    std::vector<uint32_t> moved;
    for (const FormerPua& f : kFormerPua) {
        if (!EncodeGb(enc, f.pua).empty())
            continue;  // iconv has a form for it (a newer edition): nothing to add
        if (covered[f.pua])
            return Fail("former private-use code point decodes but does not encode", f.pua);
        t.aliases.push_back(f);
        uint32_t now = t.twoByte[TwoByteIndex(f.code)];
        if (now < 0x10000)
            moved.push_back(now);
    }
    std::sort(moved.begin(), moved.end());
    if (moved.size() != freeSlots.size())
        return Fail("free four-byte codes do not match the moved characters", static_cast<uint32_t>(freeSlots.size()));
    for (size_t k = 0; k < moved.size(); ++k) {
        uint32_t slot = freeSlots[k];
        // The slot must sit where the moved character did: between its neighbours' code points.
        uint32_t before = 0, after = 0x10000;
        for (uint32_t j = slot; j-- > 0;)
            if (t.fourByte[j]) {
                before = t.fourByte[j];
                break;
            }
        for (uint32_t j = slot + 1; j < kFourByteBmpCount; ++j)
            if (t.fourByte[j]) {
                after = t.fourByte[j];
                break;
            }
        if (!(before < moved[k] && moved[k] < after))
            return Fail("free four-byte code is not the moved character's", slot);
        t.decodeOnly.push_back(slot);
    }
    for (size_t k = 0; k < moved.size(); ++k)
        t.fourByte[freeSlots[k]] = moved[k];

    for (uint32_t cp = 0x80; cp < 0x10000; ++cp) {
        bool surrogate = cp >= 0xD800 && cp < 0xE000;
        bool alias = std::any_of(t.aliases.begin(), t.aliases.end(), [cp](const FormerPua& a) { return a.pua == cp; });
        if (!surrogate && !covered[cp] && !alias)
            return Fail("BMP code point without a form", cp);
        if (surrogate && covered[cp])
            return Fail("surrogate has a form", cp);
    }

    // Plane 1-16 forms are one linear run; check every one.
    for (uint32_t cp = 0x10000; cp < 0x110000; ++cp) {
        uint8_t b[4];
        FourByteCode(kSupplementaryBase + cp - 0x10000, b);
        if (DecodeGb(dec, b, 4) != static_cast<long>(cp))
            return Fail("supplementary four-byte code is not linear", cp);
        std::string form = EncodeGb(enc, cp);
        bool twoByte = form.size() == 2 &&
            t.twoByte[TwoByteIndex(
                static_cast<uint16_t>(static_cast<uint8_t>(form[0]) << 8 | static_cast<uint8_t>(form[1])))] == cp;
        if (form != std::string(b, b + 4) && !twoByte)
            return Fail("supplementary code point encodes elsewhere", cp);
    }
    return true;
}

struct Run {
    uint32_t index;
    uint32_t cp;
    uint32_t count;
};

std::vector<Run> FourByteRuns(const std::vector<uint32_t>& fourByte)
{
    std::vector<Run> runs;
    for (uint32_t i = 0; i < kFourByteBmpCount; ++i) {
        uint32_t cp = fourByte[i];
        if (!runs.empty()) {
            Run& last = runs.back();
            bool continues = last.cp == 0 ? cp == 0 : cp == last.cp + last.count;
            if (continues) {
                ++last.count;
                continue;
            }
        }
        runs.push_back({i, cp, 1});
    }
    return runs;
}

bool Write(const Tables& t, const char* path)
{
    FILE* f = std::fopen(path, "w");
    if (!f)
        return Fail("cannot write the output file", static_cast<uint32_t>(errno));
    std::fprintf(f,
        "// Generated by tools/gbcodec/gbcodec_gen from the iconv \"GB18030\" converter of glibc %s.\n"
        "// Do not edit; see tools/gbcodec/README.md.\n\n",
        gnu_get_libc_version());

    std::fprintf(f,
        "// Code point of each two-byte code, index (lead - 0x81) * 190 + trail position;\n"
        "// 0 where the code point lies beyond the BMP (kGbTwoByteWide).\n");
    std::fprintf(f, "static const uint16_t kGbTwoByte[%d] = {\n", kTwoByteCount);
    for (int i = 0; i < kTwoByteCount; ++i) {
        uint32_t cp = t.twoByte[i] < 0x10000 ? t.twoByte[i] : 0;
        std::fprintf(
            f, "%s0x%04X,%s", i % 12 == 0 ? "    " : "", cp, i % 12 == 11 || i + 1 == kTwoByteCount ? "\n" : " ");
    }
    std::fprintf(f, "};\n\n");

    std::fprintf(f, "// Two-byte codes of characters beyond the BMP.\n");
    std::fprintf(f, "static const GbTwoByteWide kGbTwoByteWide[] = {\n");
    for (int i = 0; i < kTwoByteCount; ++i)
        if (t.twoByte[i] >= 0x10000)
            std::fprintf(f, "    {0x%04X, 0x%05X},\n", TwoByteCode(i), t.twoByte[i]);
    std::fprintf(f, "};\n\n");

    std::vector<Run> runs = FourByteRuns(t.fourByte);
    std::fprintf(f,
        "// Four-byte codes of the BMP (linear index from 0x81308130): runs of consecutive code\n"
        "// points by index; a run ends where the next one starts (cp 0: no character).\n");
    std::fprintf(f, "static const GbFourByteRun kGbFourByteRuns[] = {\n");
    for (size_t i = 0; i < runs.size(); ++i)
        std::fprintf(
            f, "%s{%5u, 0x%04X},%s", i % 6 == 0 ? "    " : "", runs[i].index, runs[i].cp, i % 6 == 5 ? "\n" : " ");
    std::fprintf(f, "%s{%5u, 0x0000},\n};\n\n", runs.size() % 6 == 0 ? "    " : "", kFourByteBmpCount);

    std::vector<uint32_t> encodable = t.fourByte;
    for (uint32_t slot : t.decodeOnly)
        encodable[slot] = 0;
    std::vector<Run> byCp;
    for (const Run& r : FourByteRuns(encodable))
        if (r.cp != 0)
            byCp.push_back(r);
    std::sort(byCp.begin(), byCp.end(), [](const Run& a, const Run& b) { return a.cp < b.cp; });
    std::fprintf(f,
        "// Runs by code point, for encoding code points without a two-byte code:\n"
        "// {first code point, count, first index}.\n");
    std::fprintf(f, "static const GbFourByteSpan kGbFourByteSpans[] = {\n");
    for (size_t i = 0; i < byCp.size(); ++i)
        std::fprintf(f, "%s{0x%04X, %5u, %5u},%s", i % 4 == 0 ? "    " : "", byCp[i].cp, byCp[i].count, byCp[i].index,
            i % 4 == 3 || i + 1 == byCp.size() ? "\n" : " ");
    std::fprintf(f, "};\n\n");

    std::fprintf(f,
        "// Private-use code points without a form of their own: encoded as the two-byte code\n"
        "// of the character they stood for (which decodes to that character).\n");
    std::fprintf(f, "static const GbPuaAlias kGbPuaAliases[] = {\n");
    for (const FormerPua& a : t.aliases)
        std::fprintf(f, "    {0x%04X, 0x%04X},\n", a.pua, a.code);
    if (t.aliases.empty())
        std::fprintf(f, "    {0xFFFF, 0x0000}, // none\n");
    std::fprintf(f, "};\n");

    if (std::fclose(f) != 0)
        return Fail("cannot write the output file", static_cast<uint32_t>(errno));
    std::fprintf(stderr, "gbcodec_gen: %zu four-byte runs, %zu decode-only four-byte codes, %zu aliases\n", runs.size(),
        t.decodeOnly.size(), t.aliases.size());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gbcodec_gen OUTPUT\n");
        return 2;
    }
    Tables t;
    if (!Collect(t) || !Write(t, argv[1]))
        return 1;
    return 0;
}
