// The program's clock. The shipped program reads the system's local time; the end-to-end
// test build links a clock that tests can move (tests/e2e/test_build_main.cpp).
#pragma once

#include <windows.h>

void GetClockTime(SYSTEMTIME* now);
