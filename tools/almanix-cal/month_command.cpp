// almanix-cal [YEAR [MONTH]] [--memos DIR]: the month grid as the calendar shows it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include <unistd.h>

#include "commands.h"
#include "engine/holidays.h"
#include "monthview/holiday_download.h"
#include "memo/memo_file.h"
#include "month_grid_text.h"
#include "monthview/navigation.h"
#include "text/gbcodec.h"

const char kMonthHelp[] = "almanix-cal [YEAR [MONTH]] [--memos DIR]\n"
                          "  The month as the calendar's grid shows it, UTF-8: the weekday header, six rows of day\n"
                          "  numbers each with the text under the number (festival, solar term, new lunar month or\n"
                          "  lunar day), and the lunar year title. YEAR and MONTH default to the current local ones;\n"
                          "  the calendar shows February 1900 .. December 2049.\n"
                          u8"  A day off by the holiday schedule has 休 after its number, an adjusted working day 班.\n"
                          u8"  --memos DIR reads the memos of the memo folder DIR (the folder that holds \"日历\"):\n"
                          "  each day number is followed by the marks of its memos (W weekly, O one-off,\n"
                          "  S Gregorian-yearly, L lunar-yearly) and every day's tip text (holiday and memos)\n"
                          u8"  follows the grid; the holiday file 日历/节假日.txt there adds its years, and so do\n"
                          u8"  the schedules the calendar downloaded into 日历/节假日-下载 (below the file's).\n"
                          "  A month outside the calendar, a malformed number or an unreadable DIR prints an error\n"
                          "  and exits with 2.\n";

namespace {

// A decimal number of one to six digits.
bool ParseNumber(const char* sz, int& nValue)
{
    const std::size_t n = std::strlen(sz);
    if (n == 0 || n > 6)
        return false;
    nValue = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (sz[i] < '0' || sz[i] > '9')
            return false;
        nValue = nValue * 10 + (sz[i] - '0');
    }
    return true;
}

}  // namespace

bool EnterMemoFolder(const char* szMemoFolder, int nLastYear)
{
    if (chdir(szMemoFolder) != 0) {
        std::fprintf(stderr, "almanix-cal: cannot enter the memo folder '%s': %s\n", szMemoFolder, std::strerror(errno));
        return false;
    }
    const std::string path = std::string(MEMO_CALENDAR_FOLDER) + "\\" + kHolidayFileName;
    std::size_t length = 0;
    if (const std::unique_ptr<char[]> bytes = ReadWholeFile(path.c_str(), length)) {
        CHolidayOverlay overlay;
        const HolidayFileReport report = overlay.Parse(std::string_view(bytes.get(), length));
        if (report.m_nBadLines > 0)
            std::fprintf(stderr, "almanix-cal: %s: %d malformed lines skipped, the first is line %d\n",
                almanix::GbToUtf8(path).c_str(), report.m_nBadLines, report.m_nFirstBadLine);
        SetUserHolidays(overlay);
    }
    LoadHolidayDownloads(std::string(), HOLIDAY_DOWNLOAD_FIRST_YEAR, nLastYear);
    return true;
}

int RunMonthCommand(int argc, char** argv)
{
    const char* szMemoFolder = nullptr;
    int numbers[2] = {0, 0};
    int nNumbers = 0;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--memos") == 0) {
            if (i + 1 >= argc || szMemoFolder) {
                std::fputs("almanix-cal: --memos takes one memo folder\n", stderr);
                return EXIT_USAGE;
            }
            szMemoFolder = argv[++i];
        } else if (nNumbers < 2 && ParseNumber(argv[i], numbers[nNumbers])) {
            ++nNumbers;
        } else {
            std::fprintf(stderr, "almanix-cal: '%s' is neither a year, a month nor a mode (see --help)\n", argv[i]);
            return EXIT_USAGE;
        }
    }

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int nYear = nNumbers >= 1 ? numbers[0] : local.tm_year + 1900;
    const int nMonth = nNumbers >= 2 ? numbers[1] : local.tm_mon + 1;
    if (nMonth < 1 || nMonth > 12) {
        std::fprintf(stderr, "almanix-cal: %d is not a month (1-12)\n", nMonth);
        return EXIT_USAGE;
    }
    if (!IsSupportedMonth(nYear, nMonth)) {
        std::fprintf(
            stderr, "almanix-cal: %04d-%02d lies outside the calendar's months, 1900-02 .. 2049-12\n", nYear, nMonth);
        return EXIT_USAGE;
    }

    // The model opens its memo files relative to the current directory, as the program does
    // in its memo folder. Without --memos whatever it finds there is not printed.
    if (szMemoFolder && !EnterMemoFolder(szMemoFolder, nYear + 1))
        return EXIT_USAGE;

    CMonthModel model;
    model.SetMonth(nYear, nMonth, 0);

    std::string text = FormatMonthGrid(model, szMemoFolder != nullptr);
    if (szMemoFolder) {
        const std::string notes = FormatDayNotes(model);
        if (!notes.empty())
            text += "\n" + notes;
    }
    if (!WriteOutput(text.data(), text.size())) {
        std::fputs("almanix-cal: cannot write the output\n", stderr);
        return EXIT_OUTPUT_FAILED;
    }
    return 0;
}
