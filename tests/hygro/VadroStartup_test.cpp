// Start-up: settings, the meter search and the windows it leaves.

#include "hygro/VadroFixture.h"

#include <QLineEdit>
#include <QComboBox>
#include <QLabel>
#include <QStatusBar>

#include "hygro/UAbout.h"

#include "support/DeniedOpen.h"
#include <unistd.h>

using namespace hygrotest;
using namespace hygro;

using testsupport::DeniedOpen;

TEST(HygroVadroStartup, FirstStartWithoutSettingsRunsWith2And585AndWritesBothAtExit) {
    ASSERT_EQ(registryInt("RealTimeRate"), -1);
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    EXPECT_EQ(RealTimeRate, 2);
    EXPECT_EQ(MeterModel, 585); // no meter: the stored model
    EXPECT_FALSE(LinkUp);
    EXPECT_EQ(main->StatusText(1), "No Connection");
    EXPECT_EQ(main->MaskEdit1->displayText(), "  00 : 02  ");
    EXPECT_FALSE(main->btnRun->isEnabled());
    ASSERT_TRUE(frmPanel);
    EXPECT_FALSE(frmPanel->lblnolink->isVisible()); // the search ran before the panel existed
    ASSERT_TRUE(RealTimeList);
    EXPECT_EQ(RealTimeList->Grid1->Cells(5, 0), "Temperature");
    EXPECT_EQ(RealTimeList->Grid1->Cells(3, 0), "HUMIDITY");
    EXPECT_TRUE(main->LoadData1->isVisible());
    EXPECT_EQ(ListRect.left(), frmPanel->Bounds().width());

    main->close();
    EXPECT_EQ(registryInt("RealTimeRate"), 2);
    EXPECT_EQ(registryInt("RegModel"), 585);
}

TEST(HygroVadroStartup, StoredRateZeroStartsWithTwo) {
    {
        win::TRegistry reg;
        reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE\\Vadro"), true));
        reg.WriteInteger(QStringLiteral("RealTimeRate"), 0);
        reg.WriteInteger(QStringLiteral("RegModel"), 582);
    }
    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    EXPECT_EQ(RealTimeRate, 2);
    EXPECT_EQ(main->MaskEdit1->displayText(), "  00 : 02  ");
    EXPECT_EQ(MeterModel, 582);
    EXPECT_FALSE(main->LoadData1->isVisible());
}

TEST(HygroVadroStartup, SearchFindsTheMeterOnTheSecondListedPortAndStaysThere) {
    HygroSim mute({"--model", "586", "--silent"});
    HygroSim meter({"--model", "583", "--ident", "7"});
    ASSERT_FALSE(mute.path().isEmpty());
    ASSERT_FALSE(meter.path().isEmpty());
    auto main = startVadro({mute.path(), meter.path()});
    EXPECT_TRUE(LinkUp);
    EXPECT_EQ(MeterModel, 583);
    EXPECT_EQ(IdentByte, 7);
    EXPECT_EQ(RecordStride, 6);
    EXPECT_EQ(main->ComboBoxDeviceName->currentIndex(), 1);
    EXPECT_EQ(main->StatusText(1), meter.path());
    EXPECT_TRUE(main->btnRun->isEnabled());
    EXPECT_EQ(RealTimeList->Grid1->Cells(7, 0), "T2");
    EXPECT_FALSE(main->LoadData1->isVisible());

    // The poll timer keeps talking to that meter.
    EXPECT_TRUE(testsupport::waitUntil([&] { return meter.receivedBytes().count("41") >= 2; }, 5s));
    EXPECT_TRUE(mute.receivedBytes().count("41") == 0);
    EXPECT_TRUE(LinkUp);
    EXPECT_TRUE(frmPanel->imgT2->isVisible());
}

TEST(HygroVadroStartup, RefusedIdentificationLeavesNoModelAndNoLink) {
    testsupport::PtyPair pty;
    const QString path = QString::fromStdString(pty.slavePath());
    // Plays a meter that answers "K" with "582" and a NUL.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        pollfd p{pty.master(), POLLIN, 0};
        if (::poll(&p, 1, 0) > 0) {
            char c;
            if (::read(pty.master(), &c, 1) == 1 && c == 'K') pty.writeMaster(std::string("582\0", 4));
        }
    });
    answer.start(5);
    auto main = startVadro({path});
    EXPECT_FALSE(LinkUp);
    EXPECT_EQ(IdentByte, 0);
    EXPECT_EQ(MeterModel, 585); // then the stored model
}

TEST(HygroVadroStartup, PortsThatWillNotOpenSayWhyBesideNoConnection) {
    { auto first = startVadro({}); } // the chart template is in place before the search runs as nobody
    HygroSim meter({"--model", "585"});
    const QString missing = "/dev/ttyNoSuchPort7";
    std::unique_ptr<TfrmMain> main;
    {
        DeniedOpen deny(meter.path());
        main = startVadro({meter.path(), missing});
    }
    EXPECT_FALSE(LinkUp);
    EXPECT_EQ(main->StatusText(1), "No Connection");
    const QString why = main->StatusText(0);
    EXPECT_TRUE(why.startsWith(meter.path() + ": permission denied.")) << why.toStdString();
    EXPECT_TRUE(why.contains("\"dialout\"") && why.contains("log in again")) << why.toStdString();
    EXPECT_TRUE(why.contains(missing + ": The system cannot find the file specified.")) << why.toStdString();

    // However long the reasons, "No Connection" shows whole, once the status bar is laid out.
    const auto whole = [&] {
        for (QLabel *l : main->statusBar()->findChildren<QLabel *>())
            if (l->text() == "No Connection" &&
                (l->width() < l->sizeHint().width() || l->geometry().right() > main->statusBar()->width()))
                return false;
        return true;
    };
    EXPECT_TRUE(testsupport::waitUntil(whole));
    for (QLabel *l : main->statusBar()->findChildren<QLabel *>()) {
        if (l->text() != "No Connection") continue;
        EXPECT_GE(l->width(), l->sizeHint().width());
        EXPECT_LE(l->geometry().right(), main->statusBar()->width());
    }

    // Allowed now: choosing the port opens it, the reasons go, the meter answers.
    manualTicks(*main);
    main->ComboBoxDeviceName->setCurrentIndex(0);
    main->ComboBoxDeviceNameChange();
    EXPECT_TRUE(main->StatusText(0).isEmpty());
    ASSERT_TRUE(tickAndWaitForFrame(*main));
    EXPECT_TRUE(LinkUp);
    EXPECT_EQ(main->StatusText(1), meter.path());
}

TEST(HygroVadroStartup, ClosedDuringTheSearchStartsNothingAndLeavesNoPortOpen) {
    HygroSim mute({"--model", "586", "--silent"});
    // Closed while the search waits for the silent meter's answer, its port open.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!frmMain || !frmMain->Comm1->Active()) return;
        closer.stop();
        frmMain->close();
    });
    closer.start(5);
    auto main = startVadro({mute.path()});
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(main->MainTimer->isActive());
    EXPECT_FALSE(main->Comm1->Active());
    EXPECT_FALSE(frmPanel);
    EXPECT_EQ(registryInt("RegModel"), 585); // the settings were written at the close
}

TEST(HygroVadroStartup, SplashShowsEachPortTriedAndClosesAtTheEnd) {
    HygroSim mute({"--model", "586", "--silent"});
    HygroSim meter({"--model", "582"});
    frmAbout = new TfrmAbout();
    frmAbout->show();
    QStringList shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (frmAbout && (shown.isEmpty() || shown.last() != frmAbout->Label4->text()))
            shown << frmAbout->Label4->text();
    });
    watch.start(5);
    auto main = startVadro({mute.path(), meter.path()});
    watch.stop();
    ASSERT_TRUE(LinkUp);
    EXPECT_TRUE(shown.contains("Searching Meter on " + mute.path())) << shown.join('|').toStdString();
    EXPECT_TRUE(shown.contains("Searching Meter on " + meter.path()));
    EXPECT_TRUE(frmAbout->Label4->text().isEmpty());
    EXPECT_FALSE(frmAbout->isVisible());
    delete frmAbout;
    frmAbout = nullptr;
}
