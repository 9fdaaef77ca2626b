// kill_soak [SECONDS]: the real almanix.exe, killed with TerminateProcess at random moments
// while it saves, round after round for SECONDS (default 40; half notebook, half memos).
//
// Notebook: text goes into the notebook's edit (EM_REPLACESEL, WM_CHAR), each change a save
// of the whole note. Memos: the day memo dialog of a day of May 2024 is opened, given new
// one-off and yearly texts and confirmed, each confirmation a save of two memo files.
// A change counts as written once the program has answered its message. After every kill
// the note and the memo files must each be exactly the version of the last written change
// or of the one under way; a temporary file may be left, but only under a name that no data
// file has. Prints rounds, kills and files checked; exits 1 on the first file that is
// neither version.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "harness.h"
#include "text/gbcodec.h"

namespace {

const int kOnce = 1029, kSolarYearly = 1030;
const int kMonthView = 107;

std::mt19937 g_rng(std::random_device{}());

int Random(int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(g_rng);
}

std::string Gb(const std::wstring& text)
{
    return almanix::Utf16ToGb(std::u16string(text.begin(), text.end()));
}

// A file's content, or its absence.
struct Version {
    bool exists = false;
    std::string bytes;
    bool operator==(const Version& o) const { return exists == o.exists && bytes == o.bytes; }
};

Version ReadVersion(const std::wstring& path)
{
    Version v;
    v.exists = FileExists(path);
    if (v.exists)
        v.bytes = ReadBytes(path);
    return v;
}

std::string Describe(const Version& v)
{
    return v.exists ? std::to_string(v.bytes.size()) + " bytes" : std::string("no file");
}

struct Tally {
    long rounds = 0, kills = 0, files = 0, saves = 0, inFlightLanded = 0, temps = 0;
};

// Ends the process after delayMs, as a crash or a power cut would: no chance to finish.
std::thread KillLater(DWORD pid, DWORD delayMs, Tally* tally)
{
    return std::thread([pid, delayMs, tally] {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!process)
            return;
        // The wait is the random moment of the kill.
        if (WaitForSingleObject(process, delayMs) == WAIT_TIMEOUT && TerminateProcess(process, 9))
            ++tally->kills;
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
    });
}

// Every entry of folder is one of names or "~<name>.tmp" for one of them.
bool OnlyKnownNames(const std::wstring& folder, const std::set<std::wstring>& names, long* temps)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return true;
    bool ok = true;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (name.size() > 5 && name[0] == L'~' && name.compare(name.size() - 4, 4, L".tmp") == 0 &&
            names.count(name.substr(1, name.size() - 5))) {
            ++*temps;
        } else if (!names.count(name)) {
            std::printf("unexpected file %ls\\%ls\n", folder.c_str(), name.c_str());
            ok = false;
        }
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return ok;
}

// A text for the notebook or a memo: letters, digits, Chinese and line breaks.
std::wstring RandomText(int length)
{
    static const wchar_t kChars[] = L"abcxyz 0123456789中文农历备忘日历";
    std::wstring text;
    while (static_cast<int>(text.size()) < length) {
        if (Random(0, 30) == 0)
            text += L"\r\n";
        else
            text += kChars[Random(0, static_cast<int>(wcslen(kChars)) - 1)];
    }
    return text;
}

// A position in text that does not split a line break.
int WholePosition(const std::wstring& text, int pos)
{
    if (pos > 0 && pos < static_cast<int>(text.size()) && text[pos - 1] == L'\r')
        ++pos;
    return pos;
}

bool Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result = nullptr)
{
    DWORD_PTR r = 0;
    return SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_NORMAL, 10000, result ? result : &r) != 0;
}

// The whole text of a window of another process; false when it does not answer.
bool WholeText(HWND hwnd, std::wstring* text)
{
    DWORD_PTR length = 0;
    if (!Send(hwnd, WM_GETTEXTLENGTH, 0, 0, &length))
        return false;
    std::wstring buf(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!Send(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(buf.data()), &got))
        return false;
    buf.resize(got);
    *text = buf;
    return true;
}

// The notebook: returns false at the first file that is no complete version.
bool SoakNotebook(DWORD seconds, Tally* t)
{
    SetRegText(kSettingsKey, L"MemoShow", L"1");
    const std::wstring note = MemoFolder() + L"\\备忘\\default";
    std::wstring saved;  // the text of the last change written; the file's version
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < seconds * 1000) {
        AlmanixRun run;
        if (!run.Start()) {
            std::printf("notebook round %ld: the program did not start\n", t->rounds + 1);
            return false;
        }
        HWND notebook = FindNotebook(run);
        HWND edit = notebook ? GetDlgItem(notebook, kNoteEdit) : nullptr;
        std::wstring shown;
        if (!edit || !WholeText(edit, &shown) || shown != saved) {
            std::printf("notebook round %ld: the notebook does not show the saved note (%zu of %zu characters)\n",
                t->rounds + 1, shown.size(), saved.size());
            return false;
        }
        std::thread killer = KillLater(run.Pid(), Random(50, 1500), t);
        std::wstring inFlight;
        bool underWay = false;
        for (;;) {
            // The next change: a replaced stretch, a typed character, or everything cleared.
            std::wstring next = saved;
            int from = 0, to = static_cast<int>(saved.size());
            std::wstring put;
            const int kind = Random(0, 99);
            if (kind < 3 || saved.size() > 18000) {
                put = kind < 3 ? L"" : RandomText(Random(1, 20));
            } else {
                from = WholePosition(saved, Random(0, static_cast<int>(saved.size())));
                to = kind < 60
                    ? from
                    : WholePosition(saved, Random(from, (std::min)(from + 50, static_cast<int>(saved.size()))));
                put = kind < 40 ? std::wstring(1, L"ab中农x\r"[Random(0, 5)])
                                : RandomText(kind < 90 ? Random(1, 20) : Random(100, 3000));
            }
            const bool typed = put.size() == 1 && from == to;
            if (typed && put == L"\r")
                put = L"\r\n";  // Enter in a multi-line edit
            next.replace(from, to - from, put);
            if (!Send(edit, EM_SETSEL, from, to))
                break;
            inFlight = next;
            underWay = true;
            bool answered = typed ? Send(edit, WM_CHAR, put[0], 1)
                                  : Send(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(put.c_str()));
            if (!answered)
                break;
            underWay = false;
            saved = next;
            ++t->saves;
            std::wstring now;
            if (WholeText(edit, &now) && now != saved) {
                std::printf(
                    "notebook: the edit holds %zu characters, this soak expected %zu\n", now.size(), saved.size());
                killer.join();
                return false;
            }
        }
        killer.join();
        run.Kill();
        ++t->rounds;

        ++t->files;
        const Version found = ReadVersion(note);
        const Version last = {!saved.empty(), Gb(saved)};
        const Version next = {!inFlight.empty(), Gb(inFlight)};
        if (found == last) {
        } else if (underWay && found == next) {
            saved = inFlight;
            ++t->inFlightLanded;
        } else {
            std::printf("notebook round %ld: the note holds %s; complete versions: %s (last written)%s%s\n", t->rounds,
                Describe(found).c_str(), Describe(last).c_str(), underWay ? ", " : "",
                underWay ? (Describe(next) + " (under way)").c_str() : "");
            return false;
        }
        if (!OnlyKnownNames(MemoFolder() + L"\\备忘", {L"default"}, &t->temps))
            return false;
    }
    return true;
}

// The memo file of a map from slot to text: the tag 100, then one record per slot.
Version MemoFileOf(const std::map<int, std::string>& slots)
{
    Version v;
    v.exists = !slots.empty();
    if (!v.exists)
        return v;
    v.bytes = std::string("\x64\x00", 2);
    for (const auto& [slot, text] : slots) {
        const char header[8] = {static_cast<char>(slot), 0, static_cast<char>(text.size() & 0xFF),
            static_cast<char>(text.size() >> 8), 0, 0, 0, 0};
        v.bytes.append(header, 8);
        v.bytes += text;
    }
    return v;
}

void SetSlot(std::map<int, std::string>* slots, int day, const std::string& text)
{
    if (text.empty())
        slots->erase(day);
    else
        (*slots)[day] = text;
}

// Day memos of May 2024 (day 1 a Wednesday): one-off texts in 日历\202405, texts of every
// year in 日历\105. The lunar-yearly texts stay empty, so no lunar file ever appears.
bool SoakMemos(DWORD seconds, Tally* t)
{
    const std::wstring calendar = MemoFolder() + L"\\日历";
    const std::wstring onceFile = calendar + L"\\202405", solarFile = calendar + L"\\105";
    std::map<int, std::string> once, solar;  // by day: the texts of the last confirmed save
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < seconds * 1000) {
        AlmanixRun run;
        if (!run.Start()) {
            std::printf("memo round %ld: the program did not start\n", t->rounds + 1);
            return false;
        }
        HWND main = run.Main();
        Send(GetDlgItem(main, kComboYear), CB_SETCURSEL, 2024 - 1900, 0);
        Send(main, WM_COMMAND, MAKEWPARAM(kComboYear, CBN_SELCHANGE),
            reinterpret_cast<LPARAM>(GetDlgItem(main, kComboYear)));
        Send(GetDlgItem(main, kComboMonth), CB_SETCURSEL, 4, 0);
        Send(main, WM_COMMAND, MAKEWPARAM(kComboMonth, CBN_SELCHANGE),
            reinterpret_cast<LPARAM>(GetDlgItem(main, kComboMonth)));
        HWND view = ChildWithId(main, kMonthView);
        if (!view) {
            std::printf("memo round %ld: no month view\n", t->rounds + 1);
            return false;
        }
        std::thread killer = KillLater(run.Pid(), Random(200, 2500), t);
        std::map<int, std::string> onceNext, solarNext;
        bool underWay = false;
        for (;;) {
            const int day = Random(1, 31), index = 3 + day - 1;
            const int x = 52 * (index % 7) + 20, y = 21 + 33 * (index / 7) + 12;
            // Posted: the click runs the modal dialog, and this thread must not wait for it.
            PostMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
            PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
            PostMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
            HWND dlg = nullptr;
            if (!WaitUntil([&] { return !run.Running() || (dlg = run.FindWindowOf(L"#32770", kMemoTitle)) != nullptr; },
                    10000) ||
                !dlg)
                break;
            std::wstring shown;
            if (!WholeText(GetDlgItem(dlg, kOnce), &shown))
                break;
            if (Gb(shown) != (once.count(day) ? once[day] : std::string())) {
                std::printf("memo: the dialog of 2024-05-%02d shows another one-off text than the one saved\n", day);
                killer.join();
                return false;
            }
            // New texts start with a letter: leading blanks are not stored.
            const std::wstring newOnce = Random(0, 9) == 0 ? L"" : L"m" + RandomText(Random(0, 1500));
            const bool alsoSolar = Random(0, 1) == 0;
            const std::wstring newSolar = Random(0, 9) == 0 ? L"" : L"y" + RandomText(Random(0, 300));
            if (!Send(GetDlgItem(dlg, kOnce), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(newOnce.c_str())) ||
                (alsoSolar &&
                    !Send(GetDlgItem(dlg, kSolarYearly), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(newSolar.c_str()))))
                break;
            onceNext = once;
            solarNext = solar;
            SetSlot(&onceNext, day, Gb(newOnce));
            if (alsoSolar)
                SetSlot(&solarNext, day, Gb(newSolar));
            underWay = true;
            // The dialog answers once it has saved; a save that fails keeps it open with a
            // warning, unanswered.
            if (!Send(dlg, WM_COMMAND, IDOK, 0))
                break;
            underWay = false;
            once = onceNext;
            solar = solarNext;
            ++t->saves;
            if (!WaitUntil([&] { return !IsWindow(dlg); }, 10000))
                break;
        }
        killer.join();
        run.Kill();
        ++t->rounds;

        const std::pair<const std::wstring*, std::pair<std::map<int, std::string>*, std::map<int, std::string>*>>
            files[] = {{&onceFile, {&once, &onceNext}}, {&solarFile, {&solar, &solarNext}}};
        for (const auto& [path, maps] : files) {
            ++t->files;
            const Version found = ReadVersion(*path);
            const Version last = MemoFileOf(*maps.first), next = MemoFileOf(*maps.second);
            if (found == last)
                continue;
            if (underWay && found == next) {
                *maps.first = *maps.second;
                ++t->inFlightLanded;
                continue;
            }
            std::printf("memo round %ld: %ls holds %s; complete versions: %s (last confirmed)%s%s\n", t->rounds,
                path->c_str(), Describe(found).c_str(), Describe(last).c_str(), underWay ? ", " : "",
                underWay ? (Describe(next) + " (under way)").c_str() : "");
            return false;
        }
        if (!OnlyKnownNames(calendar, {L"202405", L"105"}, &t->temps))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 40;
    if (seconds < 2 || ProgramPath().empty()) {
        std::printf("usage: ALMANIX_EXE=almanix.exe %s [SECONDS]\n", argv[0]);
        return 2;
    }
    Tally notebook, memos;
    bool ok = SoakNotebook(seconds / 2, &notebook);
    std::printf("notebook: %ld rounds, %ld kills, %ld files checked, %ld changes written; the change under way "
                "had landed %ld times; temporary files left %ld times\n",
        notebook.rounds, notebook.kills, notebook.files, notebook.saves, notebook.inFlightLanded, notebook.temps);
    if (ok) {
        ok = SoakMemos(seconds - seconds / 2, &memos);
        std::printf("memo dialog: %ld rounds, %ld kills, %ld files checked, %ld saves confirmed; the save under way "
                    "had landed %ld times; temporary files left %ld times\n",
            memos.rounds, memos.kills, memos.files, memos.saves, memos.inFlightLanded, memos.temps);
    }
    std::printf("kill soak: %ld rounds, %ld kills, %ld files checked: %s\n", notebook.rounds + memos.rounds,
        notebook.kills + memos.kills, notebook.files + memos.files, ok ? "every file a complete version" : "FAILED");
    return ok ? 0 : 1;
}
