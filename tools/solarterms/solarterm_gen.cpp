// solarterm-gen: writes src/engine/solar_term_table.inc.
//   solarterm-gen [OUTPUT]             the table, to OUTPUT or to standard output
//   solarterm-gen --near-midnight SEC  every term within SEC seconds of local midnight, for review
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "solar_term_calc.h"

namespace {

int ListNearMidnight(double window)
{
    int count = 0;
    for (int y = solarterm::FIRST_YEAR; y <= solarterm::LAST_YEAR; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int k = 0; k < 2; ++k) {
                solarterm::TermMoment t;
                if (!solarterm::ComputeTermMoment(y, m, k, t)) {
                    std::fprintf(stderr, "solarterm-gen: no solution for %04d-%02d term %d\n", y, m, k + 1);
                    return 1;
                }
                const double s = t.m_dLocalSecond;
                if (s >= window && s <= 86400.0 - window)
                    continue;
                const int whole = static_cast<int>(s);
                std::printf("%04d-%02d-%02d %02d:%02d:%06.3f  %04d-%02d term %d  (table %02d:%02d, dT %.2f s)\n",
                    t.m_nYear, t.m_nMonth, t.m_nDay, whole / 3600, whole / 60 % 60, s - whole / 60 * 60, y, m, k + 1,
                    t.m_nHour, t.m_nMinute, t.m_dDeltaT);
                ++count;
            }
        }
    }
    std::printf("%d terms within %g s of midnight\n", count, window);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--near-midnight") == 0)
        return ListNearMidnight(std::atof(argv[2]));
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: solarterm-gen [OUTPUT] | --near-midnight SECONDS\n");
        return 2;
    }
    std::string text;
    if (!solarterm::BuildTermTable(text)) {
        std::fprintf(stderr, "solarterm-gen: a term did not settle\n");
        return 1;
    }
    FILE* out = argc == 2 ? std::fopen(argv[1], "wb") : stdout;
    if (!out) {
        std::fprintf(stderr, "solarterm-gen: cannot write %s\n", argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const bool closed = argc == 2 ? std::fclose(out) == 0 : std::fflush(out) == 0;
    if (!ok || !closed) {
        std::fprintf(stderr, "solarterm-gen: write failed\n");
        return 1;
    }
    return 0;
}
