#include "app/clock.h"

void GetClockTime(SYSTEMTIME* now)
{
    ::GetLocalTime(now);
}
