#include "text/json.h"

#include <climits>

#include "text/gbcodec.h"

namespace almanix {
namespace {

constexpr int MAX_DEPTH = 64;

class CJsonReader {
public:
    explicit CJsonReader(std::string_view text) : m_text(text) {}

    bool Document(JsonValue& out)
    {
        if (!Value(out, 0))
            return false;
        SkipBlanks();
        return m_nPos == m_text.size();
    }
    std::size_t Position() const { return m_nPos; }

private:
    void SkipBlanks()
    {
        while (m_nPos < m_text.size() &&
            (m_text[m_nPos] == ' ' || m_text[m_nPos] == '\t' || m_text[m_nPos] == '\r' || m_text[m_nPos] == '\n'))
            ++m_nPos;
    }
    bool Take(char c)
    {
        SkipBlanks();
        if (m_nPos >= m_text.size() || m_text[m_nPos] != c)
            return false;
        ++m_nPos;
        return true;
    }
    bool Word(std::string_view w)
    {
        if (m_text.substr(m_nPos, w.size()) != w)
            return false;
        m_nPos += w.size();
        return true;
    }

    bool Value(JsonValue& v, int nDepth)
    {
        SkipBlanks();
        if (m_nPos >= m_text.size() || nDepth > MAX_DEPTH)
            return false;
        v = JsonValue{};
        switch (m_text[m_nPos]) {
        case '{':
            v.m_kind = JsonValue::Kind::Object;
            return Members(v, nDepth);
        case '[':
            v.m_kind = JsonValue::Kind::Array;
            return Elements(v, nDepth);
        case '"':
            v.m_kind = JsonValue::Kind::String;
            return String(v.m_text);
        case 't':
            v.m_kind = JsonValue::Kind::Bool;
            v.m_bTrue = true;
            return Word("true");
        case 'f':
            v.m_kind = JsonValue::Kind::Bool;
            return Word("false");
        case 'n':
            return Word("null");
        default:
            v.m_kind = JsonValue::Kind::Number;
            return Number(v.m_text);
        }
    }

    bool Members(JsonValue& v, int nDepth)
    {
        ++m_nPos;
        if (Take('}'))
            return true;
        do {
            v.m_keys.emplace_back();
            v.m_items.emplace_back();
            SkipBlanks();
            if (!String(v.m_keys.back()) || !Take(':') || !Value(v.m_items.back(), nDepth + 1))
                return false;
        } while (Take(','));
        return Take('}');
    }

    bool Elements(JsonValue& v, int nDepth)
    {
        ++m_nPos;
        if (Take(']'))
            return true;
        do {
            v.m_items.emplace_back();
            if (!Value(v.m_items.back(), nDepth + 1))
                return false;
        } while (Take(','));
        return Take(']');
    }

    bool Digits()
    {
        const std::size_t nStart = m_nPos;
        while (m_nPos < m_text.size() && m_text[m_nPos] >= '0' && m_text[m_nPos] <= '9')
            ++m_nPos;
        return m_nPos > nStart;
    }

    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool Number(std::string& out)
    {
        const std::size_t nStart = m_nPos;
        if (m_text[m_nPos] == '-')
            ++m_nPos;
        if (m_nPos < m_text.size() && m_text[m_nPos] == '0')
            ++m_nPos;
        else if (!Digits())
            return false;
        if (m_nPos < m_text.size() && m_text[m_nPos] == '.' && (++m_nPos, !Digits()))
            return false;
        if (m_nPos < m_text.size() && (m_text[m_nPos] == 'e' || m_text[m_nPos] == 'E')) {
            ++m_nPos;
            if (m_nPos < m_text.size() && (m_text[m_nPos] == '+' || m_text[m_nPos] == '-'))
                ++m_nPos;
            if (!Digits())
                return false;
        }
        out.assign(m_text.substr(nStart, m_nPos - nStart));
        return true;
    }

    bool Hex4(unsigned& u)
    {
        if (m_text.size() - m_nPos < 4)
            return false;
        u = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_nPos++];
            const int d = c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f'         ? c - 'a' + 10
                : c >= 'A' && c <= 'F'         ? c - 'A' + 10
                                               : -1;
            if (d < 0)
                return false;
            u = u * 16 + static_cast<unsigned>(d);
        }
        return true;
    }

    // \uXXXX, a surrogate pair as two of them.
    bool Escape(std::string& out)
    {
        unsigned u = 0;
        if (!Hex4(u) || (u >= 0xDC00 && u < 0xE000))
            return false;
        if (u >= 0xD800 && u < 0xDC00) {
            unsigned low = 0;
            if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low >= 0xE000)
                return false;
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, u);
        return true;
    }

    bool String(std::string& out)
    {
        if (m_nPos >= m_text.size() || m_text[m_nPos] != '"')
            return false;
        ++m_nPos;
        while (m_nPos < m_text.size()) {
            const auto c = static_cast<unsigned char>(m_text[m_nPos]);
            if (c == '"') {
                ++m_nPos;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c >= 0x80) {
                const std::size_t n = Utf8CharLength(m_text, m_nPos);
                if (n == 0)
                    return false;
                out.append(m_text.substr(m_nPos, n));
                m_nPos += n;
                continue;
            }
            ++m_nPos;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (m_nPos >= m_text.size())
                return false;
            const char e = m_text[m_nPos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u':
                if (!Escape(out))
                    return false;
                break;
            default:
                return false;
            }
        }
        return false;
    }

    std::string_view m_text;
    std::size_t m_nPos = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const
{
    if (m_kind != Kind::Object)
        return nullptr;
    for (std::size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i] == key)
            return &m_items[i];
    return nullptr;
}

bool JsonValue::AsInt(int& n) const
{
    if (m_kind != Kind::Number || m_text.find_first_of(".eE") != std::string::npos)
        return false;
    const bool bNegative = m_text[0] == '-';
    long long v = 0;
    for (std::size_t i = bNegative ? 1 : 0; i < m_text.size(); ++i) {
        v = v * 10 + (m_text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    v = bNegative ? -v : v;
    if (v > INT_MAX)
        return false;
    n = static_cast<int>(v);
    return true;
}

bool ParseJson(std::string_view text, JsonValue& out, std::size_t* pnErrorAt)
{
    CJsonReader reader(text);
    const bool ok = reader.Document(out);
    if (!ok && pnErrorAt)
        *pnErrorAt = reader.Position();
    return ok;
}

}  // namespace almanix
