#include "ical/ical_format.h"

#include <cctype>
#include <cstdint>

#include "text/gbcodec.h"

namespace {

constexpr std::size_t kFoldOctets = 75;
constexpr std::size_t kMaxDepth = 16;

std::string Upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

// A colon inside an unquoted parameter value that begins a URI's "//" (Exchange writes
// TZID=tzone://Microsoft/Utc unquoted) belongs to the parameter, not to the value.
bool ColonInParameter(std::string_view line, std::size_t i)
{
    return line.compare(i, 3, "://") == 0;
}

// Splits one unfolded line into a property; false when it has no name or no colon.
bool ParseLine(std::string_view line, IcalProperty& prop)
{
    std::size_t i = 0;
    while (i < line.size() && IsNameChar(line[i]))
        ++i;
    if (i == 0 || i == line.size())
        return false;
    prop.m_name = Upper(line.substr(0, i));
    while (line[i] == ';') {
        if (i + 1 < line.size() && line[i + 1] == ';') {
            ++i;  // an empty parameter
            continue;
        }
        const std::size_t nameStart = ++i;
        while (i < line.size() && IsNameChar(line[i]))
            ++i;
        if (i == nameStart || i == line.size() || line[i] != '=')
            return false;
        std::string name = Upper(line.substr(nameStart, i - nameStart));
        std::string value;
        ++i;
        // A parameter may list several values; each may be quoted, and quotes hide ; : ,
        // Unquoted, a backslash keeps the next character in the value (Apple's "\;").
        for (;;) {
            if (i < line.size() && line[i] == '"') {
                const std::size_t close = line.find('"', i + 1);
                if (close == std::string_view::npos)
                    return false;
                value.append(line.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                const std::size_t start = i;
                while (i < line.size() && line[i] != ';' && line[i] != ',' &&
                    (line[i] != ':' || ColonInParameter(line, i))) {
                    if (line[i] == '\\' && i + 1 < line.size())
                        ++i;
                    ++i;
                }
                value.append(line.substr(start, i - start));
            }
            if (i < line.size() && line[i] == ',') {
                value += ',';
                ++i;
                continue;
            }
            break;
        }
        if (i == line.size() || (line[i] != ';' && line[i] != ':'))
            return false;
        prop.m_params.emplace_back(std::move(name), std::move(value));
    }
    if (line[i] != ':')
        return false;
    prop.m_value = std::string(line.substr(i + 1));
    return true;
}

// UTF-16 (Notepad's "Unicode" and "Unicode big endian") to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bBigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t at) -> std::uint32_t {
        const auto a = static_cast<unsigned char>(bytes[at]), b = static_cast<unsigned char>(bytes[at + 1]);
        return bBigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        almanix::AppendUtf8(out, cp);
    }
    return out;
}

// Reads the logical lines of a file into calendars: the state of one tolerant read.
class CIcalReader {
public:
    CIcalReader(std::vector<IcalComponent>& calendars, std::vector<IcalProblem>& problems)
        : m_calendars(calendars), m_problems(problems)
    {
    }

    void Line(std::string_view logical, int nAt)
    {
        while (!logical.empty() && (logical.back() == ' ' || logical.back() == '\t'))
            logical.remove_suffix(1);
        if (logical.empty())
            return;  // blank lines are tolerated
        IcalProperty prop;
        if (!ParseLine(logical, prop)) {
            Problem(nAt, "not a property (NAME:value), skipped");
            return;
        }
        prop.m_nLine = nAt;
        if (prop.m_name == "BEGIN")
            Begin(Upper(prop.m_value), nAt);
        else if (prop.m_name == "END")
            End(Upper(prop.m_value), nAt);
        else if (m_nSkipDepth == 0 && !m_open.empty())
            m_open.back().m_props.push_back(std::move(prop));
        else if (m_nSkipDepth == 0 && m_nOutsideLine == 0)
            m_nOutsideLine = nAt;
    }

    void Finish()
    {
        while (!m_open.empty()) {
            Problem(m_open.back().m_nLine, "BEGIN:" + m_open.back().m_name + " is never ended");
            Close();
        }
        if (m_nOutsideLine)
            Problem(m_nOutsideLine, "lines outside any calendar, ignored");
    }

private:
    void Problem(int nLine, const std::string& what) { m_problems.push_back({nLine, what}); }

    void Begin(const std::string& name, int nAt)
    {
        if (m_nSkipDepth > 0) {
            ++m_nSkipDepth;
            return;
        }
        if (m_open.empty() && name != "VCALENDAR") {
            // A bare VEVENT (as vdir folders keep them) is read as a calendar of its own.
            Problem(nAt, "BEGIN:" + name + " outside any calendar, read as one");
            m_open.push_back(IcalComponent{});
            m_open.back().m_name = "VCALENDAR";
            m_open.back().m_nLine = nAt;
            m_bImplicit = true;
        }
        if (m_open.size() >= kMaxDepth) {
            Problem(nAt, "components nested too deeply, skipped");
            m_nSkipDepth = 1;
            return;
        }
        m_open.push_back(IcalComponent{});
        m_open.back().m_name = name;
        m_open.back().m_nLine = nAt;
    }

    void End(const std::string& name, int nAt)
    {
        if (m_nSkipDepth > 0) {
            --m_nSkipDepth;
            return;
        }
        std::size_t depth = m_open.size();
        while (depth > 0 && m_open[depth - 1].m_name != name)
            --depth;
        if (depth == 0) {
            Problem(nAt,
                m_open.empty() ? "END:" + name + " outside any calendar, ignored"
                               : "END:" + name + " does not close " + m_open.back().m_name + ", ignored");
            return;
        }
        while (m_open.size() > depth) {
            Problem(m_open.back().m_nLine, "BEGIN:" + m_open.back().m_name + " is never ended");
            Close();
        }
        Close();
        if (m_bImplicit && m_open.size() == 1)
            Close();
    }

    void Close()
    {
        if (m_open.size() == 1)
            m_bImplicit = false;
        IcalComponent done = std::move(m_open.back());
        m_open.pop_back();
        if (m_open.empty())
            m_calendars.push_back(std::move(done));
        else
            m_open.back().m_children.push_back(std::move(done));
    }

    std::vector<IcalComponent>& m_calendars;
    std::vector<IcalProblem>& m_problems;
    std::vector<IcalComponent> m_open;  // the components being read, outermost first
    int m_nSkipDepth = 0;               // inside a component being skipped: its depth
    int m_nOutsideLine = 0;             // first property outside any calendar
    bool m_bImplicit = false;           // the outermost calendar stands for a bare component
};

}  // namespace

const std::string* IcalProperty::Param(std::string_view name) const
{
    for (const auto& p : m_params)
        if (p.first == name)
            return &p.second;
    return nullptr;
}

const IcalProperty* IcalComponent::Find(std::string_view name) const
{
    for (const IcalProperty& p : m_props)
        if (p.m_name == name)
            return &p;
    return nullptr;
}

bool ParseIcalFile(std::string_view text, std::vector<IcalComponent>& calendars, std::vector<IcalProblem>& problems,
    std::string& error)
{
    calendars.clear();
    problems.clear();
    error.clear();
    std::string converted;
    const bool bLittle = text.substr(0, 2) == "\xFF\xFE";
    if (bLittle || text.substr(0, 2) == "\xFE\xFF") {
        converted = Utf16ToUtf8(text.substr(2), !bLittle);
        text = converted;
    } else if (text.size() >= 4 && text[0] != '\0' && text[1] == '\0' && text[3] == '\0') {
        converted = Utf16ToUtf8(text, false);  // UTF-16 without its BOM
        text = converted;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    // Old Macintosh files end their lines with CR alone.
    const char eol =
        text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos ? '\r' : '\n';

    CIcalReader reader(calendars, problems);
    std::string line;
    int nLine = 0;   // physical line being read
    int nStart = 0;  // physical line where the logical line began
    bool bHaveLine = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(eol, pos);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view physical = text.substr(pos, end - pos);
        if (!physical.empty() && physical.back() == '\r')
            physical.remove_suffix(1);
        pos = next;
        ++nLine;
        if (!physical.empty() && (physical[0] == ' ' || physical[0] == '\t') && bHaveLine) {
            line.append(physical.substr(1));  // a folded continuation
            continue;
        }
        if (physical.empty())
            continue;  // a blank line, even inside a folded one
        if (bHaveLine)
            reader.Line(line, nStart);
        line.assign(physical);
        nStart = nLine;
        bHaveLine = true;
    }
    if (bHaveLine)
        reader.Line(line, nStart);
    reader.Finish();
    if (!calendars.empty())
        return true;
    if (text.find('\0') != std::string_view::npos)
        error = "not a text file in UTF-8 or UTF-16, no calendar found";
    else
        error = "no BEGIN:VCALENDAR in the file";
    return false;
}

bool ParseIcal(std::string_view text, IcalComponent& calendar, std::string& error)
{
    std::vector<IcalComponent> calendars;
    std::vector<IcalProblem> problems;
    calendar = IcalComponent{};
    if (!ParseIcalFile(text, calendars, problems, error))
        return false;
    calendar = std::move(calendars[0]);
    for (std::size_t i = 1; i < calendars.size(); ++i)
        for (IcalComponent& c : calendars[i].m_children)
            calendar.m_children.push_back(std::move(c));
    return true;
}

std::string EscapeText(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() + 8);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case ';':
            out += "\\;";
            break;
        case ',':
            out += "\\,";
            break;
        case '\r':
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
            out += "\\n";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                out += c;
        }
    }
    return out;
}

std::string UnescapeText(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char c = value[++i];
        if (c == 'n' || c == 'N')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

void CIcalWriter::Line(std::string_view nameAndParams, std::string_view value)
{
    std::string line(nameAndParams);
    line += ':';
    line.append(value);
    std::size_t pos = 0;
    std::size_t room = kFoldOctets;  // the first line has 75 octets, later ones a space and 74
    while (line.size() - pos > room) {
        std::size_t cut = pos + room;
        while (cut > pos && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        m_text.append(line, pos, cut - pos);
        m_text += "\r\n ";
        pos = cut;
        room = kFoldOctets - 1;
    }
    m_text.append(line, pos, std::string::npos);
    m_text += "\r\n";
}
