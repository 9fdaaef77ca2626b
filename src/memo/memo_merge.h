// Two versions of one memo text, both kept: the sync's conflicts and a dialog that saves over
// a text that changed while it was open.
#pragma once

#include <string>

// The first text, then the second on a new line after a mark, cut to what a memo holds;
// when one text holds the other already, that one.
std::string MergeTexts(const std::string& first, const std::string& second);
// GB18030 "【本机】": marks the text of this computer appended in a conflict.
extern const char kLocalMark[];
