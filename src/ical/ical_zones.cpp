// Time zones known by name alone, for a TZID whose VTIMEZONE the file leaves out.
#include <cctype>

#include "ical/ical_time.h"

std::int64_t CIcalTimeZone::UtcOf(std::int64_t wall) const
{
    // The offset at the instant the wall time names; in a gap or an overlap, the earlier offset's.
    const int guess = OffsetAt(wall - OffsetAt(wall));
    return wall - OffsetAt(wall - guess);
}

namespace {

// When summer time begins and ends, as today's laws say.
enum class Summer { None, Us, Eu, AuSouth, Nz };

struct KnownZone {
    const char* m_pszName;
    int m_nMinutes;  // standard offset from UTC
    Summer m_summer;
};

const KnownZone kKnownZones[] = {
    {"UTC", 0, Summer::None},
    {"GMT", 0, Summer::None},
    {"Etc/UTC", 0, Summer::None},
    {"Etc/GMT", 0, Summer::None},
    {"Z", 0, Summer::None},
    {"Coordinated Universal Time", 0, Summer::None},
    {"tzone://Microsoft/Utc", 0, Summer::None},
    {"Greenwich Standard Time", 0, Summer::None},
    {"Atlantic/Reykjavik", 0, Summer::None},
    {"Europe/London", 0, Summer::Eu},
    {"Europe/Dublin", 0, Summer::Eu},
    {"Europe/Lisbon", 0, Summer::Eu},
    {"GMT Standard Time", 0, Summer::Eu},
    {"Europe/Berlin", 60, Summer::Eu},
    {"Europe/Paris", 60, Summer::Eu},
    {"Europe/Rome", 60, Summer::Eu},
    {"Europe/Madrid", 60, Summer::Eu},
    {"Europe/Amsterdam", 60, Summer::Eu},
    {"Europe/Brussels", 60, Summer::Eu},
    {"Europe/Vienna", 60, Summer::Eu},
    {"Europe/Zurich", 60, Summer::Eu},
    {"Europe/Stockholm", 60, Summer::Eu},
    {"Europe/Oslo", 60, Summer::Eu},
    {"Europe/Copenhagen", 60, Summer::Eu},
    {"Europe/Prague", 60, Summer::Eu},
    {"Europe/Warsaw", 60, Summer::Eu},
    {"Europe/Budapest", 60, Summer::Eu},
    {"Europe/Belgrade", 60, Summer::Eu},
    {"Europe/Ljubljana", 60, Summer::Eu},
    {"Europe/Zagreb", 60, Summer::Eu},
    {"Europe/Luxembourg", 60, Summer::Eu},
    {"W. Europe Standard Time", 60, Summer::Eu},
    {"Romance Standard Time", 60, Summer::Eu},
    {"Central Europe Standard Time", 60, Summer::Eu},
    {"Central European Standard Time", 60, Summer::Eu},
    {"Africa/Lagos", 60, Summer::None},
    {"W. Central Africa Standard Time", 60, Summer::None},
    {"Europe/Athens", 120, Summer::Eu},
    {"Europe/Helsinki", 120, Summer::Eu},
    {"Europe/Kiev", 120, Summer::Eu},
    {"Europe/Kyiv", 120, Summer::Eu},
    {"Europe/Bucharest", 120, Summer::Eu},
    {"Europe/Riga", 120, Summer::Eu},
    {"Europe/Tallinn", 120, Summer::Eu},
    {"Europe/Vilnius", 120, Summer::Eu},
    {"Europe/Sofia", 120, Summer::Eu},
    {"GTB Standard Time", 120, Summer::Eu},
    {"FLE Standard Time", 120, Summer::Eu},
    {"E. Europe Standard Time", 120, Summer::Eu},
    {"Africa/Johannesburg", 120, Summer::None},
    {"Africa/Cairo", 120, Summer::None},
    {"South Africa Standard Time", 120, Summer::None},
    {"Europe/Moscow", 180, Summer::None},
    {"Europe/Istanbul", 180, Summer::None},
    {"Africa/Nairobi", 180, Summer::None},
    {"Asia/Riyadh", 180, Summer::None},
    {"Russian Standard Time", 180, Summer::None},
    {"Turkey Standard Time", 180, Summer::None},
    {"Arab Standard Time", 180, Summer::None},
    {"Asia/Dubai", 240, Summer::None},
    {"Arabian Standard Time", 240, Summer::None},
    {"Asia/Karachi", 300, Summer::None},
    {"Pakistan Standard Time", 300, Summer::None},
    {"Asia/Kolkata", 330, Summer::None},
    {"Asia/Calcutta", 330, Summer::None},
    {"India Standard Time", 330, Summer::None},
    {"Asia/Kathmandu", 345, Summer::None},
    {"Asia/Dhaka", 360, Summer::None},
    {"Bangladesh Standard Time", 360, Summer::None},
    {"Asia/Bangkok", 420, Summer::None},
    {"Asia/Jakarta", 420, Summer::None},
    {"Asia/Ho_Chi_Minh", 420, Summer::None},
    {"Asia/Saigon", 420, Summer::None},
    {"SE Asia Standard Time", 420, Summer::None},
    {"Asia/Shanghai", 480, Summer::None},
    {"Asia/Chongqing", 480, Summer::None},
    {"Asia/Harbin", 480, Summer::None},
    {"Asia/Urumqi", 480, Summer::None},
    {"Asia/Hong_Kong", 480, Summer::None},
    {"Asia/Macau", 480, Summer::None},
    {"Asia/Taipei", 480, Summer::None},
    {"Asia/Singapore", 480, Summer::None},
    {"Asia/Kuala_Lumpur", 480, Summer::None},
    {"Asia/Manila", 480, Summer::None},
    {"Australia/Perth", 480, Summer::None},
    {"PRC", 480, Summer::None},
    {"China Standard Time", 480, Summer::None},
    {"Taipei Standard Time", 480, Summer::None},
    {"Singapore Standard Time", 480, Summer::None},
    {"W. Australia Standard Time", 480, Summer::None},
    {"Asia/Tokyo", 540, Summer::None},
    {"Asia/Seoul", 540, Summer::None},
    {"Tokyo Standard Time", 540, Summer::None},
    {"Korea Standard Time", 540, Summer::None},
    {"Australia/Darwin", 570, Summer::None},
    {"AUS Central Standard Time", 570, Summer::None},
    {"Australia/Adelaide", 570, Summer::AuSouth},
    {"Cen. Australia Standard Time", 570, Summer::AuSouth},
    {"Australia/Brisbane", 600, Summer::None},
    {"E. Australia Standard Time", 600, Summer::None},
    {"Australia/Sydney", 600, Summer::AuSouth},
    {"Australia/Melbourne", 600, Summer::AuSouth},
    {"Australia/Canberra", 600, Summer::AuSouth},
    {"Australia/Hobart", 600, Summer::AuSouth},
    {"AUS Eastern Standard Time", 600, Summer::AuSouth},
    {"Pacific/Auckland", 720, Summer::Nz},
    {"New Zealand Standard Time", 720, Summer::Nz},
    {"America/Sao_Paulo", -180, Summer::None},
    {"America/Argentina/Buenos_Aires", -180, Summer::None},
    {"America/Buenos_Aires", -180, Summer::None},
    {"E. South America Standard Time", -180, Summer::None},
    {"Argentina Standard Time", -180, Summer::None},
    {"America/St_Johns", -210, Summer::Us},
    {"Newfoundland Standard Time", -210, Summer::Us},
    {"America/Halifax", -240, Summer::Us},
    {"Atlantic Standard Time", -240, Summer::Us},
    {"America/New_York", -300, Summer::Us},
    {"America/Toronto", -300, Summer::Us},
    {"America/Detroit", -300, Summer::Us},
    {"America/Montreal", -300, Summer::Us},
    {"US/Eastern", -300, Summer::Us},
    {"EST5EDT", -300, Summer::Us},
    {"Eastern Standard Time", -300, Summer::Us},
    {"America/Bogota", -300, Summer::None},
    {"America/Lima", -300, Summer::None},
    {"SA Pacific Standard Time", -300, Summer::None},
    {"America/Chicago", -360, Summer::Us},
    {"America/Winnipeg", -360, Summer::Us},
    {"US/Central", -360, Summer::Us},
    {"CST6CDT", -360, Summer::Us},
    {"Central Standard Time", -360, Summer::Us},
    {"America/Mexico_City", -360, Summer::None},
    {"Central Standard Time (Mexico)", -360, Summer::None},
    {"America/Denver", -420, Summer::Us},
    {"America/Edmonton", -420, Summer::Us},
    {"US/Mountain", -420, Summer::Us},
    {"MST7MDT", -420, Summer::Us},
    {"Mountain Standard Time", -420, Summer::Us},
    {"America/Phoenix", -420, Summer::None},
    {"US Mountain Standard Time", -420, Summer::None},
    {"America/Los_Angeles", -480, Summer::Us},
    {"America/Vancouver", -480, Summer::Us},
    {"America/Tijuana", -480, Summer::Us},
    {"US/Pacific", -480, Summer::Us},
    {"PST8PDT", -480, Summer::Us},
    {"Pacific Standard Time", -480, Summer::Us},
    {"America/Anchorage", -540, Summer::Us},
    {"Alaskan Standard Time", -540, Summer::Us},
    {"Pacific/Honolulu", -600, Summer::None},
    {"US/Hawaii", -600, Summer::None},
    {"Hawaiian Standard Time", -600, Summer::None},
};

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// "(UTC+08:00) Beijing", "(GMT-05.00) Eastern", "UTC+8", "GMT+0800", "Etc/GMT-8": a fixed offset.
bool FixedOffsetOf(std::string_view name, int& minutes)
{
    bool bEtc = false;
    if (!name.empty() && name[0] == '(')
        name.remove_prefix(1);
    if (name.substr(0, 4) == "Etc/") {
        name.remove_prefix(4);
        bEtc = true;  // Etc/GMT-8 is eight hours ahead of UTC
    }
    if (name.size() < 5 || (name.substr(0, 3) != "UTC" && name.substr(0, 3) != "GMT") ||
        (name[3] != '+' && name[3] != '-'))
        return false;
    const int sign = (name[3] == '-') != bEtc ? -1 : 1;
    std::size_t i = 4;
    int h = 0, m = 0, nDigits = 0;
    while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && nDigits < 2) {
        h = h * 10 + (name[i++] - '0');
        ++nDigits;
    }
    if (nDigits == 0 || h > 14)
        return false;
    if (i < name.size() && (name[i] == ':' || name[i] == '.'))
        ++i;
    if (i + 1 < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) &&
        std::isdigit(static_cast<unsigned char>(name[i + 1])))
        m = (name[i] - '0') * 10 + (name[i + 1] - '0');
    minutes = sign * (h * 60 + m);
    return true;
}

}  // namespace

bool CIcalTimeZone::LoadKnown(std::string_view tzid)
{
    m_parts.clear();
    m_id = std::string(tzid);
    while (!tzid.empty() && (tzid.front() == '"' || tzid.front() == ' '))
        tzid.remove_prefix(1);
    while (!tzid.empty() && (tzid.back() == '"' || tzid.back() == ' '))
        tzid.remove_suffix(1);
    const KnownZone* known = nullptr;
    int minutes = 0;
    // A vendor's prefix ("/mozilla.org/20050126_1/", "/softwarestudio.org/Olson_20011030_5/") ends
    // where a name of the table begins.
    for (std::size_t at = 0; !known && at < tzid.size(); at = tzid.find('/', at + 1)) {
        const std::string_view name = tzid.substr(tzid[at] == '/' ? at + 1 : at);
        for (const KnownZone& z : kKnownZones)
            if (SameName(name, z.m_pszName)) {
                known = &z;
                break;
            }
        if (at == std::string_view::npos)
            break;
    }
    if (known)
        minutes = known->m_nMinutes;
    else if (!FixedOffsetOf(tzid, minutes))
        return false;

    const int nStd = minutes * 60;
    const Summer summer = known ? known->m_summer : Summer::None;
    auto add = [this](int from, int to, int month, int ordinal, int hour) {
        Part p;
        p.m_nFrom = from;
        p.m_nTo = to;
        p.m_start.m_nYear = 1970;
        p.m_start.m_nMonth = month == 0 ? 1 : month;
        p.m_start.m_nDay = 1;
        p.m_start.m_bTime = true;
        p.m_start.m_nHour = hour;
        p.m_onsets.push_back(SecondsOf(p.m_start) - from);
        if (month != 0) {
            p.m_bRule = true;
            p.m_nMonth = month;
            p.m_nWeekday = 0;  // Sunday
            p.m_nOrdinal = ordinal;
            p.m_onsets.clear();
        }
        m_parts.push_back(p);
    };
    const int nSummer = nStd + 3600;
    switch (summer) {
    case Summer::None:
        add(nStd, nStd, 0, 0, 0);
        break;
    case Summer::Us:
        add(nStd, nSummer, 3, 2, 2);
        add(nSummer, nStd, 11, 1, 2);
        break;
    case Summer::Eu:  // at 01:00 UTC
        add(nStd, nSummer, 3, -1, 1 + nStd / 3600);
        add(nSummer, nStd, 10, -1, 1 + nSummer / 3600);
        break;
    case Summer::AuSouth:
        add(nStd, nSummer, 10, 1, 2);
        add(nSummer, nStd, 4, 1, 3);
        break;
    case Summer::Nz:
        add(nStd, nSummer, 9, -1, 2);
        add(nSummer, nStd, 4, 1, 3);
        break;
    }
    return true;
}
