// Whole-file access for memo and note files, relative to the current directory.
// Paths are GB18030 byte strings with "\" between folders; on Windows they are converted to
// UTF-16 for the W calls, elsewhere the bytes are the file name and "\" becomes "/".
#pragma once

#include <cstddef>
#include <memory>

// The memo folder inside the documents folder, and its two subfolders (GBK bytes).
inline constexpr char MEMO_FOLDER_NAME[] = "\xce\xd2\xb5\xc4\xbc\xc7\xca\xc2";  // 我的记事
inline constexpr char MEMO_CALENDAR_FOLDER[] = "\xc8\xd5\xc0\xfa";              // 日历
inline constexpr char MEMO_NOTE_FOLDER[] = "\xb1\xb8\xcd\xfc";                  // 备忘

// File names relative to the memo folder: month files, the weekly file, note files.
inline constexpr char MEMO_MONTH_FILE_PATTERN[] = "\xc8\xd5\xc0\xfa\\%d%02d";  // 日历\%d%02d
inline constexpr char MEMO_WEEK_FILE[] = "\xc8\xd5\xc0\xfa\\week";             // 日历\week
inline constexpr char NOTE_FILE_PATTERN[] = "\xb1\xb8\xcd\xfc\\%s";            // 备忘\%s

// Changes into path; when that fails, creates path (one level) and tries once more.
// 0 when path is now the current directory, else -1.
int EnterFolder(const char* path);

// A file without write permission (read-only) is neither replaced nor removed: -1.
// Replaces path with length bytes of data atomically: a temporary file beside it is written,
// flushed to disk and moved over path. On -1 (open, write, flush or replace failed) path is
// untouched and the temporary file is gone.
int WriteWholeFile(const char* path, const void* data, std::size_t length);

// What tells a changed file from the one read before: its last write time and size. Both 0
// when there is no such file (or it cannot be looked at).
struct FileStamp {
    unsigned long long m_nWriteTime = 0;
    unsigned long long m_nSize = 0;
    bool operator==(const FileStamp& o) const { return m_nWriteTime == o.m_nWriteTime && m_nSize == o.m_nSize; }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
// How current a read must be. Checked looks at the file's stamp every time. Recent may give
// what this process read or found missing in the last second without looking again: for reads
// that only show a file, never for one that a write builds on (an older stamp then makes the
// write read again, see CMemoStore::SetEntry).
enum class FileFreshness { Checked, Recent };
// The whole file with a NUL byte appended (length does not count it), or null with length 0
// when the file cannot be opened or read. stamp, when given, gets the stamp of what was read,
// from the open file (no second look at the folder); {} when there is no file.
std::unique_ptr<char[]> ReadWholeFile(
    const char* path, std::size_t& length, FileStamp* stamp = nullptr, FileFreshness freshness = FileFreshness::Checked);

FileStamp GetFileStamp(const char* path);
// Makes every later read look at its file again: after files changed other than through these
// functions, or another folder was entered other than through EnterFolder.
void ForgetFileReads();

// Creates folder path (one level): 0 when it was made, -1 when not (it exists already, say).
int MakeSubfolder(const char* path);

// 0 when path no longer exists afterwards (removed, or there was none), else -1.
int RemoveFile(const char* path);

// Creates the memo folder "我的记事" in documentsFolder with its subfolders "日历" and "备忘"
// and makes it the current directory. -1 when the memo folder cannot be entered (the
// current directory is then unchanged) or a subfolder is missing and cannot be made (the
// memo folder is still the current directory).
// When there is no documents folder (null or empty) or the memo folder cannot be entered,
// the file functions below refuse every memo and
// note file (-1, or null) until a later call succeeds: nothing is read from or written to
// the folder the program happened to start in.
int PrepareMemoFolder(const char* documentsFolder);
// Sets what PrepareMemoFolder decides (for tests that make it fail).
void SetMemoFolderUsable(bool usable);
// False while memo and note files are refused because there is no memo folder.
bool IsMemoFolderUsable();

// Test seam: the steps of the file functions that can be made to fail.
enum class FileStep { Open, Write, Flush, Replace, Remove };
// When the hook returns true for a step, that step fails as if the system had refused it
// (a failed Write writes half of its bytes first). Null restores normal operation.
using FileFaultHook = bool (*)(FileStep step);
void SetFileFaultHook(FileFaultHook hook);
