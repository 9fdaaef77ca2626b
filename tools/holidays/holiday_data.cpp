#include "holiday_data.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>

#include "text/gbcodec.h"

namespace holidaydata {
namespace {

// The holidays of the national rules in calendar order; other names follow in date order.
const char* const kRegularNames[] = {"元旦", "春节", "清明节", "劳动节", "端午节", "中秋节", "国庆节"};

class Scanner {
public:
    explicit Scanner(std::string_view text) : m_text(text) {}

    void SkipBlanks()
    {
        while (m_nPos < m_text.size() &&
            (m_text[m_nPos] == ' ' || m_text[m_nPos] == '\t' || m_text[m_nPos] == '\r' || m_text[m_nPos] == '\n'))
            ++m_nPos;
    }
    bool Take(char c)
    {
        SkipBlanks();
        if (m_nPos >= m_text.size() || m_text[m_nPos] != c)
            return false;
        ++m_nPos;
        return true;
    }
    bool Peek(char c)
    {
        SkipBlanks();
        return m_nPos < m_text.size() && m_text[m_nPos] == c;
    }
    // A JSON string; the dataset needs no escapes but \" and \\.
    bool String(std::string& out)
    {
        out.clear();
        if (!Take('"'))
            return false;
        while (m_nPos < m_text.size()) {
            const char c = m_text[m_nPos++];
            if (c == '"')
                return true;
            if (c == '\\') {
                if (m_nPos >= m_text.size() || (m_text[m_nPos] != '"' && m_text[m_nPos] != '\\'))
                    return false;
                out += m_text[m_nPos++];
            } else {
                out += c;
            }
        }
        return false;
    }
    size_t Position() const { return m_nPos; }

private:
    std::string_view m_text;
    size_t m_nPos = 0;
};

bool ParseDate(const std::string& text, DayRecord& r)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9')
            return false;
    r.m_nYear = std::stoi(text.substr(0, 4));
    r.m_nMonth = std::stoi(text.substr(5, 2));
    r.m_nDay = std::stoi(text.substr(8, 2));
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return r.m_nMonth >= 1 && r.m_nMonth <= 12 && r.m_nDay >= 1 && r.m_nDay <= kDays[r.m_nMonth - 1];
}

std::string CanonicalName(const std::string& name)
{
    if (name == "清明" || name == "端午" || name == "中秋")
        return name + "节";
    return name;
}

std::string GbEscapes(const std::string& utf8)
{
    std::string out;
    char buf[8];
    for (unsigned char c : almanix::Utf8ToGb(utf8)) {
        std::snprintf(buf, sizeof buf, "\\x%02x", c);
        out += buf;
    }
    return out;
}

}  // namespace

bool ReadDataset(std::string_view json, std::vector<DayRecord>& records, std::string& error)
{
    records.clear();
    std::map<std::string, bool> seen;  // date -> working
    Scanner s(json);
    if (!s.Take('{')) {
        error = "the dataset is no JSON object";
        return false;
    }
    std::string key;
    std::string date;
    std::string value;
    while (!s.Peek('}')) {
        if (!s.String(key) || !s.Take(':') || !s.Take('{')) {
            error = "malformed object near byte " + std::to_string(s.Position());
            return false;
        }
        // inLieuDays marks days off that are paid back by a working day: off days already.
        const bool bKeep = key == "holidays" || key == "workdays";
        while (!s.Peek('}')) {
            DayRecord r{};
            if (!s.String(date) || !s.Take(':') || !s.String(value)) {
                error = "malformed entry in " + key + " near byte " + std::to_string(s.Position());
                return false;
            }
            s.Take(',');
            if (!bKeep)
                continue;
            const size_t comma1 = value.find(',');
            const size_t comma2 = comma1 == std::string::npos ? comma1 : value.find(',', comma1 + 1);
            if (!ParseDate(date, r) || comma2 == std::string::npos || comma2 == comma1 + 1) {
                error = "malformed entry " + date + ": " + value;
                return false;
            }
            r.m_bWork = key == "workdays";
            r.m_strName = CanonicalName(value.substr(comma1 + 1, comma2 - comma1 - 1));
            if (!seen.emplace(date, r.m_bWork).second) {
                error = date + " is listed twice";
                return false;
            }
            records.push_back(r);
        }
        s.Take('}');
        s.Take(',');
    }
    std::sort(records.begin(), records.end(), [](const DayRecord& a, const DayRecord& b) {
        return std::tie(a.m_nYear, a.m_nMonth, a.m_nDay) < std::tie(b.m_nYear, b.m_nMonth, b.m_nDay);
    });
    if (records.empty()) {
        error = "the dataset holds no days";
        return false;
    }
    return true;
}

std::string BuildTable(const std::vector<DayRecord>& records)
{
    std::vector<std::string> names(std::begin(kRegularNames), std::end(kRegularNames));
    for (const DayRecord& r : records)
        if (std::find(names.begin(), names.end(), r.m_strName) == names.end())
            names.push_back(r.m_strName);

    const int nFirstYear = records.front().m_nYear;
    const int nLastYear = records.back().m_nYear;
    std::vector<std::string> months(static_cast<size_t>(12 * (nLastYear - nFirstYear + 1)), std::string(31, '.'));
    for (const DayRecord& r : records) {
        const int n = static_cast<int>(std::find(names.begin(), names.end(), r.m_strName) - names.begin());
        months[static_cast<size_t>(12 * (r.m_nYear - nFirstYear) + r.m_nMonth - 1)][static_cast<size_t>(r.m_nDay - 1)] =
            static_cast<char>((r.m_bWork ? 'a' : 'A') + n);
    }

    std::string out = "// Published holiday schedules. Generated by tools/holidays (holiday-gen) from\n"
                      "// tools/holidays/chinese-days.json; do not edit by hand.\n"
                      "// One string per Gregorian month, one character per day: '.' nothing, 'A' + n off (休),\n"
                      "// 'a' + n an adjusted working day (班), n the index of the holiday's name.\n";
    char buf[96];
    std::snprintf(buf, sizeof buf, "inline constexpr int HOLIDAY_TABLE_FIRST_YEAR = %d;\n", nFirstYear);
    out += buf;
    std::snprintf(buf, sizeof buf, "inline constexpr int HOLIDAY_TABLE_LAST_YEAR = %d;\n\n", nLastYear);
    out += buf;
    out += "const char* const kHolidayNames[] = {\n";
    for (const std::string& name : names)
        out += "    \"" + GbEscapes(name) + "\",  // " + name + "\n";
    out += "};\n\nconst char kHolidayMonths[][32] = {\n";
    for (size_t i = 0; i < months.size(); ++i) {
        std::snprintf(buf, sizeof buf, "    \"%s\",  // %04d-%02d\n", months[i].c_str(),
            nFirstYear + static_cast<int>(i / 12), static_cast<int>(i % 12) + 1);
        out += buf;
    }
    out += "};\n";
    return out;
}

}  // namespace holidaydata
