#include "app/holiday_source.h"

#ifndef ALMANIX_HOLIDAY_URL
#define ALMANIX_HOLIDAY_URL "https://cdn.jsdelivr.net/gh/NateScarlet/holiday-cn@master/{year}.json"
#endif

const char* HolidayUrlPattern()
{
    return ALMANIX_HOLIDAY_URL;
}
