// Small things the Windows test programs share.
#pragma once

#include <windows.h>

#include <string>

// Deletes a folder with everything in it.
void RemoveTree(const std::wstring& dir);
// Dispatches every message waiting for this thread.
void PumpMessages();
