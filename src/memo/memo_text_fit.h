// Keeping an edited memo text within what one memo record holds (MEMO_MAX_TEXT_LENGTH bytes of
// GB18030), the way an edit control keeps within its character limit: of what was just typed
// or pasted, as much is kept as fits, and the rest is dropped at once, while the user sees it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Bytes of the text in GB18030, the memo files' encoding: 1 for ASCII, 2 for GBK characters,
// 4 for the rest (a surrogate pair is one character of 4 bytes).
std::size_t GbByteLength(std::u16string_view text);

struct MemoTextFit {
    std::u16string m_text;     // the text to keep
    std::size_t m_nCaret = 0;  // where the caret goes: right after what was kept of the change
    bool m_bCut = false;       // something was dropped
};

// before: the last text that fitted; after: what the edit holds now. A text within maxBytes is
// kept whole. Otherwise the change is taken as one replacement (the longest common start and
// end of the two texts stay) and of the inserted part the longest start that fits is kept:
// whole characters only, and never a CR without the LF that follows it. When even the parts
// that stay do not fit (before was too long already), the text is cut at maxBytes.
MemoTextFit FitMemoText(std::u16string_view before, std::u16string_view after, std::size_t maxBytes);
