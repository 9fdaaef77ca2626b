// The modes of almanix-cal. Each takes the arguments after its own name and returns the
// exit status: 0 done, 1 output failed, 2 bad arguments (reported on stderr).
#pragma once

constexpr int EXIT_OUTPUT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// --days FROM TO [--step] [--memos DIR]
int RunDaysCommand(int argc, char** argv);
extern const char kDaysHelp[];

// export --memos DIR [--expand FROM-TO]; import FILE --memos DIR
int RunExportCommand(int argc, char** argv);
int RunImportCommand(int argc, char** argv);
extern const char kExportHelp[];
extern const char kImportHelp[];

// [YEAR [MONTH]] [--memos DIR]: the month grid; what runs when no mode is named.
int RunMonthCommand(int argc, char** argv);
extern const char kMonthHelp[];

// Makes szMemoFolder (a 我的记事 folder) the current directory and takes its holiday
// schedules: the user's 日历/节假日.txt and the downloads of 日历/节假日-下载 up to nLastYear.
// False, with the reason on stderr, when the folder cannot be entered.
bool EnterMemoFolder(const char* szMemoFolder, int nLastYear);

// Writes UTF-8 text to stdout: true when all of it went out.
bool WriteOutput(const char* data, unsigned long long nSize);
