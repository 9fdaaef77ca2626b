#include "memo/memo_store.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "memo/memo_file.h"

namespace {

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return r | (g << 8) | (b << 16);
}

// Record layout: slot index (int16), text length (uint16), flags (uint32), text bytes.
constexpr std::size_t kTagSize = 2;
constexpr std::size_t kHeaderSize = 8;

std::uint16_t ReadU16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

unsigned char* WriteU16(unsigned char* p, std::uint16_t value)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    return p + 2;
}

unsigned char* WriteU32(unsigned char* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
    return p + 4;
}

}  // namespace

std::uint32_t GetMemoColor(std::uint32_t flags, int kind)
{
    if (flags & MEMO_CUSTOM_COLOR)
        return flags & 0x00FFFFFF;
    switch (kind) {
    case MEMO_KIND_ONCE:
        return Rgb(135, 206, 250);
    case MEMO_KIND_SOLAR_YEARLY:
        return Rgb(255, 0, 0);
    case MEMO_KIND_LUNAR_YEARLY:
        return Rgb(128, 0, 255);
    case MEMO_KIND_WEEKLY:
        return Rgb(255, 0, 0);
    default:
        return Rgb(0, 0, 255);
    }
}

// ---------------------------------------------------------------------------------------
// CMemoEntry

CMemoEntry::~CMemoEntry()
{
    delete[] m_pszText;
}

CMemoEntry::CMemoEntry(CMemoEntry&& other) noexcept
    : m_nLength(other.m_nLength), m_dwFlags(other.m_dwFlags), m_pszText(other.m_pszText)
{
    other.m_pszText = nullptr;
    other.m_nLength = 0;
    other.m_dwFlags = 0;
}

CMemoEntry& CMemoEntry::operator=(CMemoEntry&& other) noexcept
{
    if (this != &other) {
        delete[] m_pszText;
        m_nLength = std::exchange(other.m_nLength, 0);
        m_dwFlags = std::exchange(other.m_dwFlags, 0);
        m_pszText = std::exchange(other.m_pszText, nullptr);
    }
    return *this;
}

int CMemoEntry::Set(const char* text, int length, std::uint32_t flags)
{
    if (length < 0 || length > MEMO_MAX_TEXT_LENGTH)
        return -1;
    if (text == nullptr)
        length = 0;
    const bool hasText = length > 0 && text[0] != '\0';
    if (!hasText && !(flags & MEMO_CUSTOM_COLOR)) {
        Empty();
        return 0;
    }
    char* copy = new (std::nothrow) char[static_cast<std::size_t>(length) + 1];
    if (copy == nullptr)
        return -1;
    if (length > 0)
        std::memcpy(copy, text, static_cast<std::size_t>(length));
    copy[length] = '\0';
    delete[] m_pszText;
    m_pszText = copy;
    m_nLength = static_cast<std::uint16_t>(length);
    m_dwFlags = flags;
    return 0;
}

void CMemoEntry::Empty()
{
    delete[] m_pszText;
    m_pszText = nullptr;
    m_nLength = 0;
    m_dwFlags = 0;
}

// ---------------------------------------------------------------------------------------
// CMemoStore

int CMemoStore::Open(int year, int month, FileFreshness freshness)
{
    char name[sizeof m_szFile];
    const int n = std::snprintf(name, sizeof name, MEMO_MONTH_FILE_PATTERN, year, month);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof name)
        return -1;
    if (Reset(MEMO_MONTH_MAX_INDEX, name) != 0)
        return -1;
    return Load(freshness);
}

int CMemoStore::OpenWeek(FileFreshness freshness)
{
    if (Reset(MEMO_WEEK_MAX_INDEX, MEMO_WEEK_FILE) != 0)
        return -1;
    return Load(freshness);
}

int CMemoStore::Reset(int maxIndex, const char* fileName)
{
    m_pEntries.reset();
    m_nMaxIndex = -1;
    m_szFile[0] = '\0';
    m_stamp = FileStamp{};
    if (maxIndex < 0 || maxIndex > 0x7FFF || fileName == nullptr)
        return -1;
    const std::size_t length = std::strlen(fileName);
    if (length == 0 || length >= sizeof m_szFile)
        return -1;
    m_pEntries.reset(new (std::nothrow) CMemoEntry[static_cast<std::size_t>(maxIndex) + 1]);
    if (!m_pEntries)
        return -1;
    std::memcpy(m_szFile, fileName, length + 1);
    m_nMaxIndex = maxIndex;
    return 0;
}

void CMemoStore::Clear()
{
    if (!m_pEntries)
        return;
    for (int i = 0; i <= m_nMaxIndex; ++i)
        m_pEntries[i].Empty();
}

int CMemoStore::Load(FileFreshness freshness)
{
    if (!m_pEntries)
        return -1;
    Clear();
    // The stamp of the file as it is read: a change that lands later shows as another stamp.
    std::size_t size = 0;
    const std::unique_ptr<char[]> image = ReadWholeFile(m_szFile, size, &m_stamp, freshness);
    if (!image || size <= kTagSize)
        return 0;

    const auto* data = reinterpret_cast<const unsigned char*>(image.get());
    std::size_t pos = kTagSize;  // the tag's value is not looked at
    while (pos < size) {
        if (size - pos < kHeaderSize)
            return -1;
        const auto slot = static_cast<std::int16_t>(ReadU16(data + pos));
        const std::uint16_t length = ReadU16(data + pos + 2);
        const std::uint32_t flags = ReadU32(data + pos + 4);
        if (slot < 0 || slot > m_nMaxIndex)
            return -1;
        if (size - pos - kHeaderSize < length)
            return -1;
        m_pEntries[slot].Set(image.get() + pos + kHeaderSize, length, flags);
        pos += kHeaderSize + length;
    }
    return 0;
}

int CMemoStore::Save()
{
    if (!m_pEntries)
        return -1;
    std::size_t sum = 0;
    for (int i = 0; i <= m_nMaxIndex; ++i)
        if (m_pEntries[i].m_pszText != nullptr)
            sum += kHeaderSize + m_pEntries[i].m_nLength;
    if (sum == 0) {
        const int result = RemoveFile(m_szFile);
        m_stamp = GetFileStamp(m_szFile);
        return result;
    }

    const std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kTagSize + sum]);
    if (!buffer)
        return -1;
    unsigned char* p = WriteU16(buffer.get(), MEMO_FILE_TAG);
    for (int i = 0; i <= m_nMaxIndex; ++i) {
        const CMemoEntry& entry = m_pEntries[i];
        if (entry.m_pszText == nullptr)
            continue;
        p = WriteU16(p, static_cast<std::uint16_t>(i));
        p = WriteU16(p, entry.m_nLength);
        p = WriteU32(p, entry.m_dwFlags);
        std::memcpy(p, entry.m_pszText, entry.m_nLength);
        p += entry.m_nLength;
    }
    const int result = WriteWholeFile(m_szFile, buffer.get(), kTagSize + sum);
    m_stamp = GetFileStamp(m_szFile);
    return result;
}

int CMemoStore::SetEntry(int slot, const char* text, int length, std::uint32_t flags)
{
    if (!m_pEntries || slot < 0 || slot > m_nMaxIndex || length < 0 || length > MEMO_MAX_TEXT_LENGTH)
        return -1;
    // Another writer (the sync, another copy of the memo folder's files) changed the file since
    // it was read: its other slots are taken from the file as it is now, not written back old.
    if (GetFileStamp(m_szFile) != m_stamp)
        Load();
    if (m_pEntries[slot].Set(text, length, flags) != 0)
        return -1;
    return Save();
}
