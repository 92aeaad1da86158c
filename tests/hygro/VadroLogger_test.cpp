// The data-logger download against the simulated meter, in stream and block mode,
// with the meter misbehaving; the port handed back after every result.

#include "hygro/VadroFixture.h"

#include "hygro/UDataLogger.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QProgressBar>
#include <QPushButton>

using namespace hygrotest;
using namespace hygro;

namespace {

QStringList messages() {
    QStringList texts;
    for (const forms::DialogRecord &r : forms::DialogScript().log()) texts << r.text;
    return texts;
}

QString errorText(int code) {
    return QStringLiteral(
               "There was error when reading data from meter,please click DataLogger from menu to try again. "
               "Error number=") +
           QString::number(code);
}

// The port is the poll loop's again: receive handler attached, timer running.
void expectPortHandedBack(TfrmMain &main) {
    EXPECT_TRUE(bool(main.Comm1->OnRxChar()));
    EXPECT_TRUE(main.MainTimer->isActive());
    EXPECT_FALSE(DownloadBusy);
}

QStringList column(forms::TStringGrid *g, int col) {
    QStringList cells;
    for (int r = 1; r < g->RowCount(); ++r) cells << g->Cells(col, r);
    return cells;
}

} // namespace

TEST(HygroVadroLogger, StreamDownloadListsTheSetsAndKeepsThemWhenTheNextFails) {
    HygroSim meter(
        {"--model", "586", "--ident", "13", "--sets", "3", "--records", "50", "--rate", "5", "--bad-date", "2"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    main->LoadData1Click();

    ASSERT_TRUE(frmDataLogger);
    EXPECT_EQ(frmDataLogger->Caption(), "DataLogger");
    EXPECT_EQ(frmDataLogger->Bounds(), QRect(0, 0, main->MdiArea->width(), main->MdiArea->height() - 60));
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
    expectPortHandedBack(*main);
    EXPECT_TRUE(LoggerDataUnsaved);
    EXPECT_EQ(meter.receivedBytes().count("50"), 1);

    forms::TStringGrid *sets = frmDataLogger->Grid2;
    ASSERT_EQ(sets->RowCount(), 4);
    EXPECT_EQ(column(sets, 0), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(column(sets, 3), (QStringList{"00:05", "00:05", "00:05"}));
    EXPECT_EQ(column(sets, 4), (QStringList{"50", "50", "50"}));
    const QLocale locale = QLocale::system();
    EXPECT_EQ(sets->Cells(1, 1), locale.toString(QDate(2026, 3, 2), QLocale::ShortFormat));
    EXPECT_EQ(sets->Cells(2, 1), "08:00:00");
    // Set 2 was stored with month 13: it starts at the download.
    EXPECT_EQ(sets->Cells(1, 2), locale.toString(QDate::currentDate(), QLocale::ShortFormat));
    EXPECT_EQ(sets->Selection(), (forms::TGridRect{0, 1, 4, 1}));

    // Set 1 is decoded: the simulator's first record is 55.0 %RH, 22.0 and 8.0 C.
    forms::TStringGrid *table = frmDataLogger->Grid1;
    ASSERT_EQ(table->RowCount(), 51);
    EXPECT_EQ(gridRow(table, 1),
              (QStringList{"1", sets->Cells(1, 1), "08:00:00", "55.0", "%RH", "22.0", "C", "8.0", "C"}));
    EXPECT_EQ(table->Cells(2, 2), "08:00:05");
    EXPECT_EQ(table->Cells(0, 50), "50");
    EXPECT_FALSE(frmDataLogger->lblRHMAX->text().isEmpty());
    EXPECT_FALSE(frmDataLogger->lblT2MIN->text().isEmpty());

    // A second download replaces the sets.
    ASSERT_TRUE(meter.control("memory --sets 2 --rate 600"));
    main->LoadData1Click();
    ASSERT_EQ(sets->RowCount(), 3);
    EXPECT_EQ(column(sets, 3), (QStringList{"10:00", "10:00"}));
    EXPECT_EQ(SetCount, 2);

    // A failed one keeps them, and the window as it was.
    ASSERT_TRUE(meter.control("memory --count-beyond 2"));
    const QString before = table->Cells(2, 2);
    LoggerDataUnsaved = false;
    main->LoadData1Click();
    EXPECT_EQ(messages().value(0), errorText(5));
    EXPECT_EQ(SetCount, 2);
    EXPECT_EQ(SetRates, (std::vector<int>{600, 600}));
    EXPECT_EQ(sets->RowCount(), 3);
    EXPECT_EQ(table->Cells(2, 2), before);
    EXPECT_FALSE(LoggerDataUnsaved);
    expectPortHandedBack(*main);
}

TEST(HygroVadroLogger, BlockDownloadAsksAgainForBadAndShortBlocks) {
    HygroSim meter({"--model", "585", "--ident", "7", "--sets", "2", "--records", "40", "--bad-checksum", "1",
                    "--partial-block", "3"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    main->LoadData1Click();
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
    expectPortHandedBack(*main);

    // 256 + 2 * (16 + 40 * 4) bytes: ten blocks. Block 1 comes with a wrong checksum,
    // block 3 stops short at first; each is answered "n" and then taken.
    QStringList bytes = meter.receivedBytes();
    const int p = int(bytes.indexOf("50"));
    ASSERT_GE(p, 0);
    bytes = bytes.mid(p + 1);
    bytes.removeAll("41"); // the poll again
    EXPECT_EQ(bytes, (QStringList{"79", "6E", "79", "79", "6E", "79", "79", "79", "79", "79", "79", "79"}));

    ASSERT_TRUE(frmDataLogger);
    EXPECT_EQ(frmDataLogger->Grid2->RowCount(), 3);
    EXPECT_EQ(frmDataLogger->Grid1->RowCount(), 41);
    // Model 585: one temperature.
    EXPECT_EQ(frmDataLogger->T1MAX->text(), "T MAX");
    EXPECT_TRUE(frmDataLogger->lblT2MAX->isHidden());
    EXPECT_EQ(gridRow(frmDataLogger->Grid1, 0),
              (QStringList{"NO", "DATE", "TIME", "Humidity", "UNIT", "Temperature", "UNIT", "", ""}));
    EXPECT_EQ(frmDataLogger->Grid1->Cells(5, 1), "22.0");
    EXPECT_TRUE(frmDataLogger->Grid1->Cells(7, 1).isEmpty());
}

TEST(HygroVadroLogger, EmptyMemoryInBothModes) {
    for (const char *ident : {"13", "1"}) {
        HygroSim meter({"--model", "586", "--ident", ident, "--empty-memory"});
        auto main = startVadro({meter.path()});
        ASSERT_TRUE(LinkUp);
        main->LoadData1Click();
        EXPECT_EQ(messages(), QStringList{"There was not any data recorded in momery of meter !"}) << ident;
        expectPortHandedBack(*main);
        EXPECT_EQ(SetCount, 0);
        EXPECT_FALSE(LoggerDataUnsaved);
    }
}

TEST(HygroVadroLogger, StreamLengthLimitsAndBlockErrorLimit) {
    {
        // One set without records is 16 bytes; padded to 273 bytes in all, C = 272.
        HygroSim meter({"--model", "586", "--ident", "13", "--sets", "1", "--records", "0", "--pad-to", "273"});
        auto main = startVadro({meter.path()});
        ASSERT_TRUE(LinkUp);
        main->LoadData1Click();
        EXPECT_EQ(messages(), QStringList{errorText(2)});
        ASSERT_TRUE(meter.control("memory --pad-to 274"));
        forms::DialogScript().reset();
        main->LoadData1Click();
        EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
        EXPECT_EQ(SetCount, 1);
    }
    {
        HygroSim meter({"--model", "586", "--ident", "1", "--always-bad-checksum", "5"});
        auto main = startVadro({meter.path()});
        ASSERT_TRUE(LinkUp);
        main->LoadData1Click();
        EXPECT_EQ(messages(), QStringList{errorText(3)});
        QStringList bytes = meter.receivedBytes();
        bytes = bytes.mid(int(bytes.indexOf("50")) + 1);
        QStringList expected;
        for (int i = 0; i < 5; ++i) expected << "79";
        for (int i = 0; i < 21; ++i) expected << "6E";
        expected << "51";
        EXPECT_EQ(bytes.mid(0, expected.size()), expected);
        expectPortHandedBack(*main);
    }
}

TEST(HygroVadroLogger, RefusalsStillCycleThePortAndRestartThePoll) {
    {
        auto main = startVadro({});
        ASSERT_FALSE(LinkUp);
        main->LoadData1Click();
        EXPECT_EQ(messages(), QStringList{"No thermometer is connected !"});
        expectPortHandedBack(*main);
    }
    HygroSim meter({"--model", "586", "--ident", "13"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    manualTicks(*main);
    ASSERT_TRUE(meter.control("key E"));
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    ASSERT_TRUE(hygro::Display.Recording);
    main->LoadData1Click();
    EXPECT_EQ(messages(), QStringList{"The meter is recording data, please stop recording before loading data."});
    expectPortHandedBack(*main);
    EXPECT_TRUE(main->Comm1->Active());
    EXPECT_FALSE(meter.receivedBytes().contains("50"));
}

TEST(HygroVadroLogger, PortVanishingEndsTheDownloadAndKeepsTheLastSets) {
    HygroSim meter({"--model", "586", "--ident", "13", "--sets", "2", "--records", "20"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    main->LoadData1Click();
    ASSERT_EQ(SetCount, 2);
    ASSERT_TRUE(meter.control("memory --sets 4 --stall-at 300"));

    // Once the first bytes after the header are in, the meter's end goes away. Until
    // then the program keeps handling events, its progress window modal and unclosable.
    // The timer fires only from the event loop: the end is cut there or not at all.
    QTimer watch;
    watch.setInterval(10);
    bool modal = true, closable = false, cut = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!frmScope) return;
        modal = modal && QApplication::activeModalWidget() == frmScope;
        if (frmScope->lblBytesReceived->text() != "0" && !frmScope->lblTotalBytes->text().isEmpty()) {
            watch.stop();
            closable = frmScope->close();
            meter.closeTerminal();
            cut = true;
        }
    });
    watch.start();
    main->LoadData1Click();
    EXPECT_TRUE(cut);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(closable);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].startsWith("The connection to the meter failed during the download: the meter's port " +
                                         meter.path() + " was closed or disconnected."))
        << messages()[0].toStdString();
    EXPECT_FALSE(messages()[0].contains("denied")) << messages()[0].toStdString();
    expectPortHandedBack(*main);
    EXPECT_FALSE(frmScope);
    EXPECT_EQ(SetCount, 2);
    ASSERT_TRUE(frmDataLogger);
    EXPECT_EQ(frmDataLogger->Grid2->RowCount(), 3);
    EXPECT_EQ(frmDataLogger->Grid1->RowCount(), 21);
}

TEST(HygroVadroLogger, SavedRecordsReadBackWithOpenAndTheCloseQuestion) {
    HygroSim meter({"--model", "586", "--ident", "13", "--sets", "1", "--records", "30", "--logger-fahrenheit"});
    auto main = startVadro({meter.path()});
    ASSERT_TRUE(LinkUp);
    main->LoadData1Click();
    ASSERT_TRUE(frmDataLogger);
    forms::TStringGrid *table = frmDataLogger->Grid1;
    EXPECT_EQ(table->Cells(6, 1), "F");
    EXPECT_EQ(table->Cells(8, 1), "F");

    // The close question: Cancel keeps the window; Yes saves its table whichever
    // window is active.
    main->RealTimeTabular1Click();
    ASSERT_NE(main->ActiveMDIChild(), frmDataLogger.data());
    forms::DialogScript().pushButton(forms::mrCancel);
    EXPECT_FALSE(frmDataLogger->Close());
    ASSERT_TRUE(frmDataLogger);

    const QString path = QString::fromStdString(testsupport::makeTempDir()) + "/logger.csv";
    forms::DialogScript().pushButton(forms::mrYes);
    forms::DialogScript().pushFile(path);
    answerScope([](TfrmScope &s) { s.BitBtn1->click(); });
    const QList<QStringList> rows = [&] {
        QList<QStringList> r;
        for (int i = 1; i < table->RowCount(); ++i) r << gridRow(table, i).mid(1);
        return r;
    }();
    EXPECT_TRUE(frmDataLogger->Close());
    EXPECT_FALSE(frmDataLogger);
    EXPECT_FALSE(LoggerDataUnsaved);
    EXPECT_EQ(SetCount, 1); // the download outlives its window

    forms::DialogScript().pushFile(path);
    main->Open1Click();
    ASSERT_TRUE(frmList);
    ASSERT_EQ(frmList->Grid1->RowCount(), 31);
    for (int i = 1; i <= 30; ++i) EXPECT_EQ(gridRow(frmList->Grid1, i).mid(1), rows[i - 1]) << i;

    // A new window asks nothing when closed; its empty first row still decodes set 1.
    forms::DialogScript().reset();
    auto *logger = new TfrmDataLogger();
    logger->ShowIn(main->MdiArea);
    logger->Grid2->SetRow(1);
    EXPECT_EQ(logger->Grid1->RowCount(), 31);
    EXPECT_TRUE(logger->Close());
    EXPECT_TRUE(forms::DialogScript().log().empty());
}

TEST(HygroVadroLogger, DataLoggerWindowScreenshot) {
    HygroSim meter({"--model", "586", "--ident", "13", "--sets", "4", "--records", "240", "--rate", "30"});
    auto main = startVadro({meter.path()});
    main->resize(1280, 860);
    ASSERT_TRUE(LinkUp);
    main->LoadData1Click();
    ASSERT_TRUE(frmDataLogger);
    ASSERT_EQ(frmDataLogger->Grid1->RowCount(), 241);
    // The highest humidity, as a user would click it: the table moves to it. The
    // picture shows the logger window in front with that row selected and in view.
    forms::TStringGrid *table = frmDataLogger->Grid1;
    int highest = 1;
    for (int r = 2; r < table->RowCount(); ++r)
        if (table->Cells(3, r).toDouble() > table->Cells(3, highest).toDouble()) highest = r;
    ASSERT_GT(highest, table->VisibleRowCount()); // the click has to scroll
    frmDataLogger->lblRHMAXClick(frmDataLogger->lblRHMAX);
    EXPECT_EQ(frmDataLogger->lblRHMAX->text(), table->Cells(2, highest) + "\t" + table->Cells(3, highest));
    EXPECT_EQ(table->Selection(), (forms::TGridRect{1, highest, table->ColCount() - 1, highest}));
    EXPECT_TRUE(testsupport::waitUntil([&] {
        return table->isVisible() && table->TopRow() <= highest && highest < table->TopRow() + table->VisibleRowCount();
    })) << "top row "
        << table->TopRow() << ", highest " << highest;
    EXPECT_EQ(main->ActiveMDIChild(), frmDataLogger.data());
    const QString dir = QString::fromStdString(testsupport::binDir()) + "/../screenshots";
    QDir().mkpath(dir);
    const QImage shot = main->grab().toImage();
    ASSERT_EQ(shot.size(), main->size());
    EXPECT_TRUE(shot.save(dir + "/vadro-datalogger.png"));
}
