// The memo file functions on Windows: the W functions with paths through the program's codec,
// so that no name depends on the system's code page.
#include <windows.h>

#include <cstdint>
#include <new>

#include "base/scoped_handle.h"
#include "memo/memo_file_platform.h"
#include "text/gbcodec.h"

namespace {

using memo_platform::Faulted;
using memo_platform::TempPathFor;

struct FileTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) { return CloseHandle(h) != 0; }
};
using CFile = CScopedHandle<FileTraits>;

const int kRetryCount = 5;  // tries when another program holds the file, ~50 ms apart

std::wstring NativePath(std::string_view gb)
{
    const std::u16string wide = almanix::GbToUtf16(gb);
    return std::wstring(wide.begin(), wide.end());
}

bool IsBusy(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

bool WriteAll(HANDLE file, const char* data, std::size_t length)
{
    while (length > 0) {
        const DWORD chunk = length > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length);
        DWORD written = 0;
        if (Faulted(FileStep::Write)) {
            WriteFile(file, data, chunk / 2, &written, nullptr);
            return false;
        }
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        length -= written;
    }
    return true;
}

bool ReplaceWith(const std::wstring& temp, const std::wstring& target)
{
    for (int attempt = 1;; ++attempt) {
        DWORD error = ERROR_SHARING_VIOLATION;
        if (!Faulted(FileStep::Replace)) {
            if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return true;
            error = GetLastError();
        }
        if (!IsBusy(error) || attempt == kRetryCount)
            return false;
        Sleep(50);
    }
}

// A file the user marked read-only is not replaced or removed; Windows refuses the move and
// Wine performs it, so the answer must not depend on which one runs the program.
bool IsReadOnly(const std::wstring& native)
{
    const DWORD attributes = GetFileAttributesW(native.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

namespace memo_platform {

int WriteReplacing(std::string_view path, const char* data, std::size_t length)
{
    const std::wstring target = NativePath(path);
    if (IsReadOnly(target))
        return -1;
    const std::wstring temp = NativePath(TempPathFor(path));
    CFile file;
    if (!Faulted(FileStep::Open))
        file.Reset(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return -1;
    bool ok = WriteAll(file.Get(), data, length);
    ok = ok && !Faulted(FileStep::Flush) && FlushFileBuffers(file.Get());
    ok = file.Close() && ok;
    ok = ok && ReplaceWith(temp, target);
    if (!ok) {
        DeleteFileW(temp.c_str());
        return -1;
    }
    return 0;
}

std::unique_ptr<char[]> ReadAll(std::string_view path, std::size_t& length, FileStamp& stamp)
{
    CFile file(
        CreateFileW(NativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return nullptr;
    // Size and write time from the open file, the stamp of exactly what is read. Two cheap
    // queries: GetFileInformationByHandle also asks for the volume, which costs Wine ~1 ms.
    LARGE_INTEGER size{};
    FILETIME written{};
    std::unique_ptr<char[]> buffer;
    if (GetFileSizeEx(file.Get(), &size) && GetFileTime(file.Get(), nullptr, nullptr, &written)) {
        stamp.m_nWriteTime =
            (static_cast<unsigned long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
        stamp.m_nSize = static_cast<unsigned long long>(size.QuadPart);
        if (size.QuadPart >= 0 && static_cast<std::uint64_t>(size.QuadPart) < SIZE_MAX)
            buffer.reset(new (std::nothrow) char[static_cast<std::size_t>(size.QuadPart) + 1]);
    }
    std::size_t total = 0;
    if (buffer) {
        const auto want = static_cast<std::size_t>(size.QuadPart);
        while (total < want) {
            const std::size_t left = want - total;
            const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
            DWORD got = 0;
            if (!ReadFile(file.Get(), buffer.get() + total, chunk, &got, nullptr)) {
                buffer.reset();
                break;
            }
            if (got == 0)
                break;  // the file shrank meanwhile
            total += got;
        }
    }
    file.Close();
    if (!buffer)
        return nullptr;
    buffer[total] = '\0';
    length = total;
    return buffer;
}

int RemovePath(std::string_view path)
{
    const std::wstring native = NativePath(path);
    if (IsReadOnly(native))
        return -1;
    for (int attempt = 1;; ++attempt) {
        DWORD error = ERROR_SHARING_VIOLATION;
        if (!Faulted(FileStep::Remove)) {
            if (DeleteFileW(native.c_str()))
                return 0;
            error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                return 0;
        }
        if (!IsBusy(error) || attempt == kRetryCount)
            return -1;
        Sleep(50);
    }
}

FileStamp StampOf(std::string_view path, bool* missing)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool found = GetFileAttributesExW(NativePath(path).c_str(), GetFileExInfoStandard, &data) != 0;
    if (missing) {
        const DWORD error = found ? ERROR_SUCCESS : GetLastError();
        *missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (!found)
        return FileStamp{};
    FileStamp stamp;
    stamp.m_nWriteTime = (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    stamp.m_nSize = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return stamp;
}

bool ChangeFolder(std::string_view path)
{
    return SetCurrentDirectoryW(NativePath(path).c_str()) != 0;
}

bool MakeFolder(std::string_view path)
{
    return CreateDirectoryW(NativePath(path).c_str(), nullptr) != 0;
}

}  // namespace memo_platform
