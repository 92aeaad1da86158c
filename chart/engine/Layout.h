#pragma once
// Where the parts of a chart lie after a render: the graph area, the stacked y axes
// with their scales, the legend and the titles. Rendering fills it; hit-testing, the
// cursor, zooming and coordinate conversion read it.

#include "chart/engine/Scale.h"

#include <QColor>
#include <QRect>

#include <vector>

namespace chart::engine {

struct AxisLayout {
    int firstSubset = 0, subsetCount = 0; // subsets drawn against this axis
    QRect band;                           // pixel rows of the axis inside the graph area
    QRect labelRect;                      // the axis label
    QRect numbersRect;                    // the tick numbers
    ScaleMap y;
};

struct Layout {
    QRect desk, graph;
    ScaleMap x;
    bool dateTime = false;
    std::vector<AxisLayout> axes;
    std::vector<std::pair<QRect, int>> legend; // entry rectangle, subset
    QRect mainTitle, subTitle, xLabel, xNumbers;
    std::vector<std::pair<QRect, int>> vertLineTexts, horzLineTexts, graphAnnots;
    struct GridNumber {
        QRect rect;
        int axis; // y axis index; 0 for the x axis
        double value;
    };
    std::vector<GridNumber> yGridNumbers, xGridNumbers; // as drawn, in tick order
    bool valid = false;

    // Axis whose band holds pixel row y (-1 when none).
    int axisAt(int y) const;
    // Axis of a subset (0 when the layout has none for it).
    int axisOfSubset(int subset) const;
};

} // namespace chart::engine
