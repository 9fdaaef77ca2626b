// The figures driver: timings, statistics and the two halves of the measurement, the
// program's own code in this process and whole programs started as separate processes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Milliseconds on the performance counter.
double NowMs();

// Samples of one figure, in milliseconds.
struct Samples {
    std::vector<double> m_values;
    void Add(double ms) { m_values.push_back(ms); }
    bool Empty() const { return m_values.empty(); }
    double Median() const { return Quantile(0.5); }
    double Min() const { return Quantile(0.0); }
    double P90() const { return Quantile(0.9); }
    double Quantile(double q) const;
};

// One line of the figures table; the shell script adds the size lines in the same form.
void PrintRow(const std::string& figure, const std::string& almanix, const std::string& bare, const std::string& target,
    const std::string& verdict);
std::string Format(const char* fmt, ...);

// The program's own code, in this process: a month view window (as the calendar window
// holds it) on a memo folder of its own. False when the view cannot be made.
struct OwnCodeFigures {
    Samples m_setMonth;      // CMonthView::SetMonth (cells, memo files, title)
    Samples m_paint;         // CMonthView::Paint into a memory DC
    Samples m_switch;        // both: a month switch's own work
    Samples m_switchWindow;  // SetMonth, then the system repaints the view and its labels
    Samples m_tip;           // ShowDayTip and the tip's Paint into a memory DC
    Samples m_tipMove;       // of which in the system's SetWindowPos (Wine moving the window)
    Samples m_tipOwn;        // the rest: the tip's own work
    Samples m_tipWindow;     // ShowDayTip, then the system repaints the tip
};
bool MeasureOwnCode(int iterations, OwnCodeFigures* out);

// Whole programs, each started as its own process in this Wine prefix.
struct ProgramSpec {
    std::wstring m_path;   // Windows path of the .exe
    std::wstring m_title;  // its main window's title
    // The paint mark: client points of the main window and the colours the first full paint
    // leaves there.
    std::vector<POINT> m_markPoints;
    std::vector<COLORREF> m_markColors;
};

struct StartFigures {
    Samples m_startMs;       // CreateProcess to the first full paint
    Samples m_startCpuMs;    // CPU time the process used until then
    Samples m_workingSetKb;  // right after the first full paint
    Samples m_privateKb;
};
bool MeasureStart(const ProgramSpec& program, int runs, StartFigures* out);
// One start that is not counted: brings the program's files into the page cache.
bool WarmUp(const ProgramSpec& program);

struct IdleFigures {
    double m_settleCpuMs = 0;   // CPU time of the first seconds after the first paint
    double m_seconds = 0;       // wall time between the two readings
    double m_cpuMs = 0;         // user + kernel time the process used meanwhile
    double m_workingSetKb = 0;  // at the end
    double m_privateKb = 0;
    bool m_ok = false;
};
// Starts both programs, waits until each has painted, lets them finish what start-up leaves
// for after the first paint (counted apart), then reads their process times twice, seconds
// apart.
bool MeasureIdle(
    const ProgramSpec& almanix, const ProgramSpec& bare, int seconds, IdleFigures* almanixOut, IdleFigures* bareOut);

struct InteractionFigures {
    Samples m_switchMs;        // "下月" handled (sent) and the repaint done, from outside
    Samples m_tipMs;           // pointer over a day with memos until its tip is painted
    int m_switchFailures = 0;  // switches that did not change the month selector
    int m_tipFailures = 0;     // hovers after which no tip was visible
};
// Starts the calendar with memos on two days of this month and drives it from outside.
bool MeasureInteraction(const ProgramSpec& almanix, int switches, InteractionFigures* out);
