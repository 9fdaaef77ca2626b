// figures.exe: speed and footprint of almanix.exe beside a bare dialog program built the same
// way, measured in one run in this Wine prefix; prints one table. scripts/figures.sh builds
// and runs it.
//
//   figures.exe --almanix PATH --bare PATH [--bare-template PATH] [--runs N] [--idle SECONDS]
//               [--repeat N]
#include "figures.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

const COLORREF kGold = RGB(255, 215, 0);
const COLORREF kCell = RGB(245, 245, 230);

// A Unix path as Wine shows it (drive Z: is /); a Windows path as it stands.
std::wstring WindowsPath(const wchar_t* path)
{
    std::wstring p = path;
    if (!p.empty() && p[0] == L'/') {
        std::replace(p.begin(), p.end(), L'/', L'\\');
        p = L"Z:" + p;
    }
    return p;
}

std::string Ms(const Samples& s)
{
    return s.Empty() ? "-" : Format("%.2f ms (p90 %.2f)", s.Median(), s.P90());
}

std::string Verdict(bool met)
{
    return met ? "met" : "MISSED";
}

}  // namespace

double NowMs()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

double Samples::Quantile(double q) const
{
    if (m_values.empty())
        return 0;
    std::vector<double> v = m_values;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(std::lround(q * static_cast<double>(v.size() - 1)));
    return v[i];
}

std::string Format(const char* fmt, ...)
{
    char buf[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof(buf), fmt, args);
    va_end(args);
    return buf;
}

void PrintRow(const std::string& figure, const std::string& almanix, const std::string& bare, const std::string& target,
    const std::string& verdict)
{
    std::printf(
        "| %s | %s | %s | %s | %s |\n", figure.c_str(), almanix.c_str(), bare.c_str(), target.c_str(), verdict.c_str());
    std::fflush(stdout);
}

int wmain(int argc, wchar_t** argv)
{
    ProgramSpec almanix, bare, bareTemplate;
    int runs = 10, idle = 60, repeat = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::wstring opt = argv[i];
        if (opt == L"--almanix")
            almanix.m_path = WindowsPath(argv[i + 1]);
        else if (opt == L"--bare")
            bare.m_path = WindowsPath(argv[i + 1]);
        else if (opt == L"--bare-template")
            bareTemplate.m_path = WindowsPath(argv[i + 1]);
        else if (opt == L"--runs")
            runs = std::max(1, _wtoi(argv[i + 1]));
        else if (opt == L"--idle")
            idle = std::max(1, _wtoi(argv[i + 1]));
        else if (opt == L"--repeat")
            repeat = std::max(2, _wtoi(argv[i + 1]));
    }
    if (almanix.m_path.empty() || bare.m_path.empty()) {
        std::fprintf(stderr,
            "usage: figures.exe --almanix PATH --bare PATH [--bare-template PATH] [--runs N] [--idle SECONDS] "
            "[--repeat N]\n");
        return 2;
    }
    // The paint marks: the calendar's gold strip under the grid and the last cell of the grid
    // (the month view paints the strip first and that cell last); the bare program's fill.
    almanix.m_title = L"日历2.18";
    almanix.m_markPoints = {{340, 250}, {360, 238}};
    almanix.m_markColors = {kGold, kCell};
    bare.m_title = L"AlmanixBare";
    bare.m_markPoints = {{340, 250}, {360, 238}};
    bare.m_markColors = {kGold, kGold};
    bareTemplate.m_title = bare.m_title;
    bareTemplate.m_markPoints = bare.m_markPoints;
    bareTemplate.m_markColors = bare.m_markColors;

    int failures = 0;
    std::printf("| figure | almanix.exe | bare dialog | target | |\n|---|---|---|---|---|\n");

    OwnCodeFigures own;
    if (MeasureOwnCode(repeat, &own)) {
        PrintRow("month switch, own code: SetMonth + Paint (in process)", Ms(own.m_switch), "", "< 0.6 ms",
            Verdict(own.m_switch.Median() < 0.6));
        PrintRow("&nbsp;&nbsp;of which SetMonth / Paint", Ms(own.m_setMonth) + " / " + Ms(own.m_paint), "", "", "");
        PrintRow("hover to tip: ShowDayTip + tip Paint (in process)", Ms(own.m_tip), "", "< 2 ms",
            Verdict(own.m_tip.Median() < 2.0));
        PrintRow("&nbsp;&nbsp;of which the system moving the tip's window (SetWindowPos)", Ms(own.m_tipMove), "", "",
            "");
        PrintRow("&nbsp;&nbsp;the tip's own code (the rest)", Ms(own.m_tipOwn), "", "< 0.3 ms",
            Verdict(own.m_tipOwn.Median() < 0.3));
        PrintRow("month switch with the window repaint (in process)", Ms(own.m_switchWindow), "", "", "");
        PrintRow("hover to tip with the window repaint (in process)", Ms(own.m_tipWindow), "", "", "");
    } else {
        std::fprintf(stderr, "in-process figures failed\n");
        ++failures;
    }

    InteractionFigures inter;
    if (MeasureInteraction(almanix, std::max(10, runs * 2), &inter)) {
        PrintRow(u8"month switch \"下月\" to end of repaint (from another process)", Ms(inter.m_switchMs), "", "", "");
        PrintRow("hover to tip shown (from another process)", Ms(inter.m_tipMs), "", "", "");
    } else {
        std::fprintf(stderr, "interaction figures failed\n");
        ++failures;
    }
    if (inter.m_switchFailures || inter.m_tipFailures) {
        std::fprintf(
            stderr, "%d month switches and %d hovers had no effect\n", inter.m_switchFailures, inter.m_tipFailures);
        ++failures;
    }

    // Alternating starts, after one uncounted start of each.
    StartFigures sa, sb, st;
    const bool withTemplate = !bareTemplate.m_path.empty();
    bool started = WarmUp(bare) && WarmUp(almanix) && (!withTemplate || WarmUp(bareTemplate));
    for (int i = 0; started && i < runs; ++i)
        started = MeasureStart(bare, 1, &sb) && MeasureStart(almanix, 1, &sa) &&
            (!withTemplate || MeasureStart(bareTemplate, 1, &st));
    if (started) {
        // The floor for any program with this window under Wine is the bare program with the
        // calendar window's own template and manifest: the target is set against it. The plain
        // bare dialog stays for context.
        const double bareRatio = sa.m_startMs.Median() / sb.m_startMs.Median();
        if (withTemplate) {
            const double ratio = sa.m_startMs.Median() / st.m_startMs.Median();
            PrintRow(Format("start-up to first full paint (median of %d)", runs),
                Format("%.0f ms", sa.m_startMs.Median()), Format("%.0f ms", st.m_startMs.Median()) + " (own template)",
                "<= 1.3 x own template", Format("%.2f x: ", ratio) + Verdict(ratio <= 1.3));
            PrintRow("&nbsp;&nbsp;bare dialog program, for context", "", Format("%.0f ms", sb.m_startMs.Median()), "",
                Format("almanix.exe: %.2f x this; own template: %.2f x", bareRatio,
                    st.m_startMs.Median() / sb.m_startMs.Median()));
        } else {
            PrintRow(Format("start-up to first full paint (median of %d)", runs),
                Format("%.0f ms", sa.m_startMs.Median()), Format("%.0f ms", sb.m_startMs.Median()), "",
                Format("%.2f x bare", bareRatio));
        }
        PrintRow("&nbsp;&nbsp;fastest start", Format("%.0f ms", sa.m_startMs.Min()),
            Format("%.0f ms", sb.m_startMs.Min()), "", "");
        PrintRow("CPU time used by the first full paint", Format("%.0f ms", sa.m_startCpuMs.Median()),
            Format("%.0f ms", sb.m_startCpuMs.Median()), "", "");
        PrintRow("working set after start-up", Format("%.1f MB", sa.m_workingSetKb.Median() / 1024),
            Format("%.1f MB", sb.m_workingSetKb.Median() / 1024), "",
            Format("+%.1f MB", (sa.m_workingSetKb.Median() - sb.m_workingSetKb.Median()) / 1024));
        PrintRow("private bytes after start-up", Format("%.1f MB", sa.m_privateKb.Median() / 1024),
            Format("%.1f MB", sb.m_privateKb.Median() / 1024), "",
            Format("+%.1f MB", (sa.m_privateKb.Median() - sb.m_privateKb.Median()) / 1024));
    } else {
        std::fprintf(stderr, "start-up figures failed\n");
        ++failures;
    }

    IdleFigures ia, ib;
    if (MeasureIdle(almanix, bare, idle, &ia, &ib)) {
        double pa = ia.m_cpuMs / (ia.m_seconds * 1000.0) * 100.0;
        double pb = ib.m_cpuMs / (ib.m_seconds * 1000.0) * 100.0;
        PrintRow("CPU in the 3 s after the first paint (start-up's later part)", Format("%.0f ms", ia.m_settleCpuMs),
            Format("%.0f ms", ib.m_settleCpuMs), "", "");
        PrintRow(Format("CPU in %.0f idle seconds after those (share of one core)", ia.m_seconds),
            Format("%.0f ms = %.3f %%", ia.m_cpuMs, pa), Format("%.0f ms = %.3f %%", ib.m_cpuMs, pb), "< 0.1 %",
            Verdict(pa < 0.1));
        PrintRow("working set after the idle time", Format("%.1f MB", ia.m_workingSetKb / 1024),
            Format("%.1f MB", ib.m_workingSetKb / 1024), "", "");
    } else {
        std::fprintf(stderr, "idle figures failed\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
