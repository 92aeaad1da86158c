#pragma once
// What laying out and drawing a chart share: the plotting methods, the colours and
// fonts of its style, and the layout with the fonts it was made with.

#include "chart/engine/Layout.h"
#include "chart/engine/PropertyStore.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <string>

namespace chart::engine::detail {

// Engine codes of the plotting methods.
enum Method {
    Line = 0,
    Bar = 1,
    Point = 2,
    Area = 3,
    Stick = 4,
    PointsBFL = 8,
    Bubble = 12,
    PointsBFC = 13,
    PointsSpline = 15,
    Spline = 16,
    PointsLine = 17,
    Step = 21,
    Ribbon = 22
};

struct Style {
    QColor desk, graphBack, graphFore, text, shadow;
    bool mono = false, symbols = false;
    int basePx = 12;
};
Style styleOf(const PropertyStore &p, int w, int h);

QFont makeFont(const std::string &family, int px, bool bold, bool italic, bool underline);
// The label font, `factor` times the base size.
QFont labelFont(const PropertyStore &p, const Style &s, double factor = 1.0);

struct Metrics {
    Style style;
    QFont title, sub, label, numbers, legend;
    int numbersH = 0, labelH = 0;
};
Metrics metricsOf(const PropertyStore &p, int w, int h);

// A subset's label; "Subset n" where none was written.
QString subsetLabel(const PropertyStore &p, int s);
// Plotting method of a subset: its own, or the chart's.
int methodOf(const PropertyStore &p, int subset);

// Lays the chart out at w x h; m gets the fonts it was laid out with.
Layout layoutChart(const PropertyStore &p, int w, int h, Metrics &m);

} // namespace chart::engine::detail
