// almanix-cal --days: one line per Gregorian day, from the engine and the month model.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "day_table.h"
#include "month_grid_text.h"
#include "text/gbcodec.h"

const char kDaysHelp[] =
    "almanix-cal --days FROM TO [--step] [--memos DIR]\n"
    "  One tab-separated line per Gregorian day from FROM through TO (YYYY-MM-DD, both within\n"
    "  1900-01-31 .. 2051-02-10), UTF-8, with the columns:\n"
    "    1  date, YYYY-MM-DD\n"
    "    2  weekday, 0 = Sunday .. 6 = Saturday\n"
    "    3  lunar year\n"
    "    4  lunar month, 1-12 (a leap month has the number of the month before it)\n"
    "    5  lunar day, 1-30\n"
    "    6  leap flag: 1 in a leap month, else 0\n"
    "    7  length of the lunar month, 29 or 30\n"
    "    8  festival (lunar first, else Gregorian), or -\n"
    "    9  solar-term mark: 1 = the month's first term begins this day, 2 = its second, 0 = none\n"
    "   10  name of that solar term, or -\n"
    "   11  the text the calendar prints under the day number: festival, else solar term, else\n"
    "       the new lunar month's name and length on its first day, else the lunar day\n"
    "   12  month-start flag: 1 when column 11 names a new lunar month, else 0\n"
    u8"   13  holiday schedule: 休 on a day off, 班 on an adjusted working day, else empty\n"
    u8"   14  the holiday's name on such a day (春节, 国庆节, ...), else empty\n"
    u8"   15  the year's stems and branches (干支), as the year title names it: changes at the\n"
    u8"       lunar new year (春节), e.g. 丙午\n"
    u8"   16  the month's stems and branches: changes on the day of the solar term that begins\n"
    u8"       the month (立春, 惊蛰, 清明, 立夏, 芒种, 小暑, 立秋, 白露, 寒露, 立冬, 大雪, 小寒)\n"
    u8"   17  the day's stems and branches: changes at midnight\n"
    u8"   18  宜, the activities good for the day by the traditional rules (the month's branch\n"
    u8"       and the day's stems and branches), separated by blanks\n"
    u8"   19  忌, the activities to avoid, the same way\n"
    u8"   20  the clash and 煞: the animal and stems and branches the day clashes with, and\n"
    u8"       the direction of 煞, e.g. 冲鸡(己酉) 煞西\n"
    "  The holidays are the published schedules built into the calendar; years without one\n"
    "  have none. With --memos, the holiday file and the downloaded schedules of the memo\n"
    "  folder DIR count as in the calendar.\n"
    "  --step finds the lunar dates by converting FROM and stepping day by day instead of\n"
    "  converting every day; the output is the same.\n"
    "  A date out of range or malformed, or FROM after TO, prints an error and exits with 2.\n";

int RunDaysCommand(int argc, char** argv)
{
    DayTableMode mode = DayTableMode::Convert;
    const char* szMemoFolder = nullptr;
    char* dateArgs[2];
    int nDates = 0;
    bool bUsage = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--step") == 0)
            mode = DayTableMode::Step;
        else if (std::strcmp(argv[i], "--memos") == 0 && i + 1 < argc)
            szMemoFolder = argv[++i];
        else if (nDates < 2)
            dateArgs[nDates++] = argv[i];
        else
            bUsage = true;
    }
    if (bUsage || nDates != 2) {
        std::fputs("almanix-cal: --days takes FROM and TO (YYYY-MM-DD) and optionally --step and --memos DIR\n", stderr);
        return EXIT_USAGE;
    }
    argv = dateArgs;
    SolarDate dates[2];
    for (int i = 0; i < 2; ++i) {
        if (!ParseSolarDate(argv[i], dates[i])) {
            std::fprintf(stderr, "almanix-cal: '%s' is not a real date written YYYY-MM-DD\n", argv[i]);
            return EXIT_USAGE;
        }
        CLunarDate lunar;
        if (!lunar.FromSolar(dates[i].m_nYear, dates[i].m_nMonth, dates[i].m_nDay).IsValid()) {
            std::fprintf(stderr, "almanix-cal: %s lies outside 1900-01-31 .. 2051-02-10\n", argv[i]);
            return EXIT_USAGE;
        }
    }
    if (szMemoFolder && !EnterMemoFolder(szMemoFolder, dates[1].m_nYear + 1))
        return EXIT_USAGE;
    std::string gb;
    if (FormatDayTableWithCells(dates[0], dates[1], mode, gb) != 0) {
        std::fprintf(stderr, "almanix-cal: %s comes after %s\n", argv[0], argv[1]);
        return EXIT_USAGE;
    }
    const std::string utf8 = almanix::GbToUtf8(gb);
    if (!WriteOutput(utf8.data(), utf8.size())) {
        std::fputs("almanix-cal: cannot write the output\n", stderr);
        return EXIT_OUTPUT_FAILED;
    }
    return 0;
}
