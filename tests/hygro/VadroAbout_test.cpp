// The about box shows the version block embedded in the program file (this test
// program carries the block "3.1.1.0" under language 0409, code page 04E4).

#include "hygro/UAbout.h"
#include "hygro/UMain.h"
#include "hygro/VersionInfo.h"

#include "platform/forms/Component.h"
#include "platform/win/VersionResource.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace hygro;

TEST(HygroVadroAbout, ShowsTheEmbeddedFileVersion) {
    TfrmAbout about;
    EXPECT_EQ(about.Label2->text(), "3.1.1.0");
    EXPECT_EQ(about.windowTitle(), "About Corvale for Humidity Temperature Meter");
    EXPECT_EQ(TVersionInfo::ReadFileVersion("/bin/sh"), ""); // no block
    EXPECT_EQ(TVersionInfo::ReadFileVersion("/does/not/exist"), "");
}

TEST(HygroVadroAbout, DesignerTextAndARemovedLabel) {
    TVersionInfo info(nullptr);
    info.SetDesigning(true);
    auto *label = new QLabel;
    info.SetFileVersionLabel(label);
    EXPECT_EQ(label->text(), "#File Version#");
    delete label;
    EXPECT_EQ(info.FileVersionLabel(), nullptr);
    info.Loaded(); // no link: nothing to write
}

TEST(HygroVadroAbout, HelpMenuShowsAFreshModalBoxThatOkCloses) {
    setenv("METER_PORTS", "", 1);
    TfrmMain main;
    bool okShown = false;
    QString version;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = dynamic_cast<TfrmAbout *>(QApplication::activeModalWidget());
        if (!box) return;
        poll.stop();
        okShown = box->BitBtn1->isVisible();
        version = box->Label2->text();
        box->BitBtn1->click();
    });
    poll.start(10);
    main.AboutCorvale1Click();
    EXPECT_TRUE(okShown);
    EXPECT_EQ(version, "3.1.1.0");
    EXPECT_EQ(frmAbout, nullptr);
}
