#include "memo/memo_file.h"

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>

#include "text/gbcodec.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

FileFaultHook g_faultHook = nullptr;
// False after the memo folder could not be entered: memo and note files are then neither read
// nor written, rather than taken from whatever folder the program was started in.
bool g_bMemoFolderUsable = true;

bool Faulted(FileStep step) { return g_faultHook != nullptr && g_faultHook(step); }

// Bytes of the GB18030 character that starts at s[i]. Trail bytes may be 0x5C, which is
// then part of a character and never a folder separator.
std::size_t CharLength(std::string_view s, std::size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  if (lead < 0x81 || lead == 0xFF || i + 1 >= s.size()) return 1;
  const auto second = static_cast<unsigned char>(s[i + 1]);
  if (second >= 0x30 && second <= 0x39) return i + 4 <= s.size() ? 4 : s.size() - i;
  return 2;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Position just after the last folder separator of path, 0 when there is none.
std::size_t NameStart(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t n = CharLength(path, i);
    if (n == 1 && IsSeparator(path[i])) start = i + 1;
    i += n;
  }
  return start;
}

// The temporary file beside path: "~name.tmp" can never be a memo or note file name.
std::string TempPathFor(std::string_view path) {
  const std::size_t start = NameStart(path);
  std::string temp(path.substr(0, start));
  temp += '~';
  temp += path.substr(start);
  temp += ".tmp";
  return temp;
}

#ifdef _WIN32

const int kRetryCount = 5;  // tries when another program holds the file, ~50 ms apart

std::wstring NativePath(std::string_view gb) {
  const std::u16string wide = almanix::GbToUtf16(gb);
  return std::wstring(wide.begin(), wide.end());
}

bool IsBusy(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}

bool WriteAll(HANDLE file, const char* data, std::size_t length) {
  while (length > 0) {
    const DWORD chunk = length > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length);
    DWORD written = 0;
    if (Faulted(FileStep::Write)) {
      WriteFile(file, data, chunk / 2, &written, nullptr);
      return false;
    }
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    length -= written;
  }
  return true;
}

bool ReplaceWith(const std::wstring& temp, const std::wstring& target) {
  for (int attempt = 1;; ++attempt) {
    DWORD error = ERROR_SHARING_VIOLATION;
    if (!Faulted(FileStep::Replace)) {
      if (MoveFileExW(temp.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
      error = GetLastError();
    }
    if (!IsBusy(error) || attempt == kRetryCount) return false;
    Sleep(50);
  }
}

// A file the user marked read-only is not replaced or removed; Windows refuses the move and
// Wine performs it, so the answer must not depend on which one runs the program.
bool IsReadOnly(const std::wstring& native) {
  const DWORD attributes = GetFileAttributesW(native.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

int WriteReplacing(std::string_view path, const char* data, std::size_t length) {
  const std::wstring target = NativePath(path);
  if (IsReadOnly(target)) return -1;
  const std::wstring temp = NativePath(TempPathFor(path));
  HANDLE file = INVALID_HANDLE_VALUE;
  if (!Faulted(FileStep::Open))
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  bool ok = WriteAll(file, data, length);
  ok = ok && !Faulted(FileStep::Flush) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  ok = ok && ReplaceWith(temp, target);
  if (!ok) {
    DeleteFileW(temp.c_str());
    return -1;
  }
  return 0;
}

std::unique_ptr<char[]> ReadAll(std::string_view path, std::size_t& length) {
  HANDLE file = CreateFileW(NativePath(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size{};
  std::unique_ptr<char[]> buffer;
  if (GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
      static_cast<std::uint64_t>(size.QuadPart) < SIZE_MAX)
    buffer.reset(new (std::nothrow) char[static_cast<std::size_t>(size.QuadPart) + 1]);
  std::size_t total = 0;
  if (buffer) {
    const auto want = static_cast<std::size_t>(size.QuadPart);
    while (total < want) {
      const std::size_t left = want - total;
      const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
      DWORD got = 0;
      if (!ReadFile(file, buffer.get() + total, chunk, &got, nullptr)) {
        buffer.reset();
        break;
      }
      if (got == 0) break;  // the file shrank meanwhile
      total += got;
    }
  }
  CloseHandle(file);
  if (!buffer) return nullptr;
  buffer[total] = '\0';
  length = total;
  return buffer;
}

int RemovePath(std::string_view path) {
  const std::wstring native = NativePath(path);
  if (IsReadOnly(native)) return -1;
  for (int attempt = 1;; ++attempt) {
    DWORD error = ERROR_SHARING_VIOLATION;
    if (!Faulted(FileStep::Remove)) {
      if (DeleteFileW(native.c_str())) return 0;
      error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 0;
    }
    if (!IsBusy(error) || attempt == kRetryCount) return -1;
    Sleep(50);
  }
}

FileStamp StampOf(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(NativePath(path).c_str(), GetFileExInfoStandard, &data)) return FileStamp{};
  FileStamp stamp;
  stamp.m_nWriteTime = (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                       data.ftLastWriteTime.dwLowDateTime;
  stamp.m_nSize = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return stamp;
}

bool ChangeFolder(std::string_view path) {
  return SetCurrentDirectoryW(NativePath(path).c_str()) != 0;
}

bool MakeFolder(std::string_view path) {
  return CreateDirectoryW(NativePath(path).c_str(), nullptr) != 0;
}

#else  // POSIX

// The byte string is the file name; only the folder separator changes.
std::string NativePath(std::string_view gb) {
  std::string native(gb);
  for (std::size_t i = 0; i < native.size();) {
    const std::size_t n = CharLength(native, i);
    if (n == 1 && native[i] == '\\') native[i] = '/';
    i += n;
  }
  return native;
}

bool WriteAll(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    if (Faulted(FileStep::Write)) {
      [[maybe_unused]] ssize_t ignored = write(fd, data, length / 2);
      return false;
    }
    const ssize_t n = write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

// Makes the rename itself durable; the new content is already in place, so a failure
// here is not one of the write.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The same rule as on Windows: a file without write permission is not replaced or removed,
// whoever runs the program (root included).
bool IsReadOnly(const std::string& native) {
  struct stat info {};
  return stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

int WriteReplacing(std::string_view path, const char* data, std::size_t length) {
  const std::string target = NativePath(path);
  if (IsReadOnly(target)) return -1;
  const std::string temp = NativePath(TempPathFor(path));
  const int fd = Faulted(FileStep::Open)
                     ? -1
                     : open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  bool ok = WriteAll(fd, data, length);
  ok = ok && !Faulted(FileStep::Flush) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && !Faulted(FileStep::Replace) && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return -1;
  }
  SyncFolderOf(target);
  return 0;
}

std::unique_ptr<char[]> ReadAll(std::string_view path, std::size_t& length) {
  const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  std::unique_ptr<char[]> buffer;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
      static_cast<std::uint64_t>(info.st_size) < SIZE_MAX)
    buffer.reset(new (std::nothrow) char[static_cast<std::size_t>(info.st_size) + 1]);
  std::size_t total = 0;
  if (buffer) {
    const auto want = static_cast<std::size_t>(info.st_size);
    while (total < want) {
      const ssize_t n = read(fd, buffer.get() + total, want - total);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        buffer.reset();
        break;
      }
      if (n == 0) break;  // the file shrank meanwhile
      total += static_cast<std::size_t>(n);
    }
  }
  close(fd);
  if (!buffer) return nullptr;
  buffer[total] = '\0';
  length = total;
  return buffer;
}

int RemovePath(std::string_view path) {
  if (Faulted(FileStep::Remove) || IsReadOnly(NativePath(path))) return -1;
  return unlink(NativePath(path).c_str()) == 0 || errno == ENOENT ? 0 : -1;
}

FileStamp StampOf(std::string_view path) {
  struct stat info {};
  if (stat(NativePath(path).c_str(), &info) != 0) return FileStamp{};
  FileStamp stamp;
  stamp.m_nWriteTime = static_cast<unsigned long long>(info.st_mtim.tv_sec) * 1000000000ull +
                       static_cast<unsigned long long>(info.st_mtim.tv_nsec);
  stamp.m_nSize = static_cast<unsigned long long>(info.st_size);
  return stamp;
}

bool ChangeFolder(std::string_view path) { return chdir(NativePath(path).c_str()) == 0; }

bool MakeFolder(std::string_view path) { return mkdir(NativePath(path).c_str(), 0777) == 0; }

#endif

}  // namespace

int EnterFolder(const char* path) {
  if (path == nullptr || *path == '\0') return -1;
  if (ChangeFolder(path)) return 0;
  MakeFolder(path);
  return ChangeFolder(path) ? 0 : -1;
}

int WriteWholeFile(const char* path, const void* data, std::size_t length) {
  if (!g_bMemoFolderUsable || path == nullptr || *path == '\0' || (data == nullptr && length > 0)) return -1;
  return WriteReplacing(path, static_cast<const char*>(data), length);
}

std::unique_ptr<char[]> ReadWholeFile(const char* path, std::size_t& length) {
  length = 0;
  if (!g_bMemoFolderUsable || path == nullptr || *path == '\0') return nullptr;
  return ReadAll(path, length);
}

FileStamp GetFileStamp(const char* path) {
  if (!g_bMemoFolderUsable || path == nullptr || *path == '\0') return FileStamp{};
  return StampOf(path);
}

int RemoveFile(const char* path) {
  if (!g_bMemoFolderUsable || path == nullptr || *path == '\0') return -1;
  return RemovePath(path);
}

int PrepareMemoFolder(const char* documentsFolder) {
  if (documentsFolder == nullptr || *documentsFolder == '\0') return -1;
  std::string memoFolder = documentsFolder;
  if (NameStart(memoFolder) != memoFolder.size()) memoFolder += '\\';
  memoFolder += MEMO_FOLDER_NAME;
  g_bMemoFolderUsable = EnterFolder(memoFolder.c_str()) == 0;
  if (!g_bMemoFolderUsable) return -1;

  int result = 0;
  for (const char* sub : {MEMO_CALENDAR_FOLDER, MEMO_NOTE_FOLDER}) {
    // Only step back out of a subfolder that was entered: ".." from the memo folder
    // itself would leave it.
    if (EnterFolder(sub) != 0) {
      result = -1;
      continue;
    }
    if (EnterFolder("..") != 0) return -1;
  }
  return result;
}

void SetFileFaultHook(FileFaultHook hook) { g_faultHook = hook; }

void SetMemoFolderUsable(bool usable) { g_bMemoFolderUsable = usable; }
