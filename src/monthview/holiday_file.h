// The user's holiday file, 日历\节假日.txt in the memo folder (the current directory), kept in
// step with the schedules that GetHoliday answers.
#pragma once

#include "engine/holidays.h"
#include "memo/memo_file.h"

// The file's path relative to the memo folder (GBK).
inline constexpr char HOLIDAY_FILE_PATH[] = "\xc8\xd5\xc0\xfa\\\xbd\xda\xbc\xd9\xc8\xd5.txt";  // 日历\节假日.txt

class CHolidayFileWatch {
public:
    // Reads the file when its time stamp or size differs from the last call's (the first call
    // always reads): its years become the user's schedules, and a file that went away takes
    // them back. True when the schedules were set anew, so the shown month must be rebuilt.
    // A file with malformed lines still gives its good ones; nothing here fails.
    bool Refresh();
    // What the last read found.
    const HolidayFileReport& GetReport() const { return m_report; }

private:
    FileStamp m_stamp;
    bool m_bRead = false;
    HolidayFileReport m_report;
};
