#include "ical/ical_format.h"

#include <cctype>

namespace {

constexpr std::size_t kFoldOctets = 75;
constexpr std::size_t kMaxDepth = 16;

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
}

// Splits one unfolded line into a property; false when it has no name or no colon.
bool ParseLine(std::string_view line, IcalProperty& prop) {
    std::size_t i = 0;
    while (i < line.size() && IsNameChar(line[i])) ++i;
    if (i == 0 || i == line.size()) return false;
    prop.m_name = Upper(line.substr(0, i));
    while (line[i] == ';') {
        const std::size_t nameStart = ++i;
        while (i < line.size() && IsNameChar(line[i])) ++i;
        if (i == nameStart || i == line.size() || line[i] != '=') return false;
        std::string name = Upper(line.substr(nameStart, i - nameStart));
        std::string value;
        ++i;
        // A parameter may list several values; each may be quoted, and only quotes hide ; : ,
        for (;;) {
            if (i < line.size() && line[i] == '"') {
                const std::size_t close = line.find('"', i + 1);
                if (close == std::string_view::npos) return false;
                value.append(line.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                const std::size_t start = i;
                while (i < line.size() && line[i] != ';' && line[i] != ':' && line[i] != ',' && line[i] != '"') ++i;
                value.append(line.substr(start, i - start));
            }
            if (i < line.size() && line[i] == ',') {
                value += ',';
                ++i;
                continue;
            }
            break;
        }
        if (i == line.size() || (line[i] != ';' && line[i] != ':')) return false;
        prop.m_params.emplace_back(std::move(name), std::move(value));
    }
    if (line[i] != ':') return false;
    prop.m_value = std::string(line.substr(i + 1));
    return true;
}

std::string LineError(int nLine, const char* what) {
    return "line " + std::to_string(nLine) + ": " + what;
}

}  // namespace

const std::string* IcalProperty::Param(std::string_view name) const {
    for (const auto& p : m_params)
        if (p.first == name) return &p.second;
    return nullptr;
}

const IcalProperty* IcalComponent::Find(std::string_view name) const {
    for (const IcalProperty& p : m_props)
        if (p.m_name == name) return &p;
    return nullptr;
}

bool ParseIcal(std::string_view text, IcalComponent& calendar, std::string& error) {
    calendar = IcalComponent{};
    error.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    std::vector<IcalComponent> open;  // the components being read, outermost first
    bool bDone = false;
    std::string line;
    int nLine = 0;      // physical line being read
    int nStart = 0;     // physical line where the logical line began
    std::size_t pos = 0;

    auto handle = [&](std::string_view logical, int nAt) -> bool {
        if (logical.empty()) return true;  // blank lines are tolerated
        IcalProperty prop;
        if (!ParseLine(logical, prop)) {
            error = LineError(nAt, "not a property (NAME:value)");
            return false;
        }
        prop.m_nLine = nAt;
        if (prop.m_name == "BEGIN") {
            if (bDone) {
                error = LineError(nAt, "content after the end of the calendar");
                return false;
            }
            const std::string name = Upper(prop.m_value);
            if (open.empty() && name != "VCALENDAR") {
                error = LineError(nAt, "the file does not begin with BEGIN:VCALENDAR");
                return false;
            }
            if (open.size() >= kMaxDepth) {
                error = LineError(nAt, "components nested too deeply");
                return false;
            }
            open.push_back(IcalComponent{});
            open.back().m_name = name;
            open.back().m_nLine = nAt;
            return true;
        }
        if (open.empty()) {
            error = LineError(nAt, bDone ? "content after the end of the calendar"
                                         : "the file does not begin with BEGIN:VCALENDAR");
            return false;
        }
        if (prop.m_name == "END") {
            if (Upper(prop.m_value) != open.back().m_name) {
                error = LineError(nAt, ("END:" + prop.m_value + " does not close " + open.back().m_name).c_str());
                return false;
            }
            IcalComponent done = std::move(open.back());
            open.pop_back();
            if (open.empty()) {
                calendar = std::move(done);
                bDone = true;
            } else {
                open.back().m_children.push_back(std::move(done));
            }
            return true;
        }
        open.back().m_props.push_back(std::move(prop));
        return true;
    };

    bool bHaveLine = false;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view physical = text.substr(pos, end - pos);
        if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);
        pos = next;
        ++nLine;
        if (!physical.empty() && (physical[0] == ' ' || physical[0] == '\t') && bHaveLine) {
            line.append(physical.substr(1));  // a folded continuation
            continue;
        }
        if (bHaveLine && !handle(line, nStart)) return false;
        line.assign(physical);
        nStart = nLine;
        bHaveLine = true;
    }
    if (bHaveLine && !handle(line, nStart)) return false;
    if (!bDone) {
        error = open.empty() ? std::string("no BEGIN:VCALENDAR in the file")
                             : LineError(open.back().m_nLine, ("BEGIN:" + open.back().m_name + " is never ended").c_str());
        return false;
    }
    return true;
}

std::string EscapeText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 8);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
        case '\\': out += "\\\\"; break;
        case ';': out += "\\;"; break;
        case ',': out += "\\,"; break;
        case '\r':
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
            out += "\\n";
            break;
        case '\n': out += "\\n"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

std::string UnescapeText(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char c = value[++i];
        if (c == 'n' || c == 'N') out += "\r\n";
        else out += c;
    }
    return out;
}

void CIcalWriter::Line(std::string_view nameAndParams, std::string_view value) {
    std::string line(nameAndParams);
    line += ':';
    line.append(value);
    std::size_t pos = 0;
    std::size_t room = kFoldOctets;  // the first line has 75 octets, later ones a space and 74
    while (line.size() - pos > room) {
        std::size_t cut = pos + room;
        while (cut > pos && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        m_text.append(line, pos, cut - pos);
        m_text += "\r\n ";
        pos = cut;
        room = kFoldOctets - 1;
    }
    m_text.append(line, pos, std::string::npos);
    m_text += "\r\n";
}
