// almanix-cal: prints what the calendar engine knows about days, and months as the calendar
// shows them.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

struct Command {
    const char* szFlag;
    int (*run)(int argc, char** argv);
    const char* szHelp;
};

const Command kCommands[] = {
    {"--days", RunDaysCommand, kDaysHelp},
    {"export", RunExportCommand, kExportHelp},
    {"import", RunImportCommand, kImportHelp},
};

void PrintHelp(std::FILE* f) {
    std::fputs("usage: almanix-cal [YEAR [MONTH]] [--memos DIR]\n"
               "       almanix-cal MODE ARGUMENTS\n\n",
               f);
    std::fputs(kMonthHelp, f);
    for (const Command& c : kCommands) {
        std::fputc('\n', f);
        std::fputs(c.szHelp, f);
    }
    std::fputs("\nalmanix-cal --help prints this text.\n", f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintHelp(stdout);
        return std::fflush(stdout) == 0 ? 0 : EXIT_OUTPUT_FAILED;
    }
    if (argc >= 2) {
        for (const Command& c : kCommands) {
            if (std::strcmp(argv[1], c.szFlag) == 0) return c.run(argc - 2, argv + 2);
        }
        if (std::strncmp(argv[1], "--", 2) == 0 && std::strcmp(argv[1], "--memos") != 0) {
            std::fprintf(stderr, "almanix-cal: unknown mode '%s'\n", argv[1]);
            PrintHelp(stderr);
            return EXIT_USAGE;
        }
    }
    return RunMonthCommand(argc - 1, argv + 1);
}

bool WriteOutput(const char* data, unsigned long long nSize) {
    return std::fwrite(data, 1, nSize, stdout) == nSize && std::fflush(stdout) == 0;
}
