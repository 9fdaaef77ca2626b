// Arbitrary bytes as a memo file. Loading must stay inside the file image and the slot
// array, keep only well-formed slots, and what it keeps must save and load back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "fuzz_check.h"
#include "memo/memo_file.h"
#include "memo/memo_store.h"
#include "scratch_folder.h"

namespace {

// A memo folder of our own, on tmpfs where there is one: every save flushes to disk.
bool EnterScratchFolder()
{
    static ScratchFolder folder("almanix-fuzz", access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    static const bool ready = folder.Ready() && EnterFolder(MEMO_CALENDAR_FOLDER) == 0 && EnterFolder("..") == 0;
    return ready;
}

void CheckSlots(const CMemoStore& store)
{
    for (int i = 0; i <= store.m_nMaxIndex; ++i) {
        const CMemoEntry& e = store.m_pEntries[i];
        if (e.m_pszText == nullptr) {
            FUZZ_CHECK(e.m_nLength == 0 && e.m_dwFlags == 0);
            continue;
        }
        FUZZ_CHECK(e.m_pszText[e.m_nLength] == '\0');
        // Without a chosen colour only a real text keeps a slot.
        FUZZ_CHECK((e.m_dwFlags & MEMO_CUSTOM_COLOR) || (e.m_nLength > 0 && e.m_pszText[0] != '\0'));
    }
}

bool SameSlots(const CMemoStore& a, const CMemoStore& b)
{
    if (a.m_nMaxIndex != b.m_nMaxIndex)
        return false;
    for (int i = 0; i <= a.m_nMaxIndex; ++i) {
        const CMemoEntry& x = a.m_pEntries[i];
        const CMemoEntry& y = b.m_pEntries[i];
        if ((x.m_pszText == nullptr) != (y.m_pszText == nullptr))
            return false;
        if (x.m_nLength != y.m_nLength || x.m_dwFlags != y.m_dwFlags)
            return false;
        if (x.m_pszText && std::memcmp(x.m_pszText, y.m_pszText, x.m_nLength) != 0)
            return false;
    }
    return true;
}

void LoadAndRoundTrip(const std::uint8_t* data, std::size_t size, bool week)
{
    char name[32];
    if (week)
        std::snprintf(name, sizeof name, "%s", MEMO_WEEK_FILE);
    else
        std::snprintf(name, sizeof name, MEMO_MONTH_FILE_PATTERN, 2024, 5);
    FUZZ_CHECK(WriteWholeFile(name, data, size) == 0);

    CMemoStore store;
    const int loaded = week ? store.OpenWeek() : store.Open(2024, 5);
    FUZZ_CHECK(loaded == 0 || loaded == -1);
    FUZZ_CHECK(store.m_nMaxIndex == (week ? 7 : 31));
    CheckSlots(store);

    // Saving what was kept gives a clean file that loads whole, to the same slots.
    FUZZ_CHECK(store.Save() == 0);
    CMemoStore again;
    FUZZ_CHECK((week ? again.OpenWeek() : again.Open(2024, 5)) == 0);
    FUZZ_CHECK(SameSlots(store, again));
    FUZZ_CHECK(RemoveFile(name) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!EnterScratchFolder())
        std::abort();
    LoadAndRoundTrip(data, size, false);
    LoadAndRoundTrip(data, size, true);
    return 0;
}
