// The codec for the W functions of Windows, where wchar_t is a UTF-16 unit.
#pragma once

#include <string>
#include <string_view>

#include "text/gbcodec.h"

static_assert(sizeof(wchar_t) == 2, "gbcodec_win.h is for Windows, where wchar_t holds UTF-16");

namespace almanix {

// Same as GbToUtf16 / Utf16ToGb, straight into and out of std::wstring (no extra copy).
std::wstring GbToWide(std::string_view gb);
std::string WideToGb(std::wstring_view text);

}  // namespace almanix
