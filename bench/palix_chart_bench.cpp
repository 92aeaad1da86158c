// One tick of Palix's strip chart beside the same strip chart in QCustomPlot, the chart
// library a user would pick instead.
//
// A tick of ours is what RealTimeSLM does once a second: the erase-ahead box, the
// grid, the segment to the new sample, a time mark or quarter tick where one falls,
// into its backing image, and then its paint of that image onto the window. A tick of
// the peer appends the sample to a graph over the same sweep (cleared at the wrap),
// with the same grid and scale, and replots into the same kind of window image. The two
// run interleaved tick by tick over several sweeps; the table gives the median and the
// spread (10th to 90th percentile) of each and the ratio of the medians.
//
// --ticks=N changes the number of ticks; --images=DIR keeps the last picture of each.

#include "slm/core/FileTransfer.h"
#include "slm/core/Meter.h"
#include "slm/Panel.h"
#include "slm/RealTimeSLM.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Series {
    std::vector<double> us;
    double quantile(double q) {
        std::sort(us.begin(), us.end());
        return us[static_cast<std::size_t>(q * double(us.size() - 1) + 0.5)];
    }
};

template <class F> double timed(F f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e3;
}

// A level that wanders like a street: a slow swing with some noise, in tenths.
QString levelAt(int i) {
    const double v = 62 + 9 * std::sin(i / 37.0) + 4 * std::sin(i * 1.7);
    return QString::number(std::round(v * 10) / 10, 'f', 1);
}

std::unique_ptr<QCustomPlot> peerChart(const slm::RealTimeSLM &ours, QSize size) {
    auto plot = std::make_unique<QCustomPlot>();
    plot->resize(size);
    plot->setNotAntialiasedElements(QCP::aeAll); // ours draws without antialiasing
    plot->addGraph();
    plot->graph(0)->setPen(QPen(Qt::black));
    plot->xAxis->setRange(0, ours.ChartWidth);
    plot->yAxis->setRange(ours.ChartMin, ours.ChartMax);
    plot->yAxis->ticker()->setTickCount(8);
    plot->yAxis->grid()->setPen(QPen(QColor(192, 192, 192), 0, Qt::DotLine));
    plot->xAxis->grid()->setVisible(false);
    plot->yAxis->setLabel("SPL");
    plot->show();
    plot->replot();
    return plot;
}

void tickTable(int ticks, const QString &images) {
    slm::ResetMeterState();
    slm::ResetFileTransferState();
    slm::Panel panel;
    slm::PanelForm = &panel;
    slm::RangeTop = 100;
    slm::RangeBottom = 40;
    slm::GraphRangeTop = 100;
    slm::GraphShown = vb::True;
    slm::RealTimeSLM *chart = slm::LoadRealTimeSLM();
    chart->show();
    QApplication::processEvents();
    chart->Timer1.SetEnabled(false); // ticked here, not by its timer
    const QSize size = chart->size();
    auto peer = peerChart(*chart, size);

    QImage window(size, QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::white);
    auto ourTick = [&](int i) {
        panel.LblValue->setText(levelAt(i));
        chart->Timer1_Timer();
        QPainter p(&window);
        chart->Canvas.Paint(p, QRect(QPoint(0, 0), size));
    };
    int x = 0;
    auto peerTick = [&](int i) {
        if (x > chart->ChartWidth) {
            x = 0;
            peer->graph(0)->data()->clear();
        }
        peer->graph(0)->addData(x++, levelAt(i).toDouble());
        peer->replot(QCustomPlot::rpQueuedRefresh);
        peer->render(&window);
    };

    Series ours, theirs;
    for (int i = 0; i < 20; ++i) {
        ourTick(i);
        peerTick(i);
    }
    for (int i = 20; i < ticks + 20; ++i) {
        ours.us.push_back(timed([&] { ourTick(i); }));
        theirs.us.push_back(timed([&] { peerTick(i); }));
    }
    std::printf("Strip chart tick, %d x %d, %d ticks (%.1f sweeps); median us (10th-90th percentile)\n", size.width(),
                size.height(), ticks, ticks / chart->ChartWidth);
    std::printf("%-24s | %-24s | %s\n", "ours", "QCustomPlot, no AA", "ours/QCustomPlot");
    const double o = ours.quantile(0.5), t = theirs.quantile(0.5);
    std::printf("%7.1f (%6.1f-%7.1f)    | %7.1f (%6.1f-%7.1f)    | %.3f\n", o, ours.quantile(0.1), ours.quantile(0.9),
                t, theirs.quantile(0.1), theirs.quantile(0.9), o / t);
    std::fflush(stdout);
    if (!images.isEmpty()) {
        chart->Canvas.Image().save(images + "/stripchart-ours.png");
        peer->grab().save(images + "/stripchart-qcustomplot.png");
    }
    delete chart;
    slm::PanelForm = nullptr;
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    int ticks = 2000;
    QString images;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--ticks=", 8) == 0)
            ticks = std::max(1, std::atoi(argv[i] + 8));
        else if (std::strncmp(argv[i], "--images=", 9) == 0)
            images = QString::fromLocal8Bit(argv[i] + 9);
    }
    tickTable(ticks, images);
    return 0;
}
