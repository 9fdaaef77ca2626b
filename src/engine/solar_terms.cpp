#include "engine/solar_terms.h"

const SolarTermTime kSolarTermTable[1860][2] = {
#include "solar_term_table.inc"
};

const char* const kTermNames[24] = {
    "\xd0\xa1\xba\xae", "\xb4\xf3\xba\xae",  // 小寒 大寒
    "\xc1\xa2\xb4\xba", "\xd3\xea\xcb\xae",  // 立春 雨水
    "\xbe\xaa\xd5\xdd", "\xb4\xba\xb7\xd6",  // 惊蛰 春分
    "\xc7\xe5\xc3\xf7", "\xb9\xc8\xd3\xea",  // 清明 谷雨
    "\xc1\xa2\xcf\xc4", "\xd0\xa1\xc2\xfa",  // 立夏 小满
    "\xc3\xa2\xd6\xd6", "\xcf\xc4\xd6\xc1",  // 芒种 夏至
    "\xd0\xa1\xca\xee", "\xb4\xf3\xca\xee",  // 小暑 大暑
    "\xc1\xa2\xc7\xef", "\xb4\xa6\xca\xee",  // 立秋 处暑
    "\xb0\xd7\xc2\xb6", "\xc7\xef\xb7\xd6",  // 白露 秋分
    "\xba\xae\xc2\xb6", "\xcb\xaa\xbd\xb5",  // 寒露 霜降
    "\xc1\xa2\xb6\xac", "\xd0\xa1\xd1\xa9",  // 立冬 小雪
    "\xb4\xf3\xd1\xa9", "\xb6\xac\xd6\xc1",  // 大雪 冬至
};

int GetSolarTerms(int nYear, int nMonth, SolarTermTime& first, SolarTermTime& second)
{
    if (nYear < SOLAR_TERM_FIRST_YEAR || nYear > SOLAR_TERM_LAST_YEAR || nMonth < 1 || nMonth > 12) {
        first = SolarTermTime{0, 0, 0};
        second = SolarTermTime{0, 0, 0};
        return -1;
    }
    const SolarTermTime* row = kSolarTermTable[12 * (nYear - SOLAR_TERM_FIRST_YEAR) + nMonth - 1];
    first = row[0];
    second = row[1];
    return 0;
}

const char* GetSolarTermName(int nMonth, int k)
{
    if (nMonth < 1 || nMonth > 12 || k < 1 || k > 2)
        return nullptr;
    return kTermNames[2 * (nMonth - 1) + (k - 1)];
}
