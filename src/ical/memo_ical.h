// Memos to iCalendar events and back: one mapping for export, import and sync.
//
// Export: one all-day VEVENT per memo with a UID derived from the memo's kind and place, so
// the same memo keeps its UID in every export. One-off memos are dated events; Gregorian-
// yearly memos FREQ=YEARLY rules; weekly memos FREQ=WEEKLY rules; lunar-yearly memos
// RSCALE=CHINESE rules whose RDATE and EXDATE lists make a reader on ICU's Chinese calendar
// expand exactly the days the calendar shows the memo (leap months, 30th days, the few months
// where ICU and the published calendar differ), or, on request, one dated event per day.
// Import: the whole file is read before anything is written; a line or event that cannot be
// read is skipped and noted, the rest is taken. Every day the file's calendar shows an event
// on gets it, as far as the memo kinds hold it: finite repeats and multi-day events as one-off
// memos on each of their days, endless weekly and yearly rules as weekly (one per weekday)
// and yearly memos, other endless rules as one-off memos over a span around today. Times are
// moved into the computer's zone. Imported texts never replace a memo but are added to it as
// a new line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One memo, named by its file (the two numbers of CMemoStore::Open) and slot.
struct MemoItem {
    int m_nKind = 0;       // MEMO_KIND_*
    int m_nFileYear = 0;   // one-off: the year; Gregorian-yearly: 1; lunar-yearly and weekly: 0
    int m_nFileMonth = 0;  // one-off, Gregorian-yearly: the month; lunar-yearly: lunar month 1-12
    int m_nSlot = 0;       // day of the month, lunar day, or weekday (0 = Sunday)
    std::uint32_t m_dwFlags = 0;
    std::string m_text;  // GB18030, CR LF between lines
};

// "日历\" (GB18030), the calendar folder as the program names it; a folder copied from
// Windows onto another system may be "日历/" in UTF-8 instead.
std::string DefaultCalendarFolder();
// The memo file of an item inside calendarFolder ("日历\202405", "日历\week").
std::string MemoFileOf(const std::string& calendarFolder, const MemoItem& item);

// Why a memo or event was not taken as it was.
enum class ExchangeWhy {
    DamagedFileRead,    // a memo file breaks off: the records after the break were not read
    NeverShown,         // export: the calendar shows the memo on no day
    NotAnEvent,         // a VTODO, VJOURNAL, ...: skipped
    NoStart,            // skipped
    NoText,             // skipped
    OutsideYears,       // a date outside 1900-2049: skipped
    Simplified,         // a rule that cannot be read or repeats within a day: its first day taken
    FurtherDates,       // no longer given
    ChangedOccurrence,  // no longer given
    SeveralDays,        // no longer given
    Cut,                // text cut to fit a memo
    MemoFull,           // no room left in the memo: not added
    DamagedFileKept,    // a damaged memo file is not written
    NotWritten,         // a memo file could not be saved
    Unreadable,         // a line or component of the file that could not be read: skipped (detail: why)
    BadDate,            // a start, end or further date that is no date (detail: the value): left out
    Cancelled,          // STATUS:CANCELLED: skipped
    Spread,             // an endless rule no memo kind holds: one-off memos over a span (detail: the span)
    UnknownZone,        // a TZID neither the file nor the calendar knows: read as local time (detail: TZID)
    TooManyDates,       // more occurrences or days than an event may give: the first ones taken
};

// Something the exchange did not take as it was, for the report.
struct ExchangeNote {
    int m_nLine = 0;     // import: the line where the event begins; export: 0
    std::string m_what;  // UTF-8: the memo's place, the event's summary or a file name
    ExchangeWhy m_why = ExchangeWhy::Simplified;
    std::string m_detail;  // UTF-8: the date or component name the reason is about, may be empty
};
// The reason in English, for the command line.
std::string DescribeNote(const ExchangeNote& note);

// Every memo of the memo folder's files (relative to the current directory): one-off files
// of 1900-2049, the twelve Gregorian-yearly and twelve lunar-yearly files, the weekly file.
// Slots holding only a colour are no memos and are left out. A file whose records break off
// contributes the records before the break, and a note says so.
std::vector<MemoItem> ReadMemoFolder(const std::string& calendarFolder, std::vector<ExchangeNote>& notes);

struct ExportOptions {
    std::string m_stamp = "19700101T000000Z";  // DTSTAMP, UTC
    int m_nExpandFrom = 0;                     // with both set: lunar-yearly memos as dated events of these years
    int m_nExpandTo = 0;
    std::string m_calendarName;  // X-WR-CALNAME (UTF-8), when not empty
};
// The name an exported file gives its calendar in the calendar that imports it.
inline constexpr char kExportCalendarName[] = u8"Almanix 记事";
struct ExportReport {
    int m_nEvents[5] = {};              // memos written, by kind
    std::vector<ExchangeNote> m_notes;  // memos left out: on no day the calendar shows
};
// The calendar file (UTF-8, CR LF, folded) of the memos.
std::string ExportIcal(const std::vector<MemoItem>& memos, const ExportOptions& options, ExportReport& report);

struct ImportOptions {
    // The computer's offset from UTC in seconds at an instant: every DATE-TIME is shown on its
    // clock. Null: the C library's local time (the system's zone, as the sync reads events).
    int (*m_pfnLocalOffset)(std::int64_t utcSeconds) = nullptr;
    // Now, in seconds since 1970-01-01 UTC: endless rules no memo kind holds are spread from a
    // year before it to two years after it. 0: the system clock.
    std::int64_t m_nNow = 0;
    // LOCATION as a last line of the text, "地点：…" (unless the text names the place already).
    // The sync leaves it out: it keeps an event's LOCATION on the server as it is.
    bool m_bLocationLine = false;
};
struct ImportReport {
    std::string m_error;      // why the file was refused; nothing was written then
    int m_nTaken[5] = {};     // memos added, by kind
    int m_nAppended = 0;      // of them, added as a new line below a text already there
    int m_nAlreadyThere = 0;  // texts already present in their memo: not added again
    int m_nSimplified = 0;    // rules taken as a one-off memo of their first occurrence
    int m_nSkipped = 0;       // events or components not taken at all
    int m_nUnreadable = 0;    // lines and components of the file that could not be read
    int m_nSpread = 0;        // endless rules taken as one-off memos over a span
    long m_nSpreadFrom = 0;   // the first and last day of those spans (days since 1970-01-01)
    long m_nSpreadTo = 0;
    int m_nCut = 0;          // texts cut to fit a memo
    int m_nFailedFiles = 0;  // memo files that could not be written
    std::vector<ExchangeNote> m_notes;
};
// One event of a file (with its changed and cancelled occurrences) as the import takes it.
struct ImportedEvent {
    int m_nLine = 0;  // where it begins
    std::string m_uid;
    long m_nFirstDay = 0;    // its first day on the computer's clock (days since 1970-01-01)
    bool m_bSpread = false;  // an endless rule taken over m_nSpreadFrom..m_nSpreadTo only
    long m_nSpreadFrom = 0, m_nSpreadTo = 0;
    std::vector<MemoItem> m_memos;  // in day order; texts not yet cut to a memo's size
};
// Reads a whole file event by event. False, with m_error, only when it holds no calendar.
bool ReadIcalEvents(
    std::string_view ics, const ImportOptions& options, std::vector<ImportedEvent>& events, ImportReport& report);
// ReadIcalEvents, with the events' memos gathered by slot: texts of one slot joined by CR LF,
// not yet cut to a memo's size.
bool ReadIcalMemos(
    std::string_view ics, const ImportOptions& options, std::vector<MemoItem>& memos, ImportReport& report);
// Adds memos to the memo files below the current directory, one write per file: a slot
// that holds a text keeps it and gets the new text as a further line (unless the text is
// there already), and keeps its colour. Texts that would outgrow a memo are cut at a
// character boundary. 0, or -1 when a file could not be written or was damaged (it is then
// left as it was).
int AddMemosToFolder(const std::vector<MemoItem>& memos, const std::string& calendarFolder, ImportReport& report);
// ReadIcalMemos, then AddMemosToFolder when the file held a calendar. 0 or -1.
int ImportIcal(
    std::string_view ics, const std::string& calendarFolder, const ImportOptions& options, ImportReport& report);

// Plain-text (UTF-8, English) summaries for the command line.
std::string FormatImportReport(const ImportReport& report);
// What an import took, for the user (UTF-8, Chinese, one line per kind whose count is not
// zero, in the memo dialogs' words: 一次性, 阳历每年, 农历每年, 每周), then what it spread, skipped
// or cut.
std::string FormatImportSummaryZh(const ImportReport& report);
std::string FormatExportReport(const ExportReport& report);

class CIcalWriter;
// SUMMARY (the text's first line) and, for a text of several lines, DESCRIPTION with the lines
// after it and the mark that says so, so that an edit of the summary alone reads back right.
void WriteMemoText(CIcalWriter& w, const std::string& gbText);
// COLOR, and X-ALMANIX-COLOR or X-ALMANIX-FLAGS where the memo's flags are not its kind's default.
void WriteMemoColour(CIcalWriter& w, const MemoItem& m);
inline constexpr char kRestMarkName[] = "X-ALMANIX-DESCRIPTION";
inline constexpr char kRestMarkValue[] = "REST";

// The CSS colour name nearest to a COLORREF (red in bits 0-7).
const char* NearestCssColor(std::uint32_t colorref);
