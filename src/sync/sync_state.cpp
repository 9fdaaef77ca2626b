#include "sync/sync_state.h"

#include <cstdio>
#include <cstdlib>

#include "memo/memo_file.h"

namespace {

const char kMagic[] = "ALMANIX-SYNC 2";
const char kMagicOld[] = "ALMANIX-SYNC 1";
const char* const kRscaleWords[] = {"unknown", "rscale", "dates"};

// Fields are tab-separated and lines end in LF, so texts escape backslash, tab, CR and LF.
std::string Escape(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool Unescape(const std::string& s, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size())
            return false;
        switch (s[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return false;
        }
    }
    return true;
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

// Hexadecimal; long long because a flags word does not fit Windows' 32-bit long.
bool ToInt(const std::string& s, long long lo, long long hi, long long& v)
{
    if (s.empty() || s[0] == '-')
        return false;
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 16);
    return *end == '\0' && v >= lo && v <= hi;
}

}  // namespace

std::string FormatSyncState(const SyncState& state)
{
    std::string out = std::string(kMagic) + "\t" + Escape(state.m_calendar) + "\t" +
        kRscaleWords[static_cast<int>(state.m_rscale)] + "\t" + Escape(state.m_syncToken) + "\t" + Escape(state.m_ctag) +
        "\n";
    char head[64];
    for (const SyncRecord& r : state.m_records) {
        const MemoItem& m = r.m_item;
        std::snprintf(head, sizeof head, "%x\t%x\t%x\t%x\t%x\t", m.m_nKind, m.m_nFileYear, m.m_nFileMonth, m.m_nSlot,
            static_cast<unsigned>(m.m_dwFlags));
        out += head;
        out += Escape(r.m_href) + "\t" + Escape(r.m_etag) + "\t" + Escape(r.m_uid) + "\t" + Escape(m.m_text) + "\n";
    }
    return out;
}

bool ParseSyncState(const std::string& text, SyncState& state)
{
    state = SyncState{};
    std::size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos)
            return false;  // a cut-off last line: not our file
        const std::vector<std::string> f = Split(text.substr(pos, nl - pos));
        pos = nl + 1;
        if (first) {
            if (f.size() != 5 || (f[0] != kMagic && f[0] != kMagicOld) || !Unescape(f[1], state.m_calendar) ||
                !Unescape(f[3], state.m_syncToken) || !Unescape(f[4], state.m_ctag))
                return false;
            if (f[2] == "dates")
                state.m_rscale = SyncState::Rscale::Dates;
            else if (f[2] == "rscale" && f[0] == kMagic)
                state.m_rscale = SyncState::Rscale::Rules;
            first = false;
            if (f[0] == kMagicOld) {
                state.m_syncToken.clear();
                state.m_ctag.clear();
                return text.back() == '\n';
            }
            continue;
        }
        SyncRecord r;
        long long kind, year, month, slot, flags;
        if (f.size() != 9 || !ToInt(f[0], 0, 4, kind) || !ToInt(f[1], 0, 9999, year) || !ToInt(f[2], 0, 12, month) ||
            !ToInt(f[3], 0, 31, slot) || !ToInt(f[4], 0, 0xFFFFFFFFLL, flags) || !Unescape(f[5], r.m_href) ||
            !Unescape(f[6], r.m_etag) || !Unescape(f[7], r.m_uid) || !Unescape(f[8], r.m_item.m_text) ||
            r.m_href.empty())
            return false;
        r.m_item.m_nKind = static_cast<int>(kind);
        r.m_item.m_nFileYear = static_cast<int>(year);
        r.m_item.m_nFileMonth = static_cast<int>(month);
        r.m_item.m_nSlot = static_cast<int>(slot);
        r.m_item.m_dwFlags = static_cast<std::uint32_t>(flags);
        state.m_records.push_back(std::move(r));
    }
    return !first;
}

int LoadSyncState(const char* path, const std::string& calendar, SyncState& state)
{
    state = SyncState{};
    std::size_t length = 0;
    std::unique_ptr<char[]> data = ReadWholeFile(path, length);
    if (!data) {
        state.m_calendar = calendar;
        return 0;
    }
    if (!ParseSyncState(std::string(data.get(), length), state) || state.m_calendar != calendar) {
        state = SyncState{};
        state.m_calendar = calendar;
        return -1;
    }
    return 0;
}

int SaveSyncState(const char* path, const SyncState& state)
{
    const std::string text = FormatSyncState(state);
    return WriteWholeFile(path, text.data(), text.size());
}
