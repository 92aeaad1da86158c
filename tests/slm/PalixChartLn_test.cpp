// The percentile windows Ln and LnGraph: headings, placement, the table's save and
// print, the live poll stopped while the table prints.

#include "PalixRecordSupport.h"

#include "slm/Ln.h"
#include "slm/LnGraph.h"
#include "slm/List.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QPointer>
#include <QTimer>

using namespace slm;
using namespace std::chrono_literals;

namespace {

class PalixLn : public PalixRecord {
protected:
    // Ln as the Run key opens it, below a List.
    Ln *open() {
        ListForm()->show();
        Ln *ln = LnForm();
        ln->show();
        EXPECT_TRUE(testsupport::waitUntil([&] { return ln->isVisible(); }));
        return ln;
    }
};

TEST_F(PalixLn, HeadingsWidthsAndPlaceBelowTheList) {
    SlmSim sim({"--level", "55"});
    start(sim);
    Ln *ln = open();
    EXPECT_EQ(ln->windowTitle(), "Ln");
    ASSERT_EQ(ln->Grid->Rows(), 1);
    ASSERT_EQ(ln->Grid->Cols(), 11);
    EXPECT_EQ(ln->Grid->FixedRows(), 1);
    EXPECT_EQ(ln->Grid->FixedCols(), 1);
    const char *heads[11] = {"Ln", " 0", " 1", " 2", " 3", " 4", " 5", " 6", " 7", " 8", " 9"};
    for (int c = 0; c < 11; ++c) {
        EXPECT_EQ(ln->Grid->TextMatrix(0, c), heads[c]);
        EXPECT_EQ(ln->Grid->ColWidth(c), SampleWidth(ln, c <= 3 ? "ABC.DE" : "ABC.D")) << c;
    }
    EXPECT_GT(ln->Grid->ColWidth(3), ln->Grid->ColWidth(4));
    // "Ln" shows in the corner where the fixed row and column meet.
    const QImage grid = ln->Grid->grab().toImage();
    const QRect corner(ln->Grid->frameWidth(), ln->Grid->frameWidth(), ln->Grid->verticalHeader()->width(),
                       ln->Grid->horizontalHeader()->height());
    int ink = 0;
    for (int y = corner.top(); y <= corner.bottom(); ++y)
        for (int x = corner.left(); x <= corner.right(); ++x) ink += qGray(grid.pixel(x, y)) < 100;
    EXPECT_GT(ink, 10);
    // Over the list's lowest 1500 twips, at its left edge.
    const QRect list = ListForm()->frameGeometry();
    EXPECT_EQ(ln->frameGeometry().topLeft(), QPoint(list.x(), list.bottom() + 1 - vb::TwipsToPixelsY(1500)));

    // Plot does nothing.
    const size_t shown = forms::DialogScript().log().size();
    ln->Toolbar1_ButtonClick("Plot");
    EXPECT_EQ(forms::DialogScript().log().size(), shown);
    EXPECT_TRUE(ln->isVisible());
}

TEST_F(PalixLn, SaveWritesTheHeadingLineOnly) {
    SlmSim sim({"--level", "55"});
    start(sim);
    Ln *ln = open();
    const QString path = dir + "/ln.slm";
    forms::DialogScript().pushFile(path);
    ln->Toolbar1_ButtonClick("Save");
    EXPECT_EQ(read(path), QByteArray("Ln\t 0\t 1\t 2\t 3\t 4\t 5\t 6\t 7\t 8\t 9\t\r\n"));
    EXPECT_EQ(ln->windowTitle(), "Ln");
    EXPECT_EQ(FileChosen, vb::False);
    EXPECT_EQ(vb::MousePointer(), vb::vbDefault);
    const auto &log = forms::DialogScript().log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, forms::DialogKind::Save);
    EXPECT_EQ(log[0].text, "All Files (*.slm)|*.slm|All Files (*.*)|*.*|");

    // A file that cannot be written is said, and the pointer comes back.
    forms::DialogScript().reset();
    forms::DialogScript().pushFile(dir + "/no-such-folder/ln.slm");
    forms::DialogScript().pushAccept();
    ln->Toolbar1_ButtonClick("Save");
    ASSERT_EQ(forms::DialogScript().log().size(), 2u);
    EXPECT_EQ(forms::DialogScript().log()[1].flags & forms::MB_ICONMASK, forms::MB_ICONSTOP);
    EXPECT_EQ(vb::MousePointer(), vb::vbDefault);
    EXPECT_EQ(ln->windowTitle(), "Ln");
}

TEST_F(PalixLn, PrintStopsTheLivePollAndStartsItAgain) {
    SlmSim sim({"--level", "55"});
    Panel *p = start(sim);
    Ln *ln = open();
    ASSERT_TRUE(p->Timer1.Enabled());

    // The print processes events after its line: the poll is seen off then.
    int polledWhilePrinting = -1;
    QTimer::singleShot(0, [&] { polledWhilePrinting = p->Timer1.Enabled(); });
    forms::DialogScript().pushAccept();
    ln->Toolbar1_ButtonClick("Print");
    EXPECT_EQ(polledWhilePrinting, 0);
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_EQ(vb::MousePointer(), vb::vbDefault);
    QStringList printed = printedLines();
    ASSERT_EQ(printed.size(), 1);
    EXPECT_EQ(printed[0].simplified(), "Ln 0 1 2 3 4 5 6 7 8 9");
    const QString live = p->LblValue->text();
    EXPECT_TRUE(testsupport::waitUntil([&] { return p->LblValue->text() == "55.0"; }, 3s)) << live.toStdString();

    // Cancelled: nothing printed, the poll runs again.
    const QString before = forms::Printer()->LastOutputFile();
    forms::DialogScript().pushCancel();
    ln->Toolbar1_ButtonClick("Print");
    EXPECT_EQ(forms::Printer()->LastOutputFile(), before);
    EXPECT_TRUE(p->Timer1.Enabled());

    // A printer that fails: the message, and the poll runs again.
    forms::SetPrintToPdf(dir + "/no-such-folder/out.pdf");
    forms::DialogScript().reset();
    forms::DialogScript().pushAccept();
    forms::DialogScript().pushAccept();
    ln->Toolbar1_ButtonClick("Print");
    const auto &log = forms::DialogScript().log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].kind, forms::DialogKind::MessageBox);
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_EQ(vb::MousePointer(), vb::vbDefault);
}

TEST_F(PalixLn, ChartWindowOpensAtTheTopLeftAndKeepsItsPicture) {
    QPointer<LnGraph> g = LoadLnGraph();
    g->show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return g->isVisible(); }));
    EXPECT_EQ(g->windowTitle(), "Percentile Sound Level (Y axis - Percent   X axis - dB)");
    EXPECT_EQ(g->frameGeometry().topLeft(), QPoint(0, 0));
    // Other windows opening over it repaint it.
    for (int i = 0; i < 2; ++i) {
        QWidget other;
        other.resize(300, 200);
        testsupport::PaintWatch drawn(&other);
        other.show();
        ASSERT_TRUE(testsupport::waitUntil([&] { return drawn.paints() > 0; }));
    }
    EXPECT_TRUE(g->isVisible());
    UnloadLnGraph();
    ASSERT_TRUE(testsupport::waitUntil([&] { return g.isNull(); }));
}

} // namespace
