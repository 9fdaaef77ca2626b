#include "solar_term_calc.h"

#include <cmath>
#include <cstdio>

namespace solarterm {
namespace {

struct VsopTerm {
    double a, b, c;
};
struct VsopSeries {
    const VsopTerm* terms;
    int count;
};

#include "vsop87d_earth.inc"

constexpr double PI = 3.14159265358979323846;
constexpr double DEG = PI / 180.0;
constexpr double ARCSEC_PER_DEG = 3600.0;
constexpr double J2000 = 2451545.0;
constexpr double SECONDS_PER_DAY = 86400.0;
// China Standard Time is UTC+8.
constexpr double LOCAL_OFFSET_DAYS = 8.0 / 24.0;

template <int N> double EvaluateVsop(const VsopSeries (&series)[N], double tau)
{
    // Horner over the powers of tau, smallest terms of each power summed first.
    double sum = 0.0;
    for (int p = N - 1; p >= 0; --p) {
        double part = 0.0;
        for (int i = series[p].count - 1; i >= 0; --i) {
            const VsopTerm& t = series[p].terms[i];
            part += t.a * std::cos(t.b + t.c * tau);
        }
        sum = sum * tau + part;
    }
    return sum;
}

double NormalizeDegrees(double x)
{
    x = std::fmod(x, 360.0);
    return x < 0.0 ? x + 360.0 : x;
}

// Multipliers of D, M, M', F, Omega, then the sine coefficient of the nutation in longitude
// as s0 + s1 T, in units of 0.0001". The IAU 1980 series; the obliquity part is not needed.
struct NutationTerm {
    signed char d, m, mp, f, om;
    double s0, s1;
};

const NutationTerm kNutation[] = {
    {0, 0, 0, 0, 1, -171996, -174.2},
    {-2, 0, 0, 2, 2, -13187, -1.6},
    {0, 0, 0, 2, 2, -2274, -0.2},
    {0, 0, 0, 0, 2, 2062, 0.2},
    {0, 1, 0, 0, 0, 1426, -3.4},
    {0, 0, 1, 0, 0, 712, 0.1},
    {-2, 1, 0, 2, 2, -517, 1.2},
    {0, 0, 0, 2, 1, -386, -0.4},
    {0, 0, 1, 2, 2, -301, 0},
    {-2, -1, 0, 2, 2, 217, -0.5},
    {-2, 0, 1, 0, 0, -158, 0},
    {-2, 0, 0, 2, 1, 129, 0.1},
    {0, 0, -1, 2, 2, 123, 0},
    {2, 0, 0, 0, 0, 63, 0},
    {0, 0, 1, 0, 1, 63, 0.1},
    {2, 0, -1, 2, 2, -59, 0},
    {0, 0, -1, 0, 1, -58, -0.1},
    {0, 0, 1, 2, 1, -51, 0},
    {-2, 0, 2, 0, 0, 48, 0},
    {0, 0, -2, 2, 1, 46, 0},
    {2, 0, 0, 2, 2, -38, 0},
    {0, 0, 2, 2, 2, -31, 0},
    {0, 0, 2, 0, 0, 29, 0},
    {-2, 0, 1, 2, 2, 29, 0},
    {0, 0, 0, 2, 0, 26, 0},
    {-2, 0, 0, 2, 0, -22, 0},
    {0, 0, -1, 2, 1, 21, 0},
    {0, 2, 0, 0, 0, 17, -0.1},
    {2, 0, -1, 0, 1, 16, 0},
    {-2, 2, 0, 2, 2, -16, 0.1},
    {0, 1, 0, 0, 1, -15, 0},
    {-2, 0, 1, 0, 1, -13, 0},
    {0, -1, 0, 0, 1, -12, 0},
    {0, 0, 2, -2, 0, 11, 0},
    {2, 0, -1, 2, 1, -10, 0},
    {2, 0, 1, 2, 2, -8, 0},
    {0, 1, 0, 2, 2, 7, 0},
    {-2, 1, 1, 0, 0, -7, 0},
    {0, -1, 0, 2, 2, -7, 0},
    {2, 0, 0, 2, 1, -7, 0},
    {2, 0, 1, 0, 0, 6, 0},
    {-2, 0, 2, 2, 2, 6, 0},
    {-2, 0, 1, 2, 1, 6, 0},
    {2, 0, -2, 0, 1, -6, 0},
    {2, 0, 0, 0, 1, -6, 0},
    {0, -1, 1, 0, 0, 5, 0},
    {-2, -1, 0, 2, 1, -5, 0},
    {-2, 0, 0, 0, 1, -5, 0},
    {0, 0, 2, 2, 1, -5, 0},
    {-2, 0, 2, 0, 1, 4, 0},
    {-2, 1, 0, 2, 1, 4, 0},
    {0, 0, 1, -2, 0, 4, 0},
    {-1, 0, 1, 0, 0, -4, 0},
    {-2, 1, 0, 0, 0, -4, 0},
    {1, 0, 0, 0, 0, -4, 0},
    {0, 0, 1, 2, 0, 3, 0},
    {0, 0, -2, 2, 2, -3, 0},
    {-1, -1, 1, 0, 0, -3, 0},
    {0, 1, 1, 0, 0, -3, 0},
    {0, -1, 1, 2, 2, -3, 0},
    {2, -1, -1, 2, 2, -3, 0},
    {0, 0, 3, 2, 2, -3, 0},
    {2, -1, 0, 2, 2, -3, 0},
};

}  // namespace

double GetNutationInLongitude(double dJde)
{
    const double T = (dJde - J2000) / 36525.0;
    // Fundamental arguments of the Moon and Sun, degrees.
    const double D = 297.85036 + T * (445267.111480 + T * (-0.0019142 + T / 189474.0));
    const double M = 357.52772 + T * (35999.050340 + T * (-0.0001603 - T / 300000.0));
    const double Mp = 134.96298 + T * (477198.867398 + T * (0.0086972 + T / 56250.0));
    const double F = 93.27191 + T * (483202.017538 + T * (-0.0036825 + T / 327270.0));
    const double Om = 125.04452 + T * (-1934.136261 + T * (0.0020708 + T / 450000.0));
    double sum = 0.0;
    for (int i = static_cast<int>(sizeof kNutation / sizeof kNutation[0]) - 1; i >= 0; --i) {
        const NutationTerm& n = kNutation[i];
        const double arg = (n.d * D + n.m * M + n.mp * Mp + n.f * F + n.om * Om) * DEG;
        sum += (n.s0 + n.s1 * T) * std::sin(arg);
    }
    return sum * 0.0001;
}

SunPosition GetSunPosition(double dJde)
{
    const double tau = (dJde - J2000) / 365250.0;
    const double T = tau * 10.0;
    const double L = EvaluateVsop(kEarthL, tau);
    const double B = EvaluateVsop(kEarthB, tau);
    const double R = EvaluateVsop(kEarthR, tau);

    // Geocentric: the Sun is seen opposite the Earth.
    const double theta = NormalizeDegrees(L / DEG + 180.0);
    const double beta = -B / DEG * ARCSEC_PER_DEG;

    // From the VSOP87 dynamical frame to FK5.
    const double lp = (theta - T * (1.397 + 0.00031 * T)) * DEG;
    const double dTheta = -0.09033 + 0.03916 * (std::cos(lp) + std::sin(lp)) * std::tan(beta / ARCSEC_PER_DEG * DEG);
    const double dBeta = 0.03916 * (std::cos(lp) - std::sin(lp));

    const double aberration = -20.4898 / R;
    SunPosition pos;
    pos.m_dLongitude = NormalizeDegrees(theta + (dTheta + GetNutationInLongitude(dJde) + aberration) / ARCSEC_PER_DEG);
    pos.m_dLatitude = beta + dBeta;
    pos.m_dRadius = R;
    return pos;
}

double GetDeltaT(double y)
{
    // Espenak and Meeus (2006); each piece is valid on [start, next start).
    if (y < 1920.0) {
        const double t = y - 1900.0;
        return -2.79 + t * (1.494119 + t * (-0.0598939 + t * (0.0061966 - t * 0.000197)));
    }
    if (y < 1941.0) {
        const double t = y - 1920.0;
        return 21.20 + t * (0.84493 + t * (-0.076100 + t * 0.0020936));
    }
    if (y < 1961.0) {
        const double t = y - 1950.0;
        return 29.07 + 0.407 * t - t * t / 233.0 + t * t * t / 2547.0;
    }
    if (y < 1986.0) {
        const double t = y - 1975.0;
        return 45.45 + 1.067 * t - t * t / 260.0 - t * t * t / 718.0;
    }
    if (y < 2005.0) {
        const double t = y - 2000.0;
        return 63.86 + t * (0.3345 + t * (-0.060374 + t * (0.0017275 + t * (0.000651814 + t * 0.00002373599))));
    }
    if (y < 2050.0) {
        const double t = y - 2000.0;
        return 62.92 + t * (0.32217 + t * 0.005589);
    }
    const double u = (y - 1820.0) / 100.0;
    return -20.0 + 32.0 * u * u - 0.5628 * (2150.0 - y);
}

double GetTermLongitude(int nMonth, int k)
{
    return std::fmod(285.0 + 30.0 * (nMonth - 1) + 15.0 * k, 360.0);
}

double JulianDayFromDate(int y, int m, int d)
{
    // Days from 1970-01-01 (proleptic Gregorian), valid for any year.
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = era * 146097 + doe - 719468;
    return static_cast<double>(days) + 2440587.5;
}

void DateFromDayNumber(long jdn, int& nYear, int& nMonth, int& nDay)
{
    // jdn is the Julian Day Number of the day (its noon); inverse of JulianDayFromDate.
    const long z = jdn - 2440588 + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    nDay = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    nMonth = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    nYear = static_cast<int>(yoe + era * 400 + (nMonth <= 2));
}

bool ComputeTermMoment(int nYear, int nMonth, int k, TermMoment& moment)
{
    if (nYear < FIRST_YEAR || nYear > LAST_YEAR || nMonth < 1 || nMonth > 12 || (k != 0 && k != 1))
        return false;
    const double target = GetTermLongitude(nMonth, k);
    auto offset = [target](double jde) {
        // Degrees still to go, in (-180, 180].
        double d = std::fmod(target - GetSunPosition(jde).m_dLongitude, 360.0);
        if (d <= -180.0)
            d += 360.0;
        if (d > 180.0)
            d -= 360.0;
        return d;
    };

    // Terms fall near the 6th and the 21st; the first step uses the mean motion of the Sun,
    // the following ones the secant through the last two points.
    double x0 = JulianDayFromDate(nYear, nMonth, 6 + 15 * k);
    double f0 = offset(x0);
    double x1 = x0 + f0 * 365.2422 / 360.0;
    bool settled = false;
    for (int i = 0; i < 30; ++i) {
        const double f1 = offset(x1);
        if (f1 == f0) {
            settled = std::fabs(x1 - x0) < 1e-6;
            break;
        }
        const double x2 = x1 - f1 * (x1 - x0) / (f1 - f0);
        x0 = x1;
        f0 = f1;
        x1 = x2;
        if (std::fabs(x1 - x0) < 1e-8) {  // about a millisecond
            settled = true;
            break;
        }
    }
    if (!settled)
        return false;

    moment.m_dJde = x1;
    moment.m_dDeltaT = GetDeltaT(nYear + (nMonth - 0.5) / 12.0);
    const double local = x1 - moment.m_dDeltaT / SECONDS_PER_DAY + LOCAL_OFFSET_DAYS;

    const long jdn = static_cast<long>(std::floor(local + 0.5));
    moment.m_dLocalSecond = (local + 0.5 - static_cast<double>(jdn)) * SECONDS_PER_DAY;
    DateFromDayNumber(jdn, moment.m_nYear, moment.m_nMonth, moment.m_nDay);

    // Half a minute and more rounds up, except in the last half minute of a day: the day byte
    // names the day on which the term begins, so 23:59:45 stays 23:59 of that day.
    long minute = static_cast<long>(std::floor((moment.m_dLocalSecond + 30.0) / 60.0));
    if (minute > 1439)
        minute = 1439;
    moment.m_nHour = static_cast<int>(minute / 60);
    moment.m_nMinute = static_cast<int>(minute % 60);
    // A term that lands outside its own month means the iteration found the wrong crossing.
    return moment.m_nYear == nYear && moment.m_nMonth == nMonth;
}

bool BuildTermTable(std::string& text)
{
    text = "// Moments of the solar terms, China Standard Time. Generated by tools/solarterms (solarterm-gen);\n"
           "// do not edit by hand.\n";
    char line[96];
    for (int y = FIRST_YEAR; y <= LAST_YEAR; ++y) {
        for (int m = 1; m <= 12; ++m) {
            TermMoment t[2];
            if (!ComputeTermMoment(y, m, 0, t[0]) || !ComputeTermMoment(y, m, 1, t[1]))
                return false;
            std::snprintf(line, sizeof line, "{{%d, %d, %d}, {%d, %d, %d}}, // %04d-%02d\n", t[0].m_nDay, t[0].m_nHour,
                t[0].m_nMinute, t[1].m_nDay, t[1].m_nHour, t[1].m_nMinute, y, m);
            text += line;
        }
    }
    return true;
}

}  // namespace solarterm
