// The built-in holiday table against the dataset it was made from: every day of every year.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "engine/holidays.h"
#include "holiday_data.h"
#include "text/gbcodec.h"

TEST(HolidayTable, EveryDayMatchesTheDataset)
{
    std::ifstream in(ALMANIX_SOURCE_DIR "/tools/holidays/chinese-days.json", std::ios::binary);
    std::ostringstream json;
    json << in.rdbuf();
    std::vector<holidaydata::DayRecord> records;
    std::string error;
    ASSERT_TRUE(holidaydata::ReadDataset(json.str(), records, error)) << error;

    std::map<std::tuple<int, int, int>, const holidaydata::DayRecord*> byDate;
    for (const auto& r : records)
        byDate[{r.m_nYear, r.m_nMonth, r.m_nDay}] = &r;
    EXPECT_EQ(GetHolidayTableFirstYear(), 2004);
    EXPECT_EQ(GetHolidayTableLastYear(), records.back().m_nYear);

    int nMarked = 0;
    for (SolarDate d{2003, 12, 1}; d.m_nYear <= GetHolidayTableLastYear() + 1; AdvanceSolarDate(d)) {
        const char* pszName = nullptr;
        const int nKind = GetHoliday(d.m_nYear, d.m_nMonth, d.m_nDay, &pszName);
        const auto it = byDate.find({d.m_nYear, d.m_nMonth, d.m_nDay});
        const std::string where =
            std::to_string(d.m_nYear) + "-" + std::to_string(d.m_nMonth) + "-" + std::to_string(d.m_nDay);
        if (it == byDate.end()) {
            EXPECT_EQ(nKind, HOLIDAY_NONE) << where;
            EXPECT_EQ(pszName, nullptr) << where;
            continue;
        }
        ++nMarked;
        EXPECT_EQ(nKind, it->second->m_bWork ? HOLIDAY_WORK : HOLIDAY_OFF) << where;
        ASSERT_NE(pszName, nullptr) << where;
        EXPECT_EQ(almanix::GbToUtf8(pszName), it->second->m_strName) << where;
    }
    EXPECT_EQ(nMarked, static_cast<int>(records.size()));
}
