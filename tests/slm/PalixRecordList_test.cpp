// PC-side recording against the simulated meter: the sampling tick (driven by the
// test, not in real time), the record file and its split parts, the stop on a settings
// change, failed writes, the live list with its auto-save, the Open key and FileList,
// the data list's save, and the list printouts.

#include "PalixRecordSupport.h"

#include <QDateTime>
#include <QDirIterator>
#include <QScrollBar>

#include <sys/resource.h>

#include <csignal>

using namespace slm;
using namespace std::chrono_literals;

namespace {

const QRegularExpression stampPattern("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$");

// One record line of a file: number, stamp, level.
struct Rec {
    QString number, stamp, level;
};
Rec rec(const QByteArray &line) {
    const QList<QByteArray> f = line.split('\t');
    EXPECT_EQ(f.size(), 4) << line.toStdString();
    EXPECT_TRUE(line.endsWith('\t')) << line.toStdString();
    if (f.size() < 3) return {};
    return {QString::fromLatin1(f[0]), QString::fromLatin1(f[1]), QString::fromLatin1(f[2])};
}

TEST_F(PalixRecord, ASampleEveryNTicksTheFirstAtTheSecond) {
    SlmSim sim({"--level", "61.5"});
    Panel *p = start(sim);
    press(p, "List");
    EXPECT_EQ(SamplingTime, 1);
    ticks(p, 1);
    EXPECT_EQ(ListRows, 0);
    ticks(p, 1);
    EXPECT_EQ(ListRows, 1);
    ticks(p, 2);
    EXPECT_EQ(ListRows, 3);
    SamplingTime = 3; // the Sampling key also sets the counter to 0
    SampleCounter = 0;
    ticks(p, 3);
    EXPECT_EQ(ListRows, 3);
    ticks(p, 1);
    EXPECT_EQ(ListRows, 4);
    ticks(p, 2);
    EXPECT_EQ(ListRows, 4);
    ticks(p, 1);
    EXPECT_EQ(ListRows, 5);
    EXPECT_EQ(ListForm()->Grid->TextMatrix(5, 2), "61.5");
}

TEST_F(PalixRecord, ARecordingFromSaveToSave) {
    SlmSim sim({"--level", "85.3", "--range", "1"});
    Panel *p = start(sim);
    EXPECT_EQ(p->Buttons(1).Action->toolTip(), "Save As");
    const QString path = dir + "/rec.slm";
    forms::DialogScript().pushFile(path);
    p->Toolbar1_ButtonClick(p->Buttons(1));
    const auto &save = forms::DialogScript().log().back();
    EXPECT_EQ(save.kind, forms::DialogKind::Save);
    EXPECT_EQ(save.text, "All Files (*.slm)|*.slm|All Files (*.*)|*.*|");
    EXPECT_EQ(FileRecording, vb::True);
    EXPECT_EQ(p->LblFileName->text(), "rec.slm");
    EXPECT_TRUE(p->LblRec->isVisible());
    EXPECT_EQ(p->Buttons(1).ToolTipText, "Stop Recording");
    EXPECT_EQ(p->Buttons(1).Action->toolTip(), "Stop Recording");
    EXPECT_EQ(p->Buttons(1).Action->icon().pixmap(24).toImage(), p->Buttons(16).Action->icon().pixmap(24).toImage());
    EXPECT_EQ(read(path), "No.s\tDate Time\tSPL\r\n"); // the header is there at once

    ticks(p, 3); // the first tick after start-up takes no sample
    EXPECT_EQ(p->LblCount->text(), "2");
    EXPECT_EQ(p->LblRec->text(), "Rec");
    hold(p, ""); // no level shown: an empty field, extremes untouched
    ticks(p, 1);
    p->LblValue->setText("90.1");
    ticks(p, 1);
    p->LblValue->setText("85.3");
    ticks(p, 1);

    // While it records, the Open key is refused.
    p->Toolbar1_ButtonClick(p->Buttons(2));
    EXPECT_EQ(lastPrompt(), "Recording Mode!\n\rPlease stop recording!");
    EXPECT_EQ(forms::DialogScript().log().back().flags & forms::MB_ICONMASK, forms::MB_ICONSTOP);
    EXPECT_FALSE(FileListLoaded());

    p->Toolbar1_ButtonClick(p->Buttons(1));
    EXPECT_EQ(FileRecording, vb::False);
    EXPECT_FALSE(p->LblRec->isVisible());
    EXPECT_EQ(p->LblCount->text(), "");
    EXPECT_EQ(p->LblFileName->text(), "");
    EXPECT_EQ(p->Buttons(1).Action->toolTip(), "Save As");
    EXPECT_EQ(p->Buttons(1).Action->icon().pixmap(24).toImage(), p->Buttons(17).Action->icon().pixmap(24).toImage());
    EXPECT_EQ(RecordNo, 0);
    EXPECT_EQ(FileChosen, vb::False);

    const QList<QByteArray> l = lines(path);
    ASSERT_EQ(l.size(), 1 + 5 + 3);
    EXPECT_EQ(l[0], "No.s\tDate Time\tSPL");
    const Rec first = rec(l[1]);
    EXPECT_EQ(first.number, "1");
    EXPECT_TRUE(stampPattern.match(first.stamp).hasMatch()) << first.stamp.toStdString();
    EXPECT_EQ(first.level, "85.3");
    EXPECT_EQ(rec(l[3]).level, "");
    EXPECT_EQ(rec(l[4]).level, "90.1");
    EXPECT_EQ(rec(l[5]).number, "5");
    EXPECT_EQ(l[6], "*Time: FAST;   Frequency: A;   Range: 30-90");
    EXPECT_EQ(l[7], "**Max : 90.1 dB ----" + rec(l[4]).stamp.toLatin1());
    EXPECT_EQ(l[8], "***Min : 85.3 dB ----" + first.stamp.toLatin1()); // the earliest of the equal minima

    // Not recording: the labels stay clear and the numbering starts again at 1.
    ticks(p, 1);
    EXPECT_EQ(p->LblCount->text(), "");
    forms::DialogScript().pushFile(dir + "/again.slm");
    p->Toolbar1_ButtonClick(p->Buttons(1));
    ticks(p, 1);
    EXPECT_EQ(rec(lines(dir + "/again.slm").value(1)).number, "1");
}

TEST_F(PalixRecord, SaveIsIgnoredWhileAPeriodIsArmedAndCancelStartsNothing) {
    SlmSim sim({"--level", "70"});
    Panel *p = start(sim);
    forms::DialogScript().pushCancel();
    press(p, "Save");
    EXPECT_EQ(FileRecording, vb::False);
    EXPECT_EQ(FileChosen, vb::False);
    LeqArmed = true;
    const size_t dialogs = forms::DialogScript().log().size();
    press(p, "Save");
    EXPECT_EQ(forms::DialogScript().log().size(), dialogs); // not even the dialog
    EXPECT_EQ(FileRecording, vb::False);
}

TEST_F(PalixRecord, AFileThatCannotBeCreatedIsSaidAndNothingStarts) {
    SlmSim sim({"--level", "70"});
    Panel *p = start(sim);
    forms::DialogScript().pushFile(dir + "/no/such/folder/rec.slm");
    press(p, "Save");
    EXPECT_EQ(FileRecording, vb::False);
    EXPECT_TRUE(lastPrompt().startsWith("Path not found")) << lastPrompt().toStdString();
    EXPECT_EQ(p->Buttons(1).Action->toolTip(), "Save As");
}

TEST_F(PalixRecord, PartsSplitEvery349950Records) {
    SlmSim sim({"--level", "77.7", "--range", "2", "--weighting", "SLOW", "--c"});
    Panel *p = start(sim);
    ticks(p, 1);
    struct Case {
        const char *name, *part;
    };
    for (const Case &c : {Case{"rec.slm", "rec-1.slm"}, Case{"rec", "rec-1"}}) {
        hold(p, "77.7");
        const QString path = dir + "/" + c.name;
        forms::DialogScript().pushFile(path);
        press(p, "Save");
        RecordNo = 349948; // as if that many were written
        ticks(p, 2);
        EXPECT_EQ(RecordNo, 349950);
        p->LblValue->setText("80.0");
        ticks(p, 1);
        EXPECT_EQ(RecordNo, 349951);
        EXPECT_EQ(FilePartNo, 1);

        const QList<QByteArray> whole = lines(path);
        ASSERT_EQ(whole.size(), 1 + 2 + 3) << c.name;
        EXPECT_EQ(rec(whole[1]).number, "349949");
        EXPECT_EQ(rec(whole[2]).number, "349950");
        EXPECT_EQ(whole[3], "*Time: SLOW   Frequency: C   Range: 40-100"); // three spaces
        EXPECT_TRUE(whole[4].startsWith("**Max : 77.7 dB ----"));
        const QList<QByteArray> part = lines(dir + "/" + c.part);
        ASSERT_EQ(part.size(), 2) << c.part;
        EXPECT_EQ(part[0], "No.s\tDate Time\tSPL");
        EXPECT_EQ(rec(part[1]).number, "349951");
        EXPECT_EQ(rec(part[1]).level, "80.0");
        press(p, "Save");
        const QList<QByteArray> closed = lines(dir + "/" + c.part);
        ASSERT_EQ(closed.size(), 5);
        EXPECT_EQ(closed[2], "*Time: SLOW;   Frequency: C;   Range: 40-100");
        EXPECT_EQ(closed[3], "**Max : 80.0 dB ----" + rec(part[1]).stamp.toLatin1()); // its own extremes
    }
}

TEST_F(PalixRecord, ASettingsChangeWritesOneMoreRecordAndEnds) {
    SlmSim sim({"--level", "66.6", "--range", "1"});
    Panel *p = start(sim);
    const QString path = dir + "/range.slm";
    forms::DialogScript().pushFile(path);
    press(p, "Save");
    ticks(p, 3);
    sim.control("range 3");
    ASSERT_TRUE(testsupport::waitUntil([] { return RangeTop == 110; }, 5s));
    ticks(p, 1);
    EXPECT_EQ(FileRecording, vb::False);
    EXPECT_EQ(p->Buttons(1).Action->toolTip(), "Save As");
    EXPECT_EQ(p->LblCount->text(), "");
    const QList<QByteArray> l = lines(path);
    ASSERT_EQ(l.size(), 1 + 3 + 3);
    EXPECT_EQ(rec(l[3]).number, "3");                             // the record that showed the change
    EXPECT_EQ(l[4], "*Time: FAST   Frequency: A   Range: 30-90"); // the range of the start
    ticks(p, 2);
    EXPECT_EQ(lines(path).size(), 7);
}

TEST_F(PalixRecord, AFailedWriteIsShownAndTheSampleTakenAgain) {
    SlmSim sim({"--level", "70.0"});
    Panel *p = start(sim);
    hold(p, "70.0");
    const QString path = dir + "/failing.slm";
    forms::DialogScript().pushFile(path);
    press(p, "Save");
    ticks(p, 2);
    ASSERT_EQ(RecordNo, 1);

    // The disk is full: nothing of the line stays, the panel says so, the counter waits.
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit full = old;
    full.rlim_cur = rlim_t(QFileInfo(path).size());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    ticks(p, 2);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(RecordNo, 1);
    EXPECT_TRUE(p->LblRec->text().contains("NOT SAVED")) << p->LblRec->text().toStdString();
    EXPECT_TRUE(p->LblRec->text().contains("Disk full"));
    EXPECT_EQ(SampleCounter, SamplingTime); // the next tick samples
    ticks(p, 1);
    EXPECT_EQ(p->LblRec->text(), "Rec");
    EXPECT_EQ(RecordNo, 2);

    // The file goes away: said, then made afresh at the next tick, however long the
    // sampling time.
    SamplingTime = 5;
    SampleCounter = 5;
    ASSERT_TRUE(QFile::remove(path));
    ticks(p, 1);
    EXPECT_TRUE(p->LblRec->text().contains("File not found")) << p->LblRec->text().toStdString();
    EXPECT_EQ(RecordNo, 2);
    ticks(p, 1);
    EXPECT_EQ(p->LblRec->text(), "Rec");
    EXPECT_EQ(RecordNo, 3);
    press(p, "Save");
    const QList<QByteArray> l = lines(path);
    ASSERT_EQ(l.size(), 1 + 1 + 3);
    EXPECT_EQ(rec(l[1]).number, "3");
}

TEST_F(PalixRecord, TheListFollowsTheNewestRowAndClosesOnAChange) {
    SlmSim sim({"--level", "55.5", "--range", "0"});
    Panel *p = start(sim);
    p->Toolbar1_ButtonClick(p->Buttons(4));
    List *list = ListForm();
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->windowTitle(), "List");
    EXPECT_EQ(ListShown, vb::True);
    EXPECT_EQ(list->Grid->Rows(), 1);
    EXPECT_EQ(list->Grid->TextMatrix(0, 0), "No.s");
    EXPECT_EQ(list->Grid->TextMatrix(0, 1), "Date Time");
    EXPECT_EQ(list->Grid->TextMatrix(0, 2), "SPL");
    // Beside the main window, at its top.
    EXPECT_EQ(list->frameGeometry().topLeft(), QPoint(p->frameGeometry().right() + 1, p->frameGeometry().top()));

    ticks(p, 1 + 14);
    EXPECT_EQ(list->Grid->Rows(), 15);
    EXPECT_EQ(list->Grid->TextMatrix(14, 0), "14");
    EXPECT_TRUE(stampPattern.match(list->Grid->TextMatrix(14, 1)).hasMatch());
    EXPECT_EQ(list->Grid->TextMatrix(14, 2), "55.5");
    EXPECT_EQ(list->Grid->Row(), 14);
    EXPECT_EQ(list->Grid->TopRow(), 4); // one row down for each row beyond the eleventh
    EXPECT_EQ(list->TxtLn->text(), "Time: FAST   Frequency: A   Range: 20-80");
    EXPECT_TRUE(list->TxtMax->text().startsWith("Max : 55.5 dB ----"));
    EXPECT_EQ(list->TxtMax->text().mid(18), list->Grid->TextMatrix(1, 1)); // the first of equal levels

    // The List key while the window is open changes nothing.
    press(p, "List");
    EXPECT_EQ(ListRows, 14);
    EXPECT_EQ(list->Grid->Rows(), 15);

    p->BtnFastSlow->click(); // a weighting change closes the list
    ASSERT_TRUE(testsupport::waitUntil([] { return TimeWeighting == "SLOW"; }, 5s));
    ticks(p, 1);
    EXPECT_EQ(ListShown, vb::False);
    EXPECT_EQ(ListRows, 0);
    EXPECT_TRUE(testsupport::waitUntil([] { return !ListVisible(); }));

    // Closing it by hand stops the feed too.
    press(p, "List");
    ASSERT_TRUE(ListVisible());
    ListForm()->close();
    EXPECT_EQ(ListShown, vb::False);
}

TEST_F(PalixRecord, TheListSavesItselfEvery116600RowsAndTheFileOpensWithoutTexts) {
    SlmSim sim({"--level", "58.0"});
    Panel *p = start(sim);
    press(p, "List");
    ticks(p, 1);
    ListRows = 116598;
    const QDateTime before = QDateTime::currentDateTime();
    ticks(p, 2);
    const QStringList saved = QDir(dir).entryList({"*.slm"});
    ASSERT_EQ(saved.size(), 1);
    const QString name = saved.first();
    bool found = false;
    for (int s = 0; s <= 3 && !found; ++s) found = name == slm::AutoSaveName(before.addSecs(s));
    EXPECT_TRUE(found) << name.toStdString();

    const QList<QByteArray> l = lines(dir + "/" + name);
    ASSERT_EQ(l.size(), 1 + 2 + 3);
    EXPECT_EQ(l[0], "No.s\tDate Time\tSPL\t");
    EXPECT_TRUE(l[1].startsWith("116599\t"));
    EXPECT_TRUE(l[2].startsWith("116600\t"));
    EXPECT_EQ(l[3], "Time: FAST   Frequency: A   Range: 40-100"); // no stars
    EXPECT_TRUE(l[4].startsWith("Max : 58.0 dB ----"));
    EXPECT_TRUE(l[5].startsWith("Min : 58.0 dB ----"));

    // The list came back empty and goes on; the next auto-save is 116600 rows later.
    EXPECT_EQ(ListShown, vb::True);
    ASSERT_TRUE(ListVisible());
    EXPECT_EQ(ListForm()->Grid->Rows(), 1);
    EXPECT_EQ(ListForm()->windowTitle(), "List");
    ticks(p, 1);
    EXPECT_EQ(ListForm()->Grid->TextMatrix(1, 0), "116601");

    forms::DialogScript().pushFile(dir + "/" + name);
    press(p, "Open");
    FileList *f = FileListForm();
    EXPECT_EQ(f->RecordCount(), 2);
    EXPECT_EQ(f->GridN(0)->TextMatrix(2, 0), "116600");
    EXPECT_EQ(f->TxtLn->text(), "");
    EXPECT_EQ(f->TxtMax->text(), "");
    EXPECT_EQ(f->TxtMin->text(), "");
}

TEST_F(PalixRecord, TheListSavesAndPrintsWhatItShows) {
    SlmSim sim({"--level", "64.0", "--range", "2"});
    Panel *p = start(sim);
    press(p, "List");
    ticks(p, 4);
    List *list = ListForm();
    forms::DialogScript().pushFile(dir + "/list.slm");
    list->Toolbar1_ButtonClick("Save");
    const QList<QByteArray> l = lines(dir + "/list.slm");
    ASSERT_EQ(l.size(), 1 + 3 + 3);
    EXPECT_EQ(l[0], "No.s\tDate Time\tSPL\t");
    EXPECT_EQ(rec(l[3]).number, "3");
    EXPECT_EQ(l[4], "*Time: FAST   Frequency: A   Range: 40-100");
    EXPECT_TRUE(l[5].startsWith("**Max : 64.0 dB ----"));
    EXPECT_TRUE(l[6].startsWith("***Min : 64.0 dB ----"));
    EXPECT_EQ(list->windowTitle(), "List");
    EXPECT_EQ(FileChosen, vb::False);
    EXPECT_FALSE(QApplication::overrideCursor());

    forms::DialogScript().pushAccept(); // the printer dialog
    list->Toolbar1_ButtonClick("Print");
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_EQ(list->windowTitle(), "List");
    const QStringList printed = printedLines();
    ASSERT_GE(printed.size(), 7);
    EXPECT_EQ(printed[0].simplified(), "No.s Date Time SPL");
    EXPECT_TRUE(printed[3].simplified().startsWith("3 ")) << printed[3].toStdString();
    EXPECT_EQ(printed[4].simplified(), "Time: FAST Frequency: A Range: 40-100");

    // A cancelled printer dialog prints nothing and gives the poll back.
    const QString pdf = forms::Printer()->LastOutputFile();
    forms::DialogScript().pushCancel();
    list->Toolbar1_ButtonClick("Print");
    EXPECT_EQ(forms::Printer()->LastOutputFile(), pdf);
    EXPECT_TRUE(p->Timer1.Enabled());
}

TEST_F(PalixRecord, OpenReadsRecordFilesByTheirLineRules) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    struct Case {
        const char *name;
        QByteArray data;
        QStringList numbers, levels;
        const char *ln, *caption;
    };
    const Case cases[] = {
        {"header.slm", "No.s\tDate Time\tSPL\r\n", {}, {}, "", nullptr},
        {"full.slm",
         "No.s\tDate Time\tSPL\r\n1\ta\t60.0\t\r\n2\tb\t61.0\t\r\n*Time: FAST;   Frequency: A;   Range: "
         "30-90\r\n**M\r\n***m\r\n",
         {"1", "2"},
         {"60.0", "61.0"},
         "Time: FAST;   Frequency: A;   Range: 30-90",
         nullptr},
        {"comma.slm", "h\r\n1,7\tb\t62.0\t\r\n", {"7"}, {"62.0"}, "", nullptr},
        // A line with two TABs ends the reading; the caption keeps the count.
        {"broken.slm",
         "h\r\n1\ta\t60.0\t\r\n2\tb\t61.0\r\n3\tc\t62.0\t\r\n",
         {"1"},
         {"60.0"},
         "",
         "2 Records Completed"},
    };
    for (const Case &c : cases) {
        const QString path = dir + "/" + c.name;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.data);
        f.close();
        forms::DialogScript().pushFile(path);
        p->Toolbar1_ButtonClick(p->Buttons(2));
        EXPECT_EQ(forms::DialogScript().log().back().text, "All Files (*.slm)|*.slm|All Files (*.*)|*.*|");
        ASSERT_TRUE(FileListVisible()) << c.name;
        FileList *list = FileListForm();
        QStringList numbers, levels;
        for (int r = 1; r < list->GridN(0)->Rows(); ++r) {
            numbers << list->GridN(0)->TextMatrix(r, 0);
            levels << list->GridN(2)->TextMatrix(r, 0);
        }
        EXPECT_EQ(numbers, c.numbers) << c.name;
        EXPECT_EQ(levels, c.levels) << c.name;
        EXPECT_EQ(list->GridN(1)->Rows(), list->GridN(0)->Rows());
        EXPECT_EQ(list->TxtLn->text(), c.ln) << c.name;
        EXPECT_EQ(list->windowTitle(), c.caption ? QString(c.caption) : path) << c.name;
        EXPECT_EQ(list->GridN(2)->TextMatrix(0, 0), "SPL");
    }
    // A second Open makes a fresh window.
    QPointer<FileList> old = FileListForm();
    forms::DialogScript().pushFile(dir + "/full.slm");
    press(p, "Open");
    EXPECT_TRUE(testsupport::waitUntil([&] { return old.isNull(); }));
    // A cancelled dialog and a file that is not there open nothing new.
    forms::DialogScript().pushCancel();
    press(p, "Open");
    forms::DialogScript().pushFile(dir + "/missing.slm");
    press(p, "Open");
    EXPECT_TRUE(lastPrompt().contains("missing.slm")) << lastPrompt().toStdString();
    EXPECT_FALSE(FileListLoaded());
}

TEST_F(PalixRecord, FileListGridsScrollTogether) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    QByteArray data = "h\r\n";
    for (int i = 1; i <= 200; ++i)
        data += QByteArray::number(i) + "\t2026/12/09 08:58:07\t" + QByteArray::number(40 + i % 50) + ".0\t\r\n";
    QFile f(dir + "/long.slm");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    forms::DialogScript().pushFile(dir + "/long.slm");
    press(p, "Open");
    FileList *list = FileListForm();
    // Laid out: the scroll bar reaches the row the user drags to.
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return list->isVisible() && list->GridN(2)->verticalScrollBar()->maximum() >= 57; }));
    EXPECT_EQ(list->GridN(0)->ScrollBars(), vb::flexScrollBarNone);
    EXPECT_EQ(list->GridN(1)->ScrollBars(), vb::flexScrollBarNone);
    list->GridN(2)->verticalScrollBar()->setValue(57); // the user drags the scroll bar
    EXPECT_EQ(list->GridN(2)->TopRow(), 58);
    EXPECT_EQ(list->GridN(0)->TopRow(), 58);
    EXPECT_EQ(list->GridN(1)->TopRow(), 58);
    list->GridN(0)->verticalScrollBar()->setValue(3); // the wheel over the first grid
    EXPECT_EQ(list->GridN(0)->TopRow(), 58);
    EXPECT_EQ(list->GridN(2)->TopRow(), 58);
    EXPECT_EQ(list->GridN(0)->ScrollBars(), vb::flexScrollBarNone);
}

TEST_F(PalixRecord, FileListPrintsKRecordsToALine) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    QByteArray data = "h\r\n";
    for (int i = 1; i <= 10; ++i)
        data += QByteArray::number(i) + "\t2026/12/09 08:58:" + QByteArray::number(10 + i) + "\t" +
                QByteArray::number(60 + i) + ".5\t\r\n";
    data += "*Time: FAST   Frequency: A   Range: 30-90\r\n**Max : 70.5 dB ----x\r\n***Min : 61.5 dB ----y\r\n";
    QFile f(dir + "/ten.slm");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    forms::DialogScript().pushFile(dir + "/ten.slm");
    press(p, "Open");
    FileList *list = FileListForm();

    auto &script = forms::DialogScript();
    for (const char *answer : {"0", "6", "x", "3"}) script.pushText(answer);
    const size_t before = script.log().size();
    list->Toolbar1_ButtonClick("Print");
    ASSERT_EQ(script.log().size(), before + 4); // asked again after 0, 6 and x
    EXPECT_EQ(script.log().back().text, "Input record(s) to print in one row (1-5)");
    EXPECT_EQ(script.log().back().defaultText, "1");
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_EQ(list->windowTitle(), dir + "/ten.slm");
    QStringList out = printedLines();
    ASSERT_EQ(out.size(), 2 + 4 + 3) << out.join("\n").toStdString();
    EXPECT_EQ(out[0].simplified(), "- Date Time (dB)");
    EXPECT_EQ(out[1].simplified(), "- ----------------------------");
    EXPECT_EQ(out[2].simplified(), "1 2026/12/09 08:58:11 61.5 62.5 63.5");
    EXPECT_EQ(out[3].simplified(), "4 2026/12/09 08:58:14 64.5 65.5 66.5");
    EXPECT_EQ(out[5].simplified(), "10 2026/12/09 08:58:20 70.5");
    EXPECT_EQ(out[6].simplified(), "Time: FAST Frequency: A Range: 30-90");
    EXPECT_EQ(out[8].simplified(), "Min : 61.5 dB ----y");

    script.pushText("2.9");
    list->Toolbar1_ButtonClick("Print");
    out = printedLines();
    ASSERT_EQ(out.size(), 2 + 5 + 3);
    EXPECT_EQ(out[2].simplified(), "1 2026/12/09 08:58:11 61.5 62.5");

    script.pushText(""); // an empty answer prints nothing
    const QString last = forms::Printer()->LastOutputFile();
    list->Toolbar1_ButtonClick("Print");
    EXPECT_EQ(forms::Printer()->LastOutputFile(), last);
}

TEST_F(PalixRecord, TheDataListSavesAsARecordFile) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    DataList *d = DataListForm();
    d->show();
    EXPECT_EQ(d->windowTitle(), "Data List");
    EXPECT_EQ(d->LblMessage->Caption(), " Data List");
    for (int i = 1; i <= 3; ++i) {
        d->GridN(0)->AddItem(QString::number(i));
        d->GridN(1)->AddItem("2026/12/09 10:0" + QString::number(i) + ":05");
        d->GridN(2)->AddItem(QString::number(60 + i) + ".0");
    }
    d->TxtLn->setText("Time: SLOW   Frequency: C   Range: 40-100");
    d->TxtMax->setText("Max : 63.0 dB ----2026/12/09 10:03:05");
    d->TxtMin->setText("Min : 61.0 dB ----2026/12/09 10:01:05");
    forms::DialogScript().pushFile(dir + "/set.slm");
    d->Toolbar1_ButtonClick("Save");
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_TRUE(p->Timer2.Enabled()); // both timers run again after the save
    EXPECT_EQ(d->windowTitle(), "Data List");
    EXPECT_EQ(FileChosen, vb::False);
    EXPECT_EQ(read(dir + "/set.slm"),
              "No.s\tDate Time\tSPL\t\r\n1\t2026/12/09 10:01:05\t61.0\t\r\n2\t2026/12/09 10:02:05\t62.0\t\r\n"
              "3\t2026/12/09 10:03:05\t63.0\t\r\n*Time: SLOW   Frequency: C   Range: 40-100\r\n"
              "**Max : 63.0 dB ----2026/12/09 10:03:05\r\n***Min : 61.0 dB ----2026/12/09 10:01:05\r\n");

    // The Open key reads it back whole.
    forms::DialogScript().pushFile(dir + "/set.slm");
    press(p, "Open");
    EXPECT_EQ(FileListForm()->RecordCount(), 3);
    EXPECT_EQ(FileListForm()->TxtMin->text(), "Min : 61.0 dB ----2026/12/09 10:01:05");

    // A file that cannot be written is said, and the timers still come back.
    forms::DialogScript().pushFile(dir + "/no/folder/set.slm");
    d->Toolbar1_ButtonClick("Save");
    EXPECT_TRUE(lastPrompt().startsWith("Path not found")) << lastPrompt().toStdString();
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_TRUE(p->Timer2.Enabled());
    EXPECT_FALSE(QApplication::overrideCursor());
}

} // namespace
