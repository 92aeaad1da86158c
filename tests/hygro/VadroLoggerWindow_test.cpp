// The data-logger window on a download state made by the test: decoding one set into
// table, chart and extreme panels, and the jumps between them.

#include "hygro/VadroFixture.h"

#include "hygro/UDataLogger.h"

#include "chart/ChartEngineApi.h"
#include "chart/SciGraphCtl.h"
#include "platform/forms/Printer.h"
#include "support/ChartSupport.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QLabel>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>

#include <cmath>

using namespace hygrotest;
using namespace hygro;
using testsupport::pixelOf;

namespace {

struct Record {
    uint16_t rh, t1, t2;
};

// Publishes one set as a download would.
void storeSet(const std::vector<Record> &records, bool fahrenheit, int stride = 6) {
    std::vector<uint8_t> b{0xA5,
                           0x5A,
                           0,
                           26,
                           3,
                           7,
                           9,
                           0,
                           0,
                           0,
                           60,
                           uint8_t(fahrenheit ? 0x08 : 0),
                           uint8_t(records.size() >> 8),
                           uint8_t(records.size())};
    for (const Record &r : records) {
        const uint16_t values[3] = {r.rh, r.t1, r.t2};
        for (int j = 0; j < stride / 2; ++j) {
            b.push_back(uint8_t(values[j] >> 8));
            b.push_back(uint8_t(values[j]));
        }
    }
    b.push_back(0x5A);
    b.push_back(0xA5);
    LoggerSetTable t;
    ASSERT_EQ(SplitLoggerSets(b.data(), b.size(), 1, stride, QDateTime::currentDateTime(), t), 0);
    MemoryImage = b;
    SetCount = 1;
    SetStartTimes = t.startTimes;
    SetRates = t.rates;
    SetRecordCounts = t.recordCounts;
    SetUnitLetters = t.unitLetters;
    SetStartOffsets = t.startOffsets;
    SetEndOffsets = t.endOffsets;
}

struct LoggerWindow {
    std::unique_ptr<TfrmMain> main = startVadro({});
    TfrmDataLogger *window = nullptr;

    explicit LoggerWindow(int model = 586) {
        MeterModel = model;
        RecordStride = model == 586 ? 6 : 4;
        window = new TfrmDataLogger();
        window->ShowIn(main->MdiArea);
        window->SetBounds(0, 0, 1000, 640);
    }
};

void click(QWidget &w, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, w.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&w, &release);
}

bool samePicture(const QLabel *label, const QPixmap &p) { return label->pixmap().toImage() == p.toImage(); }

} // namespace

TEST(HygroVadroLoggerWindow, DecodesTableChartAndExtremes) {
    LoggerWindow w;
    // RH 70.0 twice (rows 2, 3), an RH of 100.0 ("OL"), T1 -40.0 ("-OL"), T2 250.7.
    storeSet({{500, 234, 1000}, {700, 0x8000 | 50, 2507}, {700, 250, 1000}, {1000, 0x8000 | 400, 120}, {300, 234, 90}},
             false);
    TfrmDataLogger &d = *w.window;
    d.DecodeDataSet(0);

    forms::TStringGrid *g = d.Grid1;
    ASSERT_EQ(g->RowCount(), 6);
    EXPECT_EQ(gridRow(g, 0), (QStringList{"NO", "DATE", "TIME", "Humidity", "UNIT", "T1", "UNIT", "T2", "UNIT"}));
    EXPECT_EQ(gridRow(g, 2).mid(2), (QStringList{"09:01:00", "70.0", "%RH", "-5.0", "C", "250", "C"}));
    EXPECT_EQ(gridRow(g, 4).mid(3), (QStringList{"OL", "%RH", "-OL", "C", "12.0", "C"}));
    EXPECT_TRUE(g->isVisible());

    // Equal maxima point to the first; out-of-range readings are left out.
    EXPECT_EQ(d.ExtremeRows, (std::array<int, 6>{2, 5, 3, 2, 2, 5}));
    EXPECT_EQ(d.lblRHMAX->text(), "09:01:00\t70.0");
    EXPECT_EQ(d.lblRHMIN->text(), "09:04:00\t30.0");
    EXPECT_EQ(d.lblT1MIN->text(), "09:01:00\t-5.0");
    EXPECT_EQ(d.lblT2MAX->text(), "09:01:00\t250.0");
    EXPECT_TRUE(samePicture(d.imgT1Max, d.imgT1C));
    EXPECT_TRUE(samePicture(d.imgT2Min, d.imgT2C));

    // Chart: the values as decoded, "OL" ones included; the temperature axis widened
    // by the T2 maximum of 250: 250 * 1.1 + 20.
    SciGraph *c = d.SciGraph1;
    EXPECT_EQ(c->Points(), 5);
    EXPECT_EQ(c->Subsets(), 3);
    EXPECT_FLOAT_EQ(c->YData(0, 3), 100.0f);
    EXPECT_FLOAT_EQ(c->YData(2, 1), 250.0f);
    EXPECT_NEAR(c->XDataII(1, 1) - c->XDataII(1, 0), 60.0 / 86400, 1e-9);
    c->SetWorkingAxis(1);
    EXPECT_NEAR(c->ManualMaxY(), 295.0, 1e-3);
    EXPECT_NEAR(c->ManualMinY(), -40.0, 1e-3);
    EXPECT_EQ(c->VertLineAnnotationText(0), "09:00:00 RH:50.0 T1:23.4 T2:100.0");
    EXPECT_DOUBLE_EQ(c->VertLineAnnotation(0), c->XDataII(0, 0));
}

TEST(HygroVadroLoggerWindow, FahrenheitSetShowsTheFahrenheitGlyphs) {
    LoggerWindow w;
    storeSet({{500, 734, 800}}, true);
    w.window->DecodeDataSet(0);
    for (QLabel *l : {w.window->imgT1Max, w.window->imgT1Min}) EXPECT_TRUE(samePicture(l, w.window->imgT1F));
    for (QLabel *l : {w.window->imgT2Max, w.window->imgT2Min}) EXPECT_TRUE(samePicture(l, w.window->imgT2F));
    EXPECT_EQ(w.window->Grid1->Cells(6, 1), "F");
    EXPECT_EQ(w.window->Grid1->Cells(8, 1), "F");
}

TEST(HygroVadroLoggerWindow, ChartPointsAndExtremePanelsJumpToTheirRows) {
    LoggerWindow w;
    std::vector<Record> records;
    for (int k = 0; k < 300; ++k) records.push_back({uint16_t(400 + k), uint16_t(200 + k % 7), uint16_t(100)});
    storeSet(records, false);
    TfrmDataLogger &d = *w.window;
    d.DecodeDataSet(0);
    forms::TStringGrid *g = d.Grid1;
    const int visible = g->VisibleRowCount();
    ASSERT_GT(visible, 2);
    ASSERT_LT(visible, 200);

    d.SciGraph1DataHotSpot(d.SciGraph1, 0, 1, 200); // a point of the T1 curve
    EXPECT_EQ(g->Selection(), (forms::TGridRect{1, 201, 8, 201}));
    EXPECT_EQ(g->TopRow(), 201 - visible / 2);
    EXPECT_TRUE(d.SciGraph1->VertLineAnnotationText(0).startsWith(g->Cells(2, 201)));

    d.SciGraph1DataHotSpot(d.SciGraph1, 0, 0, 0);
    EXPECT_EQ(g->Selection(), (forms::TGridRect{1, 1, 8, 1}));
    EXPECT_EQ(g->TopRow(), 1);

    // RH rises throughout: its maximum is the last record.
    d.lblRHMAXClick(d.lblRHMAX);
    EXPECT_EQ(g->Selection().Top, 300);
    d.lblRHMAXClick(d.lblRHMIN);
    EXPECT_EQ(g->Selection().Top, 1);

    // A point beyond the records (the empty chart has four) changes nothing.
    d.SciGraph1DataHotSpot(d.SciGraph1, 0, 0, 5000);
    EXPECT_EQ(g->Selection().Top, 1);

    // Caption bars: the clicked one is white on blue, the others plain.
    d.StaticText4Click();
    EXPECT_EQ(d.StaticText4->palette().color(QPalette::Window), QColor(0, 0, 255));
    EXPECT_NE(d.StaticText1->palette().color(QPalette::Window), QColor(0, 0, 255));
    d.HighlightCaptionBar(7);
    EXPECT_NE(d.StaticText4->palette().color(QPalette::Window), QColor(0, 0, 255));
}

TEST(HygroVadroLoggerWindow, LayoutByModel) {
    LoggerWindow w(585);
    TfrmDataLogger &d = *w.window;
    EXPECT_EQ(d.T1MAX->text(), "T MAX");
    EXPECT_EQ(d.T1MIN->text(), "T MIN");
    EXPECT_TRUE(d.lblT2MIN->isHidden());
    EXPECT_TRUE(d.imgT2Max->isHidden());
    EXPECT_EQ(d.Grid2->Cells(3, 0), "Rate");
    EXPECT_EQ(d.Grid2->RowCount(), 2);
    EXPECT_EQ(d.Grid1->FixedColor(), 0xFFFFFF);
    // Not a 480 or 728 pixel screen: the set list 230 high.
    EXPECT_EQ(d.Grid2->height(), 230);

    // A set row without a set does nothing.
    d.Grid2->SetRow(1);
    EXPECT_EQ(d.Grid1->RowCount(), 2);
}

// The set list and the record table show their headers and usual texts whole.
TEST(HygroVadroLoggerWindow, SetListAndTableTextsFitTheirColumns) {
    LoggerWindow w;
    storeSet({{500, 0x8000 | 2010, 2507}, {1000, 234, 0x8000 | 2010}}, false);
    TfrmDataLogger &d = *w.window;
    d.DecodeDataSet(0);
    const QString date = QLocale::system().toString(QDate(2026, 12, 28), QLocale::ShortFormat);
    const QStringList set{"9", date, "23:59:59", LoggerRateText(5), "4080"};
    for (int c = 0; c < set.size(); ++c) d.Grid2->SetCells(c, 1, set[c]);
    d.Grid1->SetCells(1, 1, date);
    EXPECT_EQ(cutTexts(d.Grid2).join(", "), "");
    EXPECT_EQ(cutTexts(d.Grid1).join(", "), "");
}

TEST(HygroVadroLoggerWindow, ClickOnAChartPointSelectsItsRow) {
    LoggerWindow w;
    std::vector<Record> records;
    for (int k = 0; k < 40; ++k) records.push_back({uint16_t(200 + 15 * k), 234, 100});
    storeSet(records, false);
    TfrmDataLogger &d = *w.window;
    d.DecodeDataSet(0);
    SciGraph &c = *d.SciGraph1;
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.isVisible() && c.GethObject(); }));
    d.Grid1->SetSelection({1, 20, 8, 20});
    const double span = c.XDataII(0, 39) - c.XDataII(0, 0);
    for (int point : {0, 30}) {
        const QPoint at = pixelOf(c, c.XDataII(0, point), c.YData(0, point), span / 40, 2.0);
        ASSERT_NE(at, QPoint(-1, -1));
        click(c, at);
        EXPECT_EQ(d.Grid1->Selection(), (forms::TGridRect{1, point + 1, 8, point + 1})) << point;
        EXPECT_TRUE(c.VertLineAnnotationText(0).startsWith(d.Grid1->Cells(2, point + 1))) << point;
    }
    EXPECT_EQ(d.Grid1->TopRow(), d.Grid1->VisibleRowCount() >= 31 ? 1 : 31 - d.Grid1->VisibleRowCount() / 2);
}

TEST(HygroVadroLoggerWindow, PrintAndSaveTakeTheRecordTable) {
    LoggerWindow w;
    storeSet({{500, 234, 1000}, {700, 0x8000 | 50, 2507}}, false);
    w.window->DecodeDataSet(0);
    w.main->MdiArea->setActiveSubWindow(w.window->Frame());
    const QString dir = QString::fromStdString(testsupport::makeTempDir());

    forms::SetPrintToPdf(dir + "/logger.pdf");
    forms::SetPrinterResolution(300);
    forms::DialogScript().pushAccept();
    w.main->btnPrintClick();
    forms::SetPrintToPdf(QString());
    const QString out = testsupport::pdfText(dir + "/logger.pdf", testsupport::KeepLayout);
    // The columns as far as the paper is wide.
    EXPECT_TRUE(out.contains(QRegularExpression("NO +DATE +TIME +Humidity +UNIT +T1"))) << out.toStdString();
    const QString date = QRegularExpression::escape(w.window->Grid1->Cells(1, 2));
    EXPECT_TRUE(out.contains(QRegularExpression("2 +" + date + " +09:01:00 +70.0 +%RH +-5.0 +C +250")))
        << out.toStdString();

    // Save with this window active writes its records, whether or not a download is unsaved.
    forms::DialogScript().pushFile(dir + "/logger.txt");
    answerScope([](TfrmScope &s) { s.BitBtn1->click(); });
    EXPECT_TRUE(w.main->mnuSaveClick());
    QFile f(dir + "/logger.txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(
        lines[1].startsWith(w.window->Grid1->Cells(1, 2).toLocal8Bit() + "\t09:01:00\t70.0\t%RH\t-5.0\tC\t250\tC\t"));
}
