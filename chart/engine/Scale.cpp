#include "chart/engine/Scale.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace chart::engine {

namespace {
double safeLog(double v) { return std::log10(std::max(v, 1e-300)); }
} // namespace

double ScaleMap::toPixel(double v) const {
    double a = log ? safeLog(v0) : v0, b = log ? safeLog(v1) : v1, x = log ? safeLog(v) : v;
    if (b == a) return (p0 + p1) / 2;
    return p0 + (x - a) * (p1 - p0) / (b - a);
}

double ScaleMap::toValue(double p) const {
    double a = log ? safeLog(v0) : v0, b = log ? safeLog(v1) : v1;
    if (p1 == p0) return a;
    double x = a + (p - p0) * (b - a) / (p1 - p0);
    return log ? std::pow(10.0, x) : x;
}

void autoRange(double dataMin, double dataMax, double &outMin, double &outMax) {
    if (!std::isfinite(dataMin) || !std::isfinite(dataMax) || dataMin > dataMax) {
        outMin = 0;
        outMax = 1;
        return;
    }
    if (dataMin == dataMax) {
        double w = dataMin == 0 ? 1 : std::abs(dataMin) * 0.1;
        dataMin -= w;
        dataMax += w;
    }
    double step = niceStep(dataMin, dataMax, 8);
    outMin = std::floor(dataMin / step) * step;
    outMax = std::ceil(dataMax / step) * step;
    if (outMax <= outMin) outMax = outMin + step;
}

double niceStepAtLeast(double raw) {
    if (!std::isfinite(raw) || raw <= 0) return 1;
    double p = std::pow(10.0, std::floor(std::log10(raw)));
    double f = raw / p;
    // 1e-9: a raw step that is already a whole 1, 2 or 5 stays it.
    double m = f <= 1 + 1e-9 ? 1 : f <= 2 + 1e-9 ? 2 : f <= 5 + 1e-9 ? 5 : 10;
    return m * p;
}

double niceStep(double min, double max, int target) {
    double span = std::abs(max - min);
    if (!std::isfinite(span) || span <= 0) return 1;
    return niceStepAtLeast(span / std::max(target, 1));
}

std::vector<double> ticks(double min, double max, double step) {
    std::vector<double> out;
    if (!(step > 0) || !std::isfinite(min) || !std::isfinite(max)) return out;
    if (min > max) std::swap(min, max);
    double first = std::ceil(min / step - 1e-9);
    for (double k = first; out.size() < 1000; ++k) {
        double v = k * step;
        if (v > max + step * 1e-9) break;
        out.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
    }
    return out;
}

QString formatNumber(double v, double step, int decimals) {
    int places = decimals;
    if (step > 0 && std::isfinite(step)) places = std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    places = std::clamp(places, 0, 10);
    if (std::abs(v) < 0.5 * std::pow(10.0, -places)) v = 0; // no "-0.0"
    return QString::number(v, 'f', places);
}

namespace {

const QDateTime &epoch() {
    static const QDateTime e(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return e;
}

// Dates from 1 January 100 to 31 December 9999, as a date-time value can hold them.
constexpr double kFirstDay = -657434, kLastDay = 2958465;

// Candidate steps in days, from one second to a year.
constexpr double kSecond = 1.0 / 86400.0;
const double kSteps[] = {kSecond,
                         2 * kSecond,
                         5 * kSecond,
                         10 * kSecond,
                         15 * kSecond,
                         30 * kSecond,
                         60 * kSecond,
                         120 * kSecond,
                         300 * kSecond,
                         600 * kSecond,
                         900 * kSecond,
                         1800 * kSecond,
                         3600 * kSecond,
                         7200 * kSecond,
                         10800 * kSecond,
                         21600 * kSecond,
                         43200 * kSecond,
                         1,
                         2,
                         7,
                         14,
                         30,
                         61,
                         91,
                         182,
                         365};

} // namespace

QDateTime dateTimeOfDays(double days) {
    days = std::isnan(days) ? 0 : std::clamp(days, kFirstDay, kLastDay + 1);
    double ms = std::round(days * 86400000.0);
    return epoch().addMSecs(static_cast<qint64>(ms));
}

QString dateTimeLabel(double days, double step, bool seconds) {
    QDateTime t = dateTimeOfDays(days);
    if (step >= 1) return t.toString("dd/MM/yy");
    if (seconds || step < 60 * kSecond - 1e-12) return t.toString("hh:mm:ss");
    return t.toString("hh:mm");
}

QString dateTimeDate(double days) { return dateTimeOfDays(days).toString("dd/MM/yy"); }

DateTimeTicks dateTimeTicks(double min, double max, int pixels, int labelPixels, bool seconds) {
    DateTimeTicks out;
    if (!std::isfinite(min) || !std::isfinite(max) || max <= min || pixels <= 0) return out;
    // Beyond the dates there is nothing to label.
    min = std::max(min, kFirstDay);
    max = std::min(max, kLastDay + 1);
    if (max <= min) return out;
    int wanted = std::max(1, pixels / std::max(labelPixels, 1));
    double span = max - min;
    double step = kSteps[std::size(kSteps) - 1];
    for (double s : kSteps)
        if (span / s <= wanted) {
            step = s;
            break;
        }
    if (span / step > wanted) // longer than the steps go: whole years
        step = std::max(1.0, std::round(niceStepAtLeast(span / 365.25 / wanted))) * 365.25;
    if (span / step > 1000) step = span / 1000;
    out.step = step;
    if (step >= 30) {
        // Months: ticks on the first of every m-th month.
        int m = static_cast<int>(std::lround(step / 30.44));
        QDate d = dateTimeOfDays(min).date();
        QDate f(d.year(), d.month(), 1);
        if (epoch().date().daysTo(f) < min - 1e-9) f = f.addMonths(1);
        m = std::max(m, 1);
        while (f.isValid() && (f.year() * 12 + f.month() - 1) % m != 0) f = f.addMonths(1);
        if (!f.isValid()) return out;
        for (; out.values.size() < 1000; f = f.addMonths(m)) {
            double tick = static_cast<double>(epoch().date().daysTo(f));
            if (tick > max + 1e-9) break;
            out.values.push_back(tick);
            out.labels.push_back(dateTimeLabel(tick, step, seconds));
        }
        return out;
    }
    // Whole steps of clock time (days are whole at midnight).
    // Day counts near 46000 over steps of a second: a quotient around 4e9, so the
    // tolerance is a millionth of a step, not of a unit.
    double k0 = std::ceil(min / step - 1e-6);
    for (double k = k0; k * step <= max + step * 1e-6 && out.values.size() < 1000; ++k) {
        double v = k * step;
        out.values.push_back(v);
        out.labels.push_back(dateTimeLabel(v, step, seconds));
    }
    return out;
}

std::vector<std::pair<int, int>> splitRuns(int count, int runLength) {
    std::vector<std::pair<int, int>> out;
    runLength = std::max(runLength, 2);
    if (count < 2) return out;
    for (int start = 0; start < count - 1; start += runLength - 1)
        out.emplace_back(start, std::min(runLength, count - start));
    return out;
}

} // namespace chart::engine
