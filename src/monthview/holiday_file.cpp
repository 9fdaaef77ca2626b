#include "monthview/holiday_file.h"

#include <string_view>

bool CHolidayFileWatch::Refresh()
{
    const FileStamp stamp = GetFileStamp(HOLIDAY_FILE_PATH);
    if (m_bRead && stamp == m_stamp)
        return false;
    std::size_t nLength = 0;
    const auto bytes = stamp != FileStamp{} ? ReadWholeFile(HOLIDAY_FILE_PATH, nLength) : nullptr;
    // An editor may hold the file while it saves: keep what was read and try again next time.
    if (!bytes && stamp != FileStamp{})
        return false;
    const bool bHadFile = m_stamp != FileStamp{};
    m_bRead = true;
    m_stamp = stamp;
    m_report = HolidayFileReport{};
    if (!bytes && !bHadFile)
        return false;  // none then, none now: the built-in table stands
    CHolidayOverlay overlay;
    if (bytes)
        m_report = overlay.Parse(std::string_view(bytes.get(), nLength));
    SetUserHolidays(overlay);
    return true;
}
