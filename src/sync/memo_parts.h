// A memo slot holds the text of every event of its day: each event is one part, and parts are
// set apart by an empty line. An edit of a part changes that event, a new part makes a new
// event, and a removed part deletes that event.
#pragma once

#include <string>
#include <vector>

// The parts of a slot's text (GB18030, CR LF): runs of lines between empty lines, each without
// blanks at its ends. Blank-only lines set parts apart; none is kept.
std::vector<std::string> SplitParts(const std::string& text);
// The slot's text of parts: joined with an empty line between two.
std::string JoinParts(const std::vector<std::string>& parts);
// A part as one event shows it: the text's lines without the empty ones, so that an event's
// own text never reads as two parts.
std::string PartOfText(const std::string& text);

// Which earlier part each part of now is: its index in before, or -1 for a new part. Identical
// texts pair first, wherever they stand; of the rest, in order, a part pairs with the first
// unpaired earlier part that shares a line with it, then with one that shows the same time of
// day ("09:00 "), and what is left pairs in order, as far as both sides have parts left. An
// earlier part that shows a time pairs only with a part that shows the same time. Earlier
// parts that no part pairs with were removed.
// "09:00 ": the time of day that a timed event's part begins with.
bool HasTimePrefix(const std::string& part);

std::vector<int> AlignParts(const std::vector<std::string>& before, const std::vector<std::string>& now);
