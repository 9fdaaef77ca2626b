// memo_soak [SECONDS]: a child process saves memos and the note in a loop, through the
// program's own store and file functions, and is killed with SIGKILL at random moments,
// round after round for SECONDS (default 10). After every kill each file must be exactly a
// version that was completely written before the kill: the last one the child reported, or
// the one it was writing. Temporary files may be left, but only under names that are never
// data. Prints rounds, kills and files checked; exits 1 at the first file that is neither.
//
// Every step sets one slot (or the whole note) to a value that depends only on the step's
// number, so redoing the step that a kill interrupted gives the same file again: each
// round's child starts at the step after the last one reported, and a reference folder
// written by this process with the same steps tells which bytes each version has.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "memo/memo_file.h"
#include "memo/memo_store.h"

namespace {

constexpr int kFileCount = 5;  // four memo files and the note

// The files as the program names them (GBK, "\" between folders), relative to the memo folder.
std::string FileName(int file)
{
    static const std::string names[kFileCount] = {
        std::string(MEMO_CALENDAR_FOLDER) + "\\202405",  // one-off memos of May 2024
        std::string(MEMO_CALENDAR_FOLDER) + "\\105",     // every year in May
        std::string(MEMO_CALENDAR_FOLDER) + "\\008",     // every year in the 8th lunar month
        MEMO_WEEK_FILE,
        std::string(MEMO_NOTE_FOLDER) + "\\default",
    };
    return names[file];
}

// The same name for people to read (this file's literals are UTF-8).
const char* DisplayName(int file)
{
    static const char* const names[kFileCount] = {"日历/202405", "日历/105", "日历/008", "日历/week", "备忘/default"};
    return names[file];
}

std::string NativeName(const std::string& gb)
{
    std::string s = gb;
    for (char& c : s)
        if (c == '\\')  // the names here are ASCII after their GBK folder names
            c = '/';
    return s;
}

std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// The text of step i: its number, then Chinese and ASCII with line breaks, of a length that
// is sometimes 0 (the slot or the note is emptied) and sometimes large.
std::string TextOf(long i, std::uint64_t h, std::size_t longest)
{
    const unsigned pick = h % 100;
    if (pick < 8)
        return std::string();
    const std::size_t length = pick < 80 ? 1 + (h >> 8) % 200 : 1 + (h >> 8) % longest;
    std::string text = std::to_string(i) + ":";
    static const char kPhrase[] = "\xc5\xa9\xc0\xfa memo \xb1\xb8\xcd\xfc\r\n";  // 农历 memo 备忘
    while (text.size() < length)
        text += kPhrase;
    text.resize(length);
    return text;
}

// Step i (from 1) in the current directory, which is a memo folder. 0, or -1 when a file
// function failed.
int ApplyStep(long i)
{
    const std::uint64_t h = Mix(static_cast<std::uint64_t>(i));
    const int file = static_cast<int>(i % kFileCount);
    if (file == 4) {
        const std::string text = TextOf(i, h, 20000);
        const std::string name = FileName(file);
        return text.empty() ? RemoveFile(name.c_str()) : WriteWholeFile(name.c_str(), text.data(), text.size());
    }
    CMemoStore store;
    int opened = file == 0 ? store.Open(2024, 5)
        : file == 1        ? store.Open(1, 5)
        : file == 2        ? store.Open(0, 8)
                           : store.OpenWeek();
    if (opened != 0)
        return -1;  // every file this soak writes loads whole
    const int slots = file == 3 ? 7 : 31;
    const int slot = (file == 3 ? 0 : 1) + static_cast<int>((h >> 40) % slots);
    const std::string text = TextOf(i, h, 3000);
    const std::uint32_t flags = (h >> 20) % 10 == 0 ? MEMO_CUSTOM_COLOR | static_cast<std::uint32_t>(h & 0xFFFFFF) : 0;
    return store.SetEntry(slot, text.data(), static_cast<int>(text.size()), flags);
}

struct Version {
    bool exists = false;
    std::string bytes;
    bool operator==(const Version& o) const { return exists == o.exists && bytes == o.bytes; }
};
using Snapshot = std::vector<Version>;

Version ReadVersion(const std::string& path)
{
    Version v;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return v;
    v.exists = true;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        v.bytes.append(buf, n);
    std::fclose(f);
    return v;
}

Snapshot Take(const std::string& folder)
{
    Snapshot s;
    for (int f = 0; f < kFileCount; ++f)
        s.push_back(ReadVersion(folder + "/" + NativeName(FileName(f))));
    return s;
}

bool MakeMemoFolder(const std::string& folder)
{
    return mkdir(folder.c_str(), 0777) == 0 && mkdir((folder + "/" + MEMO_CALENDAR_FOLDER).c_str(), 0777) == 0 &&
        mkdir((folder + "/" + MEMO_NOTE_FOLDER).c_str(), 0777) == 0;
}

// The same steps, written by this process into a folder of its own: the versions each step
// leaves. Holds the snapshots after its last two steps.
class Reference {
public:
    explicit Reference(std::string folder) : m_folder(std::move(folder)) { m_prev = m_last = Take(m_folder); }
    // Runs the steps up to and including n (never backwards).
    bool AdvanceTo(long n)
    {
        char here[4096];
        if (!getcwd(here, sizeof here) || chdir(m_folder.c_str()) != 0)
            return false;
        bool ok = true;
        while (ok && m_step < n) {
            ok = ApplyStep(++m_step) == 0;
            m_prev = m_last;
            m_last = Take(".");
        }
        return chdir(here) == 0 && ok;
    }
    long Step() const { return m_step; }
    const Snapshot& Last() const { return m_last; }
    const Snapshot& BeforeLast() const { return m_prev; }

private:
    std::string m_folder;
    long m_step = 0;
    Snapshot m_prev, m_last;
};

std::string Describe(const Version& v)
{
    if (!v.exists)
        return "no file";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%zu bytes", v.bytes.size());
    return buf;
}

// Every entry of a subfolder is a data file of this soak or a temporary file beside one.
bool OnlyKnownNames(const std::string& folder, const char* sub, int* temps)
{
    std::set<std::string> data, temp;
    for (int f = 0; f < kFileCount; ++f) {
        const std::string name = FileName(f);
        const std::size_t slash = name.find('\\');
        if (name.compare(0, slash, sub) == 0) {
            data.insert(name.substr(slash + 1));
            temp.insert("~" + name.substr(slash + 1) + ".tmp");
        }
    }
    DIR* dir = opendir((folder + "/" + sub).c_str());
    if (!dir)
        return false;
    bool ok = true;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (temp.count(name)) {
            ++*temps;
        } else if (!data.count(name)) {
            std::printf("unexpected file %s/%s\n", sub, name.c_str());
            ok = false;
        }
    }
    closedir(dir);
    return ok;
}

[[noreturn]] void RunChild(const std::string& folder, long first, int report)
{
    if (chdir(folder.c_str()) != 0)
        _exit(2);
    for (long i = first;; ++i) {
        if (ApplyStep(i) != 0)
            _exit(3);
        if (write(report, &i, sizeof i) != static_cast<ssize_t>(sizeof i))
            _exit(4);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (seconds < 1) {
        std::fprintf(stderr, "usage: %s [SECONDS]\n", argv[0]);
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/memo_soak.XXXXXX";
    if (!mkdtemp(root.data()))
        return 2;
    const std::string soak = root + "/soak", ref = root + "/ref";
    if (!MakeMemoFolder(soak) || !MakeMemoFolder(ref))
        return 2;

    std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> delayUs(0, 30000);
    Reference reference(ref);
    long confirmed = 0;  // the last step reported complete
    long rounds = 0, kills = 0, filesChecked = 0, inFlightSeen = 0;
    int temps = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < end && status == 0) {
        int fds[2];
        if (pipe(fds) != 0)
            return 2;
        const long first = confirmed + 1;
        const pid_t child = fork();
        if (child < 0)
            return 2;
        if (child == 0) {
            close(fds[0]);
            RunChild(soak, first, fds[1]);
        }
        close(fds[1]);
        // Reads the child's reports while waiting, so that it never blocks on a full pipe.
        auto readReports = [&](int timeoutMs) {
            pollfd p = {fds[0], POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0)
                return false;
            long got[512];
            const ssize_t n = read(fds[0], got, sizeof got);
            if (n <= 0)
                return false;
            confirmed = got[n / static_cast<ssize_t>(sizeof(long)) - 1];
            return true;
        };
        const auto killAt = std::chrono::steady_clock::now() + std::chrono::microseconds(delayUs(rng));
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(killAt - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            readReports(static_cast<int>(left.count()));
        }
        if (kill(child, SIGKILL) == 0)
            ++kills;
        int wstatus = 0;
        waitpid(child, &wstatus, 0);
        while (readReports(0)) {}
        close(fds[0]);
        if (WIFEXITED(wstatus)) {
            std::printf(
                "round %ld: the child ended by itself (exit %d): a step failed\n", rounds + 1, WEXITSTATUS(wstatus));
            status = 1;
            break;
        }
        ++rounds;

        // The files hold the versions of step `confirmed`, except the one file of the next
        // step, which may hold that step's version.
        if (!reference.AdvanceTo(confirmed + 1)) {
            std::printf("the reference folder could not be written\n");
            return 2;
        }
        const Snapshot found = Take(soak);
        for (int f = 0; f < kFileCount; ++f) {
            ++filesChecked;
            if (found[f] == reference.BeforeLast()[f])
                continue;
            if (found[f] == reference.Last()[f]) {
                ++inFlightSeen;
                continue;
            }
            std::printf("round %ld, after step %ld: %s holds %s; complete versions: %s (step %ld), %s (step %ld)\n",
                rounds, confirmed, DisplayName(f), Describe(found[f]).c_str(),
                Describe(reference.BeforeLast()[f]).c_str(), confirmed, Describe(reference.Last()[f]).c_str(),
                confirmed + 1);
            status = 1;
        }
        if (!OnlyKnownNames(soak, MEMO_CALENDAR_FOLDER, &temps) || !OnlyKnownNames(soak, MEMO_NOTE_FOLDER, &temps))
            status = 1;
    }
    std::printf("memo soak: %ld rounds, %ld kills, %ld files checked, %ld steps; the step under way when killed "
                "had landed %ld times; temporary files left beside the data %d times, never under a data name\n",
        rounds, kills, filesChecked, confirmed, inFlightSeen, temps);
    if (status == 0) {
        std::string cmd = "rm -rf '" + root + "'";
        if (std::system(cmd.c_str()) != 0)
            std::printf("could not remove %s\n", root.c_str());
    } else {
        std::printf("files kept in %s\n", root.c_str());
    }
    return status;
}
