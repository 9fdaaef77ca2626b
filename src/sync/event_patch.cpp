#include "sync/event_patch.h"

#include <vector>

#include "ical/ical_format.h"
#include "ical/memo_ical.h"
#include "sync/memo_parts.h"

namespace {

// One content line as it stands in the body, continuation lines and line end included.
struct RawLine {
    std::string m_raw;
    std::string m_name;  // upper case, before ';' or ':'
    std::string m_value;
};

std::vector<RawLine> RawLines(const std::string& body)
{
    std::vector<RawLine> lines;
    std::size_t pos = 0;
    while (pos < body.size()) {
        std::size_t end = pos;
        for (;;) {
            const std::size_t nl = body.find('\n', end);
            end = nl == std::string::npos ? body.size() : nl + 1;
            if (end >= body.size() || (body[end] != ' ' && body[end] != '\t'))
                break;
        }
        RawLine l;
        l.m_raw = body.substr(pos, end - pos);
        std::string unfolded;
        for (std::size_t i = 0; i < l.m_raw.size(); ++i) {
            if (l.m_raw[i] == '\r' || l.m_raw[i] == '\n') {
                while (i + 1 < l.m_raw.size() && (l.m_raw[i + 1] == '\r' || l.m_raw[i + 1] == '\n'))
                    ++i;
                if (i + 1 < l.m_raw.size())
                    ++i;  // the blank or tab that continues the line
                continue;
            }
            unfolded += l.m_raw[i];
        }
        std::size_t n = 0;
        while (n < unfolded.size() && unfolded[n] != ';' && unfolded[n] != ':')
            ++n;
        for (std::size_t i = 0; i < n; ++i)
            l.m_name += static_cast<char>(unfolded[i] >= 'a' && unfolded[i] <= 'z' ? unfolded[i] - 32 : unfolded[i]);
        const std::size_t colon = unfolded.find(':', n);
        if (colon != std::string::npos)
            l.m_value = unfolded.substr(colon + 1);
        lines.push_back(std::move(l));
        pos = end;
    }
    return lines;
}

}  // namespace

std::string PatchEventBody(const std::string& body, const std::string& shownText, const std::string& newText,
    int kind, std::uint32_t flags, bool colour)
{
    // The event the memo shows: the first VEVENT that changes no single occurrence.
    const std::vector<RawLine> lines = RawLines(body);
    std::size_t begin = lines.size(), end = lines.size();
    for (std::size_t i = 0; i < lines.size() && end == lines.size(); ++i) {
        if (lines[i].m_name != "BEGIN" || lines[i].m_value != "VEVENT")
            continue;
        int depth = 0;
        bool override = false;
        std::size_t j = i + 1;
        for (; j < lines.size(); ++j) {
            if (lines[j].m_name == "BEGIN")
                ++depth;
            else if (lines[j].m_name == "END" && depth-- == 0)
                break;
            else if (depth == 0 && lines[j].m_name == "RECURRENCE-ID")
                override = true;
        }
        if (!override && j < lines.size()) {
            begin = i;
            end = j;
        }
    }
    if (begin == lines.size())
        return std::string();
    // The time the memo shows before a timed event's summary is the event's own, not its text.
    bool timed = false;
    for (std::size_t i = begin + 1; i < end; ++i)
        if (lines[i].m_name == "DTSTART")
            timed = lines[i].m_value.find('T') != std::string::npos;
    std::string text = newText;
    if (timed && HasTimePrefix(shownText) && text.compare(0, 6, shownText, 0, 6) == 0)
        text.erase(0, 6);
    CIcalWriter w;
    WriteMemoText(w, text);
    if (colour) {
        MemoItem m;
        m.m_nKind = kind;
        m.m_dwFlags = flags;
        WriteMemoColour(w, m);
    }
    std::string out;
    bool written = false;
    int depth = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const RawLine& l = lines[i];
        if (i > begin && i < end) {
            const bool own = depth == 0;
            if (l.m_name == "BEGIN")
                ++depth;
            else if (l.m_name == "END")
                --depth;
            const bool replaced = l.m_name == "SUMMARY" || l.m_name == "DESCRIPTION" || l.m_name == kRestMarkName ||
                (colour && (l.m_name == "COLOR" || l.m_name == "X-ALMANIX-COLOR" || l.m_name == "X-ALMANIX-FLAGS"));
            if (own && replaced) {
                if (!written)
                    out += w.Text();
                written = true;
                continue;
            }
        }
        if (i == end && !written)
            out += w.Text();
        out += l.m_raw;
        if (!l.m_raw.empty() && l.m_raw.back() != '\n')
            out += "\r\n";
    }
    return out;
}
