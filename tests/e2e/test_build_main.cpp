// What the end-to-end test build has instead of the shipped program's: a clock that the tests
// move, and the bulletin and holiday schedules from this machine's own web server.
#include <windows.h>

#include "app/bulletin_host.h"
#include "app/clock.h"
#include "app/holiday_source.h"
#include "bulletin_port.h"

const char* BulletinHost()
{
    return "localhost";
}

unsigned short BulletinPort()
{
    return TestBulletinPort();
}

// The holiday schedules from the case's own web server, when scripts/e2e.sh gives the case one
// (ALMANIX_E2E_HOLIDAY_URL, http://127.0.0.1:PORT/...); else none is asked.
const char* HolidayUrlPattern()
{
    static char url[512];
    const DWORD n = ::GetEnvironmentVariableA("ALMANIX_E2E_HOLIDAY_URL", url, sizeof url);
    if (n == 0 || n >= sizeof url)
        url[0] = '\0';
    return url;
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
