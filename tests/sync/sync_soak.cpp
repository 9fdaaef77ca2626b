// A seeded random soak of the sync against the server of radicale.sh or xandikos.sh: parts of
// day memos added, edited and deleted here through the memo store, events added, retitled,
// moved, re-timed and deleted on the phone (phone.py), and syncs. After every sync:
// - both sides hold the same memos: each day's parts are the texts of the phone's events there;
// - every event the phone made keeps the properties besides its texts that the phone last wrote;
// - no text written on either side and not removed by the user is lost (a merged part holds it).
// Texts are short unique ASCII tokens ("L0017" typed here, "P0042" on the phone).
//
//   sync_soak [STEPS [SEED]]    (200 steps, the seed from the clock when none is given)
//
// Every step is printed; a failure prints the seed, the step and what differed, and ends the
// run with status 1. The same seed against the same server repeats the same steps.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "memo/memo_store.h"
#include "scratch_folder.h"
#include "sync_support.h"
#include "text/gbcodec.h"

namespace {

constexpr int kYear = 2026, kMonth = 12, kFirstDay = 1, kDays = 10;  // the days the soak writes

unsigned g_seed = 0;
std::string g_folder;  // the scratch folder: a failed run leaves it, with the memos and the sync state
int g_step = 0;
std::mt19937 g_rng;

int Pick(int n)
{
    return static_cast<int>(g_rng() % static_cast<unsigned>(n));
}
bool Chance(int percent)
{
    return Pick(100) < percent;
}

[[noreturn]] void Fail(const std::string& what)
{
    std::printf("\nFAILED at step %d (seed %u): %s\nRepeat with: sync_soak <steps> %u\nThe memo folder and the sync "
                "state stay in %s\n",
        g_step, g_seed, what.c_str(), g_seed, g_folder.c_str());
    std::fflush(stdout);
    std::exit(1);
}

void Log(const std::string& line)
{
    std::printf("step %3d  %s\n", g_step, line.c_str());
    std::fflush(stdout);
}

// The text as a C literal would show it: CR LF as \r\n, other bytes as they are.
std::string Shown(const std::string& s)
{
    std::string out;
    for (char c : s)
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

int g_nextToken = 1;
std::string NewToken(char side)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%04d", side, g_nextToken++);
    return buf;
}

// The tokens in a text: "L" or "P" and four digits.
std::vector<std::string> Tokens(const std::string& text)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i + 5 <= text.size(); ++i)
        if ((text[i] == 'L' || text[i] == 'P') &&
            std::all_of(text.begin() + i + 1, text.begin() + i + 5, [](char c) { return c >= '0' && c <= '9'; }))
            out.push_back(text.substr(i, 5));
    return out;
}

// Every token written on either side and not removed by the user since.
std::set<std::string> g_live;
void Forget(const std::string& text)
{
    for (const std::string& t : Tokens(text))
        g_live.erase(t);
}
void Remember(const std::string& text)
{
    for (const std::string& t : Tokens(text))
        g_live.insert(t);
}

// --- this computer: the day memos through the memo store --------------------------------------

std::vector<std::string> SplitAt(const std::string& text, const std::string& sep)
{
    std::vector<std::string> out;
    if (text.empty())
        return out;
    for (std::size_t pos = 0;;) {
        const std::size_t end = text.find(sep, pos);
        out.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos)
            return out;
        pos = end + sep.size();
    }
}

std::string Join(const std::vector<std::string>& parts)
{
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : "\r\n\r\n") + p;
    return out;
}

// Every day memo of the month (day -> text); a file that does not load whole fails the run.
std::map<int, std::string> LocalMemos()
{
    CMemoStore store;
    if (store.Open(kYear, kMonth) != 0)
        Fail("the memo file of 2026-12 does not load whole");
    std::map<int, std::string> out;
    for (int d = 1; d <= 31; ++d) {
        const CMemoEntry& e = store.m_pEntries[d];
        if (e.m_pszText && e.m_nLength > 0)
            out[d] = std::string(e.m_pszText, e.m_nLength);
    }
    return out;
}

void SetLocal(int day, const std::string& text)
{
    CMemoStore store;
    if (store.Open(kYear, kMonth) != 0)
        Fail("the memo file of 2026-12 does not load whole");
    const std::uint32_t flags = text.empty() ? 0 : store.m_pEntries[day].m_dwFlags;  // a colour stays
    if (store.SetEntry(day, text.data(), static_cast<int>(text.size()), flags) != 0)
        Fail("SetEntry failed");
}

// --- the phone --------------------------------------------------------------------------------

std::string g_cal;  // the calendar's path

std::string PhoneRun(const std::string& args)
{
    int rc = 0;
    const std::string out = Shell("phone " + g_cal + " " + args, rc);
    if (rc != 0)
        Fail("phone " + args + " -> exit status " + std::to_string(rc) + "\n" + out);
    return out;
}

// One JSON string value of a listing line ("" and false for null or a missing key).
bool JsonString(const std::string& line, const std::string& key, std::string& value)
{
    value.clear();
    std::size_t i = line.find("\"" + key + "\": ");
    if (i == std::string::npos)
        return false;
    i += key.size() + 4;
    if (i >= line.size() || line[i] != '"')
        return false;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] != '\\') {
            value += line[i];
            continue;
        }
        const char c = line[++i];
        if (c == 'n')
            value += '\n';
        else if (c == 'r')
            value += '\r';
        else if (c == 't')
            value += '\t';
        else if (c == 'u') {
            const unsigned u = static_cast<unsigned>(std::stoul(line.substr(i + 1, 4), nullptr, 16));
            i += 4;
            if (u < 0x80)
                value += static_cast<char>(u);
            else if (u < 0x800) {
                value += static_cast<char>(0xC0 | (u >> 6));
                value += static_cast<char>(0x80 | (u & 0x3F));
            } else {
                value += static_cast<char>(0xE0 | (u >> 12));
                value += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
                value += static_cast<char>(0x80 | (u & 0x3F));
            }
        } else
            value += c;  // \" \\ \/
    }
    return true;
}

// What the phone made and the memo does not show: everything but the texts (as sync_test's
// NonText). The mark that this program's DESCRIPTION holds the lines after SUMMARY belongs to
// the texts.
std::string NonText(const std::string& line)
{
    const std::size_t a = line.find("\"props\": ");
    const std::size_t b = line.find(", \"recurrence_id\"");
    if (a == std::string::npos || b == std::string::npos)
        return std::string();
    std::string props = line.substr(a, b - a);
    for (const char* mark : {", \"X-ALMANIX-DESCRIPTION\": [\"REST\"]", "\"X-ALMANIX-DESCRIPTION\": [\"REST\"], ",
             "\"X-ALMANIX-DESCRIPTION\": [\"REST\"]"}) {
        const std::size_t at = props.find(mark);
        if (at != std::string::npos) {
            props.erase(at, std::char_traits<char>::length(mark));
            break;
        }
    }
    return props;
}

struct Event {
    std::string m_uid, m_day, m_time;  // YYYYMMDD; "HH:MM" or "" for an all-day event
    std::string m_summary, m_description;
    std::string m_line;  // the listing's line
    // The event's part as the memo shows it (UTF-8).
    std::string Text() const
    {
        std::string text = (m_time.empty() ? "" : m_time + " ") + m_summary;
        if (!m_description.empty()) {
            std::string d;
            for (char c : m_description)
                if (c != '\r')
                    d += c == '\n' ? std::string("\r\n") : std::string(1, c);
            text += "\r\n" + d;
        }
        return text;
    }
};

// The phone's events (each event's main component) as it lists them.
std::vector<Event> PhoneList()
{
    std::vector<Event> out;
    for (const std::string& line : SplitAt(PhoneRun("list"), "\n")) {
        std::string rid;
        if (line.empty() || JsonString(line, "recurrence_id", rid))
            continue;
        Event e;
        std::string start;
        JsonString(line, "uid", e.m_uid);
        JsonString(line, "dtstart", start);
        JsonString(line, "summary", e.m_summary);
        JsonString(line, "description", e.m_description);
        e.m_day = start.substr(0, 8);
        if (start.size() >= 13 && start[8] == 'T')
            e.m_time = start.substr(9, 2) + ":" + start.substr(11, 2);
        e.m_line = line;
        out.push_back(e);
    }
    return out;
}

std::vector<Event> g_phone;                  // the phone's view: its last listing and its edits since
std::map<std::string, std::string> g_props;  // UID -> NonText that the phone last wrote
std::set<std::string> g_written;             // UIDs the phone wrote since the last listing
// Which event each part here stands for (as of the last sync, followed through the edits here
// since), and the events the user deleted, on the phone or by deleting their parts here.
std::map<std::pair<int, std::string>, std::string> g_partOf;
std::set<std::string> g_deleted;

std::string DayOf(int day)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", kYear, kMonth, day);
    return buf;
}

std::string Times()
{
    const int start = (7 + Pick(13)) * 60 + 15 * Pick(4), end = start + 30 * (1 + Pick(3));
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d%02d-%02d%02d", start / 60, start % 60, end / 60, end % 60);
    return buf;
}

// --- the steps --------------------------------------------------------------------------------

struct Counts {
    int m_local = 0, m_phone = 0, m_syncs = 0, m_merged = 0, m_questions = 0;
} g_counts;

std::string NewLocalText(const std::string& prefix)
{
    std::string text = prefix + NewToken('L');
    if (Chance(20))
        text += "\r\n" + NewToken('L');
    return text;
}

void LocalStep()
{
    ++g_counts.m_local;
    std::vector<int> filled;
    for (const auto& [day, text] : LocalMemos())
        if (day >= kFirstDay && day < kFirstDay + kDays)
            filled.push_back(day);
    const int what = filled.empty() ? 0 : Pick(100);
    if (what < 40) {
        const int day = kFirstDay + Pick(kDays);
        std::vector<std::string> parts = SplitAt(LocalMemos()[day], "\r\n\r\n");
        const std::string text = NewLocalText("");
        parts.push_back(text);
        SetLocal(day, Join(parts));
        Remember(text);
        Log("here  add     " + DayOf(day) + " \"" + Shown(almanix::GbToUtf8(text)) + "\"");
        return;
    }
    const int day = filled[Pick(static_cast<int>(filled.size()))];
    std::vector<std::string> parts = SplitAt(LocalMemos()[day], "\r\n\r\n");
    const std::size_t i = static_cast<std::size_t>(Pick(static_cast<int>(parts.size())));
    const std::string old = parts[i];
    Forget(old);
    const auto of = g_partOf.find({day, old});
    const std::string uid = of == g_partOf.end() ? std::string() : of->second;
    if (of != g_partOf.end())
        g_partOf.erase(of);
    if (what < 75) {
        // A user's edit keeps the time of day the part shows: it is the event's.
        const bool timed = old.size() > 6 && old[2] == ':' && old[5] == ' ';
        parts[i] = NewLocalText(timed ? old.substr(0, 6) : "");
        Remember(parts[i]);
        if (!uid.empty())
            g_partOf[{day, parts[i]}] = uid;
        Log("here  edit    " + DayOf(day) + " \"" + Shown(almanix::GbToUtf8(old)) + "\" -> \"" +
            Shown(almanix::GbToUtf8(parts[i])) + "\"");
    } else {
        parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(i));
        g_deleted.insert(uid);
        Log("here  delete  " + DayOf(day) + " \"" + Shown(almanix::GbToUtf8(old)) + "\"");
    }
    SetLocal(day, Join(parts));
}

void PhoneStep()
{
    ++g_counts.m_phone;
    const int what = g_phone.empty() ? 0 : Pick(100);
    if (what < 35) {
        Event e;
        e.m_uid = "ph" + std::to_string(g_nextToken);
        e.m_day = DayOf(kFirstDay + Pick(kDays));
        e.m_summary = NewToken('P');
        std::string args = "add " + e.m_uid + " " + e.m_day + " " + e.m_summary;
        if (Chance(50)) {
            const std::string t = Times();
            args += " --time " + t;
            e.m_time = t.substr(0, 2) + ":" + t.substr(2, 2);
        }
        if (Chance(15)) {
            e.m_description = NewToken('P');
            args += " --description " + e.m_description;
        }
        if (Chance(25))
            args += " --location Room" + std::to_string(Pick(9));
        if (Chance(20))
            args += " --attendee mailto:a" + std::to_string(Pick(9)) + "@example.com";
        if (Chance(20))
            args += " --alarm=-PT" + std::to_string(5 * (1 + Pick(6))) + "M";
        if (Chance(20))
            args += " --x X-SOAK-TAG=k" + std::to_string(Pick(99));
        PhoneRun(args);
        Remember(e.Text());
        g_written.insert(e.m_uid);
        g_phone.push_back(e);
        Log("phone " + args);
        return;
    }
    const std::size_t i = static_cast<std::size_t>(Pick(static_cast<int>(g_phone.size())));
    Event& e = g_phone[i];
    const std::string was = "    (was " + e.m_day + " \"" + Shown(e.Text()) + "\")";
    std::string args;
    if (what < 55) {
        const std::string summary = NewToken('P');
        args = "retitle " + e.m_uid + " " + summary;
        Forget(e.m_summary);
        e.m_summary = summary;
        Remember(summary);
    } else if (what < 70) {
        std::string day = e.m_day;
        while (day == e.m_day)
            day = DayOf(kFirstDay + Pick(kDays));
        args = "move " + e.m_uid + " " + day;
        e.m_day = day;
    } else if (what < 85) {
        const std::string t = Times();
        args = "retime " + e.m_uid + " " + t;
        e.m_time = t.substr(0, 2) + ":" + t.substr(2, 2);
    } else {
        args = "delete " + e.m_uid;
        Forget(e.Text());
    }
    PhoneRun(args);
    Log("phone " + args + was);
    if (args.compare(0, 7, "delete ") == 0) {
        // Deleted there: an edit here may bring it back as this computer's, no longer the phone's.
        g_deleted.insert(e.m_uid);
        g_props.erase(e.m_uid);
        g_written.erase(e.m_uid);
        g_phone.erase(g_phone.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (e.m_uid.compare(0, 2, "ph") == 0) {
        g_written.insert(e.m_uid);
    }
}

CCalDavClient g_client;

SyncReport Sync(SyncAnswer answer)
{
    const SyncReport r = SyncNow(g_client, answer);
    char buf[160];
    std::snprintf(buf, sizeof buf, "up %d, down %d, deleted there %d, deleted here %d, merged %d, %d requests",
        r.m_nUploaded, r.m_nDownloaded, r.m_nDeletedRemote, r.m_nDeletedLocal, r.m_nMerged, r.m_nRequests);
    const bool asks = r.m_question != SyncQuestion::None;
    Log(std::string("sync  ") +
        (r.m_bOk       ? "ok: "
                : asks ? "asks: "
                       : "FAILED: ") +
        buf + (asks ? " (an emptied side: which one is right?)" : "") +
        (answer == SyncAnswer::Refill ? " (answered: fill it again)" : ""));
    if (!asks && !r.m_bOk)
        Fail("the sync failed: " + almanix::GbToUtf8(r.m_status));
    g_counts.m_merged += r.m_nMerged;
    return r;
}

// Day -> sorted parts, on each side (GB18030).
using Days = std::map<std::string, std::vector<std::string>>;

Days LocalDays()
{
    Days out;
    for (const auto& [day, text] : LocalMemos())
        out[DayOf(day)] = SplitAt(text, "\r\n\r\n");
    for (auto& [day, parts] : out)
        std::sort(parts.begin(), parts.end());
    return out;
}

Days PhoneDays(const std::vector<Event>& events)
{
    Days out;
    for (const Event& e : events)
        out[e.m_day].push_back(almanix::Utf8ToGb(e.Text()));
    for (auto& [day, parts] : out)
        std::sort(parts.begin(), parts.end());
    return out;
}

std::string Differences(const Days& here, const Days& phone)
{
    std::set<std::string> days;
    for (const auto& [d, p] : here)
        days.insert(d);
    for (const auto& [d, p] : phone)
        days.insert(d);
    std::string out;
    for (const std::string& d : days) {
        const auto h = here.find(d);
        const auto p = phone.find(d);
        const std::vector<std::string> none;
        const std::vector<std::string>& a = h == here.end() ? none : h->second;
        const std::vector<std::string>& b = p == phone.end() ? none : p->second;
        if (a == b)
            continue;
        out += "\n  " + d + " here: ";
        for (const std::string& s : a)
            out += "\"" + Shown(almanix::GbToUtf8(s)) + "\" ";
        out += "\n  " + d + " phone:";
        for (const std::string& s : b)
            out += " \"" + Shown(almanix::GbToUtf8(s)) + "\"";
    }
    return out;
}

// Before a sync: what the phone wrote, as its listing shows it.
void TakeWrittenProps()
{
    if (g_written.empty())
        return;
    g_phone = PhoneList();
    for (const Event& e : g_phone)
        if (g_written.count(e.m_uid))
            g_props[e.m_uid] = NonText(e.m_line);
    g_written.clear();
}

void Check()
{
    g_phone = PhoneList();
    const Days here = LocalDays(), phone = PhoneDays(g_phone);
    if (here != phone) {
        const std::string diff = Differences(here, phone);
        // Whether one more sync would bring the sides together: said, but a failure all the same.
        const SyncReport r = Sync(SyncAnswer::None);
        const bool later = r.m_bOk && LocalDays() == PhoneDays(PhoneList());
        Fail("after the sync the sides differ (the sync did not say that anything was left for the next one):" + diff +
            "\n  one more sync: " + (later ? "the sides agree then" : "they still differ"));
    }
    for (auto it = g_props.begin(); it != g_props.end();) {
        const auto e =
            std::find_if(g_phone.begin(), g_phone.end(), [&](const Event& x) { return x.m_uid == it->first; });
        if (e == g_phone.end()) {
            // An edit here changes the event; only a deletion (there, or of its part here) ends it.
            if (!g_deleted.count(it->first))
                Fail("the phone's event " + it->first +
                    " is gone, though nobody deleted it: what the phone wrote "
                    "besides its texts went with it:\n  " +
                    it->second);
            it = g_props.erase(it);
            continue;
        }
        if (NonText(e->m_line) != it->second)
            Fail("the phone's event " + it->first + " lost what the phone wrote besides its texts:\n  phone wrote: " +
                it->second + "\n  now:         " + NonText(e->m_line));
        ++it;
    }
    std::string all;
    for (const auto& [day, text] : LocalMemos())
        all += text + "\n";
    std::string lost;
    for (const std::string& t : g_live)
        if (all.find(t) == std::string::npos)
            lost += " " + t;
    if (!lost.empty())
        Fail("texts that nobody removed are gone from both sides:" + lost);
    g_partOf.clear();
    for (const Event& e : g_phone)
        g_partOf[{std::stoi(e.m_day.substr(6)), almanix::Utf8ToGb(e.Text())}] = e.m_uid;
}

void SyncStep()
{
    ++g_counts.m_syncs;
    TakeWrittenProps();
    SyncReport r = Sync(SyncAnswer::None);
    if (r.m_question != SyncQuestion::None) {
        // The user keeps both sides: each fills the other, nothing is deleted.
        ++g_counts.m_questions;
        r = Sync(SyncAnswer::Refill);
        if (r.m_question != SyncQuestion::None)
            Fail("the sync asks again after the answer");
    }
    // A text merged only now reaches this computer through the next sync (so the report says).
    if (r.m_nMerged > 0)
        Sync(SyncAnswer::None);
    Check();
}

}  // namespace

int main(int argc, char** argv)
{
    const int steps = argc > 1 ? std::atoi(argv[1]) : 200;
    g_seed = argc > 2 && *argv[2] ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10))
                                  : static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
    g_rng.seed(g_seed);
    std::printf("sync soak: %d steps, seed %u, server %s\n", steps, g_seed, DavEnv("ALMANIX_DAV_SERVER").c_str());
    std::fflush(stdout);
    if (steps < 1 || steps > 5000)
        Fail("steps: 1 to 5000");
    ScratchFolder folder("sync-soak");
    std::string err;
    if (!folder.PrepareMemos() || !OpenFreshCalendar(g_client, "soak", err))
        Fail("setup: " + err);
    g_cal = g_client.Collection();
    g_folder = folder.Path().string();
    const auto t0 = std::chrono::steady_clock::now();
    for (g_step = 1; g_step <= steps; ++g_step) {
        const int what = Pick(100);
        if (what < 40)
            LocalStep();
        else if (what < 78)
            PhoneStep();
        else
            SyncStep();
    }
    SyncStep();  // the run ends on a check
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("\nsync soak passed: seed %u, %d steps: %d here, %d on the phone, %d syncs (%d merges, %d questions "
                "of an emptied side); %zu texts alive, %zu events; %.1f s\n",
        g_seed, steps, g_counts.m_local, g_counts.m_phone, g_counts.m_syncs, g_counts.m_merged, g_counts.m_questions,
        g_live.size(), g_phone.size(), s);
    return 0;
}
