// Reading the registry's text values as numbers, portably.
#pragma once

namespace almanix {

// Like atoi: leading white space, an optional sign, decimal digits up to the first other
// character; no digits gives 0. Out-of-range values saturate instead of overflowing.
int ParseDecimal(const char* text);

}  // namespace almanix
