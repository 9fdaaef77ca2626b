#include <gtest/gtest.h>

#include <climits>

#include "controls/settings.h"

TEST(ParseDecimal, ReadsLikeAtoiWithoutOverflow)
{
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"500", 500},
        {"-20", -20},
        {"  40", 40},
        {"\t+7", 7},
        {" 1", 1},
        {"01", 1},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"+-3", 0},
        {"- 3", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"99999999999999999999", INT_MAX},
        {"-99999999999999999999", INT_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(almanix::ParseDecimal(c.text), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(almanix::ParseDecimal(nullptr), 0);
}
