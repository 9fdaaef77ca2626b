#include <gtest/gtest.h>

#include <string>

#include "engine/almanac.h"

namespace {

// Days where a part of the almanac changes, with the values printed almanacs give them:
// 立春 before the lunar new year (the month changes, the year not yet), the new year, the day
// of 大雪 and the day before it, a leap month, and the first day of the range.
TEST(EngineAlmanac, DaysAtTheirChanges)
{
    struct Case {
        int y, m, d;
        const char* szDate;   // the tip's first line
        const char* szYi;     // 宜, separated by blanks
        const char* szClash;  // the clash line
    };
    const Case cases[] = {
        {1900, 1, 31, "农历正月初一  庚子年 丁丑月 甲辰日", "平治道涂 馀事勿取", "冲狗(戊戌) 煞南"},
        {2024, 2, 3, "农历十二月廿四  癸卯年 乙丑月 丁酉日", "祭祀 斋醮 入殓 破土 启钻 安葬 修坟 立碑 除服 成服",
            "冲兔(辛卯) 煞东"},
        {2024, 2, 4, "农历十二月廿五  癸卯年 丙寅月 戊戌日", "取渔 入殓 除服 成服 移柩 破土 安葬 立碑",
            "冲龙(壬辰) 煞北"},
        {2024, 2, 10, "农历正月初一  甲辰年 丙寅月 甲辰日", "嫁娶 开光 求嗣 会亲友 安床 牧养 塑绘 针灸",
            "冲狗(戊戌) 煞南"},
        {2023, 3, 22, "农历闰二月初一  癸卯年 乙卯月 己卯日", nullptr, "冲鸡(癸酉) 煞西"},
        {2026, 12, 6, "农历十月廿八  丙午年 己亥月 甲寅日", nullptr, "冲猴(戊申) 煞北"},
        {2026, 12, 7, "农历十月廿九  丙午年 庚子月 乙卯日", "祭祀 修饰垣墙 馀事勿取", "冲鸡(己酉) 煞西"},
    };
    for (const Case& c : cases) {
        CLunarDate lunar;
        lunar.FromSolar(c.y, c.m, c.d);
        AlmanacDay day;
        ASSERT_TRUE(GetAlmanacDay(c.y, c.m, c.d, lunar, day)) << c.y << "-" << c.m << "-" << c.d;
        std::string text;
        AppendAlmanacDateLine(lunar, day, text);
        EXPECT_EQ(text, c.szDate);
        text.clear();
        AppendClashLine(day, text);
        EXPECT_EQ(text, c.szClash);
        if (c.szYi) {
            text.clear();
            AppendActivities(day.m_pszYi, " ", text);
            EXPECT_EQ(text, c.szYi);
        }
    }
    CLunarDate invalid;
    AlmanacDay day;
    EXPECT_FALSE(GetAlmanacDay(1900, 1, 30, invalid.FromSolar(1900, 1, 30), day));
}

// Lines break between activities, never inside one, and no line is wider than allowed unless
// one activity alone is.
TEST(EngineAlmanac, WrappedActivities)
{
    CLunarDate lunar;
    AlmanacDay day;
    ASSERT_TRUE(GetAlmanacDay(2026, 12, 6, lunar.FromSolar(2026, 12, 6), day));
    std::string wrapped;
    AppendWrappedActivities("宜：", day.m_pszYi, 24, wrapped);
    EXPECT_EQ(wrapped,
        "宜：纳采 移徙 纳财 开市\r\n　　交易 立券 入宅 修造\r\n　　动土 竖柱 起基 定磉\r\n　　造庙 安香 出火\r\n"
        "　　修饰垣墙 平治道涂\r\n　　会亲友 出行 开池\r\n　　开厕");
    std::string text;
    AppendWrappedActivities("忌：", "", 40, text);
    EXPECT_EQ(text, "忌：");
}

}  // namespace
