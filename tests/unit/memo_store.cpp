// Memo store: file bytes, loading of damaged files, limits and colours.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "scratch_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return r | (g << 8) | (b << 16);
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

// A fresh memo folder with its calendar subfolder as the current directory.
class MemoStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.Ready());
        fs::create_directory("日历");
    }
    void TearDown() override { SetFileFaultHook(nullptr); }

    // The file as the system sees it ("/" between folders on this platform).
    static std::optional<std::string> ReadRaw(const std::string& name)
    {
        std::ifstream in("日历/" + name, std::ios::binary);
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteRaw(const std::string& name, const std::string& bytes)
    {
        std::ofstream out("日历/" + name, std::ios::binary);
        out << bytes;
    }
    static std::vector<std::string> Listing()
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator("日历"))
            names.push_back(e.path().filename());
        return names;
    }

    ScratchFolder folder_{"almanix-memo"};
};

struct SlotValue {
    int slot;
    std::string text;
    std::uint32_t flags;
};

void ExpectSlots(const CMemoStore& store, const std::vector<SlotValue>& expected)
{
    for (int i = 0; i <= store.m_nMaxIndex; ++i) {
        const CMemoEntry& e = store.m_pEntries[i];
        const SlotValue* want = nullptr;
        for (const auto& v : expected)
            if (v.slot == i)
                want = &v;
        if (want == nullptr) {
            EXPECT_EQ(e.m_pszText, nullptr) << "slot " << i;
            continue;
        }
        ASSERT_NE(e.m_pszText, nullptr) << "slot " << i;
        EXPECT_EQ(std::string(e.m_pszText, e.m_nLength), want->text) << "slot " << i;
        EXPECT_EQ(e.m_pszText[e.m_nLength], '\0') << "slot " << i;
        EXPECT_EQ(e.m_dwFlags, want->flags) << "slot " << i;
    }
}

TEST_F(MemoStoreTest, WritesFilesByteForByte)
{
    const std::uint32_t green = MEMO_CUSTOM_COLOR | Rgb(0, 255, 0);
    struct Case {
        const char* name;
        bool week;
        std::vector<SlotValue> sets;
        std::optional<std::string> file;  // nullopt: no file
    } cases[] = {
        {"one record", false, {{5, "ab", 0}}, Bytes({0x64, 0, 5, 0, 2, 0, 0, 0, 0, 0, 0x61, 0x62})},
        {"colour only", false, {{3, "", green}}, Bytes({0x64, 0, 3, 0, 0, 0, 0x00, 0xFF, 0x00, 0x01})},
        {"colour with text", false, {{31, "x", MEMO_CUSTOM_COLOR | Rgb(1, 2, 3)}},
            Bytes({0x64, 0, 31, 0, 1, 0, 1, 2, 3, 1, 'x'})},
        {"ascending slots", false, {{20, "b", 0}, {1, "a", 0}},
            Bytes({0x64, 0, 1, 0, 1, 0, 0, 0, 0, 0, 'a', 20, 0, 1, 0, 0, 0, 0, 0, 'b'})},
        {"last memo removed", false, {{5, "ab", 0}, {5, "", 0}}, std::nullopt},
        {"colour removed", false, {{5, "", green}, {5, "", 0}}, std::nullopt},
        {"text starting with NUL", false, {{5, std::string("\0z", 2), 0}}, std::nullopt},
        {"one of two removed", false, {{2, "a", 0}, {9, "b", 0}, {2, "", 0}},
            Bytes({0x64, 0, 9, 0, 1, 0, 0, 0, 0, 0, 'b'})},
        {"weekly", true, {{3, "w", 0}, {0, "s", 0}},
            Bytes({0x64, 0, 0, 0, 1, 0, 0, 0, 0, 0, 's', 3, 0, 1, 0, 0, 0, 0, 0, 'w'})},
        {"weekly slot 7", true, {{7, "", MEMO_CUSTOM_COLOR}}, Bytes({0x64, 0, 7, 0, 0, 0, 0, 0, 0, 1})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all("日历");
        fs::create_directory("日历");
        CMemoStore store;
        ASSERT_EQ(c.week ? store.OpenWeek() : store.Open(2024, 5), 0);
        for (const auto& s : c.sets)
            EXPECT_EQ(store.SetEntry(s.slot, s.text.data(), static_cast<int>(s.text.size()), s.flags), 0);
        EXPECT_EQ(ReadRaw(c.week ? "week" : "202405"), c.file);
        EXPECT_EQ(Listing().size(), c.file ? 1u : 0u);
    }
}

TEST_F(MemoStoreTest, ColourOnlySlotKeepsItsColourAndNoText)
{
    CMemoStore store;
    store.Open(2024, 5);
    ASSERT_EQ(store.SetEntry(7, "", 0, MEMO_CUSTOM_COLOR | Rgb(0, 255, 0)), 0);
    CMemoStore again;
    ASSERT_EQ(again.Open(2024, 5), 0);
    const CMemoEntry& e = again.m_pEntries[7];
    ASSERT_NE(e.m_pszText, nullptr);
    EXPECT_EQ(e.m_nLength, 0);
    EXPECT_EQ(GetMemoColor(e.m_dwFlags, MEMO_KIND_ONCE), Rgb(0, 255, 0));
}

TEST_F(MemoStoreTest, TextsRoundTripUnchanged)
{
    const std::string texts[] = {
        "第一行\r\n第二行",          // GBK with CR LF
        "乗\\",                      // a trail byte that looks like a backslash
        std::string("a\0b", 3),      // NUL inside a text
        std::string(65535, '\xb0'),  // the longest text a record holds
        "€𠀀",                       // GB18030 four-byte sequences
    };
    for (const auto& text : texts) {
        CMemoStore store;
        store.Open(0, 8);
        ASSERT_EQ(store.SetEntry(15, text.data(), static_cast<int>(text.size()), 0), 0);
        const auto file = ReadRaw("008");
        ASSERT_TRUE(file);
        EXPECT_EQ(file->size(), 2 + 8 + text.size());
        EXPECT_EQ(file->substr(10), text);
        CMemoStore again;
        ASSERT_EQ(again.Open(0, 8), 0);
        ExpectSlots(again, {{15, text, 0}});
    }
}

TEST_F(MemoStoreTest, LoadsWellFormedAndDamagedFiles)
{
    const std::string a = Bytes({1, 0, 1, 0, 0, 0, 0, 0, 'a'});
    const std::string b = Bytes({2, 0, 1, 0, 0, 0, 0, 0, 'b'});
    const std::string tag = Bytes({0x64, 0});
    struct Case {
        const char* name;
        bool week;
        std::string file;
        int result;
        std::vector<SlotValue> slots;
    } cases[] = {
        {"empty file", false, "", 0, {}},
        {"tag only", false, tag, 0, {}},
        {"one byte", false, "d", 0, {}},
        {"two records", false, tag + a + b, 0, {{1, "a", 0}, {2, "b", 0}}},
        {"other tag", false, Bytes({0x99, 0x99}) + a, 0, {{1, "a", 0}}},
        {"later record wins", false, tag + a + Bytes({1, 0, 2, 0, 5, 0, 0, 1, 'z', 'y'}), 0,
            {{1, "zy", MEMO_CUSTOM_COLOR | 5}}},
        {"later empty record empties", false, tag + a + Bytes({1, 0, 0, 0, 0, 0, 0, 0}), 0, {}},
        {"colour only", false, tag + Bytes({4, 0, 0, 0, 1, 2, 3, 1}), 0, {{4, "", MEMO_CUSTOM_COLOR | Rgb(1, 2, 3)}}},
        {"slot 31", false, tag + Bytes({31, 0, 1, 0, 0, 0, 0, 0, 'x'}), 0, {{31, "x", 0}}},
        {"slot 40 between", false, tag + a + Bytes({40, 0, 1, 0, 0, 0, 0, 0, 'x'}) + b, -1, {{1, "a", 0}}},
        {"slot 32", false, tag + a + Bytes({32, 0, 0, 0, 0, 0, 0, 1}), -1, {{1, "a", 0}}},
        {"negative slot", false, tag + a + Bytes({0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 'x'}) + b, -1, {{1, "a", 0}}},
        {"most negative slot", false, tag + a + Bytes({0x00, 0x80, 0, 0, 0, 0, 0, 1}), -1, {{1, "a", 0}}},
        {"length past the end", false, tag + a + Bytes({2, 0, 5, 0, 0, 0, 0, 0, 'b', 'c'}), -1, {{1, "a", 0}}},
        {"huge length", false, tag + a + Bytes({2, 0, 0xFF, 0xFF, 0, 0, 0, 0, 'b'}), -1, {{1, "a", 0}}},
        {"header cut short", false, tag + a + Bytes({2, 0, 1, 0, 0}), -1, {{1, "a", 0}}},
        {"one stray byte", false, tag + a + Bytes({2}), -1, {{1, "a", 0}}},
        {"weekly slot 8", true, tag + a + Bytes({8, 0, 0, 0, 0, 0, 0, 1}), -1, {{1, "a", 0}}},
        {"weekly slot 7", true, tag + Bytes({7, 0, 1, 0, 0, 0, 0, 0, 's'}), 0, {{7, "s", 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteRaw(c.week ? "week" : "202405", c.file);
        CMemoStore store;
        EXPECT_EQ(c.week ? store.OpenWeek() : store.Open(2024, 5), c.result);
        ExpectSlots(store, c.slots);
    }
}

TEST_F(MemoStoreTest, MissingFileOpensEmpty)
{
    CMemoStore store;
    EXPECT_EQ(store.Open(2024, 6), 0);
    EXPECT_EQ(store.m_nMaxIndex, 31);
    ExpectSlots(store, {});
    EXPECT_EQ(store.OpenWeek(), 0);
    EXPECT_EQ(store.m_nMaxIndex, 7);
    EXPECT_TRUE(Listing().empty());
}

TEST_F(MemoStoreTest, NextWriteDropsIgnoredRecords)
{
    WriteRaw("202405", Bytes({0x64, 0, 1, 0, 1, 0, 0, 0, 0, 0, 'a', 40, 0, 1, 0, 0, 0, 0, 0, 'x'}));
    CMemoStore store;
    ASSERT_EQ(store.Open(2024, 5), -1);
    ASSERT_EQ(store.SetEntry(3, "c", 1, 0), 0);
    EXPECT_EQ(ReadRaw("202405"), Bytes({0x64, 0, 1, 0, 1, 0, 0, 0, 0, 0, 'a', 3, 0, 1, 0, 0, 0, 0, 0, 'c'}));
}

TEST_F(MemoStoreTest, RefusesTextsTooLongForARecord)
{
    CMemoStore store;
    store.Open(2024, 5);
    ASSERT_EQ(store.SetEntry(9, "old", 3, 0), 0);
    const auto before = ReadRaw("202405");
    const std::string huge(65536, 'x');
    EXPECT_EQ(store.SetEntry(9, huge.data(), 65536, 0), -1);
    EXPECT_EQ(store.SetEntry(9, huge.data(), -1, 0), -1);
    EXPECT_EQ(store.SetEntry(10, huge.data(), 70000, 0), -1);
    ExpectSlots(store, {{9, "old", 0}});
    EXPECT_EQ(ReadRaw("202405"), before);
}

TEST_F(MemoStoreTest, RefusesSlotsOutsideTheStore)
{
    CMemoStore store;
    EXPECT_EQ(store.SetEntry(1, "a", 1, 0), -1);  // never opened
    store.OpenWeek();
    EXPECT_EQ(store.SetEntry(8, "a", 1, 0), -1);
    EXPECT_EQ(store.SetEntry(-1, "a", 1, 0), -1);
    EXPECT_TRUE(Listing().empty());
}

TEST_F(MemoStoreTest, FailedWriteKeepsOldFileAndNewSlot)
{
    CMemoStore store;
    store.Open(2024, 5);
    ASSERT_EQ(store.SetEntry(1, "old", 3, 0), 0);
    const auto before = ReadRaw("202405");
    SetFileFaultHook([](FileStep step) { return step == FileStep::Write; });
    EXPECT_EQ(store.SetEntry(1, "new text", 8, 0), -1);
    SetFileFaultHook(nullptr);
    EXPECT_EQ(ReadRaw("202405"), before);
    EXPECT_EQ(Listing(), std::vector<std::string>{"202405"});
    ExpectSlots(store, {{1, "new text", 0}});  // until the store is reopened
    ASSERT_EQ(store.Open(2024, 5), 0);
    ExpectSlots(store, {{1, "old", 0}});
}

// Another writer (the sync's worker) changes the file between two saves of a store: its slot
// survives the store's next save, which sets only its own slot.
TEST_F(MemoStoreTest, AnotherWritersChangeSurvivesTheNextSave)
{
    CMemoStore mine, theirs, check;
    ASSERT_EQ(mine.Open(2024, 5), 0);
    ASSERT_EQ(mine.SetEntry(1, "mine", 4, 0), 0);
    ASSERT_EQ(theirs.Open(2024, 5), 0);
    ASSERT_EQ(theirs.SetEntry(9, "theirs", 6, 0), 0);
    ASSERT_EQ(mine.SetEntry(2, "again", 5, 0), 0);
    ExpectSlots(mine, {{1, "mine", 0}, {2, "again", 0}, {9, "theirs", 0}});
    ASSERT_EQ(check.Open(2024, 5), 0);
    ExpectSlots(check, {{1, "mine", 0}, {2, "again", 0}, {9, "theirs", 0}});
}

// A store only shown may come from a read of the last second; a write on it must still keep
// what a writer outside this process put in the file since, whether the file was there or not.
TEST_F(MemoStoreTest, AWriteOnARecentReadKeepsAnOutsideWritersChange)
{
    const std::string mine = Bytes({0x64, 0, 1, 0, 4, 0, 0, 0, 0, 0, 'm', 'i', 'n', 'e'});
    const std::string theirs = Bytes({9, 0, 6, 0, 0, 0, 0, 0, 't', 'h', 'e', 'i', 'r', 's'});
    for (bool bThere : {true, false}) {
        SCOPED_TRACE(bThere ? "file there" : "file missing");
        fs::remove_all("日历");
        fs::create_directory("日历");
        if (bThere)
            WriteRaw("202405", mine);
        CMemoStore shown, again, check;
        ASSERT_EQ(shown.Open(2024, 5, FileFreshness::Recent), 0);
        WriteRaw("202405", bThere ? mine + theirs : Bytes({0x64, 0}) + theirs);
        fs::last_write_time("日历/202405", fs::file_time_type::clock::now() + std::chrono::hours(1));
        ASSERT_EQ(again.Open(2024, 5, FileFreshness::Recent), 0);
        ASSERT_EQ(again.SetEntry(2, "again", 5, 0), 0);
        ASSERT_EQ(check.Open(2024, 5), 0);
        std::vector<SlotValue> want = {{2, "again", 0}, {9, "theirs", 0}};
        if (bThere)
            want.push_back({1, "mine", 0});
        ExpectSlots(check, want);
    }
}

TEST_F(MemoStoreTest, FailedRemovalReportsAndKeepsFile)
{
    CMemoStore store;
    store.Open(2024, 5);
    ASSERT_EQ(store.SetEntry(1, "old", 3, 0), 0);
    SetFileFaultHook([](FileStep step) { return step == FileStep::Remove; });
    EXPECT_EQ(store.SetEntry(1, "", 0, 0), -1);
    SetFileFaultHook(nullptr);
    EXPECT_TRUE(ReadRaw("202405"));
}

TEST_F(MemoStoreTest, FileNamesOfEveryKind)
{
    struct Case {
        int year, month;
        const char* file;
    } cases[] = {
        {2024, 5, "202405"},
        {1, 5, "105"},
        {1, 12, "112"},
        {0, 8, "008"},
        {0, 1, "001"},
        {0, 12, "012"},
        {1900, 2, "190002"},
        {2049, 12, "204912"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CMemoStore store;
        ASSERT_EQ(store.Open(c.year, c.month), 0);
        EXPECT_STREQ(store.m_szFile, ("日历\\" + std::string(c.file)).c_str());
        ASSERT_EQ(store.SetEntry(1, "m", 1, 0), 0);
        EXPECT_TRUE(ReadRaw(c.file));
    }
    CMemoStore week;
    week.OpenWeek();
    EXPECT_STREQ(week.m_szFile, "日历\\week");
}

TEST_F(MemoStoreTest, EveryLunarMonthHasItsOwnStore)
{
    CMemoStore stores[12];
    for (int m = 1; m <= 12; ++m) {
        ASSERT_EQ(stores[m - 1].Open(0, m), 0);
        const std::string text(static_cast<std::size_t>(m), 'a' + m);
        ASSERT_EQ(stores[m - 1].SetEntry(m, text.data(), m, 0), 0);
    }
    for (int m = 1; m <= 12; ++m) {
        CMemoStore again;
        ASSERT_EQ(again.Open(0, m), 0);
        ExpectSlots(again, {{m, std::string(static_cast<std::size_t>(m), 'a' + m), 0}});
        ExpectSlots(stores[m - 1], {{m, std::string(static_cast<std::size_t>(m), 'a' + m), 0}});
    }
    EXPECT_EQ(Listing().size(), 12u);
}

TEST(MemoEntry, SetKeepsOrEmptiesTheSlot)
{
    struct Case {
        const char* name;
        const char* text;
        int length;
        std::uint32_t flags;
        bool occupied;
    } cases[] = {
        {"text", "abc", 3, 0, true},
        {"text prefix", "abcdef", 2, 0, true},
        {"null text", nullptr, 0, 0, false},
        {"null text with length", nullptr, 4, 0, false},
        {"empty text", "", 0, 0, false},
        {"leading NUL", "\0x", 2, 0, false},
        {"colour, no text", "", 0, MEMO_CUSTOM_COLOR, true},
        {"colour, null text", nullptr, 0, MEMO_CUSTOM_COLOR | 7, true},
        {"colour-looking bits only", "", 0, 0x00FFFFFF, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoEntry e;
        ASSERT_EQ(e.Set("previous", 8, MEMO_CUSTOM_COLOR | 9), 0);
        ASSERT_EQ(e.Set(c.text, c.length, c.flags), 0);
        if (!c.occupied) {
            EXPECT_EQ(e.m_pszText, nullptr);
            EXPECT_EQ(e.m_nLength, 0);
            EXPECT_EQ(e.m_dwFlags, 0u);  // as the file says once the slot is empty
            continue;
        }
        ASSERT_NE(e.m_pszText, nullptr);
        const int stored = c.text ? c.length : 0;
        EXPECT_EQ(e.m_nLength, stored);
        EXPECT_EQ(std::string(e.m_pszText, e.m_nLength), std::string(c.text ? c.text : "", stored));
        EXPECT_EQ(e.m_pszText[stored], '\0');
        EXPECT_EQ(e.m_dwFlags, c.flags);
    }
}

TEST(MemoEntry, SetFromItsOwnText)
{
    CMemoEntry e;
    e.Set("abcdef", 6, 0);
    ASSERT_EQ(e.Set(e.m_pszText + 2, 3, 0), 0);
    EXPECT_STREQ(e.m_pszText, "cde");
}

TEST(MemoColor, KindDefaultsAndCustomColours)
{
    struct Case {
        std::uint32_t flags;
        int kind;
        std::uint32_t colour;
    } cases[] = {
        {0, MEMO_KIND_ONCE, Rgb(135, 206, 250)},
        {0, MEMO_KIND_SOLAR_YEARLY, Rgb(255, 0, 0)},
        {0, MEMO_KIND_LUNAR_YEARLY, Rgb(128, 0, 255)},
        {0, MEMO_KIND_WEEKLY, Rgb(255, 0, 0)},
        {0, 5, Rgb(0, 0, 255)},
        {0, 0, Rgb(0, 0, 255)},
        {MEMO_CUSTOM_COLOR | Rgb(255, 0, 0), MEMO_KIND_ONCE, Rgb(255, 0, 0)},
        {Rgb(255, 0, 0), MEMO_KIND_ONCE, Rgb(135, 206, 250)},
        {MEMO_CUSTOM_COLOR, MEMO_KIND_LUNAR_YEARLY, 0},
        {0xFE000000u | MEMO_CUSTOM_COLOR | Rgb(1, 2, 3), 9, Rgb(1, 2, 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetMemoColor(c.flags, c.kind), c.colour) << std::hex << c.flags << " " << c.kind;
    EXPECT_EQ(MEMO_KIND_ONCE, 1);
    EXPECT_EQ(MEMO_KIND_WEEKLY, 4);
    EXPECT_EQ(MEMO_CUSTOM_COLOR, 0x01000000u);
    EXPECT_EQ(MEMO_FILE_TAG, 100);
}

}  // namespace
