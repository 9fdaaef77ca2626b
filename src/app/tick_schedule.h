// What the main window's one-second timer does on each tick, apart from watching the date.
#pragma once

enum TickAction {
    TICK_NOTHING,
    TICK_SHOW_SELECTED_TIP,  // the second tick: the tip of today
    TICK_FETCH_BULLETIN,     // the third tick, then every minute without an item, hourly with one
};

// nTickCount starts at -2 and grows by one after every tick.
TickAction PlanTick(int nTickCount, bool bHasBulletinText);
