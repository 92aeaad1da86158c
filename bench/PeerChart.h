#pragma once
// The humidity program's chart as a QCustomPlot user would build it: two stacked axis
// rects (humidity above, temperatures below), a date-time x axis, the three curves in
// the program's colours with their names, and a legend. Shared by the benchmarks that
// run it beside ours; the data is theirs to add.

#include <qcustomplot.h>

#include <array>

namespace peer {

inline const char *const kNames[] = {"%RH", "T1", "T2"};
inline const QColor kColours[] = {QColor(0xFF, 0, 0), QColor(0, 0, 0xFF), QColor(0, 0x80, 0)};
inline const double kLimits[2][2] = {{0, 110}, {-20, 140}};

// Sets the chart up on `plot` at width x height; returns its three graphs.
inline std::array<QCPGraph *, 3> setUpChart(QCustomPlot &plot, int width, int height, int penWidth, bool antialiased) {
    plot.resize(width, height);
    if (!antialiased) plot.setNotAntialiasedElements(QCP::aeAll);
    auto *lower = new QCPAxisRect(&plot);
    plot.plotLayout()->addElement(1, 0, lower);
    plot.plotLayout()->setRowStretchFactor(0, 1);
    plot.plotLayout()->setRowStretchFactor(1, 2);
    QCPAxisRect *rects[2] = {plot.axisRect(0), lower};
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat("hh:mm:ss\ndd/MM/yy");
    for (int a = 0; a < 2; ++a) {
        QCPAxis *x = rects[a]->axis(QCPAxis::atBottom), *y = rects[a]->axis(QCPAxis::atLeft);
        x->setTicker(ticker);
        x->setTickLabels(a == 1);
        y->setRange(kLimits[a][0], kLimits[a][1]);
        y->setLabel(a ? "TEMPERATURE" : "HUMIDITY");
        rects[a]->axis(QCPAxis::atTop)->setVisible(false);
        rects[a]->axis(QCPAxis::atRight)->setVisible(false);
    }
    lower->axis(QCPAxis::atBottom)->setLabel("Time");
    std::array<QCPGraph *, 3> graphs{};
    for (int s = 0; s < 3; ++s) {
        QCPAxisRect *r = rects[s == 0 ? 0 : 1];
        graphs[s] = plot.addGraph(r->axis(QCPAxis::atBottom), r->axis(QCPAxis::atLeft));
        graphs[s]->setPen(QPen(kColours[s], penWidth));
        graphs[s]->setName(kNames[s]);
    }
    plot.legend->setVisible(true);
    return graphs;
}

} // namespace peer
