#pragma once
// The record plot's geometry, value range and scale labels, apart from its window.

#include <QString>

namespace slm {

// The chart's geometry, from the drawing surface's size (its scale unit).
struct PlotGeometry {
    double ChartLeft = 60, ChartWidth = 0, ChartHeight = 0, ChartBase = 0, SweepStep = 0;
    static PlotGeometry Of(double scaleWidth, double scaleHeight, double span);
};

// The value range drawn: the limits made finite and distinct, so that every level has
// a height (a file's settings line may name any number as its range).
struct PlotRange {
    double Low = 0, High = 0;
    static PlotRange Of(double low, double high);
};

// A value scale label: the number's standard text (a leading blank when not negative,
// no 0 before the decimal point), with ".0" when it is whole.
QString PlotLabel(double value);

} // namespace slm
