// Arbitrary bytes as a downloaded holiday file: through the JSON reader and the year file's
// checks. A file taken marks only days near its year, each with a name of 1-64 bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzz_check.h"
#include "monthview/holiday_download.h"
#include "text/json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    almanix::JsonValue value;
    if (almanix::ParseJson(bytes, value)) {
        FUZZ_CHECK(value.m_kind != almanix::JsonValue::Kind::Object || value.m_keys.size() == value.m_items.size());
        int n = 0;
        value.AsInt(n);
    }
    CHolidayOverlay days;
    if (ReadHolidayYearFile(bytes, 2027, days) != HolidayFileFault::None)
        return 0;
    FUZZ_CHECK(!days.Years().empty());
    for (int nYear : days.Years()) {
        FUZZ_CHECK(nYear >= 2026 && nYear <= 2028);
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= 31; ++d) {
                const char* name = nullptr;
                if (days.Get(nYear, m, d, &name) != HOLIDAY_NONE)
                    FUZZ_CHECK(name && std::strlen(name) >= 1 && std::strlen(name) <= 64);
            }
    }
    return 0;
}
