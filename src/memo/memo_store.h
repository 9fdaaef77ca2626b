// The memos of one memo file held as an array of slots, written through to the file on
// every change.
#pragma once

#include <cstdint>
#include <memory>

#include "memo/memo_file.h"

// Memo kinds; each has its own files, slot meaning and default colour.
inline constexpr int MEMO_KIND_ONCE = 1;          // one Gregorian date; slot = day of month
inline constexpr int MEMO_KIND_SOLAR_YEARLY = 2;  // every year, Gregorian month and day
inline constexpr int MEMO_KIND_LUNAR_YEARLY = 3;  // every year, lunar month and day
inline constexpr int MEMO_KIND_WEEKLY = 4;        // one weekday; slot 0 = Sunday .. 6

// Bit 24 of a flags word: its bits 0-23 hold a colour (COLORREF) that the user chose.
inline constexpr std::uint32_t MEMO_CUSTOM_COLOR = 0x01000000;
// First two bytes of every memo file (little-endian); readers skip them.
inline constexpr std::uint16_t MEMO_FILE_TAG = 100;
// Highest slot of a month file and of the weekly file.
inline constexpr int MEMO_MONTH_MAX_INDEX = 31;
inline constexpr int MEMO_WEEK_MAX_INDEX = 7;
// Texts longer than this do not fit the 16-bit length field of a record.
inline constexpr int MEMO_MAX_TEXT_LENGTH = 0xFFFF;

// Colour of a memo: its own when the flags carry MEMO_CUSTOM_COLOR, else its kind's
// default. A COLORREF value (red in bits 0-7).
std::uint32_t GetMemoColor(std::uint32_t flags, int kind);

// One slot. Occupied when m_pszText is not null; an occupied slot with an empty text holds
// only a colour (MEMO_CUSTOM_COLOR set).
class CMemoEntry {
public:
    CMemoEntry() = default;
    ~CMemoEntry();
    CMemoEntry(const CMemoEntry&) = delete;
    CMemoEntry& operator=(const CMemoEntry&) = delete;
    CMemoEntry(CMemoEntry&& other) noexcept;
    CMemoEntry& operator=(CMemoEntry&& other) noexcept;

    // Stores length bytes of text (a NUL is appended) with flags. Without MEMO_CUSTOM_COLOR an
    // absent or empty text, or one starting with NUL, empties the slot (length and flags 0).
    // -1, and the slot unchanged, when length is negative or above MEMO_MAX_TEXT_LENGTH.
    int Set(const char* text, int length, std::uint32_t flags);
    // Empties the slot: no text, length 0, flags 0.
    void Empty();

    std::uint16_t m_nLength = 0;  // text bytes, the NUL not counted
    std::uint32_t m_dwFlags = 0;  // colour in bits 0-23, MEMO_CUSTOM_COLOR
    char* m_pszText = nullptr;    // owned, NUL-terminated; null for an empty slot
};

// One memo file in memory: slots 0..m_nMaxIndex. Empty (no slots, no file) until Open or
// OpenWeek; from then on every SetEntry rewrites or removes the file.
class CMemoStore {
public:
    CMemoStore() = default;
    CMemoStore(const CMemoStore&) = delete;
    CMemoStore& operator=(const CMemoStore&) = delete;
    CMemoStore(CMemoStore&&) noexcept = default;
    CMemoStore& operator=(CMemoStore&&) noexcept = default;

    // The month file "日历\<year><month, two digits>": year 0 with a lunar month number 1..12
    // for lunar-yearly memos, year 1 with a Gregorian month for Gregorian-yearly memos.
    // Returns Load's result.
    int Open(int year, int month, FileFreshness freshness = FileFreshness::Checked);
    // The weekly file "日历\week"; returns Load's result.
    int OpenWeek(FileFreshness freshness = FileFreshness::Checked);
    // Releases everything held and makes maxIndex + 1 empty slots for the file name.
    // -1 (and a store without slots) when maxIndex is negative or the name does not fit.
    int Reset(int maxIndex, const char* fileName);
    // Reads the file into the slots. 0 when it loaded whole (a missing file is an empty
    // store); -1 at a record that names no slot of this store (index negative or above
    // m_nMaxIndex), runs past the end of the file, or is cut short: the records before it
    // stay loaded, it and the rest are ignored. Recent: see ReadWholeFile.
    int Load(FileFreshness freshness = FileFreshness::Checked);
    // Writes the occupied slots to the file, or removes the file when there are none.
    // -1 when the file could not be replaced or removed: it then keeps its old content,
    // while the slots keep their new values.
    int Save();
    // Sets slot with CMemoEntry::Set and saves; when the file changed on disk since it was
    // read or written here, its slots are read again first, so no other writer's change to
    // another slot is undone. -1 with slot and file unchanged when slot is
    // out of range or the text is too long for a record; -1 from Save otherwise.
    int SetEntry(int slot, const char* text, int length, std::uint32_t flags);
    // Empties every slot (the file is not touched).
    void Clear();

    std::unique_ptr<CMemoEntry[]> m_pEntries;  // m_nMaxIndex + 1 slots
    char m_szFile[1040] = {};  // the file: relative to the memo folder, or absolute (MAX_PATH characters of GB18030)
    int m_nMaxIndex = -1;                      // 31 for a month file, 7 for the weekly file

private:
    FileStamp m_stamp;  // the file as last read or written
};
