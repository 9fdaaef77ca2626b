// almanix-cal export / import: the memo folder to and from an iCalendar file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "commands.h"
#include "ical/memo_ical.h"
#include "memo/memo_file.h"

const char kExportHelp[] = "almanix-cal export --memos DIR [--expand FROM-TO] > FILE.ics\n"
                           "  Writes every memo of the memo folder DIR as an iCalendar file (RFC 5545) to stdout:\n"
                           "  all-day events, yearly and weekly rules, lunar-yearly memos as RSCALE=CHINESE rules\n"
                           "  (RFC 7529). --expand FROM-TO (years, e.g. 2020-2040) writes lunar-yearly memos as one\n"
                           "  dated event per day instead, for calendars that do not read RSCALE. What is counted and\n"
                           "  what is left out goes to stderr. SOURCE_DATE_EPOCH, when set, is the DTSTAMP.\n";
const char kImportHelp[] = "almanix-cal import FILE --memos DIR\n"
                           "  Adds the events of the iCalendar FILE to the memo folder DIR, on every day they show,\n"
                           "  times in this computer's zone. A line or event that cannot be read is skipped and\n"
                           "  named; a file without any calendar changes nothing and exits with 3. Texts are never\n"
                           "  replaced: a memo that has a text gets the new one as a further line. The report goes\n"
                           "  to stdout.\n";

namespace {

constexpr int EXIT_BAD_FILE = 3;

// Enters the memo folder and names its calendar folder. Empty when the folder cannot be entered.
std::string EnterMemoFolder(const char* szDir, bool bCreate)
{
    if (chdir(szDir) != 0) {
        std::fprintf(stderr, "almanix-cal: cannot enter the memo folder '%s': %s\n", szDir, std::strerror(errno));
        return std::string();
    }
    if (bCreate && (EnterFolder(MEMO_CALENDAR_FOLDER) != 0 || chdir("..") != 0)) {
        std::fprintf(stderr, "almanix-cal: cannot make the calendar folder in '%s'\n", szDir);
        return std::string();
    }
    return DefaultCalendarFolder();
}

int LocalOffset(std::int64_t utcSeconds)
{
    const std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    localtime_r(&t, &local);
    return static_cast<int>(local.tm_gmtoff);
}

bool ParseYears(const char* sz, int& nFrom, int& nTo)
{
    char extra = 0;
    return std::sscanf(sz, "%d-%d%c", &nFrom, &nTo, &extra) == 2 && nFrom >= 1900 && nTo <= 2049 && nFrom <= nTo;
}

}  // namespace

int RunExportCommand(int argc, char** argv)
{
    const char* szDir = nullptr;
    ExportOptions options;
    options.m_calendarName = kExportCalendarName;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--memos") == 0 && i + 1 < argc && !szDir) {
            szDir = argv[++i];
        } else if (std::strcmp(argv[i], "--expand") == 0 && i + 1 < argc) {
            if (!ParseYears(argv[++i], options.m_nExpandFrom, options.m_nExpandTo)) {
                std::fprintf(stderr, "almanix-cal: --expand takes FROM-TO, years within 1900-2049\n");
                return EXIT_USAGE;
            }
        } else {
            std::fputs(kExportHelp, stderr);
            return EXIT_USAGE;
        }
    }
    if (!szDir) {
        std::fputs(kExportHelp, stderr);
        return EXIT_USAGE;
    }
    const std::string folder = EnterMemoFolder(szDir, false);
    if (folder.empty())
        return EXIT_USAGE;

    std::time_t now = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"))
        now = static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    options.m_stamp = stamp;

    std::vector<ExchangeNote> readNotes;
    const std::vector<MemoItem> memos = ReadMemoFolder(folder, readNotes);
    ExportReport report;
    const std::string ics = ExportIcal(memos, options, report);
    report.m_notes.insert(report.m_notes.begin(), readNotes.begin(), readNotes.end());
    std::fputs(FormatExportReport(report).c_str(), stderr);
    if (!WriteOutput(ics.data(), ics.size())) {
        std::fputs("almanix-cal: cannot write the output\n", stderr);
        return EXIT_OUTPUT_FAILED;
    }
    return 0;
}

int RunImportCommand(int argc, char** argv)
{
    const char* szFile = nullptr;
    const char* szDir = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--memos") == 0 && i + 1 < argc && !szDir)
            szDir = argv[++i];
        else if (!szFile && std::strncmp(argv[i], "--", 2) != 0)
            szFile = argv[i];
        else
            szFile = szDir = nullptr, i = argc;
    }
    if (!szFile || !szDir) {
        std::fputs(kImportHelp, stderr);
        return EXIT_USAGE;
    }
    std::ifstream in(szFile, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "almanix-cal: cannot read '%s'\n", szFile);
        return EXIT_USAGE;
    }
    const std::string ics((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    ImportOptions options;
    options.m_pfnLocalOffset = LocalOffset;
    options.m_bLocationLine = true;
    ImportReport report;
    std::vector<MemoItem> memos;
    if (!ReadIcalMemos(ics, options, memos, report)) {
        std::fprintf(stderr, "almanix-cal: %s: %s", szFile, FormatImportReport(report).c_str());
        return EXIT_BAD_FILE;
    }
    const std::string folder = EnterMemoFolder(szDir, true);
    if (folder.empty())
        return EXIT_USAGE;
    const int nResult = AddMemosToFolder(memos, folder, report);
    const std::string text = FormatImportReport(report);
    if (!WriteOutput(text.data(), text.size()))
        return EXIT_OUTPUT_FAILED;
    return nResult == 0 ? 0 : EXIT_OUTPUT_FAILED;
}
