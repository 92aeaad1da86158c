// Palix end to end against the simulated meter: port choice, start-up, the live poll
// and front panel, the remote keys, the memory size, the clock, a meter that is silent,
// talks garbage or vanishes.

#include "PalixFixture.h"

#include "platform/forms/Dialogs.h"
#include "slm/core/FileTransfer.h"
#include "slm/core/Meter.h"
#include "slm/Panel.h"
#include "slm/Port.h"
#include "slm/core/Rs232.h"
#include "slm/Setup.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include "support/DeniedOpen.h"
#include <unistd.h>

#include <chrono>

using namespace slm;
using namespace std::chrono_literals;

namespace {

using testsupport::DeniedOpen;

class Palix : public PalixProgram {
protected:
    // Starts the program as a user would: the port window, an answer, OK.
    Panel *start(const QString &ports, const QString &answer) { return open(ports, answer); }
    Panel *startOn(SlmSim &sim) {
        EXPECT_TRUE(sim.ok());
        return open(sim.path(), "COM1");
    }

    static QString lastMessage() {
        const auto &log = forms::DialogScript().log();
        return log.empty() ? QString() : log.back().text;
    }
};

TEST_F(Palix, PortChoiceMapsTheTextExactly) {
    SlmSim sim({"--streaming"});
    struct Case {
        const char *answer;
        bool opens;
    };
    const Case cases[] = {{"Auto", true},  {"COM1", true},   {"com1", false},
                          {"COM9", false}, {"COM16", false}, {"", false}};
    for (const Case &c : cases) {
        SetUp();
        LeqArmed = true; // the start-up clears these
        MemoryOpen = vb::True;
        SubLevels.fill(5);
        Panel *p = start(sim.path(), c.answer);
        ASSERT_NE(p, nullptr) << c.answer;
        if (c.opens) {
            EXPECT_FALSE(vb::Ended()) << c.answer;
            EXPECT_EQ(PortNumber, 1);
            EXPECT_EQ(p->LblCOM->text(), "COM1");
            EXPECT_EQ(p->COM.DevicePath(), sim.path());
            EXPECT_EQ(p->COM.Settings(), "9600,n,8,1");
            EXPECT_EQ(CmdStart, vb::Bytes({'A', 0, 0, 0}));
            EXPECT_EQ(SamplingTime, 1);
            EXPECT_EQ(SizeQueryPending, vb::True); // the runtime's -1
            EXPECT_EQ(MemoryOpen, vb::False);
            EXPECT_FALSE(LeqArmed);
            EXPECT_EQ(SubLevels, (std::array<double, 8>{}));
            EXPECT_TRUE(p->Timer1.Enabled());
            EXPECT_TRUE(QDateTime::fromString(StampText, "yyyy/MM/dd HH:mm:ss").isValid()) << StampText.toStdString();
        } else {
            EXPECT_TRUE(vb::Ended()) << c.answer;
            EXPECT_EQ(lastMessage(), "No device found, try again!") << c.answer;
            EXPECT_EQ(forms::DialogScript().log().back().flags & forms::MB_ICONMASK, forms::MB_ICONSTOP);
            EXPECT_FALSE(p->Timer1.Enabled());
        }
        delete PanelForm;
    }
}

// The user's way: keys typed into the box, then Enter. The box completes nothing and
// compares exactly; Enter presses OK, the window's default button.
TEST_F(Palix, TypedPortTextIsTakenAsTypedAndEnterPressesOk) {
    SlmSim sim({"--streaming"});
    ASSERT_TRUE(sim.ok());
    qputenv("METER_PORTS", sim.path().toLocal8Bit());
    struct Case {
        const char *typed;
        bool opens;
    };
    for (const Case &c :
         {Case{"com1", false}, Case{"C", false}, Case{"COM", false}, Case{"COM1", true}, Case{"Auto", true}}) {
        SetUp();
        auto *port = new Port;
        port->show();
        QApplication::setActiveWindow(port);
        QLineEdit *edit = port->TxtCOM->lineEdit();
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        ASSERT_TRUE(testsupport::waitUntil([&] { return edit->hasFocus(); }));
        edit->selectAll();
        for (const QChar ch : QString(c.typed)) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(edit, &press);
        }
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        ASSERT_NE(PanelForm, nullptr) << c.typed << ": Enter did not press OK";
        EXPECT_EQ(vb::Ended(), !c.opens) << c.typed;
        EXPECT_EQ(PortNumber, c.opens ? 1 : 0) << c.typed;
        if (!c.opens) {
            EXPECT_EQ(lastMessage(), "No device found, try again!") << c.typed;
        }
        delete PanelForm;
    }
}

TEST_F(Palix, QuickButtonsPickTheListEntry) {
    SlmSim sim({"--streaming"});
    qputenv("METER_PORTS", ("/dev/no-such-port:" + sim.path()).toLocal8Bit());
    auto *port = new Port;
    port->Port2_Click();
    ASSERT_NE(PanelForm, nullptr);
    EXPECT_FALSE(vb::Ended());
    EXPECT_EQ(PanelForm->LblCOM->text(), "COM2");
    delete PanelForm;

    SetUp();
    port = new Port;
    port->Port1_Click();
    EXPECT_TRUE(vb::Ended());
    EXPECT_EQ(lastMessage(),
              "No device found, try again!\n\n/dev/no-such-port: The system cannot find the file specified.");
}

TEST_F(Palix, PortThatWillNotOpenSaysWhyBelowNoDeviceFound) {
    SlmSim sim({"--streaming"});
    {
        DeniedOpen deny(sim.path());
        startOn(sim);
    }
    EXPECT_TRUE(vb::Ended());
    const QString text = lastMessage();
    EXPECT_TRUE(text.startsWith("No device found, try again!\n\n" + sim.path() + ": permission denied."))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\"dialout\"") && text.contains("log in again")) << text.toStdString();
}

TEST_F(Palix, CaptionToggle) {
    SlmSim sim({"--streaming"});
    Panel *p = startOn(sim);
    EXPECT_EQ(p->windowTitle(), "Panel   V7.0");
    p->LblCOM_Click();
    EXPECT_EQ(p->windowTitle(), "Panel   V7.0   080814");
    p->LblCOM_Click();
    EXPECT_EQ(p->windowTitle(), "Panel   V7.0");
}

TEST_F(Palix, LivePanelShowsTheCutMeanOfEachRun) {
    SlmSim sim({"--levels", "60,60,60,60,60,60,60,61", "--range", "1", "--memory", "3"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
    EXPECT_EQ(p->LblValue->text(), "60.1");
    EXPECT_EQ(MemorySize, 192); // the one-time size query
    EXPECT_EQ(SizeQueryPending, vb::False);
    EXPECT_EQ(p->LblBarMax->text(), "90");
    EXPECT_EQ(p->LblBarMin->text(), "30");
    EXPECT_EQ(p->SoundBarMax(), 90);
    EXPECT_EQ(p->SoundBarMin(), 30);
    EXPECT_FALSE(p->Buttons(12).Enabled()); // Down at the lowest range
    EXPECT_TRUE(p->Buttons(11).Enabled());
    EXPECT_TRUE(p->LblFast->isVisible());
    EXPECT_TRUE(p->LblA->isVisible());
    EXPECT_FALSE(p->LblC->isVisible());
    EXPECT_FALSE(p->LblOver->isVisible());
    EXPECT_EQ(sim.count("47 00 00 00"), 1);
}

TEST_F(Palix, LevelAboveTheRangeHoldsTheBarAtItsTop) {
    SlmSim sim({"--level", "95.5", "--range", "5"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
    EXPECT_FALSE(p->Buttons(11).Enabled()); // Up at the highest range
    EXPECT_TRUE(p->Buttons(12).Enabled());
    EXPECT_EQ(p->SoundBarValue(), 95.5);
    EXPECT_FALSE(p->LblUnder->isVisible());

    sim.control("range 1");
    ASSERT_TRUE(testsupport::waitUntil([&] { return p->LblBarMax->text() == "90"; }, 5s));
    EXPECT_EQ(p->SoundBarValue(), 90);
    EXPECT_EQ(p->SoundBar->value(), p->SoundBar->maximum());
    EXPECT_TRUE(testsupport::waitUntil([&] { return p->LblOver->isVisible(); }, 2s));
    EXPECT_FALSE(p->Buttons(12).Enabled()); // 90/30

    sim.control("range 0"); // 80/20: Down stays enabled at the very bottom
    ASSERT_TRUE(testsupport::waitUntil([&] { return p->LblBarMax->text() == "80"; }, 5s));
    EXPECT_TRUE(p->Buttons(12).Enabled());
    EXPECT_EQ(p->LblBarMin->text(), "20");
}

TEST_F(Palix, MissedSubFrameShowsNothingNew) {
    SlmSim sim({"--level", "70", "--miss-subframe", "3"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return p->LblCOM->text() == "COM1" && p->LblNo->text() == "7"; }, 10s));
    // Two more runs of sub-frames, each without its fourth: no mean is shown.
    int runs = 0;
    QString shown = p->LblNo->text();
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            if (p->LblNo->text() != shown) {
                shown = p->LblNo->text();
                runs += shown == "7";
            }
            return runs >= 2;
        },
        10s));
    EXPECT_EQ(p->LblValue->text(), "");
    sim.control("miss off");
    EXPECT_TRUE(testsupport::waitUntil([&] { return p->LblValue->text() == "70.0"; }, 5s));
}

TEST_F(Palix, SilentMeterShowsNoComUntilItAnswers) {
    SlmSim sim({"--silent", "--level", "64.2"});
    Panel *p = startOn(sim);
    int ticks = 0;
    Steps steps;
    steps.then([&] { return p->LblCOM->text() == "No COM"; }, [&] { ticks = 0; });
    // Inside the endless handshake the window keeps handling events.
    steps.then([&] { return ticks >= 10; },
               [&] {
                   EXPECT_EQ(p->LblCOM->text(), "No COM");
                   EXPECT_GE(sim.count("00"), 5);
                   sim.control("answer");
               });
    steps.then([&] { return live(p); });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);
    ASSERT_TRUE(steps.run(15s));
    EXPECT_EQ(p->LblValue->text(), "64.2");
}

TEST_F(Palix, GarbageAndBadFramingLeaveTheWindowResponsive) {
    for (const char *mode : {"--garbage", "--bad-framing"}) {
        SetUp();
        SlmSim sim({mode, "--streaming"});
        Panel *p = startOn(sim);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        Steps steps;
        steps.then([&] { return ticks >= 30; },
                   [&] {
                       EXPECT_EQ(p->LblValue->text(), "") << mode;
                       EXPECT_EQ(p->LblNo->text(), "0") << mode;
                       sim.control("clean");
                   });
        steps.then([&] { return live(p); });
        EXPECT_TRUE(steps.run(15s)) << mode;
        delete PanelForm;
    }
}

TEST_F(Palix, VanishedPortNeitherCrashesNorHolds) {
    auto sim = std::make_unique<SlmSim>(QStringList{"--level", "55"});
    Panel *p = startOn(*sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);
    Steps steps;
    steps.then([] { return true; }, [&] { sim.reset(); }); // the meter's end of the line closes
    steps.then([&] { return p->LblCOM->text() == "No COM"; }, [&] { ticks = 0; });
    steps.then([&] { return ticks >= 20; },
               [&] {
                   EXPECT_TRUE(p->COM.PortOpen());
                   // Closing the window is how the user leaves the endless handshake.
                   p->close();
               });
    EXPECT_TRUE(steps.run(15s));
    EXPECT_TRUE(vb::Ended());
    EXPECT_FALSE(p->COM.PortOpen());
}

// Closing the window while a size query waits for its answer closes the port under
// the waiting reader: the program must end without touching the closed port.
TEST_F(Palix, ClosingInsideASizeQueryEndsCleanly) {
    for (bool fromRead : {false, true}) {
        SetUp();
        SlmSim sim({"--level", "50"});
        int seen = 0;
        bool closed = false;
        QTimer watch;
        watch.setTimerType(Qt::PreciseTimer);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!closed && PanelForm && sim.count("47 00 00 00") > seen) {
                closed = true;
                PanelForm->close();
            }
        });
        Panel *p = nullptr;
        if (fromRead) {
            p = startOn(sim);
            ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
            seen = sim.count("47 00 00 00");
            sim.control("badreplies 1000"); // Read keeps asking
            watch.start(1);
            p->CmdR->click();
        } else {
            watch.start(1); // the first tick's one-time query
            p = startOn(sim);
            testsupport::waitUntil([&] { return closed; }, 10s);
        }
        EXPECT_TRUE(closed) << fromRead;
        EXPECT_TRUE(vb::Ended()) << fromRead;
        EXPECT_FALSE(p->COM.PortOpen()) << fromRead;
        delete PanelForm;
    }
}

TEST_F(Palix, RemoteKeysChangeTheMetersState) {
    SlmSim sim({"--level", "66", "--range", "2"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));

    p->BtnCA->click();
    EXPECT_TRUE(testsupport::waitUntil([&] { return sim.count("4B 00 00 01") == 1; }, 2s));
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_TRUE(testsupport::waitUntil([&] { return p->LblC->isVisible() && !p->LblA->isVisible(); }, 5s));
    EXPECT_EQ(FreqWeighting, "C");

    p->Toolbar1_ButtonClick(p->Buttons(10)); // FSI
    EXPECT_TRUE(testsupport::waitUntil([&] { return p->LblSlow->isVisible() && !p->LblFast->isVisible(); }, 5s));
    p->Buttons(11).Action->trigger(); // Up
    EXPECT_TRUE(testsupport::waitUntil([&] { return p->LblBarMax->text() == "110"; }, 5s));
    p->BtnDown->click();
    EXPECT_TRUE(testsupport::waitUntil([&] { return p->LblBarMax->text() == "100"; }, 5s));
    p->Toolbar1_ButtonClick(p->Buttons(14)); // REC
    testsupport::waitUntil([&] { return sim.count("4B 00 00 06") == 1; }, 2s);
    const QStringList keys = sim.commands().filter(QRegularExpression("^4B "));
    EXPECT_EQ(keys, QStringList({"4B 00 00 01", "4B 00 00 02", "4B 00 00 09", "4B 00 00 0A", "4B 00 00 06"}));

    // Every key goes out right after an idle answer to a probe.
    const QStringList all = sim.commands();
    for (int i = 0; i < all.size(); ++i)
        if (all[i].startsWith("4B ")) {
            EXPECT_EQ(all[i - 1], "00");
        }

    // Keys without a meter command, and picture holders, send nothing (the poll's own
    // probes and start commands aside).
    const QRegularExpression command("^[^04]");
    const int before = int(sim.commands().filter(command).size());
    for (int i : {16, 17, 18, 1, 4}) p->Toolbar1_ButtonClick(p->Buttons(i));
    // The line is in order: what they sent would come before the next key's command.
    const int caKeys = sim.count("4B 00 00 01");
    p->BtnCA->click();
    ASSERT_TRUE(testsupport::waitUntil([&] { return sim.count("4B 00 00 01") == caKeys + 1; }, 5s));
    EXPECT_EQ(int(sim.commands().filter(command).size()), before);
}

TEST_F(Palix, ToolbarButtonsKeysAndTips) {
    SlmSim sim({"--streaming"});
    Panel *p = startOn(sim);
    const char *keys[18] = {"Save", "Open", "Sampling", "List", "Graph", "Run",    "Stop",    "Pause", "AC",
                            "FSI",  "Up",   "Down",     "RTC",  "REC",   "Memory", "StopRec", "Save1", "Erase"};
    const char *tips[18] = {"Save As",
                            "Open File",
                            "Sampling Rate",
                            "List Display",
                            "Graphic Display",
                            "Start ( Leq/SEL )",
                            "Stop ( Leq/SEL )",
                            "Pause ( Leq/SEL )",
                            "A / C",
                            "Fast / Slow",
                            "Level Up",
                            "Level Down",
                            "Set Meter Time to System (PC) Time",
                            "Save Data to Meter",
                            "Data Logger",
                            "Stop Recording",
                            "Save As",
                            "Erase Memory"};
    for (int i = 1; i <= 18; ++i) {
        EXPECT_EQ(p->Buttons(i).Key, keys[i - 1]);
        EXPECT_EQ(p->Buttons(i).ToolTipText, tips[i - 1]);
        EXPECT_EQ(p->Buttons(i).Action->toolTip(), tips[i - 1]);
    }
}

TEST_F(Palix, RtcSetsTheMeterClockFromThePc) {
    SlmSim sim({"--level", "50", "--clock", "2001-01-01 00:00:00"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
    const QDateTime before = QDateTime::currentDateTime();
    p->Toolbar1_ButtonClick(p->Buttons(13));
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_TRUE(p->Timer1.Enabled());
    testsupport::waitUntil([&] { return !sim.commands().filter(QRegularExpression("^58 ")).isEmpty(); }, 2s);

    const QStringList cmds = sim.commands();
    const int w = int(cmds.indexOf(QRegularExpression("57 .*")));
    ASSERT_GE(w, 0);
    ASSERT_LT(w + 2, cmds.size());
    EXPECT_EQ(cmds[w + 1], "00"); // a fresh handshake before the time
    const int x = int(cmds.indexOf(QRegularExpression("58 .*"), w));
    ASSERT_GT(x, w);
    // BCD fields read as decimal; a date that does not parse, or one outside the click, fails.
    const QDateTime sent =
        QDateTime::fromString(cmds[w].mid(3) + " " + cmds[x].mid(3), "yy MM dd HH mm ss").addYears(100);
    ASSERT_TRUE(sent.isValid()) << cmds[w].toStdString() << " " << cmds[x].toStdString();
    const QDateTime from = before.addMSecs(-before.time().msec()); // the command holds whole seconds
    EXPECT_GE(sent, from) << sent.toString(Qt::ISODate).toStdString();
    EXPECT_LE(sent, after) << sent.toString(Qt::ISODate).toStdString();
}

TEST_F(Palix, ReadRepeatsUntilTheAnswerIsFramed) {
    SlmSim sim({"--level", "50", "--memory", "7"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
    const int before = sim.count("47 00 00 00");
    ASSERT_TRUE(sim.control("badreplies 2"));
    p->CmdR->click();
    EXPECT_EQ(p->LblRomSize->text(), "7");
    EXPECT_EQ(MemorySize, 448);
    EXPECT_TRUE(testsupport::waitUntil([&] { return sim.count("47 00 00 00") - before == 3; }, 2s));
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
}

TEST_F(Palix, SizeTextSetsTheMemorySize) {
    SlmSim sim({"--level", "50"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
    struct Case {
        const char *text;
        const char *sent;
    };
    const QRegularExpression setSize("^47 00 01");
    const Case cases[] = {{"5", "47 00 01 05"}, {"2.5", "47 00 01 02"}, {"x", "47 00 01 00"}, {"255", "47 00 01 FF"}};
    for (const Case &c : cases) {
        p->TxtSize->setText(c.text);
        p->TxtSize_Change();
        EXPECT_TRUE(testsupport::waitUntil(
            [&] {
                const QStringList sent = sim.commands().filter(setSize);
                return !sent.isEmpty() && sent.last() == c.sent;
            },
            2s))
            << c.text;
    }
    const int n = int(sim.commands().filter(setSize).size());
    p->TxtSize->setText("300"); // more than a byte holds: not sent
    p->TxtSize_Change();
    // The line is in order: had it been sent, it would come before the next size.
    p->TxtSize->setText("255");
    p->TxtSize_Change();
    ASSERT_TRUE(testsupport::waitUntil([&] { return sim.commands().filter(setSize).size() == n + 1; }, 5s));
    EXPECT_EQ(sim.commands().filter(setSize).last(), "47 00 01 FF");
    p->CmdR->click();
    EXPECT_EQ(p->LblRomSize->text(), "255");
}

// "12" typed quickly: the second key comes while the first one's handshake waits. The
// meter must end up with 12: what is sent is the text at the time of sending, and the
// key that came meanwhile starts no exchange of its own inside the first.
TEST_F(Palix, SizeTypedQuicklySendsWhatTheBoxHoldsLast) {
    SlmSim sim({"--level", "50"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
    const QRegularExpression setSize("^47 00 01");
    auto type = [&](const QString &ch) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, ch);
        QApplication::sendEvent(p->TxtSize, &press);
    };
    bool second = false;
    QTimer inside; // runs inside the first key's handshake, which processes events
    QObject::connect(&inside, &QTimer::timeout, [&] {
        if (!second && sim.count("00") > 0) {
            second = true;
            type("2");
        }
    });
    const int probes = sim.count("00");
    inside.start(5);
    type("1");
    ASSERT_TRUE(second);
    EXPECT_GT(sim.count("00"), probes);
    EXPECT_EQ(p->TxtSize->text(), "12");
    ASSERT_TRUE(testsupport::waitUntil([&] { return !sim.commands().filter(setSize).isEmpty(); }, 5s));
    EXPECT_EQ(sim.commands().filter(setSize), QStringList({"47 00 01 0C"}));
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s)); // the poll goes on
}

// A key clicked while another key's handshake waits for the meter: both keys go out,
// and the poll stays off until the outer one is sent, so its frames cannot keep that
// handshake from seeing the idle answer.
TEST_F(Palix, KeyClickedInsideAnotherKeysHandshakeLeavesThePollOffUntilBothAreSent) {
    SlmSim sim({"--level", "66"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
    ASSERT_TRUE(sim.control("silent"));
    const int probes = sim.count("00");
    bool pollOnInside = false;
    Steps steps;
    // Deferred from the step, whose timer does not run again while its own handler waits.
    steps.then([&] { return sim.count("00") > probes; }, [&] { QTimer::singleShot(0, [&] { p->BtnMax->click(); }); });
    steps.then([&] { return sim.count("00") > probes + 2; },
               [&] { QTimer::singleShot(0, [&] { sim.control("answer"); }); });
    steps.then([&] { return sim.count("4B 00 00 04") == 1; }, [&] { pollOnInside = p->Timer1.Enabled(); });
    steps.then([&] { return sim.count("4B 00 00 01") == 1; });
    QTimer::singleShot(0, [&] { p->BtnCA->click(); });
    ASSERT_TRUE(steps.run(20s));
    EXPECT_FALSE(pollOnInside);
    ASSERT_TRUE(testsupport::waitUntil([&] { return p->Timer1.Enabled(); }, 5s));
    EXPECT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s)); // the poll goes on
}

TEST_F(Palix, LeqPeriodPrompt) {
    SlmSim sim({"--streaming"});
    Panel *p = startOn(sim);
    auto &script = forms::DialogScript();
    script.pushText("1030");
    script.pushAccept(); // the message
    script.pushText("1:2:3");
    p->CmdL_Click();
    EXPECT_EQ(LeqPeriod, 3723);
    EXPECT_TRUE(LeqArmed);
    const auto &log = script.log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3].text, "Set up the willing time period to launch. \r\n (hh:nn:ss) ");
    EXPECT_EQ(log[log.size() - 3].defaultText, "00:00:10");
    EXPECT_EQ(log[log.size() - 2].text, "Invalid, comply with the data format properly\r\n");
    EXPECT_EQ(log[log.size() - 2].flags & forms::MB_ICONMASK, forms::MB_ICONSTOP);

    script.pushCancel(); // nothing changes
    p->CmdL_Click();
    EXPECT_EQ(LeqPeriod, 3723);
    EXPECT_TRUE(LeqArmed);
    script.pushText("25:61:00"); // toggles back
    p->CmdL_Click();
    EXPECT_EQ(LeqPeriod, 3660);
    EXPECT_FALSE(LeqArmed);
}

TEST_F(Palix, ClockWindowShowsTheMetersClock) {
    SlmSim sim({"--level", "50", "--clock", "2024-02-29 13:14:15"});
    Panel *p = startOn(sim);
    ASSERT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
    {
        slm::Setup setup;
        setup.show();
        // Centred under the panel's frame, 1000 twips below its top (frames too, under X).
        const QRect panel = vb::FormGeometry(p);
        const QPoint at(panel.left() + (panel.width() - vb::FormGeometry(&setup).width()) / 2,
                        panel.top() + vb::TwipsToPixelsY(1000));
        EXPECT_TRUE(testsupport::waitUntil([&] { return vb::FormGeometry(&setup).topLeft() == at; }, 5s))
            << vb::FormGeometry(&setup).x() << "," << vb::FormGeometry(&setup).y();
        EXPECT_EQ(setup.LblMeterTime->text(), "Meter Time");
        ASSERT_TRUE(sim.control("badreplies 2")); // framed replies without AA are asked again
        setup.LblMeterTime_Click();
        setup.LblPCTime_Click();
        ASSERT_TRUE(
            testsupport::waitUntil([&] { return setup.LblMeterTime->text().startsWith("24/02/29 13:14:"); }, 5s))
            << setup.LblMeterTime->text().toStdString();
        EXPECT_FALSE(p->Timer1.Enabled());
        EXPECT_TRUE(QDateTime::fromString(setup.LblPCTime->text(), "yy/MM/dd HH:mm:ss").isValid());
        EXPECT_GE(sim.count("52 00 00 80"), 3);
        EXPECT_GE(sim.count("52 00 00 83"), 1);

        setup.CmdSetTime_Click();
        const QString today = QDate::currentDate().toString("yy/MM/dd");
        EXPECT_TRUE(testsupport::waitUntil([&] { return setup.LblMeterTime->text().startsWith(today); }, 5s))
            << setup.LblMeterTime->text().toStdString();
        setup.CmdExit_Click();
    }
    EXPECT_TRUE(p->Timer1.Enabled());
    EXPECT_TRUE(testsupport::waitUntil([&] { return live(p); }, 10s));
}

} // namespace

namespace {

// A picture of the live front panel for a person to look at (build/screenshots).
TEST_F(Palix, LivePanelScreenshot) {
    SlmSim sim({"--range", "3", "--c"});
    Panel *p = startOn(sim);
    p->resize(p->sizeHint());
    // The picture: a live panel at 110/50 with C weighting, its reading on the bar.
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return live(p) && p->LblBarMax->text() == "110" && FreqWeighting == "C" && p->SoundBarValue() > 0; },
        10s))
        << p->LblBarMax->text().toStdString() << " " << FreqWeighting.toStdString();
    EXPECT_EQ(p->LblBarMin->text(), "50");
    EXPECT_GE(p->SoundBarValue(), 50);
    EXPECT_LE(p->SoundBarValue(), 110);
    const QImage shot = p->grab().toImage();
    ASSERT_EQ(shot.size(), p->size());
    const QString dir = QString::fromStdString(testsupport::binDir()) + "/../screenshots";
    QDir().mkpath(dir);
    EXPECT_TRUE(shot.save(dir + "/palix-panel.png"));
}

} // namespace
