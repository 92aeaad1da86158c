// The picture windows (strip chart, percentile chart, plot) print their picture: the
// page is rasterised and compared with what the window shows, toolbar left out; a
// cancelled dialog prints nothing and the toolbar comes back either way.

#include "platform/forms/Dialogs.h"
#include "platform/forms/Printer.h"
#include "platform/vb/FlexGrid.h"
#include "slm/core/FileTransfer.h"
#include "slm/LnGraph.h"
#include "slm/ListPlot.h"
#include "slm/core/Meter.h"
#include "slm/RealTimeSLM.h"
#include "chart/SciGraphCtl.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>

#include <chrono>
#include <functional>

using namespace slm;
using namespace std::chrono_literals;

namespace {

// Page 1 of a PDF at `dpi`.
QImage rasterised(const QString &pdf, int dpi) {
    const QString stem = QFileInfo(pdf).absolutePath() + "/page";
    QProcess p;
    p.start("pdftoppm", {"-r", QString::number(dpi), "-png", "-f", "1", "-l", "1", "-singlefile", pdf, stem});
    p.waitForFinished(30000);
    return QImage(stem + ".png").convertToFormat(QImage::Format_RGB32);
}

// The part of a page that is not white paper (nor the faint fringe that the PDF's image
// compression leaves).
QRect inked(const QImage &page) {
    QRect r;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 200) r |= QRect(x, y, 1, 1);
    return r;
}

// Mean difference of grey per pixel between `a` at `at` and `b`.
double meanDifference(const QImage &a, QPoint at, const QImage &b) {
    double sum = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            sum += std::abs(qGray(a.pixel(at.x() + x, at.y() + y)) - qGray(b.pixel(x, y)));
    return sum / (double(b.width()) * b.height());
}

struct Window {
    const char *name;
    QWidget *window;
    QWidget *toolbar;
    std::function<void()> print;
    // What the page must show, and where in the printed picture.
    std::function<QImage()> picture;
    QPoint at;
    // The part of the printed picture where the toolbar lies on screen.
    QRect band;
};

class PictureWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMeterState();
        ResetFileTransferState();
        forms::DialogScript().reset();
        pdf = QString::fromStdString(testsupport::makeTempDir()) + "/picture.pdf";
        forms::SetPrintToPdf(pdf);
    }
    void TearDown() override {
        forms::SetPrintToPdf(QString());
        forms::DialogScript().reset();
        UnloadRealTimeSLM();
        UnloadLnGraph();
        UnloadListPlot();
        testsupport::processPendingDeletes();
    }
    static void shown(QWidget *w) {
        testsupport::PaintWatch drawn(w);
        w->show();
        ASSERT_TRUE(testsupport::waitUntil([&] { return w->isVisible() && drawn.paints() > 0; }));
    }
    QString pdf;
};

TEST_F(PictureWindows, PrintTheirPictureWithoutTheToolbar) {
    // The strip chart with a few samples.
    RangeTop = 100;
    RangeBottom = 40;
    GraphRangeTop = RangeTop;
    GraphShown = vb::True;
    RealTimeSLM *strip = LoadRealTimeSLM();
    shown(strip);
    strip->Timer1.SetEnabled(false);
    for (int i = 0; i < 30; ++i) strip->Timer1_Timer();

    LnGraph *ln = LoadLnGraph();
    shown(ln);

    // The plot of a few levels.
    vb::MSFlexGrid levels;
    levels.SetCols(2);
    levels.SetRows(41);
    levels.SetCol(1);
    for (int r = 1; r <= 40; ++r) levels.SetTextMatrix(r, 1, QString::number(50 + r % 7 * 5));
    PlotTop = PlotHigh = 90;
    PlotBottom = PlotLow = 30;
    PlotCount = PlotLast = PlotSpan = 40;
    PlotFirst = 1;
    ListPlot *plot = ListPlotForm();
    shown(plot);
    plot->Timer1.SetEnabled(false);
    PlotRecords(plot, &levels);
    ASSERT_TRUE(plot->CurveDrawn);

    const int bar = ln->Toolbar1->height();
    const Window windows[] = {
        {"strip chart",
         strip,
         strip->Toolbar1,
         [&] { strip->Toolbar1_ButtonClick("Print"); },
         [&] { return strip->Canvas.Image(); },
         {0, 0},
         strip->Toolbar1->geometry()},
        {"percentile chart", ln, ln->Toolbar1, [&] { ln->Toolbar1_ButtonClick(); },
         [&] { return ln->Chart->grab().toImage(); }, ln->Chart->pos(), QRect(0, 0, ln->width(), bar)},
        {"plot",
         plot,
         plot->Toolbar1,
         [&] { plot->Toolbar1_ButtonClick("Print"); },
         [&] { return plot->Canvas().Image(); },
         {0, 0},
         QRect()},
    };
    for (const Window &w : windows) {
        SCOPED_TRACE(w.name);
        QFile::remove(pdf);
        forms::DialogScript().pushCancel();
        w.print();
        EXPECT_FALSE(QFileInfo::exists(pdf));
        EXPECT_TRUE(w.toolbar->isVisible());

        forms::DialogScript().pushAccept();
        w.print();
        ASSERT_TRUE(QFileInfo::exists(pdf));
        EXPECT_EQ(forms::Printer()->LastPageCount(), 1);
        EXPECT_TRUE(w.toolbar->isVisible());

        // The window's picture lies at the page's top-left corner, at its size on screen.
        const QImage page = rasterised(pdf, w.window->logicalDpiX());
        const QImage picture = w.picture().convertToFormat(QImage::Format_RGB32);
        const QRect where(w.at, picture.size());
        const QRect printed = inked(page);
        ASSERT_FALSE(printed.isEmpty());
        EXPECT_TRUE(where.adjusted(-3, -3, 3, 3).contains(printed))
            << printed.x() << "," << printed.y() << " " << printed.width() << "x" << printed.height() << " in "
            << where.x() << "," << where.y() << " " << where.width() << "x" << where.height();
        EXPECT_LT(meanDifference(page, w.at, picture), 6);
        if (!w.band.isEmpty()) {
            // Where the toolbar lies on screen the page is plain.
            const QImage band = page.copy(w.band);
            const int plain = qGray(band.pixel(band.width() / 2, band.height() / 2));
            int off = 0;
            for (int y = 0; y < band.height(); ++y)
                for (int x = 0; x < band.width(); ++x) off += std::abs(qGray(band.pixel(x, y)) - plain) > 40;
            EXPECT_LT(off, band.width() * band.height() / 500) << off;
        }
    }
    // The percentile chart's background is the screen's again.
    EXPECT_EQ(ln->palette().color(QPalette::Window), strip->palette().color(QPalette::Window));
}

} // namespace
