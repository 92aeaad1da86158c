#pragma once
// The strip chart's sweep: its geometry and marks, apart from the window. All in the
// window's scale unit.

#include <QString>

namespace slm {

// Drawing width: the client width less the left margin, cut to a multiple of 30.
double StripChartWidth(double scaleWidth);
// Height of a level above the chart's base: 5 above the top for a level above `max`,
// 3 below the base for one below `min`, else in proportion.
double TraceHeight(double level, double min, double max, double height);
// The sample at `sweepX` gets a time mark: the left edge, the middle, or a step that
// passes the middle.
bool TimeMarkDue(double sweepX, double step, double width);
// The sample at `sweepX` gets a quarter tick: on or passing a quarter or three quarters.
bool QuarterTickDue(double sweepX, double step, double width);
// The step at load: one sweep spans the armed Leq period, else 1.
double LoadSweepStep(bool armed, double period, double width);
// A scale label: the number's standard text (a leading blank when positive), "." as
// the decimal separator, ".0" after a whole number.
QString ScaleLabel(double value);

} // namespace slm
