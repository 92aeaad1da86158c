#include "slm/core/StripChartMaths.h"

#include "slm/core/LevelScale.h"

#include <cmath>

namespace slm {

double StripChartWidth(double scaleWidth) {
    const double w = scaleWidth - 60;
    return w - std::fmod(w, 30.0);
}

double TraceHeight(double level, double min, double max, double height) {
    if (level > max) return height + 5;
    if (level < min) return -3;
    return (level - min) / (max - min) * height;
}

bool TimeMarkDue(double sweepX, double step, double width) {
    const double middle = width / 2;
    return sweepX == 0 || sweepX == middle || (sweepX < middle && middle < sweepX + step);
}

bool QuarterTickDue(double sweepX, double step, double width) {
    for (double q : {width / 4, 3 * width / 4})
        if (sweepX == q || (sweepX < q && q < sweepX + step)) return true;
    return false;
}

double LoadSweepStep(bool armed, double period, double width) {
    // A period of 1 s leaves no interval to divide the sweep into, and a shorter one
    // would sweep backwards off the chart: both take the default step.
    if (armed && period > 1) return width / (period - 1);
    return 1;
}

QString ScaleLabel(double value) { return LevelLabel(value, true); }

} // namespace slm
