// What the memo file functions need of the system, one implementation per platform
// (memo_file_w32.cpp, memo_file_posix.cpp). Paths are the program's byte strings, relative to
// the current directory, with '\\' between folders.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "memo/memo_file.h"

namespace memo_platform {

// True when the test hook makes this step fail.
bool Faulted(FileStep step);
// The temporary file beside path: "~name.tmp" can never be a memo or note file name.
std::string TempPathFor(std::string_view path);

// Writes data to the temporary file beside path, flushes it to disk and moves it over path.
// -1 with path untouched and no temporary file left, or 0.
int WriteReplacing(std::string_view path, const char* data, std::size_t length);
// The whole file with a NUL appended (length without it), or null; stamp: the open file's.
std::unique_ptr<char[]> ReadAll(std::string_view path, std::size_t& length, FileStamp& stamp);
// 0 when path is gone afterwards (also when there was none), else -1.
int RemovePath(std::string_view path);
// The file's last write time and size; both 0 when there is none. *missing, when given, is
// true only when the system said that nothing is there (not when the look failed otherwise).
FileStamp StampOf(std::string_view path, bool* missing = nullptr);
bool ChangeFolder(std::string_view path);
bool MakeFolder(std::string_view path);

}  // namespace memo_platform
