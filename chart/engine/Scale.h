#pragma once
// Chart maths apart from painting: scale ranges and ticks, date-time labels, the
// value-to-pixel map and the pieces of a wide polyline. Pure functions.

#include <QDateTime>
#include <QPointF>
#include <QString>

#include <vector>

namespace chart::engine {

// Linear map of [v0, v1] onto pixels [p0, p1] (p1 < p0 for a y axis growing upwards).
struct ScaleMap {
    double v0 = 0, v1 = 1, p0 = 0, p1 = 1;
    bool log = false;
    double toPixel(double v) const;
    double toValue(double p) const;
};

// Range of automatic scaling: the data range widened to whole steps; an empty or
// single-valued range becomes a unit-wide one around it.
void autoRange(double dataMin, double dataMax, double &outMin, double &outMax);

// A step of 1, 2 or 5 times a power of ten such that [min, max] holds about `target`
// intervals (never fewer than 1).
double niceStep(double min, double max, int target);
// The smallest step of 1, 2 or 5 times a power of ten that is at least `raw`.
double niceStepAtLeast(double raw);
// Tick values k * step inside [min, max] (at most 1000).
std::vector<double> ticks(double min, double max, double step);

// Tick number text: as many places as the step needs (`decimals` without a step).
QString formatNumber(double v, double step, int decimals);

// Date-time values in days since 30 December 1899, time of day as the fraction.
struct DateTimeTicks {
    std::vector<double> values;
    std::vector<QString> labels;
    double step = 0; // days
};
// Ticks and labels fitting `span` in `pixels` (about one label per `labelPixels`):
// clock labels ("hh:mm" or "hh:mm:ss") for spans under a day, date plus clock for a few
// days, dates ("dd/MM/yy") beyond.
DateTimeTicks dateTimeTicks(double min, double max, int pixels, int labelPixels, bool seconds);
// One label: the form used for a step (days).
QString dateTimeLabel(double days, double step, bool seconds);
// Second line under a clock label: the date when it differs from the previous tick's.
QString dateTimeDate(double days);
// The date-time (UTC) of a value, held to the dates a date-time can have (1 January 100
// to 31 December 9999; NaN is the epoch).
QDateTime dateTimeOfDays(double days);

// Pieces of a polyline of at most `runLength` points, each beginning where the last
// ended, so that a wide pen never draws one long polyline.
std::vector<std::pair<int, int>> splitRuns(int count, int runLength);

} // namespace chart::engine
