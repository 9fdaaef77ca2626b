// Memos written straight into the current memo folder, for tests that then show them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "memo/memo_store.h"

inline void PutMemo(int year, int month, int slot, const char* text, std::uint32_t flags = 0)
{
    CMemoStore store;
    store.Open(year, month);
    ASSERT_EQ(store.SetEntry(slot, text, static_cast<int>(std::strlen(text)), flags), 0);
}

inline void PutWeekly(int weekday, const char* text, std::uint32_t flags = 0)
{
    CMemoStore store;
    store.OpenWeek();
    ASSERT_EQ(store.SetEntry(weekday, text, static_cast<int>(std::strlen(text)), flags), 0);
}
