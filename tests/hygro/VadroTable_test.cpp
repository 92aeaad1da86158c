// Table commands: save with a row range, open, print, Stop's question, Clear and the
// sampling-rate editor, on the real-time table of a program without a meter.

#include "hygro/VadroFixture.h"

#include "platform/forms/NamedPipe.h"
#include "hygro/UGraph.h"
#include "platform/forms/Printer.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QPageSize>
#include <QPrinter>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>

using namespace hygrotest;
using namespace hygro;

namespace {

QString tempDir() { return QString::fromStdString(testsupport::makeTempDir()); }

// Fills the real-time table with `rows` rows of the 9-column layout.
void fillTable(forms::TStringGrid *g, int rows, bool t2 = true) {
    g->SetRowCount(rows + 1);
    for (int r = 1; r <= rows; ++r) {
        const QStringList cells{QString::number(r),
                                "07/03/2026",
                                QStringLiteral("14:%1:00").arg(r, 2, 10, QLatin1Char('0')),
                                QString::number(40 + r) + ".5",
                                "%RH",
                                "23.1",
                                "C",
                                t2 ? "25.0" : "",
                                t2 ? "C" : ""};
        for (int c = 0; c < cells.size(); ++c) g->SetCells(c, r, cells[c]);
    }
}

QStringList fileLines(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

void activate(QWidget *form) {
    auto *frame = static_cast<TMdiChild *>(form)->Frame();
    frame->mdiArea()->setActiveSubWindow(frame);
}

void answerRange(const QString &from, const QString &to) {
    answerScope([from, to](TfrmScope &s) {
        s.radNo->setChecked(true);
        s.edtSelFrom->setText(from);
        s.edtSelTo->setText(to);
        s.BitBtn1->click();
    });
}

} // namespace

TEST(HygroVadroTable, SaveWithSelectFiveToThreeWritesRowsThreeToFive) {
    auto main = startVadro({});
    fillTable(RealTimeList->Grid1, 6);
    activate(RealTimeList);
    const QString path = tempDir() + "/table.CSV";
    forms::DialogScript().pushFile(path);
    answerRange("5", "3");
    main->mnuSaveClick();
    const QStringList lines = fileLines(path);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "07/03/2026,14:03:00,43.5,%RH,23.1,C,25.0,C,"); // upper-case CSV: commas, no number column
    EXPECT_EQ(lines[2].section(',', 1, 1), "14:05:00");

    // A name typed without an extension gets "csv", and so commas.
    const QString plain = tempDir() + "/plain";
    forms::DialogScript().pushFile(plain);
    answerScope([](TfrmScope &s) { s.BitBtn1->click(); });
    main->mnuSaveClick();
    ASSERT_EQ(fileLines(plain + ".csv").size(), 6);
    EXPECT_TRUE(fileLines(plain + ".csv")[0].endsWith(",C,25.0,C,"));
}

TEST(HygroVadroTable, ClosingTheTableWhileItIsSavedEndsTheSave) {
    auto main = startVadro({});
    fillTable(RealTimeList->Grid1, 3000);
    activate(RealTimeList);
    const QString path = tempDir() + "/closing.csv";
    forms::DialogScript().pushFile(path);
    answerScope([](TfrmScope &s) {
        s.BitBtn1->click();
        QTimer::singleShot(0, [] {
            if (RealTimeList) delete RealTimeList->Frame();
        });
    });
    main->mnuSaveClick();
    EXPECT_FALSE(RealTimeList);
    EXPECT_LT(fileLines(path).size(), 3000);
}

TEST(HygroVadroTable, RangeEntriesThatAreNotIntegersWriteNothing) {
    auto main = startVadro({});
    fillTable(RealTimeList->Grid1, 3);
    activate(RealTimeList);
    const QString path = tempDir() + "/table.txt";
    forms::DialogScript().pushFile(path);
    answerRange("one", "3");
    main->mnuSaveClick();
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_FALSE(forms::DialogScript().log().empty());
    EXPECT_EQ(forms::DialogScript().log().back().text, "invalid integer");
}

TEST(HygroVadroTable, SavedTableReadsBackIntoTheSameCells) {
    auto main = startVadro({});
    fillTable(RealTimeList->Grid1, 4);
    RealTimeList->Grid1->SetCells(7, 2, ""); // an empty T2 cell later in the table
    activate(RealTimeList);
    const QString path = tempDir() + "/back.txt";
    forms::DialogScript().pushFile(path);
    answerScope([](TfrmScope &s) { s.BitBtn1->click(); }); // All
    main->mnuSaveClick();
    ASSERT_EQ(fileLines(path).size(), 4);
    EXPECT_TRUE(fileLines(path)[0].contains('\t'));

    forms::DialogScript().pushFile(path);
    main->Open1Click();
    ASSERT_TRUE(frmList);
    EXPECT_EQ(frmList->Caption(), path);
    forms::TStringGrid *g = frmList->Grid1;
    ASSERT_EQ(g->RowCount(), 5);
    for (int r = 1; r <= 4; ++r) EXPECT_EQ(gridRow(g, r), gridRow(RealTimeList->Grid1, r)) << r;
    EXPECT_EQ(gridRow(g, 0), (QStringList{"NO", "DATE", "TIME", "HUMIDITY", "UNIT", "T1", "UNIT", "T2", "UNIT"}));
}

TEST(HygroVadroTable, OpenStopsAtTheFirstEmptyLineAndTakesHeadersFromTheFirstRow) {
    auto main = startVadro({});
    const QString path = tempDir() + "/two.csv";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("07/03/2026,14:00:00,45.0,%RH,23.0,C,,,\r\n"
            "07/03/2026,14:00:02,45.1,%RH,23.1,C,25.0,C,\r\n"
            "\r\n"
            "07/03/2026,14:00:04,45.2,%RH,23.2,C,,,\r\n");
    f.close();
    forms::DialogScript().pushFile(path);
    main->Open1Click();
    ASSERT_TRUE(frmList);
    forms::TStringGrid *g = frmList->Grid1;
    EXPECT_EQ(g->RowCount(), 3);
    EXPECT_EQ(g->Cells(0, 2), "2");
    EXPECT_EQ(g->Cells(7, 2), "25.0");
    EXPECT_EQ(g->Cells(5, 0), "Temperature"); // row 1 has no T2
    EXPECT_EQ(g->Cells(7, 0), "");
}

// A pipe, a device or a folder chosen in the open dialog is refused with a message at
// once (a pipe's open would wait for a writer); a file that cannot be opened ends the
// command quietly, as before.
TEST(HygroVadroTable, OpenRefusesWhatIsNoTableFile) {
    auto main = startVadro({});
    const QString dir = tempDir();
    NamedPipe pipe(dir + "/pipe.txt");
    ASSERT_TRUE(pipe.made());
    ASSERT_TRUE(QDir(dir).mkdir("folder.csv"));
    struct Case {
        QString path, says;
    };
    const Case cases[] = {
        {dir + "/pipe.txt", dir + "/pipe.txt cannot be read as a file: it is a named pipe."},
        {"/dev/zero", "/dev/zero cannot be read as a file: it is a device."},
        {dir + "/folder.csv", dir + "/folder.csv cannot be read as a file: it is a folder."},
        {dir + "/missing.txt", ""},
    };
    for (const Case &c : cases) {
        forms::DialogScript().reset();
        forms::DialogScript().setStrict(true);
        frmList = nullptr;
        forms::DialogScript().pushFile(c.path);
        main->Open1Click();
        EXPECT_EQ(frmList, nullptr) << c.path.toStdString();
        QStringList messages;
        for (const forms::DialogRecord &r : forms::DialogScript().log())
            if (r.kind == forms::DialogKind::ShowMessage) messages << r.text;
        EXPECT_EQ(messages.join("|").toStdString(), c.says.toStdString());
    }
    EXPECT_FALSE(pipe.blockedAReader());
}

TEST(HygroVadroTable, TwentyFiveRowsOnA3300PixelPageAreOnePage) {
    auto main = startVadro({});
    fillTable(RealTimeList->Grid1, 25);
    activate(RealTimeList);
    const QString pdf = tempDir() + "/grid.pdf";
    forms::SetPrintToPdf(pdf);
    forms::SetPrinterResolution(300);
    // US Letter, as the printer set-up would choose it.
    QPrinter *printer = forms::Printer()->QtPrinter();
    const QPageSize paper = printer->pageLayout().pageSize();
    printer->setPageSize(QPageSize(QPageSize::Letter));
    ASSERT_EQ(forms::Printer()->PageHeight(), 3300);
    forms::DialogScript().pushAccept();
    main->btnPrintClick();
    EXPECT_EQ(forms::Printer()->LastPageCount(), 1);
    const QString out = testsupport::pdfText(pdf, testsupport::KeepLayout);
    const int header = out.indexOf(QStringLiteral("NO"));
    ASSERT_GE(header, 0) << out.toStdString();
    EXPECT_LT(header, out.indexOf(QStringLiteral("14:01:00")));
    EXPECT_TRUE(out.contains(QStringLiteral("14:25:00")));
    forms::SetPrintToPdf(QString());
    printer->setPageSize(paper);
}

TEST(HygroVadroTable, StopAsksOnlyAfterNewRowsAndCancelChangesNothing) {
    auto main = startVadro({});
    main->btnRunMouseMove();
    EXPECT_EQ(main->btnRun->toolTip(), "Start Real Time Graph and Tabular");
    main->btnRunClick();
    main->btnRunMouseMove();
    EXPECT_EQ(main->btnRun->toolTip(), "Pause Real Time Graph and Tabular");
    EXPECT_EQ(main->mnuRun->text(), "Pause");
    main->btnStopClick();
    EXPECT_TRUE(forms::DialogScript().log().empty()); // no rows: no question
    EXPECT_FALSE(main->btnRun->isEnabled());          // no meter: Run stays off
    EXPECT_FALSE(main->btnStop->isEnabled());

    main->btnRunClick();
    fillTable(RealTimeList->Grid1, 2);
    RowsAdded = true;
    forms::DialogScript().pushButton(forms::mrCancel);
    main->btnStopClick();
    EXPECT_TRUE(Running);
    EXPECT_TRUE(main->btnStop->isEnabled());

    // Yes saves the real-time table even while another table window is active.
    forms::DialogScript().reset();
    const QString other = tempDir() + "/other.txt";
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x\ty\t\r\n");
    f.close();
    forms::DialogScript().pushFile(other);
    main->Open1Click();
    ASSERT_TRUE(frmList);
    activate(frmList);
    const QString saved = tempDir() + "/rt.csv";
    forms::DialogScript().pushButton(forms::mrYes);
    forms::DialogScript().pushFile(saved);
    answerScope([](TfrmScope &s) { s.BitBtn1->click(); });
    main->btnStopClick();
    EXPECT_FALSE(Running);
    EXPECT_FALSE(RowsAdded);
    EXPECT_EQ(fileLines(saved).size(), 2);
}

// Run and Pause restore both real-time windows; only one that lay minimised takes
// the focus, so the chart the user works in keeps its commands.
TEST(HygroVadroTable, RunAndPauseLeaveTheActiveWindowActive) {
    auto main = startVadro({});
    QMdiArea *area = main->MdiArea;
    activate(RealTimeGraph);
    ASSERT_EQ(area->activeSubWindow(), RealTimeGraph->Frame());
    for (const char *step : {"run", "pause", "resume"}) {
        main->btnRunClick();
        EXPECT_EQ(area->activeSubWindow(), RealTimeGraph->Frame()) << step;
        EXPECT_TRUE(main->Graph1->isEnabled()) << step;
        EXPECT_FALSE(main->btnOutputGraph->isEnabled()) << step;
    }
    RealTimeList->Frame()->showMinimized();
    activate(RealTimeGraph);
    main->btnRunClick();
    EXPECT_FALSE(RealTimeList->Frame()->isMinimized());
    EXPECT_EQ(area->activeSubWindow(), RealTimeList->Frame());
}

// At its own size the real-time table shows each header and each usual text whole,
// for either model's headers, and its last column inside the window.
TEST(HygroVadroTable, RealTimeTableTextsFitTheirColumnsAndTheWindow) {
    auto main = startVadro({});
    forms::TStringGrid *g = RealTimeList->Grid1;
    const QString date = QLocale::system().toString(QDate(2026, 12, 28), QLocale::ShortFormat);
    for (int model : {585, 586}) {
        MeterModel = model;
        main->ApplyModel();
        const int rows = 300; // a scroll bar, and row numbers of six digits
        g->SetRowCount(rows + 1);
        for (int r = 1; r <= rows; ++r) {
            const QStringList cells{QString::number(604700 + r),
                                    date,
                                    "23:59:59",
                                    "100.0",
                                    "%RH",
                                    "-201.0",
                                    "C",
                                    model == 586 ? "-201.0" : "",
                                    model == 586 ? "C" : ""};
            for (int c = 0; c < cells.size(); ++c) g->SetCells(c, r, cells[c]);
        }
        QApplication::processEvents();
        EXPECT_EQ(cutTexts(g, rows).join(", "), "") << model;
        EXPECT_LE(g->columnViewportPosition(8) + g->columnWidth(8), g->viewport()->width()) << model;
    }
}

TEST(HygroVadroTable, ClearEmptiesTheTableAndTheEditorCorrectsItsEntries) {
    auto main = startVadro({});
    fillTable(RealTimeList->Grid1, 3);
    main->Clear1Click();
    EXPECT_EQ(RealTimeList->Grid1->RowCount(), 2);
    EXPECT_EQ(gridRow(RealTimeList->Grid1, 1), QStringList(9, QString()));
    EXPECT_EQ(RealTimeList->Grid1->Cells(0, 0), "NO");

    main->MaskEdit1->setText("  99 : 75  ");
    EXPECT_EQ(main->MaskEdit1->displayText(), "  60 : 60  ");
    EXPECT_EQ(RealTimeRate, 3660);
    main->MaskEdit1->setText("  00 : 00  ");
    EXPECT_EQ(RealTimeRate, 0);
    // A deleted digit is a blank, not a text that is no number.
    main->MaskEdit1->setText("  01 : 15  ");
    main->MaskEdit1->setCursorPosition(7);
    main->MaskEdit1->del();
    EXPECT_EQ(main->MaskEdit1->displayText(), "  01 : _5  ");
    EXPECT_EQ(RealTimeRate, 65);

    main->Content1Click();
    ASSERT_EQ(forms::DialogScript().log().size(), 1u);
    EXPECT_EQ(forms::DialogScript().log()[0].text,
              "Please see " + TfrmMain::ProgramFolder() + "VadroHelp.Doc or VadroHelp.html");
}

TEST(HygroVadroTable, ExitRefusedByTheTableQuestionKeepsEveryWindow) {
    auto main = startVadro({});
    fillTable(RealTimeList->Grid1, 2);
    RowsAdded = true;
    forms::DialogScript().pushButton(forms::mrCancel); // "Save changes to Real Time Tabular"
    main->close();
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(frmPanel);
    ASSERT_TRUE(RealTimeList);
    EXPECT_EQ(RealTimeList->Grid1->Cells(3, 2), "42.5");
    EXPECT_TRUE(main->MainTimer->isActive());

    forms::DialogScript().pushButton(forms::mrNo);
    main->close();
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(forms::DialogScript().log().size(), 2u); // one question per close
}

TEST(HygroVadroTable, ASaveThatDidNotHappenKeepsTheRealTimeRows) {
    auto main = startVadro({});
    main->btnRunClick();
    fillTable(RealTimeList->Grid1, 2);
    RowsAdded = true;

    // Stop, Yes, then the save dialog cancelled: still recording, nothing lost.
    forms::DialogScript().pushButton(forms::mrYes);
    forms::DialogScript().pushCancel();
    main->btnStopClick();
    EXPECT_TRUE(Running);
    EXPECT_TRUE(RowsAdded);

    // A file that cannot be created is said, and the table's close is refused.
    forms::DialogScript().reset();
    const QString unwritable = tempDir() + "/no-such-folder/rt.csv";
    forms::DialogScript().pushButton(forms::mrYes);
    forms::DialogScript().pushFile(unwritable);
    forms::DialogScript().pushAccept(); // the message, which would wait for a user under X
    answerScope([](TfrmScope &s) { s.BitBtn1->click(); });
    EXPECT_FALSE(RealTimeList->Close());
    ASSERT_TRUE(RealTimeList);
    EXPECT_EQ(RealTimeList->Grid1->Cells(3, 2), "42.5");
    bool told = false;
    for (const auto &entry : forms::DialogScript().log())
        told = told || entry.text == "Cannot create file " + unwritable;
    EXPECT_TRUE(told);
}
