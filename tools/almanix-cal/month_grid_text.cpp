#include "month_grid_text.h"

#include <cstdio>
#include <cstdlib>

#include "engine/holidays.h"
#include "engine/names.h"
#include "text/gbcodec.h"

namespace {

bool IsWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
        (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
        (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
        (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
        (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Appends text so that it starts at display column nColumn of line, whose width is nWidth.
void PutAt(std::string& line, int& nWidth, int nColumn, const std::string& text)
{
    if (nWidth < nColumn) {
        line.append(static_cast<std::size_t>(nColumn - nWidth), ' ');
        nWidth = nColumn;
    }
    line += text;
    nWidth += DisplayWidth(text);
}

void EndLine(std::string& out, std::string& line)
{
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    out += line;
    out += '\n';
    line.clear();
}

std::string Utf8(const char* gb)
{
    return gb ? almanix::GbToUtf8(gb) : std::string();
}

std::string MemoMarks(const CMonthModel& model, int nDay)
{
    std::string marks;
    if (CMonthModel::HasMemoText(model.GetWeeklyEntry(model.m_cells[nDay].m_nWeekday)))
        marks += 'W';
    if (CMonthModel::HasMemoText(model.GetOnceEntry(nDay)))
        marks += 'O';
    if (CMonthModel::HasMemoText(model.GetSolarYearlyEntry(nDay)))
        marks += 'S';
    if (CMonthModel::HasMemoText(model.GetLunarEntry(nDay)))
        marks += 'L';
    return marks.empty() ? marks : " " + marks;
}

// A line of a memo text, with C0 and C1 control characters and DEL made harmless.
void AppendSafeLine(std::string& out, std::string_view line)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            out += '?';
        } else if (c == 0xC2 && i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(line[i + 1]) <= 0x9F) {
            out += '?';
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
}

}  // namespace

const char* HolidayMark(int nHoliday)
{
    return nHoliday == HOLIDAY_OFF ? "休" : nHoliday == HOLIDAY_WORK ? "班" : "";
}

int DisplayWidth(std::string_view utf8)
{
    int nWidth = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t c = n == 1 ? lead : n == 2 ? (lead & 0x1F) : n == 3 ? (lead & 0x0F) : (lead & 0x07);
        bool bValid = i + n <= utf8.size();
        for (std::size_t k = 1; bValid && k < n; ++k) {
            const auto trail = static_cast<unsigned char>(utf8[i + k]);
            bValid = (trail & 0xC0) == 0x80;
            c = (c << 6) | (trail & 0x3F);
        }
        if (!bValid) {
            n = 1;
            c = 0xFFFD;
        }
        nWidth += IsWide(c) ? 2 : 1;
        i += n;
    }
    return nWidth;
}

std::string FormatMonthGrid(const CMonthModel& model, bool bMemoMarks)
{
    std::string out;
    std::string line;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d年%d月", model.m_nYear, model.m_nMonth);
    line = Utf8(buf);
    EndLine(out, line);

    int nWidth = 0;
    for (int c = 0; c < MONTH_GRID_COLUMNS; ++c) {
        std::string name = Utf8(GetWeekdayName(c));
        if (bMemoMarks && CMonthModel::HasMemoText(model.GetWeeklyEntry(c)))
            name += " W";
        PutAt(line, nWidth, c * GRID_COLUMN_WIDTH, name);
    }
    EndLine(out, line);

    const int nFirstColumn = model.m_nDays > 0 ? model.m_cells[1].m_nWeekday : 0;
    int nDay = 1;
    for (int r = 0; r < MONTH_GRID_ROWS; ++r) {
        std::string texts;
        int nNumberWidth = 0;
        int nTextWidth = 0;
        for (int c = 0; c < MONTH_GRID_COLUMNS; ++c) {
            if ((r == 0 && c < nFirstColumn) || nDay > model.m_nDays)
                continue;
            std::snprintf(buf, sizeof buf, "%2d", nDay);
            std::string number = buf;
            number += Utf8(HolidayMark(model.m_cells[nDay].m_nHoliday));
            if (bMemoMarks)
                number += MemoMarks(model, nDay);
            PutAt(line, nNumberWidth, c * GRID_COLUMN_WIDTH, number);
            PutAt(texts, nTextWidth, c * GRID_COLUMN_WIDTH, Utf8(model.m_cells[nDay].m_szText));
            ++nDay;
        }
        EndLine(out, line);
        EndLine(out, texts);
    }

    line = Utf8(model.m_szTitle);
    EndLine(out, line);
    if (bMemoMarks) {
        line = "memos: W weekly, O one-off, S yearly (Gregorian), L yearly (lunar)";
        EndLine(out, line);
    }
    return out;
}

std::string FormatDayNotes(const CMonthModel& model)
{
    std::string out;
    for (int d = 1; d <= model.m_nDays; ++d) {
        int nLength = 0;
        char* pszNote = model.BuildDayNote(d, nLength);
        if (!pszNote)
            continue;
        const std::string text = almanix::GbToUtf8(std::string_view(pszNote, static_cast<std::size_t>(nLength)));
        std::free(pszNote);

        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", model.m_nYear, model.m_nMonth, d);
        out += buf;
        out += '\n';
        // Lines end with CR LF in memo texts; a lone CR or LF ends one too.
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find_first_of("\r\n", start);
            if (end == std::string::npos)
                end = text.size();
            out += "  ";
            AppendSafeLine(out, std::string_view(text).substr(start, end - start));
            out += '\n';
            if (end == text.size())
                break;
            start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
        }
    }
    return out;
}

int FormatDayTableWithCells(const SolarDate& from, const SolarDate& to, DayTableMode mode, std::string& out)
{
    CDayCell cell;
    return ForEachDay(from, to, mode, [&out, &cell](const SolarDate& date, const CLunarDate& lunar) {
        FormatDayLine(date, lunar, out);
        if (!out.empty() && out.back() == '\n')
            out.pop_back();
        FillDayCell(cell, date.m_nYear, date.m_nMonth, date.m_nDay, lunar);
        out += '\t';
        out += cell.m_szText;
        out += cell.m_bMonthStart ? "\t1\t" : "\t0\t";
        out += HolidayMark(cell.m_nHoliday);
        out += '\t';
        if (cell.m_pszHoliday)
            out += cell.m_pszHoliday;
        AppendAlmanacColumns(date, lunar, out);
        out += '\n';
    });
}
