// Palix's memory download end to end against the simulated meter: the size and pointer
// queries, the image with its retries, the listing of the sets, and the ends a download
// can meet (the window or the program closed, the port gone, another key pressed).

#include "PalixFixture.h"

#include "platform/forms/Dialogs.h"
#include "slm/DataList.h"
#include "slm/FileList.h"
#include "slm/core/FileTransfer.h"
#include "slm/Memory.h"
#include "slm/core/Meter.h"
#include "slm/core/MeterMemory.h"
#include "slm/Panel.h"
#include "slm/Port.h"
#include "slm/core/Rs232.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <chrono>
#include <memory>

using namespace slm;
using namespace std::chrono_literals;

namespace {

class PalixMemory : public PalixProgram {
protected:
    Panel *startOn(SlmSim &sim) { return startLive(sim); }

    // The Memory key, pressed from the event loop: the download runs in its own event
    // and the test's steps keep being checked inside its waits.
    static void pressMemory(Panel *p) {
        QTimer::singleShot(0, p, [p] { p->Buttons(15).Action->trigger(); });
    }
    // The download has listed its sets and handed the line back.
    static bool listed(Panel *p, int sets) {
        return MemoryForm && MemoryForm->GridSet->Rows() == sets + 1 && p->Timer1.Enabled();
    }
    static QStringList row(int r) {
        QStringList cells;
        for (int c = 0; c < 3; ++c) cells << MemoryForm->GridSet->TextMatrix(r, c);
        return cells;
    }
    // Downloads the simulator's sets; true once they are listed.
    static bool download(Panel *p, int sets) {
        Steps steps;
        steps.then([] { return true; }, [&] { pressMemory(p); });
        steps.then([&] { return listed(p, sets); });
        return steps.run(20s);
    }
    // A click of the mouse on a row of the grid, as the user makes it.
    static void clickRow(vb::MSFlexGrid *grid, int row) {
        grid->Flush();
        const QPoint at = grid->visualRect(grid->model()->index(row - grid->FixedRows(), 0)).center();
        const QPoint global = grid->viewport()->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &release);
    }
    static QStringList column(DataList *d, int i) {
        QStringList cells;
        for (int r = 1; r < d->GridN(i)->Rows(); ++r) cells << d->GridN(i)->TextMatrix(r, 0);
        return cells;
    }
    // The PC clock's century before the meter's two-digit year.
    static QString century() { return QString::number(QDate::currentDate().year()).left(2); }
    static int damagedMessages() {
        int n = 0;
        for (const auto &r : forms::DialogScript().log())
            n += r.text == "There could be some error while reading(or recording) this set.\rPlease clear the EEPROM "
                           "or try again!";
        return n;
    }

    static QString lastMessage() {
        const auto &log = forms::DialogScript().log();
        return log.empty() ? QString() : log.back().text;
    }
};

} // namespace

TEST_F(PalixMemory, EmptyMemorySaysSoAndOpensNoWindow) {
    SlmSim sim({"--level", "60"});
    Panel *p = startOn(sim);
    const int sizeQueries = sim.count("47 00 00 00");
    forms::DialogScript().pushButton(forms::IDOK);
    Steps steps;
    steps.then([] { return true; }, [&] { pressMemory(p); });
    steps.then([] { return !forms::DialogScript().log().empty(); });
    ASSERT_TRUE(steps.run(10s));
    EXPECT_EQ(lastMessage(), "No Data in Memory");
    EXPECT_EQ(forms::DialogScript().log().back().flags & forms::MB_ICONMASK, forms::MB_ICONSTOP);
    EXPECT_TRUE(MemoryForm.isNull());
    EXPECT_EQ(MemoryOpen, vb::False);
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_EQ(sim.count("47 00 00 00"), sizeQueries + 1);
    EXPECT_EQ(sim.count("52 00 00 21"), 1);
    EXPECT_EQ(sim.count("55 00 00 00"), 0);
    EXPECT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s)); // the live poll again
}

TEST_F(PalixMemory, DownloadListsTheSetsAfterEveryRetry) {
    // A 128 K meter with two sets; the pointer comes unframed twice, the first image is
    // not answered and the second starts without its marker.
    SlmSim sim({"--level", "60", "--memory", "2", "--sets", "2", "--records", "3,1", "--set-sampling", "60,1",
                "--bad-pointer", "2", "--silent-image", "1", "--unmarked-image", "1"});
    Panel *p = startOn(sim);
    for (QByteArray &slot : DataSets) slot = "left from before";
    Steps steps;
    steps.then([] { return true; }, [&] { pressMemory(p); });
    steps.then([&] { return MemoryForm && MemoryForm->isVisible(); },
               [&] {
                   EXPECT_EQ(MemoryOpen, vb::True);
                   EXPECT_FALSE(p->Timer1.Enabled());
                   EXPECT_EQ(MemoryForm->windowTitle(), "Data Logger");
                   EXPECT_EQ(MemoryForm->GridSet->Rows(), 1); // only the caption row while it downloads
                   // A second Memory key while the window is open does nothing.
                   p->Toolbar1_ButtonClick(p->Buttons(15));
               });
    steps.then([&] { return listed(p, 2); });
    ASSERT_TRUE(steps.run(20s));

    EXPECT_EQ(row(0), QStringList({"Set", "Sampling", "Records"}));
    EXPECT_EQ(row(1), QStringList({"1", "60", "3"}));
    EXPECT_EQ(row(2), QStringList({"2", "1", "1"}));
    EXPECT_EQ(DataSets[1].size(), 56);
    EXPECT_EQ(DataSets[2].size(), 52);
    EXPECT_EQ(DataSets[1].left(4), QByteArray("\x00\x55\xaa\x00", 4));
    EXPECT_EQ(DataSets[0], "left from before"); // slot 0 is never written
    EXPECT_EQ(DataSets[3], "left from before");
    EXPECT_EQ(MemoryForm->LblSize->text(), "128 K");
    // Pointer 16 + 108: (131072 - 1 - 124) / 1024 = 127.88
    EXPECT_EQ(MemoryForm->LblRemain->text(), "127.9 K");
    EXPECT_EQ(MemoryForm->LblMessage->text(), FormatOneDecimal(100) + "% Completed");
    EXPECT_EQ(MemoryOpen, vb::True);
    EXPECT_EQ(sim.count("52 00 00 21"), 3);
    EXPECT_EQ(sim.count("55 00 00 00"), 3);
    // Every command right after a handshake.
    const QStringList all = sim.commands();
    for (int i = 1; i < all.size(); ++i)
        if (all[i].startsWith("55 ") || all[i].startsWith("52 ")) {
            EXPECT_EQ(all[i - 1], "00");
        }

    // Beside Panel, at its top.
    const QRect panel = vb::FormGeometry(p), memory = vb::FormGeometry(MemoryForm);
    EXPECT_EQ(memory.left(), panel.left() + panel.width());
    EXPECT_EQ(memory.top(), panel.top());

    // Closing the window allows the next download, into a new window.
    QPointer<Memory> first = MemoryForm;
    MemoryForm->close();
    EXPECT_EQ(MemoryOpen, vb::False);
    Steps again;
    again.then([] { return true; }, [&] { pressMemory(p); });
    again.then([&] { return MemoryForm != first && listed(p, 2); });
    ASSERT_TRUE(again.run(20s));
    EXPECT_TRUE(testsupport::waitUntil([&] { return first.isNull(); }, 2s));
    EXPECT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
}

TEST_F(PalixMemory, KeepsTheFirst255Sets) {
    SlmSim sim({"--level", "60", "--sets", "256", "--records", "1,2", "--set-sampling", "5"});
    Panel *p = startOn(sim);
    Steps steps;
    steps.then([] { return true; }, [&] { pressMemory(p); });
    steps.then([&] { return listed(p, 255); });
    ASSERT_TRUE(steps.run(20s));
    EXPECT_EQ(row(255), QStringList({"255", "5", "1"}));
    EXPECT_EQ(row(254), QStringList({"254", "5", "2"}));
    EXPECT_EQ(DataSets[255].size(), 52);
}

TEST_F(PalixMemory, ClosingTheWindowEndsTheDownload) {
    // 20 000 bytes at the line's pace take about 21 s: the window closes long before.
    SlmSim sim({"--level", "60", "--sets", "4", "--records", "2475", "--paced"});
    Panel *p = startOn(sim);
    Steps steps;
    steps.then([] { return true; }, [&] { pressMemory(p); });
    steps.then([&] { return MemoryForm && MemoryForm->LblMessage->text().endsWith("% Completed"); },
               [&] { MemoryForm->close(); });
    steps.then([&] { return p->Timer1.Enabled(); });
    ASSERT_TRUE(steps.run(15s));
    EXPECT_EQ(MemoryOpen, vb::False);
    EXPECT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));

    // The line is free again: the next download runs to its end.
    sim.control("paced off");
    Steps again;
    again.then([] { return true; }, [&] { pressMemory(p); });
    again.then([&] { return listed(p, 4); });
    ASSERT_TRUE(again.run(20s));
    EXPECT_EQ(row(4), QStringList({"4", "1", "2475"}));
}

TEST_F(PalixMemory, ClosingPanelEndsTheDownload) {
    SlmSim sim({"--level", "60", "--sets", "4", "--records", "2475", "--paced"});
    Panel *p = startOn(sim);
    Steps steps;
    steps.then([] { return true; }, [&] { pressMemory(p); });
    steps.then([&] { return MemoryForm && MemoryForm->LblMessage->text().endsWith("% Completed"); },
               [&] { p->close(); });
    steps.then([] { return vb::Ended(); });
    ASSERT_TRUE(steps.run(15s));
    EXPECT_FALSE(p->COM.PortOpen());
    EXPECT_TRUE(testsupport::waitUntil([&] { return MemoryForm.isNull(); }, 2s));
}

TEST_F(PalixMemory, VanishedPortEndsTheDownloadWithAMessage) {
    // Once inside the image, once while the pointer query repeats (no window yet).
    for (bool windowOpen : {true, false}) {
        SetUp();
        auto sim = std::make_unique<SlmSim>(QStringList{"--level", "60", "--sets", "4", "--records", "2475", "--paced",
                                                        "--bad-pointer", windowOpen ? "0" : "1000"});
        Panel *p = startOn(*sim);
        forms::DialogScript().pushButton(forms::IDOK);
        Steps steps;
        steps.then([] { return true; }, [&] { pressMemory(p); });
        if (windowOpen)
            steps.then([&] { return MemoryForm && MemoryForm->LblMessage->text().endsWith("% Completed"); },
                       [&] { sim.reset(); });
        else
            steps.then([&] { return sim->count("52 00 00 21") >= 2; }, [&] { sim.reset(); });
        steps.then([] { return !forms::DialogScript().log().empty(); });
        // The live poll runs again; on a port that is gone its handshake never ends,
        // and closing Panel is how the user leaves it.
        steps.then([&] { return p->Timer1.Enabled(); },
                   [&] {
                       EXPECT_FALSE(vb::Ended());
                       EXPECT_EQ(lastMessage(), "The connection to the meter was lost: the download has stopped.");
                       EXPECT_EQ(MemoryOpen, windowOpen ? vb::True : vb::False);
                       EXPECT_EQ(!MemoryForm.isNull(), windowOpen);
                       if (windowOpen) {
                           MemoryForm->close();
                           EXPECT_EQ(MemoryOpen, vb::False);
                       }
                       p->close();
                   });
        ASSERT_TRUE(steps.run(15s)) << windowOpen;
        delete PanelForm;
    }
}

TEST_F(PalixMemory, KeyPressedDuringTheDownloadRestartsIt) {
    // About 2.5 s of image at the line's pace; A/C is pressed in the middle of it.
    SlmSim sim({"--level", "60", "--sets", "2", "--records", "575", "--paced"});
    Panel *p = startOn(sim);
    Steps steps;
    steps.then([] { return true; }, [&] { pressMemory(p); });
    steps.then([&] { return MemoryForm && MemoryForm->LblMessage->text().endsWith("% Completed"); },
               [&] { QTimer::singleShot(0, p, [p] { p->BtnCA->click(); }); });
    steps.then([&] { return sim.count("4B 00 00 01") == 1; });
    steps.then([&] { return listed(p, 2); });
    ASSERT_TRUE(steps.run(30s));
    EXPECT_EQ(row(1), QStringList({"1", "1", "575"}));
    EXPECT_EQ(row(2), QStringList({"2", "1", "575"}));
    EXPECT_EQ(sim.count("55 00 00 00"), 2);
}

TEST_F(PalixMemory, AClickedSetIsDecodedIntoDataListAndSaved) {
    // The live meter at 120/60, FAST, A; the sets stored at 100/40, SLOW, C.
    SlmSim sim({"--level", "60", "--range", "4", "--sets", "2", "--records", "3,1", "--set-sampling", "60,1",
                "--set-range", "2", "--set-flags", "21", "--set-levels", "65,100", "--set-start",
                "2026-12-09 10:07:05"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(download(p, 2));
    const QString y = century();

    clickRow(MemoryForm->GridSet, 1);
    DataList *d = DataListForm();
    ASSERT_TRUE(d->isVisible());
    EXPECT_EQ(column(d, 0), QStringList({"1", "2", "3"}));
    EXPECT_EQ(column(d, 1), QStringList({y + "26/12/09 10:07:05", y + "26/12/09 10:08:05", y + "26/12/09 10:09:05"}));
    EXPECT_EQ(column(d, 2), QStringList({"65.0", "100.0", "65.0"}));
    EXPECT_EQ(d->TxtLn->text(), "Time: SLOW   Frequency: C   Range: 40-100");
    EXPECT_EQ(d->TxtMax->text(), "Max : 100.0 dB ----" + y + "26/12/09 10:08:05");
    EXPECT_EQ(d->TxtMin->text(), "Min : 65.0 dB ----" + y + "26/12/09 10:07:05");
    EXPECT_EQ(d->LblMessage->Caption(), "3 in No.1 Set");
    EXPECT_EQ(d->LblMessage->FloodType(), 0);
    EXPECT_EQ(d->windowTitle(), "Data List");
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_EQ(damagedMessages(), 0);
    // The live state keeps the meter's own range and weightings.
    EXPECT_EQ(RangeTop, 120);
    EXPECT_EQ(TimeWeighting, "FAST");
    EXPECT_EQ(FreqWeighting, "A");

    // Another set starts the window afresh.
    clickRow(MemoryForm->GridSet, 2);
    d = DataListForm();
    EXPECT_EQ(column(d, 0), QStringList({"1"}));
    EXPECT_EQ(column(d, 1), QStringList({y + "26/12/09 10:11:05"}));
    EXPECT_EQ(d->LblMessage->Caption(), "1 in No.2 Set");

    // Saved with its Save key, the set opens again with the Open key.
    const QString dir = QString::fromStdString(testsupport::makeTempDir());
    forms::DialogScript().pushFile(dir + "/set.slm");
    d->Toolbar1_ButtonClick("Save");
    QFile saved(dir + "/set.slm");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLatin1(saved.readAll()),
              "No.s\tDate Time\tSPL\t\r\n1\t" + y +
                  "26/12/09 10:11:05\t65.0\t\r\n"
                  "*Time: SLOW   Frequency: C   Range: 40-100\r\n**Max : 65.0 dB ----" +
                  y +
                  "26/12/09 10:11:05\r\n"
                  "***Min : 65.0 dB ----" +
                  y + "26/12/09 10:11:05\r\n");
    forms::DialogScript().pushFile(dir + "/set.slm");
    p->Toolbar1_ButtonClick(p->Buttons(2));
    FileList *f = FileListForm();
    ASSERT_EQ(f->RecordCount(), 1);
    EXPECT_EQ(f->GridN(1)->TextMatrix(1, 0), y + "26/12/09 10:11:05");
    EXPECT_EQ(f->TxtLn->text(), d->TxtLn->text());
    EXPECT_EQ(f->TxtMax->text(), d->TxtMax->text());
}

TEST_F(PalixMemory, DamagedSetsAreSaidAndTheDecodeGoesOn) {
    SlmSim sim({"--level", "60", "--sets", "2", "--records", "2", "--set-levels", "70,80"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(download(p, 2));
    const QByteArray whole = DataSets[1];
    for (int i = 0; i < 3; ++i) forms::DialogScript().pushButton(forms::IDOK);

    // Too short for its header: said once, no records.
    DataSets[1] = whole.left(20);
    clickRow(MemoryForm->GridSet, 1);
    EXPECT_EQ(damagedMessages(), 1);
    EXPECT_EQ(DataListForm()->RecordCount(), 0);
    EXPECT_EQ(DataListForm()->LblMessage->Caption(), "0 in No.1 Set");
    EXPECT_TRUE(p->Timer1.Enabled());

    // A record byte missing: said at that record, which stays without a level.
    DataSets[1] = whole.left(whole.size() - 1);
    clickRow(MemoryForm->GridSet, 1);
    EXPECT_EQ(damagedMessages(), 2);
    DataList *d = DataListForm();
    EXPECT_EQ(column(d, 2), QStringList({"70.0", ""}));
    EXPECT_EQ(d->TxtMax->text().left(19), "Max : 70.0 dB ----" + century().left(1));
    EXPECT_EQ(d->LblMessage->Caption(), "2 in No.1 Set");

    // An empty slot (listed by an earlier download, say) is a damaged set too.
    DataSets[2].clear();
    clickRow(MemoryForm->GridSet, 2);
    EXPECT_EQ(damagedMessages(), 3);
    EXPECT_EQ(DataListForm()->RecordCount(), 0);
    EXPECT_TRUE(p->Timer1.Enabled());
}

TEST_F(PalixMemory, ALongDecodeEndsWhenItsWindowCloses) {
    SlmSim sim({"--level", "60", "--sets", "2", "--records", "3"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(download(p, 2));
    // A long set in slot 1, to be decoded while the test acts inside its event rounds.
    QByteArray set = DataSets[1].left(50);
    for (int i = 0; i < 60000; ++i) set.append("\x02\x58", 2);
    DataSets[1] = set;

    for (bool closeIt : {true, false}) {
        Steps steps;
        steps.then([] { return true; }, [&] { QTimer::singleShot(0, [&] { clickRow(MemoryForm->GridSet, 1); }); });
        steps.then([&] { return DataListVisible() && DataListForm()->windowTitle().endsWith(" Records Completed"); },
                   [&] {
                       // Closed, or started afresh by a click on another set.
                       if (closeIt)
                           UnloadDataList();
                       else
                           clickRow(MemoryForm->GridSet, 2);
                   });
        steps.then([&] { return p->Timer1.Enabled(); });
        ASSERT_TRUE(steps.run(30s)) << closeIt;
        if (closeIt) {
            EXPECT_FALSE(DataListVisible());
        } else {
            EXPECT_EQ(DataListForm()->RecordCount(), 3);
            EXPECT_EQ(DataListForm()->LblMessage->Caption(), "3 in No.2 Set");
        }
    }
    // The window of the sets goes while nothing of it runs.
    QPointer<Memory> m = MemoryForm;
    m->close();
    EXPECT_TRUE(testsupport::waitUntil([&] { return m.isNull(); }, 2s));
}

TEST_F(PalixMemory, ScreenshotOfTheSetsBesideADecodedSet) {
    SlmSim sim({"--level", "60", "--sets", "3", "--records", "120,45,600", "--set-sampling", "60,1,10", "--set-range",
                "2,3,1", "--set-flags", "0,21,1", "--set-start", "2026-12-09 08:30:00"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(download(p, 3));
    // The picture: the three sets listed, and set 1's 120 records decoded beside them.
    EXPECT_EQ(row(1), QStringList({"1", "60", "120"}));
    EXPECT_EQ(row(2), QStringList({"2", "1", "45"}));
    EXPECT_EQ(row(3), QStringList({"3", "10", "600"}));
    clickRow(MemoryForm->GridSet, 1);
    DataList *d = DataListForm();
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return d->isVisible() && MemoryForm->isVisible() && p->Timer1.Enabled(); }));
    EXPECT_EQ(d->RecordCount(), 120);
    EXPECT_EQ(d->LblMessage->Caption(), "120 in No.1 Set");
    EXPECT_EQ(column(d, 0).last(), "120");
    EXPECT_EQ(d->TxtLn->text(), "Time: FAST   Frequency: A   Range: 40-100");
    const QImage memory = MemoryForm->grab().toImage(), list = d->grab().toImage();
    ASSERT_EQ(memory.size(), MemoryForm->size());
    ASSERT_EQ(list.size(), d->size());
    // The two windows side by side, as they stand on the screen beside Panel.
    const int gap = 12;
    QImage shot(memory.width() + gap + list.width(), std::max(memory.height(), list.height()), QImage::Format_RGB32);
    shot.fill(QColor(0x3b, 0x40, 0x46));
    QPainter painter(&shot);
    painter.drawImage(0, 0, memory);
    painter.drawImage(memory.width() + gap, 0, list);
    painter.end();
    const QString dir = QString::fromStdString(testsupport::binDir()) + "/../screenshots";
    QDir().mkpath(dir);
    EXPECT_TRUE(shot.save(dir + "/palix-memory.png"));
}
