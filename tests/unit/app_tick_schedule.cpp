#include <gtest/gtest.h>

#include <vector>

#include "app/tick_schedule.h"

namespace {

// The ticks, counted from the first timer message (1), on which a fetch happens.
std::vector<int> FetchTicks(int lastTick, int textFromTick)
{
    std::vector<int> ticks;
    for (int message = 1, count = -2; message <= lastTick; ++message, ++count)
        if (PlanTick(count, message >= textFromTick) == TICK_FETCH_BULLETIN)
            ticks.push_back(message);
    return ticks;
}

TEST(TickSchedule, TipOnTheSecondTickFetchOnTheThird)
{
    EXPECT_EQ(PlanTick(-2, false), TICK_NOTHING);
    EXPECT_EQ(PlanTick(-1, false), TICK_SHOW_SELECTED_TIP);
    EXPECT_EQ(PlanTick(-1, true), TICK_SHOW_SELECTED_TIP);
    EXPECT_EQ(PlanTick(0, false), TICK_FETCH_BULLETIN);
    EXPECT_EQ(PlanTick(0, true), TICK_FETCH_BULLETIN);
    EXPECT_EQ(PlanTick(1, false), TICK_NOTHING);
}

TEST(TickSchedule, EveryMinuteWithoutAnItemHourlyWithOne)
{
    // No item ever: the third tick, then every 60.
    EXPECT_EQ(FetchTicks(200, 1 << 30), (std::vector<int>{3, 63, 123, 183}));
    // An item from tick 100 on: the minute retries stop; the next fetch is an hour on.
    EXPECT_EQ(FetchTicks(7300, 100), (std::vector<int>{3, 63, 3603, 7203}));
}

}  // namespace
