#include "slm/core/PlotMaths.h"

#include "slm/core/LevelScale.h"

#include <algorithm>
#include <cmath>

namespace slm {

PlotGeometry PlotGeometry::Of(double scaleWidth, double scaleHeight, double span) {
    PlotGeometry g;
    const long usable = std::lround(scaleWidth - g.ChartLeft);
    g.ChartWidth = double(usable - usable % 30);
    g.ChartHeight = scaleHeight - 100;
    g.ChartBase = scaleHeight - 27;
    // Without records there is no step: the frame stays empty.
    g.SweepStep = span > 0 ? g.ChartWidth / span : 0;
    return g;
}

QString PlotLabel(double value) { return LevelLabel(value, false); }

PlotRange PlotRange::Of(double low, double high) {
    // Far beyond any level, yet small enough that the span and the labels stay exact.
    static constexpr double bound = 1e12;
    const auto finite = [](double v) { return std::isnan(v) ? 0.0 : std::clamp(v, -bound, bound); };
    PlotRange r{finite(low), finite(high)};
    if (r.High <= r.Low) r.High = r.Low + 60;
    return r;
}

} // namespace slm
