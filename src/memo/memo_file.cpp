#include "memo/memo_file.h"

#include <string>
#include <string_view>

#include "memo/memo_file_platform.h"
#include "text/gbcodec.h"

namespace {

FileFaultHook g_faultHook = nullptr;
// False after the memo folder could not be entered: memo and note files are then neither read
// nor written, rather than taken from whatever folder the program was started in.
bool g_bMemoFolderUsable = true;

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Position just after the last folder separator of path, 0 when there is none.
std::size_t NameStart(std::string_view path)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size();) {
        // A 0x5C inside a character is no separator; the codec decides where characters end.
        const std::size_t n = almanix::GbCharLength(path, i);
        if (n == 1 && IsSeparator(path[i]))
            start = i + 1;
        i += n;
    }
    return start;
}

}  // namespace

namespace memo_platform {

bool Faulted(FileStep step)
{
    return g_faultHook != nullptr && g_faultHook(step);
}

std::string TempPathFor(std::string_view path)
{
    const std::size_t start = NameStart(path);
    std::string temp(path.substr(0, start));
    temp += '~';
    temp += path.substr(start);
    temp += ".tmp";
    return temp;
}

}  // namespace memo_platform

using namespace memo_platform;

int EnterFolder(const char* path)
{
    if (path == nullptr || *path == '\0')
        return -1;
    if (ChangeFolder(path))
        return 0;
    MakeFolder(path);
    return ChangeFolder(path) ? 0 : -1;
}

int WriteWholeFile(const char* path, const void* data, std::size_t length)
{
    if (!g_bMemoFolderUsable || path == nullptr || *path == '\0' || (data == nullptr && length > 0))
        return -1;
    return WriteReplacing(path, static_cast<const char*>(data), length);
}

std::unique_ptr<char[]> ReadWholeFile(const char* path, std::size_t& length, FileStamp* stamp)
{
    length = 0;
    FileStamp ignored;
    FileStamp& out = stamp ? *stamp : ignored;
    out = FileStamp{};
    if (!g_bMemoFolderUsable || path == nullptr || *path == '\0')
        return nullptr;
    return ReadAll(path, length, out);
}

FileStamp GetFileStamp(const char* path)
{
    if (!g_bMemoFolderUsable || path == nullptr || *path == '\0')
        return FileStamp{};
    return StampOf(path);
}

int RemoveFile(const char* path)
{
    if (!g_bMemoFolderUsable || path == nullptr || *path == '\0')
        return -1;
    return RemovePath(path);
}

int MakeSubfolder(const char* path)
{
    if (!g_bMemoFolderUsable || path == nullptr || *path == '\0')
        return -1;
    return memo_platform::MakeFolder(path) ? 0 : -1;
}

int PrepareMemoFolder(const char* documentsFolder)
{
    // No Documents folder: no memo folder either, rather than the folder the program started in.
    if (documentsFolder == nullptr || *documentsFolder == '\0') {
        g_bMemoFolderUsable = false;
        return -1;
    }
    std::string memoFolder = documentsFolder;
    if (NameStart(memoFolder) != memoFolder.size())
        memoFolder += '\\';
    memoFolder += MEMO_FOLDER_NAME;
    g_bMemoFolderUsable = EnterFolder(memoFolder.c_str()) == 0;
    if (!g_bMemoFolderUsable)
        return -1;

    int result = 0;
    for (const char* sub : {MEMO_CALENDAR_FOLDER, MEMO_NOTE_FOLDER}) {
        // Only step back out of a subfolder that was entered: ".." from the memo folder
        // itself would leave it.
        if (EnterFolder(sub) != 0) {
            result = -1;
            continue;
        }
        if (EnterFolder("..") != 0)
            return -1;
    }
    return result;
}

void SetFileFaultHook(FileFaultHook hook)
{
    g_faultHook = hook;
}

void SetMemoFolderUsable(bool usable)
{
    g_bMemoFolderUsable = usable;
}

bool IsMemoFolderUsable()
{
    return g_bMemoFolderUsable;
}
