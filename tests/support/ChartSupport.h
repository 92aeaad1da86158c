#pragma once
// Finding a graph point on a chart control's client area, for tests that click points.

#include "chart/ChartEngineApi.h"
#include "chart/SciGraphCtl.h"

#include <QPoint>

#include <cmath>

namespace testsupport {

// The client pixel nearest to graph point (x, y) of axis 0, through the engine's own
// pixel-to-graph conversion; a unit of xScale (yScale) along x (y) counts as one.
// (-1, -1) when no pixel lies in that graph area.
inline QPoint pixelOf(SciGraph &chart, double x, double y, double xScale, double yScale) {
    QPoint best(-1, -1);
    double bestDist = 1e300;
    for (int py = 0; py < chart.height(); ++py)
        for (int px = 0; px < chart.width(); ++px) {
            int axis = 0, cx = px, cy = py;
            double gx = 0, gy = 0;
            if (!chart::cePixelToGraph(chart.GethObject(), &axis, &cx, &cy, &gx, &gy, 0, 0, 0) || axis != 0) continue;
            const double d = std::abs(gx - x) / xScale + std::abs(gy - y) / yScale;
            if (d < bestDist) {
                bestDist = d;
                best = QPoint(px, py);
            }
        }
    return best;
}

} // namespace testsupport
