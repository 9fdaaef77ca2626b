#include "memo/memo_file.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <vector>

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

// The files read last, by path, with the stamp they were read at. Opening a file costs Wine
// about 0.15 ms and a month switch reads six; a look at the stamp costs a twentieth of that.
// Any write or removal, and any change of folder, empties it; a stamp that differs from the
// cached one means another writer, and the file is read again. A Recent read skips even the
// look within a second of the last one, for files found missing too.
class CReadCache {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kRecent = std::chrono::seconds(1);

    // The bytes cached for path at stamp (the look just taken), or null.
    std::unique_ptr<char[]> Find(std::string_view path, const FileStamp& stamp, std::size_t& length)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Entry* e = Lookup(path);
        if (!e || e->m_bMissing || e->m_stamp != stamp)
            return nullptr;
        e->m_lookedAt = Clock::now();
        return CopyOf(*e, length);
    }
    // What a look at path less than kRecent ago found: true with the bytes and stamp, or with
    // null for a missing file; false when there was no such look.
    bool FindRecent(std::string_view path, std::unique_ptr<char[]>& bytes, std::size_t& length, FileStamp& stamp)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Entry* e = Lookup(path);
        if (!e || Clock::now() - e->m_lookedAt >= kRecent)
            return false;
        stamp = e->m_stamp;
        bytes = e->m_bMissing ? nullptr : CopyOf(*e, length);
        return e->m_bMissing || bytes != nullptr;
    }
    // Counts the clearings. A read that began before a write ended puts nothing: it may hold
    // what the write replaced, and a Recent read would take that for a second.
    unsigned Generation()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nGeneration;
    }
    void Put(unsigned generation, std::string_view path, const FileStamp& stamp, const char* data, std::size_t length)
    {
        if (length > kMaxFileBytes || stamp == FileStamp{})
            return;
        Insert(generation, Entry{std::string(path), stamp, std::string(data, length), false, Clock::now()});
    }
    void PutMissing(unsigned generation, std::string_view path)
    {
        Insert(generation, Entry{std::string(path), FileStamp{}, std::string(), true, Clock::now()});
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.clear();
        m_nBytes = 0;
        ++m_nGeneration;
    }

private:
    // A whole year's stores: going round the months again reads no file twice.
    static constexpr std::size_t kMaxFiles = 64;
    static constexpr std::size_t kMaxFileBytes = 64 * 1024;
    static constexpr std::size_t kMaxBytes = 512 * 1024;
    struct Entry {
        std::string m_path;
        FileStamp m_stamp;
        std::string m_bytes;
        bool m_bMissing;
        Clock::time_point m_lookedAt;
    };
    // The entry for path, moved to the front; null when there is none. Under the lock.
    Entry* Lookup(std::string_view path)
    {
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->m_path == path) {
                std::rotate(m_entries.begin(), it, it + 1);
                return &m_entries.front();
            }
        }
        return nullptr;
    }
    static std::unique_ptr<char[]> CopyOf(const Entry& e, std::size_t& length)
    {
        std::unique_ptr<char[]> copy(new (std::nothrow) char[e.m_bytes.size() + 1]);
        if (!copy)
            return nullptr;
        std::memcpy(copy.get(), e.m_bytes.data(), e.m_bytes.size());
        copy[e.m_bytes.size()] = '\0';
        length = e.m_bytes.size();
        return copy;
    }
    void Insert(unsigned generation, Entry entry)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (generation != m_nGeneration)
            return;
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->m_path == entry.m_path) {
                m_nBytes -= it->m_bytes.size();
                m_entries.erase(it);
                break;
            }
        }
        m_nBytes += entry.m_bytes.size();
        m_entries.insert(m_entries.begin(), std::move(entry));
        while (m_entries.size() > kMaxFiles || m_nBytes > kMaxBytes) {
            m_nBytes -= m_entries.back().m_bytes.size();
            m_entries.pop_back();
        }
    }
    std::mutex m_mutex;
    std::vector<Entry> m_entries;  // the most recently read first
    std::size_t m_nBytes = 0;
    unsigned m_nGeneration = 0;
};

CReadCache& ReadCache()
{
    static CReadCache cache;
    return cache;
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
    ForgetFileReads();
    if (ChangeFolder(path))
        return 0;
    MakeFolder(path);
    return ChangeFolder(path) ? 0 : -1;
}

int WriteWholeFile(const char* path, const void* data, std::size_t length)
{
    if (!g_bMemoFolderUsable || path == nullptr || *path == '\0' || (data == nullptr && length > 0))
        return -1;
    // Emptied when the write has ended: a read that began before that puts nothing.
    const int result = WriteReplacing(path, static_cast<const char*>(data), length);
    ReadCache().Clear();
    return result;
}

std::unique_ptr<char[]> ReadWholeFile(const char* path, std::size_t& length, FileStamp* stamp, FileFreshness freshness)
{
    length = 0;
    FileStamp ignored;
    FileStamp& out = stamp ? *stamp : ignored;
    out = FileStamp{};
    if (!g_bMemoFolderUsable || path == nullptr || *path == '\0')
        return nullptr;
    if (freshness == FileFreshness::Recent) {
        std::unique_ptr<char[]> recent;
        if (ReadCache().FindRecent(path, recent, length, out))
            return recent;
    }
    const unsigned generation = ReadCache().Generation();
    // Only a file the system says is not there is not opened: any other failed look falls
    // through to the read, which answers for itself.
    bool missing = false;
    const FileStamp now = StampOf(path, &missing);
    if (missing) {
        ReadCache().PutMissing(generation, path);
        return nullptr;
    }
    if (std::unique_ptr<char[]> cached = ReadCache().Find(path, now, length)) {
        out = now;
        return cached;
    }
    std::unique_ptr<char[]> image = ReadAll(path, length, out);
    if (image)
        ReadCache().Put(generation, path, out, image.get(), length);
    return image;
}

FileStamp GetFileStamp(const char* path)
{
    if (!g_bMemoFolderUsable || path == nullptr || *path == '\0')
        return FileStamp{};
    return StampOf(path);
}

void ForgetFileReads()
{
    ReadCache().Clear();
}

int RemoveFile(const char* path)
{
    if (!g_bMemoFolderUsable || path == nullptr || *path == '\0')
        return -1;
    const int result = RemovePath(path);
    ReadCache().Clear();
    return result;
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
