// File functions: atomic replacement under injected failures, reading, removal, folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "memo/memo_file.h"
#include "scratch_folder.h"

namespace fs = std::filesystem;

namespace {

std::optional<std::string> ReadRaw(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteRaw(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::vector<std::string> Listing(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh temporary folder as the current directory.
class MemoFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.Ready());
        root_ = folder_.Path();
    }
    void TearDown() override
    {
        SetFileFaultHook(nullptr);
        SetMemoFolderUsable(true);
    }
    ScratchFolder folder_{"almanix-file"};
    fs::path root_;
};

TEST(MemoFolderNames, AreTheGbkNames)
{
    EXPECT_STREQ(MEMO_FOLDER_NAME, "我的记事");
    EXPECT_STREQ(MEMO_CALENDAR_FOLDER, "日历");
    EXPECT_STREQ(MEMO_NOTE_FOLDER, "备忘");
    EXPECT_STREQ(MEMO_MONTH_FILE_PATTERN, "日历\\%d%02d");
    EXPECT_STREQ(MEMO_WEEK_FILE, "日历\\week");
    EXPECT_STREQ(NOTE_FILE_PATTERN, "备忘\\%s");
}

TEST_F(MemoFileTest, WriteThenReadWholeFile)
{
    fs::create_directory("备忘");
    const std::string contents[] = {"", "x", std::string("a\0b\r\n", 5), std::string(200000, 'q')};
    for (const auto& data : contents) {
        ASSERT_EQ(WriteWholeFile("备忘\\default", data.data(), data.size()), 0);
        EXPECT_EQ(ReadRaw("备忘/default"), data);
        std::size_t length = 12345;
        const auto buffer = ReadWholeFile("备忘\\default", length);
        ASSERT_TRUE(buffer);
        EXPECT_EQ(length, data.size());
        EXPECT_EQ(std::string(buffer.get(), length), data);
        EXPECT_EQ(buffer[length], '\0');
        EXPECT_EQ(Listing("备忘"), std::vector<std::string>{"default"});
    }
}

// Reads are served from memory while the file's stamp is unchanged: what another writer does
// in between must still show, whatever the size.
TEST_F(MemoFileTest, ReadAgainSeesEveryOtherWriter)
{
    fs::create_directory("日历");
    const char* path = "日历\\202701";
    const fs::path raw = "日历/202701";
    struct Step {
        const char* what;
        std::optional<std::string> bytes;  // nullopt: the other writer removes the file
    };
    const Step steps[] = {{"first", "aaaa"}, {"same size", "bbbb"}, {"longer", "cccccc"}, {"removed", std::nullopt},
        {"back", "dddd"}, {"ours", "eeee"}};
    auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const Step& step : steps) {
        if (std::string_view(step.what) == "ours") {
            ASSERT_EQ(WriteWholeFile(path, step.bytes->data(), step.bytes->size()), 0);
        } else if (step.bytes) {
            WriteRaw(raw, *step.bytes);
            // A distinct write time, as any real later write has.
            stamp += std::chrono::seconds(1);
            fs::last_write_time(raw, stamp);
        } else {
            fs::remove(raw);
        }
        for (int read = 0; read < 2; ++read) {
            std::size_t length = 0;
            FileStamp seen;
            const auto buffer = ReadWholeFile(path, length, &seen);
            if (!step.bytes) {
                EXPECT_EQ(buffer, nullptr) << step.what;
                continue;
            }
            ASSERT_TRUE(buffer) << step.what;
            EXPECT_EQ(std::string(buffer.get(), length), *step.bytes) << step.what;
            EXPECT_EQ(seen, GetFileStamp(path)) << step.what;
        }
    }
}

// A read that overlaps a write (the window's thread while the sync's worker writes) must not
// leave what the write replaced for the next second's reads, whether the file was there or not.
TEST_F(MemoFileTest, ARecentReadAfterAWriteSeesTheWrite)
{
    static const char* const path = "overlap";
    for (bool bThere : {true, false}) {
        SCOPED_TRACE(bThere ? "file there" : "file missing");
        std::remove(path);
        if (bThere)
            WriteRaw(path, "old");
        ForgetFileReads();
        // The overlapping read, between the new bytes' flush and their move over the file.
        SetFileFaultHook([](FileStep step) {
            if (step == FileStep::Replace) {
                std::size_t length = 0;
                ReadWholeFile(path, length, nullptr, FileFreshness::Recent);
            }
            return false;
        });
        ASSERT_EQ(WriteWholeFile(path, "new", 3), 0);
        SetFileFaultHook(nullptr);
        std::size_t length = 0;
        const auto buffer = ReadWholeFile(path, length, nullptr, FileFreshness::Recent);
        ASSERT_TRUE(buffer);
        EXPECT_EQ(std::string(buffer.get(), length), "new");
    }
}

TEST_F(MemoFileTest, ReadOfMissingFileOrFolderGivesNothing)
{
    fs::create_directory("folder");
    for (const char* path : {"missing", "folder", "nowhere\\file", ""}) {
        std::size_t length = 7;
        EXPECT_EQ(ReadWholeFile(path, length), nullptr) << path;
        EXPECT_EQ(length, 0u) << path;
    }
}

TEST_F(MemoFileTest, TrailByteThatLooksLikeABackslashIsNoSeparator)
{
    // "乗" is 81 5C in GBK: one file name, not a folder 81 with a file in it.
    ASSERT_EQ(WriteWholeFile("乗", "z", 1), 0);
    EXPECT_EQ(Listing("."), std::vector<std::string>{u8"乗"});
    std::size_t length = 0;
    EXPECT_TRUE(ReadWholeFile("乗", length));
    EXPECT_EQ(RemoveFile("乗"), 0);
    EXPECT_TRUE(Listing(".").empty());
}

// Which call of which step fails; every failure must leave the old file whole and no
// temporary file behind.
struct Fault {
    FileStep step;
    int nth;  // 1 = the first call of that step
};
Fault g_fault;
int g_calls;

bool FailNth(FileStep step)
{
    return step == g_fault.step && ++g_calls == g_fault.nth;
}

TEST_F(MemoFileTest, FailedReplacementLeavesOldFileWhole)
{
    const Fault faults[] = {
        {FileStep::Open, 1},
        {FileStep::Write, 1},
        {FileStep::Write, 2},
        {FileStep::Flush, 1},
        {FileStep::Replace, 1},
    };
    const std::string old = "old contents";
    const std::string fresh(1 << 20, 'n');
    for (const auto& f : faults) {
        SCOPED_TRACE(static_cast<int>(f.step) * 10 + f.nth);
        for (bool existed : {true, false}) {
            fs::remove_all("日历");
            fs::create_directory("日历");
            if (existed)
                WriteRaw("日历/202405", old);
            g_fault = f;
            g_calls = 0;
            SetFileFaultHook(FailNth);
            const int result = WriteWholeFile("日历\\202405", fresh.data(), fresh.size());
            SetFileFaultHook(nullptr);
            if (f.step == FileStep::Write && f.nth == 2) {
                // One write call sufficed; the second never came.
                EXPECT_EQ(result, 0);
                EXPECT_EQ(ReadRaw("日历/202405"), fresh);
                continue;
            }
            EXPECT_EQ(result, -1);
            EXPECT_GE(g_calls, 1);
            if (existed) {
                EXPECT_EQ(ReadRaw("日历/202405"), old);
                EXPECT_EQ(Listing("日历"), std::vector<std::string>{"202405"});
            } else {
                EXPECT_TRUE(Listing("日历").empty());
            }
        }
    }
}

TEST_F(MemoFileTest, StaleTemporaryFileIsReplaced)
{
    fs::create_directory("日历");
    WriteRaw("日历/~week.tmp", "left over from a crash, and longer than the new file");
    ASSERT_EQ(WriteWholeFile("日历\\week", "new", 3), 0);
    EXPECT_EQ(ReadRaw("日历/week"), "new");
    EXPECT_EQ(Listing("日历"), std::vector<std::string>{"week"});
}

TEST_F(MemoFileTest, WriteIntoMissingFolderFails)
{
    EXPECT_EQ(WriteWholeFile("nowhere\\file", "a", 1), -1);
    EXPECT_TRUE(Listing(".").empty());
}

TEST_F(MemoFileTest, RemoveFile)
{
    WriteRaw("a", "1");
    EXPECT_EQ(RemoveFile("a"), 0);
    EXPECT_FALSE(fs::exists("a"));
    EXPECT_EQ(RemoveFile("a"), 0);  // already gone
    WriteRaw("b", "2");
    SetFileFaultHook([](FileStep step) { return step == FileStep::Remove; });
    EXPECT_EQ(RemoveFile("b"), -1);
    SetFileFaultHook(nullptr);
    EXPECT_TRUE(fs::exists("b"));
    fs::create_directory("d");
    EXPECT_EQ(RemoveFile("d"), -1);
    EXPECT_TRUE(fs::is_directory("d"));
}

TEST_F(MemoFileTest, EnterFolderCreatesOneLevel)
{
    ASSERT_EQ(EnterFolder("one"), 0);
    EXPECT_EQ(fs::current_path(), root_ / "one");
    EXPECT_EQ(EnterFolder(".."), 0);
    EXPECT_EQ(EnterFolder("two\\three"), -1);  // two levels missing
    EXPECT_EQ(fs::current_path(), root_);
    WriteRaw("file", "x");
    EXPECT_EQ(EnterFolder("file"), -1);
    EXPECT_EQ(fs::current_path(), root_);
    ASSERT_EQ(EnterFolder("one\\sub"), 0);
    EXPECT_EQ(fs::current_path(), root_ / "one" / "sub");
}

TEST_F(MemoFileTest, PrepareMemoFolderMakesFoldersAndEntersThem)
{
    fs::create_directory("docs");
    const std::string docs = (root_ / "docs").string();
    const fs::path memo = root_ / "docs" / u8"我的记事";
    for (const std::string& given : {docs, docs + "/", docs + "\\"}) {
        SCOPED_TRACE(given);
        fs::current_path(root_);
        ASSERT_EQ(PrepareMemoFolder(given.c_str()), 0);
        EXPECT_EQ(fs::current_path(), memo);
        EXPECT_EQ(Listing(memo), (std::vector<std::string>{u8"备忘", u8"日历"}));
    }
    // Memo files then resolve in the memo folder.
    ASSERT_EQ(WriteWholeFile("日历\\week", "w", 1), 0);
    EXPECT_EQ(ReadRaw(memo / u8"日历" / "week"), "w");
}

TEST_F(MemoFileTest, PrepareMemoFolderWithObstacles)
{
    struct Case {
        const char* name;
        const char* obstacle;  // a file where a folder should be, under docs
        int result;
        const char* cwd;  // under root
    } cases[] = {
        {"file for the memo folder", u8"我的记事", -1, "."},
        {"file for the calendar folder", u8"我的记事/日历", -1, u8"docs/我的记事"},
        {"file for the note folder", u8"我的记事/备忘", -1, u8"docs/我的记事"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::current_path(root_);
        fs::remove_all("docs");
        fs::create_directories(u8"docs/我的记事");
        if (std::strchr(c.obstacle, '/') == nullptr)
            fs::remove(u8"docs/我的记事");
        WriteRaw(fs::path("docs") / c.obstacle, "in the way");
        EXPECT_EQ(PrepareMemoFolder((root_ / "docs").string().c_str()), c.result);
        EXPECT_EQ(fs::current_path(), fs::weakly_canonical(root_ / c.cwd));
        fs::current_path(root_);
        EXPECT_EQ(ReadRaw(fs::path("docs") / c.obstacle), "in the way");
    }
    // The other subfolder is still made when one is blocked.
    EXPECT_TRUE(fs::is_directory(root_ / "docs" / u8"我的记事" / u8"日历"));
}

// Names on disk are UTF-8; folders and files an earlier version named in GBK bytes are used
// in place. Literals without u8 are those GBK bytes.
TEST_F(MemoFileTest, NamesAreUtf8AndOldGbkNamesStillServe)
{
    struct Case {
        const char* name;
        std::vector<std::string> folders;  // made first
        std::vector<std::string> files;    // made next, holding "old"
        std::string landed;                // where "日历\备忘" is read and written
    } cases[] = {
        {"new folder", {u8"日历"}, {}, u8"日历/备忘"},
        {"old folder, new file", {"日历"}, {}, "日历/" + std::string(u8"备忘")},
        {"old folder, old file", {"日历"}, {"日历/备忘"}, "日历/备忘"},
        {"both folders", {"日历", u8"日历"}, {u8"日历/备忘"}, u8"日历/备忘"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all("日历");
        fs::remove_all(u8"日历");
        for (const auto& folder : c.folders)
            fs::create_directory(folder);
        for (const auto& file : c.files)
            WriteRaw(file, "old");
        std::size_t length = 0;
        EXPECT_EQ(ReadWholeFile("日历\\备忘", length) != nullptr, !c.files.empty());
        ASSERT_EQ(WriteWholeFile("日历\\备忘", "new", 3), 0);
        EXPECT_EQ(ReadRaw(c.landed), "new");
        EXPECT_EQ(Listing(fs::path(c.landed).parent_path()).size(), 1u);
        EXPECT_EQ(GetFileStamp("日历\\备忘").m_nSize, 3u);
        EXPECT_EQ(RemoveFile("日历\\备忘"), 0);
        EXPECT_FALSE(fs::exists(c.landed));
    }
}

TEST_F(MemoFileTest, NoMemoFolderMeansNoMemoFilesAnywhere)
{
    // The folder the program started in happens to hold folders of the memo folder's names.
    fs::create_directories("日历");
    fs::create_directories("备忘");
    WriteRaw("备忘/default", "someone else's");
    fs::create_directories("docs");
    WriteRaw("docs/我的记事", "in the way");
    ASSERT_EQ(PrepareMemoFolder((root_ / "docs").string().c_str()), -1);
    EXPECT_EQ(WriteWholeFile("日历\\202405", "x", 1), -1);
    std::size_t length = 99;
    EXPECT_EQ(ReadWholeFile("备忘\\default", length), nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(RemoveFile("备忘\\default"), -1);
    EXPECT_TRUE(fs::is_empty("日历"));
    EXPECT_EQ(ReadRaw("备忘/default"), "someone else's");
    // Once the folder can be made, memo files work again.
    fs::remove("docs/我的记事");
    ASSERT_EQ(PrepareMemoFolder((root_ / "docs").string().c_str()), 0);
    EXPECT_EQ(WriteWholeFile("日历\\202405", "x", 1), 0);
}

TEST_F(MemoFileTest, ReadOnlyFileIsNeitherReplacedNorRemoved)
{
    fs::create_directories("日历");
    WriteRaw("日历/week", "old");
    fs::permissions("日历/week", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(WriteWholeFile("日历\\week", "new", 3), -1);
    EXPECT_EQ(RemoveFile("日历\\week"), -1);
    EXPECT_EQ(ReadRaw("日历/week"), "old");
    EXPECT_EQ(Listing(root_ / "日历"), (std::vector<std::string>{"week"}));
    fs::permissions("日历/week", fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(WriteWholeFile("日历\\week", "new", 3), 0);
    EXPECT_EQ(ReadRaw("日历/week"), "new");
}

TEST_F(MemoFileTest, PrepareMemoFolderWithoutDocumentsFolder)
{
    for (const std::string& documents : {(root_ / "missing").string(), std::string()}) {
        SCOPED_TRACE(documents);
        SetMemoFolderUsable(true);
        EXPECT_EQ(PrepareMemoFolder(documents.c_str()), -1);
        EXPECT_FALSE(IsMemoFolderUsable());
        // Nothing is written where the program started.
        EXPECT_EQ(WriteWholeFile("week", "x", 1), -1);
    }
    EXPECT_EQ(PrepareMemoFolder(nullptr), -1);
    EXPECT_EQ(fs::current_path(), root_);
    EXPECT_TRUE(Listing(root_).empty());
}

}  // namespace
