// The program's only registry access: text values under HKEY_CURRENT_USER, and the per-user
// autostart entry. Names and texts are the program's byte strings.
#pragma once

#include <windows.h>

#include <string>

#define ALMANIX_SETTINGS_KEY "SOFTWARE\\Kestrin\\Almanix"
#define ALMANIX_RUN_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
#define ALMANIX_RUN_VALUE "Almanix"

// 0 and a NUL-terminated text in buffer, or -1: key or value missing, not a text value, or
// a text that does not fit bufferSize bytes with its terminator.
int ReadRegValue(LPCSTR subKey, LPCSTR valueName, BYTE* buffer, DWORD bufferSize);
// Creates the key path as needed; 0 when the value was stored, else -1.
int WriteRegString(LPCSTR subKey, LPCSTR valueName, LPCSTR text);
// A number kept as a decimal text value: true with *out set when the value is readable
// (its text read as ParseDecimal does); false, *out untouched, when it is not.
bool ReadRegNumber(LPCSTR subKey, LPCSTR valueName, int* out);
int WriteRegNumber(LPCSTR subKey, LPCSTR valueName, int number);
// A switch the user may turn off, kept as "1" or "0": on unless the value's text begins with
// "0" (missing or unreadable: on).
bool ReadRegSwitch(LPCSTR subKey, LPCSTR valueName);
int WriteRegSwitch(LPCSTR subKey, LPCSTR valueName, bool on);
// enable: valueName under the Run key = this program's path; else the value is deleted.
// The Run key itself is never created.
void SetAutoStart(bool enable, LPCSTR valueName);

// The full path of this program's file, as the program's byte string.
std::string GetProgramPath();
