// A small reader of JSON texts (RFC 8259) into a tree, for the data files the program and its
// generators take in: holiday schedules. Strict: one value, nothing after it but blanks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace almanix {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind m_kind = Kind::Null;
    bool m_bTrue = false;
    std::string m_text;                // a string's UTF-8, or a number as written
    std::vector<JsonValue> m_items;    // an array's elements, an object's member values
    std::vector<std::string> m_keys;   // an object's member names, beside m_items, in order

    bool IsString() const { return m_kind == Kind::String; }
    // The first member named key of an object; null when there is none or this is no object.
    const JsonValue* Find(std::string_view key) const;
    // A number written as an integer (no fraction, no exponent) within int's range.
    bool AsInt(int& n) const;
};

// Reads text as one JSON value into out. False on anything that is not JSON (invalid UTF-8, a
// lone surrogate escape, nesting deeper than 64 included), with the byte where reading
// stopped in *pnErrorAt when given.
bool ParseJson(std::string_view text, JsonValue& out, std::size_t* pnErrorAt = nullptr);

}  // namespace almanix
