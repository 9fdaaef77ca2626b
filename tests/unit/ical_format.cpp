// iCalendar content lines: folding, escapes, parameters, line ends.
#include <gtest/gtest.h>

#include <string>

#include "ical/ical_format.h"

namespace {

// Long lines fold at 75 octets, never inside a UTF-8 sequence, and unfold to what was written.
TEST(IcalFormat, FoldingKeepsCharactersWholeAndUnfoldsBack)
{
    const std::string values[] = {
        std::string(200, 'a'), std::string(u8"中") + std::string(73, 'b') + u8"文字" + u8"😀😀😀", [] {
            std::string s;
            for (int i = 0; i < 60; ++i)
                s += u8"农历";
            return s;
        }()};
    for (const std::string& value : values) {
        CIcalWriter w;
        w.Line("BEGIN", "VCALENDAR");
        w.Line("DESCRIPTION", value);
        w.Line("END", "VCALENDAR");
        const std::string& text = w.Text();
        for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
            EXPECT_LE(end - at, 75u);
            const std::size_t first = text[at] == ' ' ? at + 1 : at;  // a continuation starts after its space
            EXPECT_NE(static_cast<unsigned char>(text[first]) & 0xC0, 0x80u) << "a character split at " << first;
        }
        IcalComponent cal;
        std::string error;
        ASSERT_TRUE(ParseIcal(text, cal, error)) << error;
        ASSERT_NE(cal.Find("DESCRIPTION"), nullptr);
        EXPECT_EQ(cal.Find("DESCRIPTION")->m_value, value);
    }
}

TEST(IcalFormat, TextEscapesRoundTrip)
{
    const struct {
        const char* text;
        const char* escaped;
    } cases[] = {
        {"a,b;c\\d", "a\\,b\\;c\\\\d"},
        {"line\r\nnext", "line\\nnext"},
        {"tab\there", "tab\there"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeText(c.text), c.escaped);
        EXPECT_EQ(UnescapeText(c.escaped), c.text);
    }
    EXPECT_EQ(UnescapeText("A\\NB"), "A\r\nB");
    EXPECT_EQ(EscapeText("lf\nonly\rcr\x01"), "lf\\nonly\\ncr");
}

TEST(IcalFormat, PropertiesWithQuotedParametersAndLfOnlyLines)
{
    const char* text = "\xEF\xBB\xBF"
                       "begin:vcalendar\n"
                       "BEGIN:VEVENT\n"
                       "DTSTART;TZID=\"America/New_York\";X-A=\"a;b:c\",d:20240310T233000\n"
                       "SUMMARY;LANGUAGE=zh:x\n"
                       " y\n"
                       "\ttab\n"
                       "END:VEVENT\n"
                       "END:VCALENDAR";
    IcalComponent cal;
    std::string error;
    ASSERT_TRUE(ParseIcal(text, cal, error)) << error;
    ASSERT_EQ(cal.m_children.size(), 1u);
    const IcalComponent& ev = cal.m_children[0];
    const IcalProperty* start = ev.Find("DTSTART");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(*start->Param("TZID"), "America/New_York");
    EXPECT_EQ(*start->Param("X-A"), "a;b:c,d");
    EXPECT_EQ(start->m_value, "20240310T233000");
    EXPECT_EQ(ev.Find("SUMMARY")->m_value, "xytab");
    EXPECT_EQ(ev.Find("SUMMARY")->m_nLine, 4);
}

}  // namespace
