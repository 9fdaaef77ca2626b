// Shared pieces of the month view tests: a fresh memo folder as the current directory, and a
// host that records what the model asks of its window.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "memo/memo_file.h"
#include "monthview/month_model.h"
#include "scratch_folder.h"
#include "text/gbcodec.h"

namespace monthview_test {

namespace fs = std::filesystem;

// A memo folder with its calendar subfolder, made the current directory for the test.
// Names in this file are GBK bytes, as the program's own ("日历" below is compiled so).
class MemoFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.Ready());
        fs::create_directory("日历");
    }

    // File "日历/<name>" as the system sees it, or nothing when it does not exist.
    static std::optional<std::string> ReadMemoFile(const std::string& name)
    {
        std::ifstream in("日历/" + name, std::ios::binary);
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // As a writer outside the program, seen by the next read at once.
    static void WriteMemoFile(const std::string& name, const std::string& bytes)
    {
        std::ofstream out("日历/" + name, std::ios::binary);
        out << bytes;
        ForgetFileReads();
    }
    static std::vector<std::string> MemoFiles()
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator("日历"))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchFolder m_folder{"almanix-monthview"};
};

// The bytes of a memo file holding the given records (slot, text, flags), in that order.
struct Record {
    int nSlot;
    std::string text;
    std::uint32_t dwFlags;
};
inline std::string MemoFileBytes(const std::vector<Record>& records)
{
    std::string s("\x64\x00", 2);
    for (const Record& r : records) {
        const auto put = [&s](std::uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                s += static_cast<char>((v >> (8 * i)) & 0xFF);
        };
        put(static_cast<std::uint32_t>(r.nSlot), 2);
        put(static_cast<std::uint32_t>(r.text.size()), 2);
        put(r.dwFlags, 4);
        s += r.text;
    }
    return s;
}

// Records the host calls in order: "today:0", "today:1", "title:<UTF-8>", "invalidate".
class FakeHost : public IMonthViewHost {
public:
    void ShowTodayButton(bool bShow) override { m_calls.push_back(bShow ? "today:1" : "today:0"); }
    void SetTitleText(const char* pszTitle) override { m_calls.push_back("title:" + almanix::GbToUtf8(pszTitle)); }
    void InvalidateView() override { m_calls.push_back("invalidate"); }

    std::vector<std::string> m_calls;
};

inline std::string Utf8(const char* gb)
{
    return gb ? almanix::GbToUtf8(gb) : std::string("(null)");
}

}  // namespace monthview_test
