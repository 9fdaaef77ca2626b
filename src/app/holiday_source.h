// Where the holiday schedules are downloaded from: "{year}" in the address stands for the year.
// The shipped program's is a build-time setting; the end-to-end test build asks this
// machine's own web server instead.
#pragma once

const char* HolidayUrlPattern();
