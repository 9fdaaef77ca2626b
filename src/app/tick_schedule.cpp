#include "app/tick_schedule.h"

TickAction PlanTick(int nTickCount, bool bHasBulletinText)
{
    if (nTickCount == -1)
        return TICK_SHOW_SELECTED_TIP;
    if (nTickCount >= 0 && nTickCount % 60 == 0 && (!bHasBulletinText || nTickCount % 3600 == 0))
        return TICK_FETCH_BULLETIN;
    return TICK_NOTHING;
}
