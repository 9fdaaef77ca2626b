// holiday-gen: writes src/engine/holiday_table.inc from the dataset in this folder.
//   holiday-gen DATASET [OUTPUT]   the table, to OUTPUT or to standard output
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "holiday_data.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: holiday-gen DATASET [OUTPUT]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::ostringstream json;
    json << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "holiday-gen: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<holidaydata::DayRecord> records;
    std::string error;
    if (!holidaydata::ReadDataset(json.str(), records, error)) {
        std::fprintf(stderr, "holiday-gen: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const std::string text = holidaydata::BuildTable(records);
    FILE* out = argc == 3 ? std::fopen(argv[2], "wb") : stdout;
    if (!out) {
        std::fprintf(stderr, "holiday-gen: cannot write %s\n", argv[2]);
        return 1;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const bool closed = argc == 3 ? std::fclose(out) == 0 : std::fflush(out) == 0;
    if (!ok || !closed) {
        std::fprintf(stderr, "holiday-gen: write failed\n");
        return 1;
    }
    return 0;
}
