// Chinese names of lunar years, months and days, weekday names and festivals.
// Every text is a GBK byte string (two bytes per Chinese character) in constant storage:
// a returned pointer stays valid for the life of the program. Null means none.
#pragma once

#include "engine/lunar.h"

// The texts are written as GBK escapes so that any compiler yields the same bytes.
inline constexpr const char* kHeavenlyStems[10] = {
    "\xbc\xd7", "\xd2\xd2", "\xb1\xfb", "\xb6\xa1", "\xce\xec",  // 甲 乙 丙 丁 戊
    "\xbc\xba", "\xb8\xfd", "\xd0\xc1", "\xc8\xc9", "\xb9\xef",  // 己 庚 辛 壬 癸
};
inline constexpr const char* kEarthlyBranches[12] = {
    "\xd7\xd3", "\xb3\xf3", "\xd2\xfa", "\xc3\xae", "\xb3\xbd", "\xcb\xc8",  // 子 丑 寅 卯 辰 巳
    "\xce\xe7", "\xce\xb4", "\xc9\xea", "\xd3\xcf", "\xd0\xe7", "\xba\xa5",  // 午 未 申 酉 戌 亥
};
// 鼠牛虎免龙蛇马羊猴鸡狗猪: the rabbit is written 免, as the calendar has always shown it.
inline constexpr char kZodiacAnimals[] =
    "\xca\xf3\xc5\xa3\xbb\xa2\xc3\xe2\xc1\xfa\xc9\xdf\xc2\xed\xd1\xf2\xba\xef\xbc\xa6\xb9\xb7\xd6\xed";
// 正二三四五六七八九十: numerals of lunar months 1-10.
inline constexpr char kLunarMonthNumerals[] =
    "\xd5\xfd\xb6\xfe\xc8\xfd\xcb\xc4\xce\xe5\xc1\xf9\xc6\xdf\xb0\xcb\xbe\xc5\xca\xae";
inline constexpr const char* kLunarMonth11 = "\xca\xae\xd2\xbb";                       // 十一
inline constexpr const char* kLunarMonth12 = "\xca\xae\xb6\xfe";                       // 十二
inline constexpr const char* kLeapPrefix = "\xc8\xf2";                                 // 闰
inline constexpr const char* kLunarDayTens[3] = {"\xb3\xf5", "\xca\xae", "\xd8\xa5"};  // 初 十 廿
// 一二三四五六七八九十: units of lunar days.
inline constexpr char kLunarDayUnits[] =
    "\xd2\xbb\xb6\xfe\xc8\xfd\xcb\xc4\xce\xe5\xc1\xf9\xc6\xdf\xb0\xcb\xbe\xc5\xca\xae";
// 日 一 二 三 四 五 六 日: index 0 = Sunday; the eighth repeats Sunday and is never read.
inline constexpr const char* kWeekdayNames[8] = {
    "\xc8\xd5",
    "\xd2\xbb",
    "\xb6\xfe",
    "\xc8\xfd",
    "\xcb\xc4",
    "\xce\xe5",
    "\xc1\xf9",
    "\xc8\xd5",
};

struct FestivalRecord {
    int m_nMonth;  // 0 ends a table
    int m_nDay;
    const char* m_szName;
};

// Gregorian festivals, searched in order.
inline constexpr FestivalRecord kSolarFestivals[] = {
    {1, 1, "\xd4\xaa\xb5\xa9"},          // 元旦
    {5, 1, "\xc0\xcd\xb6\xaf\xbd\xda"},  // 劳动节
    {6, 1, "\xb6\xf9\xcd\xaf\xbd\xda"},  // 儿童节
    {10, 1, "\xb9\xfa\xc7\xec"},         // 国庆
    {0, 0, nullptr},
};

// Regular months only; 除夕, the last day of the twelfth month, is a rule of its own.
inline constexpr FestivalRecord kLunarFestivals[] = {
    {1, 1, "\xb4\xba\xbd\xda"},           // 春节
    {1, 2, "\xb3\xf5\xb6\xfe"},           // 初二
    {1, 3, "\xb3\xf5\xc8\xfd"},           // 初三
    {1, 15, "\xd4\xaa\xcf\xfc\xbd\xda"},  // 元宵节
    {5, 5, "\xb6\xcb\xce\xe7"},           // 端午
    {7, 7, "\xc6\xdf\xcf\xa6\xbd\xda"},   // 七夕节
    {8, 15, "\xd6\xd0\xc7\xef"},          // 中秋
    {9, 9, "\xd6\xd8\xd1\xf4\xbd\xda"},   // 重阳节
    {0, 0, nullptr},
};
inline constexpr const char* kNewYearsEve = "\xb3\xfd\xcf\xa6";  // 除夕

// Stem and branch of count n = lunar year - 1864 (a 甲子 year), e.g. 甲辰 for 160.
// Any n: counts before 1864 go on backwards through the cycle.
const char* GetGanZhiYear(int n);
// The animal of a lunar year: index (year - 4) mod 12 of kZodiacAnimals. Any year.
const char* GetZodiac(int nYear);
// 闰 when bLeap, then 正 二 ... 十 十一 十二 (without 月); null for a month outside 1-12.
const char* GetLunarMonthName(int nMonth, bool bLeap);
// 初一 ... 初十, 十一 ... 十九, 二十, 廿一 ... 廿九, 三十; null for a day outside 1-30.
const char* GetLunarDayName(int nDay);
// 日 一 ... 六 for 0 (Sunday) to 6; null otherwise.
const char* GetWeekdayName(int nWeekday);
// The first kSolarFestivals entry of Gregorian month and day, or null.
const char* GetSolarFestival(int nMonth, int nDay);
