// Memos out to iCalendar and back in: the round trip, files written by other programs, and
// what an import does to memos that are there already.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "ical/memo_ical.h"
#include "memo/memo_store.h"
#include "monthview_support.h"
#include "text/gbcodec.h"

namespace {

namespace fs = std::filesystem;
using monthview_test::MemoFolderTest;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::map<std::string, std::string> FolderBytes(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        files[e.path().filename()] = ReadFile(e.path());
    return files;
}

void SetMemo(const std::string& folder, int nYear, int nMonth, int nSlot, const std::string& utf8, std::uint32_t flags)
{
    CMemoStore store;
    const std::string name = folder + (nYear < 0 ? std::string("week") : std::to_string(nYear * 100 + nMonth));
    const std::string padded = nYear == 0 ? folder + "0" + (nMonth < 10 ? "0" : "") + std::to_string(nMonth) : name;
    store.Reset(nYear < 0 ? MEMO_WEEK_MAX_INDEX : MEMO_MONTH_MAX_INDEX, padded.c_str());
    store.Load();
    const std::string gb = almanix::Utf8ToGb(utf8);
    ASSERT_EQ(store.SetEntry(nSlot, gb.data(), static_cast<int>(gb.size()), flags), 0);
}

class IcalExchangeTest : public MemoFolderTest {};

// Both forms of the export, lunar rules and lunar memos as dated events, come back as the
// same memo files.
TEST_F(IcalExchangeTest, ExportThenImportIntoAnEmptyFolderGivesTheSameFiles)
{
    fs::create_directories("a/日历");
    const std::string a = "a/日历/";
    SetMemo(a, 2024, 5, 1, u8"劳动节, 休息; 一天\r\n第二行 \\ 反斜杠\t制表", 0);
    SetMemo(a, 2024, 5, 31, u8"😀 四字节字符", MEMO_CUSTOM_COLOR | 0x123456);
    SetMemo(a, 1900, 2, 1, "first day", 0x00FF00);  // colour bits without the custom bit
    SetMemo(a, 1, 2, 29, u8"闰日生日", 0);
    SetMemo(a, 1, 12, 31, std::string(200, 'x'), 0);
    SetMemo(a, 0, 4, 30, u8"四月三十（含闰四月）", MEMO_CUSTOM_COLOR | 0x8000FF);
    SetMemo(a, 0, 12, 30, u8"除夕", 0);
    SetMemo(a, -1, 0, 0, u8"周日", 0);
    SetMemo(a, -1, 0, 6, u8"周六", MEMO_CUSTOM_COLOR);

    const struct {
        const char* folder;
        int nFrom, nTo;  // the years of dated lunar events; 0: rules
    } forms[] = {{"rules", 0, 0}, {"dated", 2025, 2046}};
    for (const auto& f : forms) {
        SCOPED_TRACE(f.folder);
        const std::string b = std::string(f.folder) + "/日历/";
        fs::create_directories(b);
        std::vector<ExchangeNote> notes;
        ExportReport exported;
        ExportOptions options;
        options.m_stamp = "20261207T000000Z";
        options.m_nExpandFrom = f.nFrom;
        options.m_nExpandTo = f.nTo;
        options.m_calendarName = kExportCalendarName;
        const std::string ics = ExportIcal(ReadMemoFolder(a, notes), options, exported);
        EXPECT_EQ(exported.m_nEvents[MEMO_KIND_ONCE] + exported.m_nEvents[MEMO_KIND_SOLAR_YEARLY] +
                exported.m_nEvents[MEMO_KIND_LUNAR_YEARLY] + exported.m_nEvents[MEMO_KIND_WEEKLY],
            9);
        std::size_t nEvents = 0, nDescriptions = 0;
        for (std::size_t at = 0, end; (end = ics.find("\r\n", at)) != std::string::npos; at = end + 2) {
            EXPECT_LE(end - at, 75u) << ics.substr(at, end - at);
            nEvents += ics.compare(at, end - at, "BEGIN:VEVENT") == 0;
            nDescriptions += ics.compare(at, 12, "DESCRIPTION:") == 0;
        }
        EXPECT_EQ(ics.find("RSCALE") == std::string::npos, f.nFrom > 0);
        EXPECT_EQ(nEvents > 9, f.nFrom > 0);
        EXPECT_EQ(nDescriptions, 1u) << "only the memo of two lines has one";
        EXPECT_NE(ics.find(u8"\r\nX-WR-CALNAME:Almanix 记事\r\n"), std::string::npos);
        EXPECT_EQ(ics, ExportIcal(ReadMemoFolder(a, notes), options, exported)) << "the same memos, the same file";

        ImportReport report;
        ASSERT_EQ(ImportIcal(ics, b, ImportOptions{}, report), 0) << FormatImportReport(report);
        EXPECT_EQ(FolderBytes(b), FolderBytes(a));
        EXPECT_EQ(report.m_nAppended, 0);

        // A second import finds every text there already and changes nothing.
        ASSERT_EQ(ImportIcal(ics, b, ImportOptions{}, report), 0);
        EXPECT_EQ(report.m_nAlreadyThere, 9);
        EXPECT_EQ(FolderBytes(b), FolderBytes(a));
    }
}

int Plus8(std::int64_t)
{
    return 8 * 3600;
}

// The options of a computer in UTC+8 on 2026-05-28 (ten o'clock in the morning there).
ImportOptions Beijing()
{
    ImportOptions options;
    options.m_pfnLocalOffset = Plus8;
    options.m_nNow = 1779933600;
    options.m_bLocationLine = true;
    return options;
}

// Memos as short lines: "O 2024-05-01 text", "Y 03-15 text", "L 04-17 text", "W 3 text" (UTF-8,
// line breaks as "|").
std::vector<std::string> Lines(const std::vector<MemoItem>& memos)
{
    std::vector<std::string> lines;
    for (const MemoItem& m : memos) {
        char place[32];
        if (m.m_nKind == MEMO_KIND_ONCE)
            std::snprintf(place, sizeof place, "O %04d-%02d-%02d ", m.m_nFileYear, m.m_nFileMonth, m.m_nSlot);
        else if (m.m_nKind == MEMO_KIND_WEEKLY)
            std::snprintf(place, sizeof place, "W %d ", m.m_nSlot);
        else
            std::snprintf(place, sizeof place, "%c %02d-%02d ", m.m_nKind == MEMO_KIND_SOLAR_YEARLY ? 'Y' : 'L',
                m.m_nFileMonth, m.m_nSlot);
        std::string text = almanix::GbToUtf8(m.m_text);
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.replace(at, 2, "|");
        lines.push_back(place + text);
    }
    return lines;
}

// Files written by libical and by ical.js: folding, escapes, TZID and UTC times moved into the
// computer's zone (across summer time), VALUE=DATE, LF-only line ends, rules of every kind.
TEST_F(IcalExchangeTest, SampleFilesWrittenByOtherPrograms)
{
    const std::string longText = u8"读书会|读书会：这是一段很长的中文说明，用来检查折行不会切断一个字。"
                                 u8"这是一段很长的中文说明，用来检查折行不会切断一个字。"
                                 u8"这是一段很长的中文说明，用来检查折行不会切断一个字。"
                                 u8"这是一段很长的中文说明，用来检查折行不会切断一个字。";
    const std::vector<std::string> shanghai = {"O 2024-05-02 00:30 Team call",
        u8"O 2024-06-10 端午节; 放假, 回家|带粽子 \\ 咸蛋", u8"Y 03-15 妈妈生日", u8"W 3 健身",
        "O 2024-07-07 " + longText, u8"O 2024-10-01 旅行", u8"O 2024-10-02 旅行", u8"O 2024-10-03 旅行",
        u8"O 2024-10-04 旅行", u8"O 2024-10-05 旅行", u8"O 2024-10-06 旅行", u8"O 2024-10-07 旅行"};
    const struct {
        const char* file;
        std::vector<std::string> memos;  // of the events not spread over a span
        int nSpread, nSkipped;
    } cases[] = {
        {"icaljs_shanghai.ics", shanghai, 1, 0},
        {"icaljs_shanghai_lf.ics", shanghai, 1, 0},
        {"icaljs_newyork.ics",
            {"O 2024-03-11 11:30 Late show", "O 2024-07-01 11:00 Summer call", "O 2024-01-15 11:00 Winter call",
                "O 2024-04-02 07:15 Floating breakfast"},
            0, 0},
        {"libical_sample.ics",
            {u8"L 04-17 奶奶生日（农历）|每年四月十七, 闰四月也算; "
             u8"记得买蛋糕|第二行：很长很长很长很长很长很长很长很长很长很长的说明",
                "L 08-15 Mid-autumn", "O 2024-12-31 22:30 Flight, seat 12A; gate \\ B", "O 2024-03-05 Course",
                "O 2025-03-05 Course", "O 2026-03-05 Course"},
            0, 1},
    };
    for (const auto& c : cases) {
        const std::string ics = ReadFile(fs::path(ALMANIX_SOURCE_DIR) / "tests/data/ical" / c.file);
        ASSERT_FALSE(ics.empty()) << c.file;
        std::vector<ImportedEvent> events;
        ImportReport report;
        ASSERT_TRUE(ReadIcalEvents(ics, Beijing(), events, report)) << c.file << ": " << report.m_error;
        std::vector<MemoItem> memos;
        for (const ImportedEvent& e : events)
            if (!e.m_bSpread)
                memos.insert(memos.end(), e.m_memos.begin(), e.m_memos.end());
        EXPECT_EQ(Lines(memos), c.memos) << c.file;
        EXPECT_EQ(report.m_nSpread, c.nSpread) << c.file;
        EXPECT_EQ(report.m_nSkipped, c.nSkipped) << c.file;
    }
}

TEST_F(IcalExchangeTest, ImportAddsBelowExistingTextsAndCutsAtACharacter)
{
    const std::string folder = DefaultCalendarFolder();
    SetMemo(folder, 2024, 5, 1, "old", MEMO_CUSTOM_COLOR | 0x0000FF);
    const std::string event =
        "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20240501\r\nSUMMARY:new\r\nCOLOR:green\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n";
    ImportReport report;
    ASSERT_EQ(ImportIcal(event, folder, ImportOptions{}, report), 0);
    EXPECT_EQ(report.m_nAppended, 1);
    CMemoStore store;
    store.Open(2024, 5);
    EXPECT_EQ(std::string(store.m_pEntries[1].m_pszText), "old\r\nnew");
    EXPECT_EQ(store.m_pEntries[1].m_dwFlags, MEMO_CUSTOM_COLOR | 0x0000FF) << "the memo keeps its colour";

    // 40,000 two-byte characters do not fit 65,535 bytes: 32,762 of them follow "old\r\nnew\r\n".
    std::string longText;
    for (int i = 0; i < 40000; ++i)
        longText += u8"中";
    ASSERT_EQ(ImportIcal("BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20240501\nSUMMARY:" + longText +
                      "\nEND:VEVENT\nEND:VCALENDAR\n",
                  folder, ImportOptions{}, report),
        0);
    EXPECT_EQ(report.m_nCut, 1);
    store.Open(2024, 5);
    ASSERT_EQ(store.m_pEntries[1].m_nLength, 10 + 2 * 32762);
    EXPECT_EQ(almanix::GbToUtf8(std::string(store.m_pEntries[1].m_pszText + 8, 6)), u8"\r\n中中");
    EXPECT_EQ(almanix::GbToUtf8(std::string(store.m_pEntries[1].m_pszText + 65532, 2)), u8"中");
}

TEST_F(IcalExchangeTest, OnlyAFileWithoutACalendarIsRefusedAndChangesNothing)
{
    const std::string folder = DefaultCalendarFolder();
    SetMemo(folder, 2024, 5, 1, "keep", 0);
    const auto before = FolderBytes("日历");
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"", "no BEGIN:VCALENDAR"},
        {"Subject: meeting\r\n\r\nSee you at 10.\r\n", "no BEGIN:VCALENDAR"},
        {std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), "not a text file"},
    };
    for (const auto& c : cases) {
        ImportReport report;
        EXPECT_EQ(ImportIcal(c.text, folder, ImportOptions{}, report), -1) << c.text;
        EXPECT_NE(report.m_error.find(c.error), std::string::npos) << c.text << " gave: " << report.m_error;
        EXPECT_EQ(FolderBytes("日历"), before) << c.text;
    }
}

std::string Utf16(const std::string& ascii, bool bBigEndian)
{
    std::string out = bBigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii)
        out += bBigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
}

// What cannot be read is skipped and named by its line; everything else is taken.
TEST_F(IcalExchangeTest, UnreadableLinesAndEventsAreSkippedAndTheRestTaken)
{
    const std::string good = "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20240502\r\nSUMMARY:good\r\nEND:VEVENT\r\n";
    const struct {
        std::string text;
        std::vector<int> noteLines;  // lines the report names
    } cases[] = {
        {"BEGIN:VCALENDAR\r\n" + good +
                "BEGIN:VEVENT\r\nDTSTART:2024-05-03\r\nSUMMARY:bad\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
            {6}},
        {"BEGIN:VCALENDAR\r\nSUMMARY no colon\r\nX-A;P=\"unclosed:1\r\n" + good + "END:VTODO\r\nEND:VCALENDAR\r\n",
            {2, 3, 8}},
        {"BEGIN:VCALENDAR\r\n" + good + "BEGIN:VEVENT\r\nSUMMARY:cut short\r\n", {1, 6, 6}},  // no start either
        {"BEGIN:VCALENDAR\r\n" + good + "END:VCALENDAR  \r\nPS: sent from my phone\r\n", {7}},
        {"BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\nBEGIN:VCALENDAR\r\n" + good + "END:VCALENDAR\r\n", {}},
        {"BEGIN:VCALENDAR\rBEGIN:VEVENT\rDTSTART;VALUE=DATE:20240502\rSUMMARY:good\rEND:VEVENT\rEND:VCALENDAR\r", {}},
        {"BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20240502 \r\nSUMMARY:good\r\n"
         "X-APPLE-STRUCTURED-LOCATION;VALUE=URI;X-ADDRESS=1 Main St\\;Town;X-TITLE=Home:geo:1,2\r\n"
         "END:VEVENT\r\nEND:VCALENDAR\r\n",
            {}},
        {Utf16("BEGIN:VCALENDAR\r\n" + good + "END:VCALENDAR\r\n", false), {}},
        {Utf16("BEGIN:VCALENDAR\r\n" + good + "END:VCALENDAR\r\n", true), {}},
    };
    for (const auto& c : cases) {
        std::vector<MemoItem> memos;
        ImportReport report;
        ASSERT_TRUE(ReadIcalMemos(c.text, ImportOptions{}, memos, report)) << report.m_error;
        EXPECT_EQ(Lines(memos), std::vector<std::string>{"O 2024-05-02 good"}) << c.text;
        std::vector<int> lines;
        for (const ExchangeNote& n : report.m_notes)
            lines.push_back(n.m_nLine);
        std::sort(lines.begin(), lines.end());
        EXPECT_EQ(lines, c.noteLines) << c.text << FormatImportReport(report);
    }
}

// One event each, read in UTC+8 on 2026-05-28: the memos it becomes, on every day it shows.
TEST_F(IcalExchangeTest, EventsBecomeMemosOnEveryDayTheyShow)
{
    const struct {
        const char* lines;  // the VEVENT's properties
        std::vector<std::string> memos;
    } cases[] = {
        {"DTSTART;VALUE=DATE:20240506\nRRULE:FREQ=WEEKLY;COUNT=3\nSUMMARY:c",
            {"O 2024-05-06 c", "O 2024-05-13 c", "O 2024-05-20 c"}},
        {"DTSTART:20240131T090000Z\nRRULE:FREQ=MONTHLY;UNTIL=20240331T090000Z;BYMONTHDAY=-1\nSUMMARY:u",
            {"O 2024-01-31 17:00 u", "O 2024-02-29 17:00 u", "O 2024-03-31 17:00 u"}},
        {"DTSTART;VALUE=DATE:20240506\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE,FR\nSUMMARY:w", {"W 1 w", "W 3 w", "W 5 w"}},
        {"DTSTART;VALUE=DATE:20200229\nRRULE:FREQ=YEARLY\nSUMMARY:y", {"Y 02-29 y"}},
        {"DTSTART;VALUE=DATE:20240507\nRRULE:FREQ=WEEKLY;BYDAY=MO\nSUMMARY:off", {"W 1 off", "O 2024-05-07 off"}},
        {"DTSTART;VALUE=DATE:20240105\nRRULE:FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=15\nSUMMARY:off",
            {"Y 03-15 off", "O 2024-01-05 off"}},
        // Monday 20:00 in New York is Tuesday in Beijing.
        {"DTSTART;TZID=America/New_York:20240506T200000\nRRULE:FREQ=WEEKLY\nSUMMARY:ny", {"W 2 08:00 ny"}},
        {"DTSTART;VALUE=DATE:20250128\nDTEND;VALUE=DATE:20250131\nSUMMARY:s",
            {u8"O 2025-01-28 s", u8"O 2025-01-29 s", u8"O 2025-01-30 s"}},
        {"DTSTART:20240501T150000Z\nDURATION:PT10H\nSUMMARY:d", {"O 2024-05-01 23:00 d", "O 2024-05-02 d"}},
        {"DTSTART:20240501T000000Z\nDTEND:20240501T160000Z\nSUMMARY:m", {"O 2024-05-01 08:00 m"}},
        {"DTSTART;VALUE=DATE:20240506\nRRULE:FREQ=DAILY;COUNT=4\nEXDATE;VALUE=DATE:20240507,20240508\nSUMMARY:x",
            {"O 2024-05-06 x", "O 2024-05-09 x"}},
        {"DTSTART;VALUE=DATE:20240506\nRDATE;VALUE=DATE:20240601,20240701\nSUMMARY:r",
            {"O 2024-05-06 r", "O 2024-06-01 r", "O 2024-07-01 r"}},
        {"UID:o\nDTSTART;VALUE=DATE:20240506\nRRULE:FREQ=DAILY;COUNT=3\nSUMMARY:o\nEND:VEVENT\n"
         "BEGIN:VEVENT\nUID:o\nRECURRENCE-ID;VALUE=DATE:20240507\nDTSTART;VALUE=DATE:20240510\nSUMMARY:moved\n"
         "END:VEVENT\nBEGIN:VEVENT\nUID:o\nRECURRENCE-ID;VALUE=DATE:20240508\nSTATUS:CANCELLED",
            {"O 2024-05-06 o", "O 2024-05-10 moved"}},
        {"DTSTART;VALUE=DATE:20240506\nSTATUS:CANCELLED\nSUMMARY:gone", {}},
        {"DTSTART;TZID=China Standard Time:20240506T000000\nDTEND;TZID=China Standard Time:20240507T000000\n"
         "X-MICROSOFT-CDO-ALLDAYEVENT:TRUE\nSUMMARY:outlook",
            {"O 2024-05-06 outlook"}},
        {"DTSTART;TZID=Europe/London:20240115T140000\nSUMMARY:london", {"O 2024-01-15 22:00 london"}},
        {"DTSTART;TZID=Europe/London:20240715T140000\nSUMMARY:london", {"O 2024-07-15 21:00 london"}},
        {"DTSTART;TZID=tzone://Microsoft/Utc:20240715T140000\nSUMMARY:exchange", {"O 2024-07-15 22:00 exchange"}},
        {"DTSTART;VALUE=DATE:20240506\nSUMMARY:  trimmed  \nDESCRIPTION:\\n\\n\nLOCATION:Room 1\\nBuilding 2 ",
            {u8"O 2024-05-06 trimmed|地点：Room 1, Building 2"}},
        {"DTSTART;VALUE=DATE:20240506\nSUMMARY:here\nLOCATION:Room 1\nDESCRIPTION:in Room 1",
            {"O 2024-05-06 here|in Room 1"}},
    };
    for (const auto& c : cases) {
        std::string ics = std::string("BEGIN:VCALENDAR\nBEGIN:VEVENT\n") + c.lines + "\nEND:VEVENT\nEND:VCALENDAR\n";
        std::vector<MemoItem> memos;
        ImportReport report;
        ASSERT_TRUE(ReadIcalMemos(ics, Beijing(), memos, report)) << report.m_error;
        EXPECT_EQ(Lines(memos), c.memos) << c.lines;
        EXPECT_EQ(report.m_nUnreadable, 0) << c.lines;
    }
}

// Endless rules no memo kind holds are spread from a year ago to two years ahead, and said so.
TEST_F(IcalExchangeTest, EndlessRulesOfNoKindAreSpreadOverASpan)
{
    const std::string ics = "BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART;VALUE=DATE:20200101\nRRULE:FREQ=MONTHLY;"
                            "INTERVAL=2;BYDAY=1MO\nSUMMARY:m\nEND:VEVENT\nEND:VCALENDAR\n";
    std::vector<MemoItem> memos;
    ImportReport report;
    ASSERT_TRUE(ReadIcalMemos(ics, Beijing(), memos, report));
    const std::vector<std::string> lines = Lines(memos);
    ASSERT_EQ(lines.size(), 18u);  // every other month for three years
    EXPECT_EQ(lines.front(), "O 2025-07-07 m");
    EXPECT_EQ(lines.back(), "O 2028-05-01 m");
    EXPECT_EQ(report.m_nSpread, 1);
    EXPECT_EQ(
        FormatImportSummaryZh(report), u8"无限重复的日程 1 个，按一次性记事记在 2025年5月28日至 2028年5月27日之间\n");
    report.m_nTaken[MEMO_KIND_SOLAR_YEARLY] = 2;
    report.m_nTaken[MEMO_KIND_WEEKLY] = 1;
    EXPECT_EQ(FormatImportSummaryZh(report).substr(0, 51), u8"阳历每年的记事：2 条\n每周提示：1 条\n");
}

}  // namespace

// A memo whose first lines are empty, or whose last ones are, still has a summary, and no
// DESCRIPTION that holds nothing.
TEST(IcalExport, EverySummaryHoldsText)
{
    struct Case {
        const char* text;
        const char* summary;
        bool description;
    };
    const Case cases[] = {
        {"\r\n\r\nfoo", "SUMMARY:foo\r\n", false},
        {"foo\r\n", "SUMMARY:foo\r\n", false},
        {"\r\nfoo\r\nbar", "SUMMARY:foo\r\n", true},
    };
    for (const Case& c : cases) {
        MemoItem m;
        m.m_nKind = MEMO_KIND_ONCE;
        m.m_nFileYear = 2026;
        m.m_nFileMonth = 12;
        m.m_nSlot = 7;
        m.m_text = c.text;
        ExportReport report;
        const std::string ics = ExportIcal({m}, ExportOptions{}, report);
        EXPECT_NE(ics.find(c.summary), std::string::npos) << ics;
        EXPECT_EQ(ics.find("DESCRIPTION:") != std::string::npos, c.description) << ics;
    }
}
