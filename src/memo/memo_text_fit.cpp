#include "memo/memo_text_fit.h"

#include <algorithm>

#include "text/gbcodec.h"

namespace {

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// A boundary at i would split a surrogate pair or a CR LF.
bool SplitsAt(std::u16string_view text, std::size_t i)
{
    if (i == 0 || i >= text.size())
        return false;
    return (IsHighSurrogate(text[i - 1]) && IsLowSurrogate(text[i])) || (text[i - 1] == u'\r' && text[i] == u'\n');
}

// Units of the longest start of text that takes at most maxBytes, ending on a boundary that
// splits nothing.
std::size_t FittingStart(std::u16string_view text, std::size_t maxBytes)
{
    std::size_t i = 0;
    std::size_t bytes = 0;
    while (i < text.size()) {
        std::size_t n = 1;
        while (SplitsAt(text, i + n))
            ++n;
        const std::size_t b = GbByteLength(text.substr(i, n));
        if (bytes + b > maxBytes)
            break;
        bytes += b;
        i += n;
    }
    return i;
}

}  // namespace

std::size_t GbByteLength(std::u16string_view text)
{
    return almanix::Utf16ToGb(text).size();
}

MemoTextFit FitMemoText(std::u16string_view before, std::u16string_view after, std::size_t maxBytes)
{
    MemoTextFit fit;
    // No character takes more than 4 bytes per UTF-16 unit: short texts need no counting.
    if (after.size() <= maxBytes / 4 || GbByteLength(after) <= maxBytes) {
        fit.m_text = std::u16string(after);
        fit.m_nCaret = after.size();
        return fit;
    }
    fit.m_bCut = true;

    const std::size_t nCommon = std::min(before.size(), after.size());
    std::size_t nHead = 0;
    while (nHead < nCommon && before[nHead] == after[nHead])
        ++nHead;
    // The inserted part begins and ends on whole characters.
    while (SplitsAt(after, nHead))
        --nHead;
    std::size_t nTail = 0;
    while (nTail < nCommon - nHead && before[before.size() - 1 - nTail] == after[after.size() - 1 - nTail])
        ++nTail;
    while (nTail > 0 && SplitsAt(after, after.size() - nTail))
        --nTail;

    const std::u16string_view head = after.substr(0, nHead);
    const std::u16string_view tail = after.substr(after.size() - nTail);
    const std::u16string_view inserted = after.substr(nHead, after.size() - nTail - nHead);
    const std::size_t nFixed = GbByteLength(head) + GbByteLength(tail);
    if (nFixed > maxBytes) {
        const std::size_t n = FittingStart(after, maxBytes);
        fit.m_text = std::u16string(after.substr(0, n));
        fit.m_nCaret = n;
        return fit;
    }
    const std::size_t nKeep = FittingStart(inserted, maxBytes - nFixed);
    fit.m_text.reserve(nHead + nKeep + nTail);
    fit.m_text.append(head).append(inserted.substr(0, nKeep)).append(tail);
    fit.m_nCaret = nHead + nKeep;
    return fit;
}
