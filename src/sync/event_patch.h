// A memo's edit applied to an event that the server holds: only the properties the memo
// shows change, everything else (times, end, place, attendees, alarms, rules, overrides,
// properties of other programs) stays as the server has it, byte for byte.
#pragma once

#include <cstdint>
#include <string>

// body: the event's iCalendar as the server sent it; shownText: the part the memo showed for
// it (GB18030), newText: the part now. A time of day that the memo shows before the summary
// ("09:00 ") is the event's own, not part of its summary, while it stays as it was. With
// colour, the colour properties are set from flags too. The new body, or "" when body holds no
// event.
std::string PatchEventBody(const std::string& body, const std::string& shownText, const std::string& newText,
    int kind, std::uint32_t flags, bool colour);
