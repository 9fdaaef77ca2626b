// The memo file functions on POSIX systems, where file names are UTF-8.
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "base/scoped_handle.h"
#include "memo/memo_file_platform.h"
#include "text/gbcodec.h"

namespace {

using memo_platform::Faulted;
using memo_platform::TempPathFor;

struct FdTraits {
    using Handle = int;
    static Handle Invalid() { return -1; }
    static bool Close(Handle fd) { return close(fd) == 0; }
};
using CFd = CScopedHandle<FdTraits>;

bool Exists(const std::string& native)
{
    struct stat info {};
    return lstat(native.c_str(), &info) == 0;
}

// One name of the program's GB18030 path as the file system spells it: UTF-8, unless only a
// name in the GBK bytes that earlier versions wrote exists, so old folders keep being used
// in place (a new file in an old folder lands beside its memos).
void AppendName(std::string& native, const std::string& gb)
{
    const std::string utf8 = almanix::GbToUtf8(gb);
    const std::size_t start = native.size();
    native += utf8;
    if (utf8 == gb || Exists(native))
        return;
    native.resize(start);
    native += gb;
    if (Exists(native))
        return;
    native.resize(start);
    native += utf8;
}

std::string NativePath(std::string_view gb)
{
    std::string native;
    std::string name;
    for (std::size_t i = 0; i < gb.size();) {
        const std::size_t n = almanix::GbCharLength(gb, i);
        if (n == 1 && (gb[i] == '\\' || gb[i] == '/')) {
            AppendName(native, name);
            native += '/';
            name.clear();
        } else {
            name.append(gb.substr(i, n));
        }
        i += n;
    }
    AppendName(native, name);
    return native;
}

bool WriteAll(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        if (Faulted(FileStep::Write)) {
            [[maybe_unused]] ssize_t ignored = write(fd, data, length / 2);
            return false;
        }
        const ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; the new content is already in place, so a failure
// here is not one of the write.
void SyncFolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    CFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.IsValid())
        fsync(fd.Get());
}

// The same rule as on Windows: a file without write permission is not replaced or removed,
// whoever runs the program (root included).
bool IsReadOnly(const std::string& native)
{
    struct stat info {};
    return stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

namespace memo_platform {

int WriteReplacing(std::string_view path, const char* data, std::size_t length)
{
    const std::string target = NativePath(path);
    if (IsReadOnly(target))
        return -1;
    const std::string temp = NativePath(TempPathFor(path));
    CFd fd(Faulted(FileStep::Open) ? -1 : open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.IsValid())
        return -1;
    bool ok = WriteAll(fd.Get(), data, length);
    ok = ok && !Faulted(FileStep::Flush) && fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && !Faulted(FileStep::Replace) && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return -1;
    }
    SyncFolderOf(target);
    return 0;
}

std::unique_ptr<char[]> ReadAll(std::string_view path, std::size_t& length, FileStamp& stamp)
{
    CFd fd(open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsValid())
        return nullptr;
    struct stat info {};
    std::unique_ptr<char[]> buffer;
    if (fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
        static_cast<std::uint64_t>(info.st_size) < SIZE_MAX) {
        buffer.reset(new (std::nothrow) char[static_cast<std::size_t>(info.st_size) + 1]);
        stamp.m_nWriteTime = static_cast<unsigned long long>(info.st_mtim.tv_sec) * 1000000000ull +
            static_cast<unsigned long long>(info.st_mtim.tv_nsec);
        stamp.m_nSize = static_cast<unsigned long long>(info.st_size);
    }
    std::size_t total = 0;
    if (buffer) {
        const auto want = static_cast<std::size_t>(info.st_size);
        while (total < want) {
            const ssize_t n = read(fd.Get(), buffer.get() + total, want - total);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                buffer.reset();
                break;
            }
            if (n == 0)
                break;  // the file shrank meanwhile
            total += static_cast<std::size_t>(n);
        }
    }
    fd.Close();
    if (!buffer)
        return nullptr;
    buffer[total] = '\0';
    length = total;
    return buffer;
}

int RemovePath(std::string_view path)
{
    if (Faulted(FileStep::Remove) || IsReadOnly(NativePath(path)))
        return -1;
    return unlink(NativePath(path).c_str()) == 0 || errno == ENOENT ? 0 : -1;
}

FileStamp StampOf(std::string_view path, bool* missing)
{
    struct stat info {};
    const bool found = stat(NativePath(path).c_str(), &info) == 0;
    if (missing)
        *missing = !found && (errno == ENOENT || errno == ENOTDIR);
    if (!found)
        return FileStamp{};
    FileStamp stamp;
    stamp.m_nWriteTime = static_cast<unsigned long long>(info.st_mtim.tv_sec) * 1000000000ull +
        static_cast<unsigned long long>(info.st_mtim.tv_nsec);
    stamp.m_nSize = static_cast<unsigned long long>(info.st_size);
    return stamp;
}

bool ChangeFolder(std::string_view path)
{
    return chdir(NativePath(path).c_str()) == 0;
}

bool MakeFolder(std::string_view path)
{
    return mkdir(NativePath(path).c_str(), 0777) == 0;
}

}  // namespace memo_platform
