// The modes of almanix-cal. Each takes the arguments after its own name and returns the
// exit status: 0 done, 1 output failed, 2 bad arguments (reported on stderr).
#pragma once

constexpr int EXIT_OUTPUT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// --days FROM TO [--step]
int RunDaysCommand(int argc, char** argv);
extern const char kDaysHelp[];

// Writes UTF-8 text to stdout: true when all of it went out.
bool WriteOutput(const char* data, unsigned long long nSize);
