// Small things the Windows test programs share.
#pragma once

#include <windows.h>

// Dispatches every message waiting for this thread.
void PumpMessages();
