// What the export and the import of memos share beyond memo_ical.h: the reading of an event's
// text, colour and rule, and the calendar's years.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ical/ical_format.h"
#include "ical/ical_time.h"
#include "ical/memo_ical.h"

namespace ical_detail {

inline constexpr int kFirstYear = 1900;
inline constexpr int kLastYear = 2049;

std::string Format(const char* pattern, int a, int b = 0, int c = 0);
// "YYYY-MM-DD" of a day count.
std::string FormatDay(long nDays);

// The memo flags of an event: our own flags or colour, else its COLOR where it names one.
std::uint32_t FlagsOf(const IcalComponent& ev, bool bOurs);
// The memo text (UTF-8) of SUMMARY and DESCRIPTION.
std::string TextOf(const IcalComponent& ev);
// What kind of memo an endless rule is; false when it is none of ours.
bool KindOfRule(const IcalRecur& r, long nStart, MemoItem& m);
// "MM-DD" of X-ALMANIX-LUNAR.
bool ParseLunarTag(std::string_view v, int& nMonth, int& nDay);
// Joins text below base unless it is there already as whole lines; true when base changed.
bool JoinText(std::string& base, const std::string& text);

}  // namespace ical_detail
