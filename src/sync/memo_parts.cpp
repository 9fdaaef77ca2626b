#include "sync/memo_parts.h"

#include <set>

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (nl == std::string::npos)
            return lines;
        pos = nl + 1;
    }
}

bool IsBlank(const std::string& line)
{
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

// Blanks at both ends of a line; ASCII only, so no GB18030 trail byte is ever cut.
std::string Trimmed(const std::string& s)
{
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return std::string();
    const std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

bool ShareALine(const std::string& a, const std::string& b)
{
    const std::vector<std::string> lb = Lines(b);
    const std::set<std::string> inB(lb.begin(), lb.end());
    for (const std::string& l : Lines(a))
        if (!IsBlank(l) && inB.count(l))
            return true;
    return false;
}

}  // namespace

std::vector<std::string> SplitParts(const std::string& text)
{
    std::vector<std::string> parts;
    std::string cur;
    for (const std::string& line : Lines(text)) {
        if (IsBlank(line)) {
            if (!cur.empty())
                parts.push_back(Trimmed(cur));
            cur.clear();
            continue;
        }
        if (!cur.empty())
            cur += "\r\n";
        cur += line;
    }
    if (!cur.empty())
        parts.push_back(Trimmed(cur));
    return parts;
}

std::string JoinParts(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& p : parts) {
        if (p.empty())
            continue;
        if (!text.empty())
            text += "\r\n\r\n";
        text += p;
    }
    return text;
}

std::string PartOfText(const std::string& text)
{
    std::string out;
    for (const std::string& line : Lines(text)) {
        if (IsBlank(line))
            continue;
        if (!out.empty())
            out += "\r\n";
        out += line;
    }
    return Trimmed(out);
}

bool HasTimePrefix(const std::string& s)
{
    return s.size() >= 6 && s[0] >= '0' && s[0] <= '2' && s[1] >= '0' && s[1] <= '9' && s[2] == ':' &&
        s[3] >= '0' && s[3] <= '5' && s[4] >= '0' && s[4] <= '9' && s[5] == ' ';
}

std::vector<int> AlignParts(const std::vector<std::string>& before, const std::vector<std::string>& now)
{
    std::vector<int> pair(now.size(), -1);
    std::vector<bool> taken(before.size(), false);
    // A part that shows an event's time of day stays that event only while it shows that time.
    auto sameTime = [&](std::size_t j, std::size_t i) {
        return !HasTimePrefix(before[j]) || now[i].compare(0, 6, before[j], 0, 6) == 0;
    };
    auto pass = [&](auto&& fits) {
        for (std::size_t i = 0; i < now.size(); ++i) {
            for (std::size_t j = 0; j < before.size() && pair[i] < 0; ++j)
                if (!taken[j] && fits(j, i)) {
                    pair[i] = static_cast<int>(j);
                    taken[j] = true;
                }
        }
    };
    pass([&](std::size_t j, std::size_t i) { return before[j] == now[i]; });
    pass([&](std::size_t j, std::size_t i) { return sameTime(j, i) && ShareALine(before[j], now[i]); });
    pass([&](std::size_t j, std::size_t i) { return HasTimePrefix(before[j]) && sameTime(j, i); });
    std::vector<std::size_t> leftNow, leftBefore;
    for (std::size_t i = 0; i < now.size(); ++i)
        if (pair[i] < 0)
            leftNow.push_back(i);
    for (std::size_t j = 0; j < before.size(); ++j)
        if (!taken[j])
            leftBefore.push_back(j);
    // What is left pairs in order: an edit keeps its event (and all the phone gave it) rather
    // than deleting it and making another.
    for (std::size_t k = 0; k < leftNow.size() && k < leftBefore.size(); ++k)
        if (sameTime(leftBefore[k], leftNow[k]))
            pair[leftNow[k]] = static_cast<int>(leftBefore[k]);
    return pair;
}
