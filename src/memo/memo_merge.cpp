#include "memo/memo_merge.h"

#include "memo/memo_store.h"
#include "text/gbcodec.h"

const char kLocalMark[] = "【本机】";

std::string MergeTexts(const std::string& first, const std::string& second)
{
    // One text holding the other loses nothing; this also makes a merge interrupted between
    // its two writes come out the same when the next sync merges again.
    if (second.find(first) != std::string::npos)
        return second;
    if (first.find(second) != std::string::npos)
        return first;
    std::string out = first;
    if (!out.empty())
        out += "\r\n";
    out += kLocalMark;
    for (std::size_t i = 0; i < second.size();) {
        const std::size_t n = almanix::GbCharLength(second, i);
        if (out.size() + n > static_cast<std::size_t>(MEMO_MAX_TEXT_LENGTH))
            break;
        out.append(second, i, n);
        i += n;
    }
    return out;
}

