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

TEST_F(IcalExchangeTest, ExportThenImportIntoAnEmptyFolderGivesTheSameFiles)
{
    fs::create_directories("a/日历");
    fs::create_directories("b/日历");
    const std::string a = "a/日历/", b = "b/日历/";
    SetMemo(a, 2024, 5, 1, u8"劳动节, 休息; 一天\r\n第二行 \\ 反斜杠\t制表", 0);
    SetMemo(a, 2024, 5, 31, u8"😀 四字节字符", MEMO_CUSTOM_COLOR | 0x123456);
    SetMemo(a, 1900, 2, 1, "first day", 0x00FF00);  // colour bits without the custom bit
    SetMemo(a, 1, 2, 29, u8"闰日生日", 0);
    SetMemo(a, 1, 12, 31, std::string(200, 'x'), 0);
    SetMemo(a, 0, 4, 30, u8"四月三十（含闰四月）", MEMO_CUSTOM_COLOR | 0x8000FF);
    SetMemo(a, 0, 12, 30, u8"除夕", 0);
    SetMemo(a, -1, 0, 0, u8"周日", 0);
    SetMemo(a, -1, 0, 6, u8"周六", MEMO_CUSTOM_COLOR);

    std::vector<ExchangeNote> notes;
    ExportReport exported;
    ExportOptions options;
    options.m_stamp = "20261207T000000Z";
    const std::string ics = ExportIcal(ReadMemoFolder(a, notes), options, exported);
    EXPECT_EQ(exported.m_nEvents[MEMO_KIND_ONCE] + exported.m_nEvents[MEMO_KIND_SOLAR_YEARLY] +
            exported.m_nEvents[MEMO_KIND_LUNAR_YEARLY] + exported.m_nEvents[MEMO_KIND_WEEKLY],
        9);
    for (std::size_t at = 0, end; (end = ics.find("\r\n", at)) != std::string::npos; at = end + 2)
        EXPECT_LE(end - at, 75u) << ics.substr(at, end - at);
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
        {"BEGIN:VEVENT\r\nDTSTART:20240502\r\nSUMMARY:a\r\nEND:VEVENT\r\n", "line 1: a VEVENT without BEGIN:VCALENDAR"},
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

}  // namespace
