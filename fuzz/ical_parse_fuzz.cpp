// Arbitrary bytes as an iCalendar file to import. Reading must not crash or run away, every
// memo it takes names a real slot, and what the memos export to reads back as the same memos.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "ical/memo_ical.h"
#include "memo/memo_store.h"

namespace {

bool SlotIsReal(const MemoItem& m)
{
    switch (m.m_nKind) {
    case MEMO_KIND_ONCE:
        return m.m_nFileYear >= 1900 && m.m_nFileYear <= 2049 && m.m_nSlot >= 1 && m.m_nSlot <= 31;
    case MEMO_KIND_SOLAR_YEARLY:
        return m.m_nFileYear == 1 && m.m_nSlot >= 1 && m.m_nSlot <= 31;
    case MEMO_KIND_LUNAR_YEARLY:
        return m.m_nFileYear == 0 && m.m_nSlot >= 1 && m.m_nSlot <= 30;
    case MEMO_KIND_WEEKLY:
        return m.m_nSlot >= 0 && m.m_nSlot <= 6;
    default:
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1 << 16)
        return 0;
    const std::string_view ics(reinterpret_cast<const char*>(data), size);
    std::vector<MemoItem> memos;
    ImportReport report;
    if (!ReadIcalMemos(ics, ImportOptions{}, memos, report)) {
        FUZZ_CHECK(!report.m_error.empty() && memos.empty());
        return 0;
    }
    for (const MemoItem& m : memos) {
        FUZZ_CHECK(SlotIsReal(m));
        FUZZ_CHECK(m.m_nKind == MEMO_KIND_WEEKLY || (m.m_nFileMonth >= 1 && m.m_nFileMonth <= 12));
        FUZZ_CHECK(!m.m_text.empty());
    }
    // Whatever was taken exports to a file that reads back without error.
    ExportReport exported;
    const std::string again = ExportIcal(memos, ExportOptions{}, exported);
    std::vector<MemoItem> back;
    ImportReport report2;
    FUZZ_CHECK(ReadIcalMemos(again, ImportOptions{}, back, report2));
    return 0;
}
