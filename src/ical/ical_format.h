// iCalendar (RFC 5545) content lines: writing them folded and escaped, reading a whole file
// into components and properties.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One content line: NAME;PARAM=value:VALUE, names upper-cased, parameter values without
// their quotes, the value as written (TEXT escapes still in it).
struct IcalProperty {
    std::string m_name;
    std::vector<std::pair<std::string, std::string>> m_params;
    std::string m_value;
    int m_nLine = 0;  // line of the file where the property starts, from 1

    // The value of parameter name (upper case), or null.
    const std::string* Param(std::string_view name) const;
};

// BEGIN:NAME ... END:NAME with its properties and nested components in file order.
struct IcalComponent {
    std::string m_name;
    std::vector<IcalProperty> m_props;
    std::vector<IcalComponent> m_children;
    int m_nLine = 0;

    // The first property called name (upper case), or null.
    const IcalProperty* Find(std::string_view name) const;
};

// A line or component a tolerant read passed over, for the report.
struct IcalProblem {
    int m_nLine = 0;  // from 1
    std::string m_what;
};

// Reads every VCALENDAR of a file, tolerantly: UTF-8 (an initial BOM is skipped) or UTF-16
// with its BOM (converted), CR LF, LF or CR alone, folded lines unfolded, trailing blanks of a
// line dropped. A line that is no property, an END that closes nothing open, a component
// nested deeper than 16 or standing outside any calendar is skipped and listed in problems;
// a component left open is closed where its parent ends (or at the end of the file) and
// listed too. False, with error saying why, only when the file holds no calendar at all.
bool ParseIcalFile(std::string_view text, std::vector<IcalComponent>& calendars, std::vector<IcalProblem>& problems,
    std::string& error);
// ParseIcalFile with the components of every calendar of the file gathered under the first
// one (whose properties it keeps); the problems are dropped.
bool ParseIcal(std::string_view text, IcalComponent& calendar, std::string& error);

// TEXT values: backslash, semicolon and comma escaped, line breaks (CR LF, LF or CR) as "\n",
// other control characters but TAB dropped.
std::string EscapeText(std::string_view utf8);
// The reverse: "\n" and "\N" become CR LF (the memo files' line break), "\\" "\;" "\,"
// their character; an unknown escape keeps its character.
std::string UnescapeText(std::string_view value);

// Builds a file line by line with CR LF, folding lines longer than 75 octets without
// splitting a UTF-8 sequence.
class CIcalWriter {
public:
    // nameAndParams is written as given ("DTSTART;VALUE=DATE"); value must be escaped already.
    void Line(std::string_view nameAndParams, std::string_view value);
    const std::string& Text() const { return m_text; }
    std::string& Text() { return m_text; }

private:
    std::string m_text;
};
