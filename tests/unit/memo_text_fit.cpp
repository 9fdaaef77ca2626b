// Keeping an edited memo text within one record's byte limit.
#include <gtest/gtest.h>

#include <string>

#include "memo/memo_store.h"
#include "memo/memo_text_fit.h"

namespace {

TEST(MemoTextFit, ByteLengthsAreThoseOfTheFiles)
{
    EXPECT_EQ(GbByteLength(u""), 0u);
    EXPECT_EQ(GbByteLength(u"ab\r\n"), 4u);
    EXPECT_EQ(GbByteLength(u"中文"), 4u);        // GBK: two bytes each
    EXPECT_EQ(GbByteLength(u"\uAC00"), 4u);      // Hangul: a four-byte code
    EXPECT_EQ(GbByteLength(u"\U0001F600"), 4u);  // a surrogate pair: one four-byte code
}

TEST(MemoTextFit, KeepsOfTheChangeWhatFits)
{
    const std::u16string x70000(70000, u'x');
    struct Case {
        const char* what;
        std::u16string before, after;
        std::size_t max;
        std::u16string text;
        std::size_t caret;
        bool cut;
    };
    const Case cases[] = {
        {"fits: kept whole", u"ab", u"a中b", 4, u"a中b", 3, false},
        {"exactly the limit", u"", std::u16string(0xFFFF, u'a'), 0xFFFF, std::u16string(0xFFFF, u'a'), 0xFFFF, false},
        {"one byte over the limit", std::u16string(0xFFFF, u'a'), std::u16string(0x10000, u'a'), 0xFFFF,
            std::u16string(0xFFFF, u'a'), 0xFFFF, true},
        {"paste in the middle", u"ab", u"a" + x70000 + u"b", 10, u"axxxxxxxxb", 9, true},
        {"typed at the limit: nothing of it stays", u"0123456789", u"01234中56789", 10, u"0123456789", 5, true},
        {"a selection replaced", u"abcdef", u"abXXXXXXXXef", 8, u"abXXXXef", 6, true},
        {"two-byte characters stay whole", u"", u"中文字", 5, u"中文", 2, true},
        {"a surrogate pair stays whole", u"a", u"a\U0001F600\U0001F600", 5, u"a\U0001F600", 3, true},
        {"a surrogate pair that does not fit goes whole", u"a", u"a\U0001F600", 4, u"a", 1, true},
        {"a change inside a surrogate pair", u"a\U0001F600", u"a\U0001F601\U0001F600", 5, u"a\U0001F600", 1, true},
        {"CR LF stays together", u"a", u"a\r\nb", 2, u"a", 1, true},
        {"CR LF fits", u"a", u"a\r\nbc", 3, u"a\r\n", 3, true},
        {"four-byte BMP characters", u"", u"\uAC00\uAC01", 7, u"\uAC00", 1, true},
        {"too long before: cut at the limit", std::u16string(12, u'a'), std::u16string(13, u'a'), 10,
            std::u16string(10, u'a'), 10, true},
    };
    for (const Case& c : cases) {
        MemoTextFit fit = FitMemoText(c.before, c.after, c.max);
        EXPECT_TRUE(fit.m_text == c.text) << c.what << ": " << fit.m_text.size() << " units";
        EXPECT_EQ(fit.m_nCaret, c.caret) << c.what;
        EXPECT_EQ(fit.m_bCut, c.cut) << c.what;
        EXPECT_LE(GbByteLength(fit.m_text), c.max) << c.what;
    }
}

TEST(MemoTextFit, APasteFillsARecordToTheLastByte)
{
    // 32767 Chinese characters and one ASCII letter: 65535 bytes, as much as a record holds.
    std::u16string paste(40000, u'中');
    MemoTextFit fit = FitMemoText(u"a", u"a" + paste, MEMO_MAX_TEXT_LENGTH);
    EXPECT_EQ(GbByteLength(fit.m_text), static_cast<std::size_t>(MEMO_MAX_TEXT_LENGTH));
    EXPECT_EQ(fit.m_text.size(), 1u + 32767u);
    EXPECT_EQ(fit.m_nCaret, fit.m_text.size());
}

}  // namespace
