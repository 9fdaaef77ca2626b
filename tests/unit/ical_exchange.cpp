// Memos out to iCalendar and back in: the round trip, files written by other programs, and
// what an import does to memos that are there already.
#include <gtest/gtest.h>

#include <algorithm>
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

// Files written by libical and by ical.js: folding, escapes, TZID and UTC times in their
// author's zone (across summer time), VALUE=DATE, LF-only line ends, rules of every kind.
TEST_F(IcalExchangeTest, SampleFilesWrittenByOtherPrograms)
{
    using Memo = std::tuple<int, int, int, int, std::string>;  // kind, file year, month, slot, text
    const std::vector<Memo> shanghai = {
        {MEMO_KIND_ONCE, 2024, 5, 2, "00:30 Team call"},
        {MEMO_KIND_ONCE, 2024, 6, 10, u8"端午节; 放假, 回家\r\n带粽子 \\ 咸蛋"},
        {MEMO_KIND_SOLAR_YEARLY, 1, 3, 15, u8"妈妈生日"},
        {MEMO_KIND_WEEKLY, 0, 0, 3, u8"健身"},
        {MEMO_KIND_ONCE, 2024, 7, 7,
            u8"读书会\r\n读书会：这是一段很长的中文说明，用来检查折行不会切断一个字。这是一段很长的中文说明，用来检查折"
            u8"行不会切断一个字。"
            u8"这是一段很长的中文说明，用来检查折行不会切断一个字。这是一段很长的中文说明，用来检查折行不会切断一个字"
            u8"。"},
        {MEMO_KIND_ONCE, 2024, 2, 1, "Pay rent"},
        {MEMO_KIND_ONCE, 2024, 10, 1, u8"旅行"},
    };
    const struct {
        const char* file;
        std::vector<Memo> memos;
        int nSimplified, nSkipped;
    } cases[] = {
        {"icaljs_shanghai.ics", shanghai, 1, 0},
        {"icaljs_shanghai_lf.ics", shanghai, 1, 0},
        {"icaljs_newyork.ics",
            {{MEMO_KIND_ONCE, 2024, 3, 10, "23:30 Late show"}, {MEMO_KIND_ONCE, 2024, 6, 30, "23:00 Summer call"},
                {MEMO_KIND_ONCE, 2024, 1, 14, "22:00 Winter call"},
                {MEMO_KIND_ONCE, 2024, 4, 2, "07:15 Floating breakfast"}},
            0, 0},
        {"libical_sample.ics",
            {{MEMO_KIND_LUNAR_YEARLY, 0, 4, 17,
                 u8"奶奶生日（农历）\r\n每年四月十七, 闰四月也算; "
                 u8"记得买蛋糕\r\n第二行：很长很长很长很长很长很长很长很长很长很长的说明"},
                {MEMO_KIND_LUNAR_YEARLY, 0, 8, 15, "Mid-autumn"},
                {MEMO_KIND_ONCE, 2024, 12, 31, "23:30 Flight, seat 12A; gate \\ B"},
                {MEMO_KIND_ONCE, 2024, 3, 5, "Course"}},
            1, 1},
    };
    for (const auto& c : cases) {
        const std::string ics = ReadFile(fs::path(ALMANIX_SOURCE_DIR) / "tests/data/ical" / c.file);
        ASSERT_FALSE(ics.empty()) << c.file;
        std::vector<MemoItem> memos;
        ImportReport report;
        ASSERT_TRUE(ReadIcalMemos(ics, ImportOptions{}, memos, report)) << c.file << ": " << report.m_error;
        std::vector<Memo> got;
        for (const MemoItem& m : memos)
            got.emplace_back(m.m_nKind, m.m_nFileYear, m.m_nFileMonth, m.m_nSlot, almanix::GbToUtf8(m.m_text));
        EXPECT_EQ(got, c.memos) << c.file;
        EXPECT_EQ(report.m_nSimplified, c.nSimplified) << c.file;
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

TEST_F(IcalExchangeTest, AMalformedFileChangesNothing)
{
    const std::string folder = DefaultCalendarFolder();
    SetMemo(folder, 2024, 5, 1, "keep", 0);
    const auto before = FolderBytes("日历");
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "no BEGIN:VCALENDAR"},
        {"BEGIN:VEVENT\r\nEND:VEVENT\r\n", "line 1"},
        {"BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20240502\r\nSUMMARY:a\r\nEND:VEVENT\r\n",
            "line 1: BEGIN:VCALENDAR is never ended"},
        {"BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:2024-05-02\r\nSUMMARY:a\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
            "line 3"},
        {"BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY a\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n", "line 3"},
        {"BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VTODO\r\nEND:VCALENDAR\r\n", "line 3"},
        {"BEGIN:VCALENDAR\nX-A;P=\"unclosed:1\nEND:VCALENDAR\n", "line 2"},
    };
    for (const auto& c : cases) {
        ImportReport report;
        // A good event before the fault is not written either.
        const std::string text = std::string(c.text);
        EXPECT_EQ(ImportIcal(text, folder, ImportOptions{}, report), -1) << c.text;
        EXPECT_NE(report.m_error.find(c.error), std::string::npos) << c.text << " gave: " << report.m_error;
        EXPECT_EQ(FolderBytes("日历"), before) << c.text;
    }
}

}  // namespace
