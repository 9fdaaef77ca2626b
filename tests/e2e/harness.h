// What the end-to-end tests need to run almanix.exe as a user would and look at the result.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// One run of the program. The destructor ends it if it still runs.
class AlmanixRun {
public:
    ~AlmanixRun();
    // Starts almanix.exe (or, with testClock, the build whose clock SetTestClockOffset moves)
    // and waits until its calendar window is up and idle. False when it is not, in time.
    bool Start(bool testClock = false);
    // Starts the program on a desktop whose icon view is view, and waits until the calendar
    // has become a child of it. False when it does not, in time.
    bool StartEmbedded(HWND view);
    // Waits until what start-up leaves for after its first paint is done: the notebook or
    // its tab is there. False when it is not, in time.
    bool WaitForStartsLaterPart() const;
    // Starts the program without waiting for any window.
    bool StartNoWait() { return Launch(false); }
    DWORD ExitCode() const;
    HWND Main() const { return m_main; }
    DWORD Pid() const { return m_pi.dwProcessId; }
    bool Running() const;
    bool WaitForExit(DWORD timeoutMs);
    void Kill();
    // A top-level window of this run with the given class and title (null: any).
    HWND FindWindowOf(const wchar_t* cls, const wchar_t* title) const;
    // The notebook window (the one with the note's edit box), or null; does not wait.
    HWND FindNotebookNow() const;
    // The tab window ("本" or "历") of this run: the window whose button 1000 has that text.
    HWND FindTab(const wchar_t* text) const;

private:
    bool Launch(bool testClock);
    PROCESS_INFORMATION m_pi = {};
    HWND m_main = nullptr;
};

// Waits for cond, dispatching this thread's messages meanwhile. True when it came true.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = 10000);
// The program's path as Windows sees it (ALMANIX_EXE / ALMANIX_E2E_EXE from the build).
std::wstring ProgramPath(bool testClock = false);
// Shared with the test build's clock: seconds added to the local time.
void SetTestClockOffset(LONGLONG seconds);
// Moves the test build's clock so that its local time is now `local`.
void SetTestClockTo(const SYSTEMTIME& local);

// The folder the case's web server serves (scripts/e2e.sh starts one for Bulletin* and
// HolidayUpdate* cases), as Windows sees it.
std::wstring WebServerDir();
std::wstring DocumentsFolder();
std::wstring MemoFolder();  // DocumentsFolder()\我的记事
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);

// HKCU text values; "<none>" when absent.
std::wstring RegText(const wchar_t* key, const wchar_t* value);
void SetRegText(const wchar_t* key, const wchar_t* value, const wchar_t* text);
extern const wchar_t kSettingsKey[];
extern const wchar_t kRunKey[];

// Controls of the calendar window and its dialogs.
constexpr int kComboYear = 1034, kComboMonth = 1035, kMonthView = 107, kNoteEdit = 1047;

// Chooses a year and a month from the selectors' lists, as a user does.
void Choose(HWND main, int year, int month);
// Starts the calendar (AlmanixRun::Start), chooses May 2024 and returns its month view; null
// when the calendar did not start or has no view.
HWND StartOnMay2024(AlmanixRun& run);
// Types text into an edit, character by character.
void Type(HWND edit, const std::wstring& text);
// A click whose button release runs a modal dialog: posted, so the test is not held by it.
void PostClick(HWND hwnd, int x, int y);
inline void PostClick(HWND hwnd, POINT pt)
{
    PostClick(hwnd, pt.x, pt.y);
}
// A visible dialog of the run with this title, once it shows (null when it does not).
HWND WaitForDialog(AlmanixRun& run, const wchar_t* title);
// The title of the day memo dialog.
extern const wchar_t kMemoTitle[];
// Clicks point pt of the month view (a day's cell), as a user does, and returns the day memo
// dialog that opens, once it shows (null when it does not).
HWND OpenDayMemo(AlmanixRun& run, HWND view, POINT pt);
// The notebook window of the run (null when it does not exist in time).
HWND FindNotebook(AlmanixRun& run);
// Shows the notebook with a click on its tab, as a user does; the visible notebook, or null.
HWND OpenNotebook(AlmanixRun& run);
// The visible day tip of the run: a caption-less pop-up dialog that is neither the main
// window, a tab nor the notebook; null when none shows.
HWND VisibleTip(AlmanixRun& run);
// A tip's text after the day's almanac (its lines through the one that begins with 冲); the
// whole text when it has none.
std::wstring MemoLinesOf(const std::wstring& tip);
// DocumentsFolder()\我的记事\日历\name.
std::wstring CalendarFile(const wchar_t* name);
// One memo file record: slot (16 bits), text length (the text's own unless given), no
// flags, the text.
std::string MemoRecord(int slot, const std::string& text, unsigned length = ~0u);
// A whole memo file: the tag, then the records.
std::string MemoFile(const std::string& records);
// The top-left corner of day d's cell in May 2024 (day 1 a Wednesday), in view coordinates.
POINT CellOfMay2024(int d);
// The middle of that cell.
inline POINT DayOfMay2024(int d)
{
    POINT c = CellOfMay2024(d);
    return {c.x + 20, c.y + 12};
}
// The text of the tip shown once the pointer has come to day d of May 2024 from day 30 or 31
// (no holidays there); none when no tip shows.
std::wstring TipOfMay2024Day(AlmanixRun& run, HWND view, int d, const std::wstring& none);

// Waits until the screen shows day cell `cell` of the view (its top-left corner) in the
// one-off memo colour: the month has read its memo files again and repainted.
bool WaitForOneOffMark(HWND main, HWND view, POINT cell);

// What the screen shows of a window, to probe its pixels.
struct Picture {
    int w = 0, h = 0;
    std::vector<DWORD> px;
    bool Capture(HWND hwnd);
    COLORREF At(int x, int y) const;
    // Pixels in [l, r) x [t, b) within distance 60 of colour c (glyph edges are smoothed).
    int Count(int l, int t, int r, int b, COLORREF c) const;
};

// Clicks and pointer moves as the system delivers them to a window (client coordinates).
void MoveMouse(HWND hwnd, int x, int y);
void Click(HWND hwnd, int x, int y);
// Waits until the window has handled everything sent before (a round trip through its queue).
bool Sync(HWND hwnd, DWORD timeoutMs = 5000);
std::wstring TextOf(HWND hwnd);
// The texts of a dialog's static controls, one after another (a message box's message).
std::wstring StaticTexts(HWND dialog);
// The child of parent whose control id is id (ids like -1 included).
HWND ChildWithId(HWND parent, int id);
// The window's screen rectangle.
RECT RectOf(HWND hwnd);
// A pixel of what the screen shows at client point (x, y) of hwnd.
COLORREF PixelAt(HWND hwnd, int x, int y);
