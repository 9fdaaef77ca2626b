// What the end-to-end test build has instead of the shipped program's: a clock that the tests
// move, and the bulletin from this machine's own web server on the tests' port.
#include <windows.h>

#include "app/bulletin_host.h"
#include "app/clock.h"
#include "bulletin_port.h"

const char* BulletinHost()
{
    return "localhost";
}

unsigned short BulletinPort()
{
    return TestBulletinPort();
}

// Local time moved by the offset, in seconds, that the tests publish in the shared memory
// "AlmanixTestClock" (none published: no offset).
void GetClockTime(SYSTEMTIME* now)
{
    LONGLONG offset = 0;
    if (HANDLE map = ::OpenFileMappingW(FILE_MAP_READ, FALSE, L"AlmanixTestClock")) {
        if (const void* view = ::MapViewOfFile(map, FILE_MAP_READ, 0, 0, sizeof(LONGLONG))) {
            offset = *static_cast<const volatile LONGLONG*>(view);
            ::UnmapViewOfFile(view);
        }
        ::CloseHandle(map);
    }
    FILETIME utc, local;
    ::GetSystemTimeAsFileTime(&utc);
    ULARGE_INTEGER t;
    t.LowPart = utc.dwLowDateTime;
    t.HighPart = utc.dwHighDateTime;
    t.QuadPart += static_cast<ULONGLONG>(offset * 10000000LL);
    utc.dwLowDateTime = t.LowPart;
    utc.dwHighDateTime = t.HighPart;
    ::FileTimeToLocalFileTime(&utc, &local);
    ::FileTimeToSystemTime(&local, now);
}
