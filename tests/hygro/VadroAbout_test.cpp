// The about box shows the version block embedded in the program file (this test
// program carries the block "3.1.1.0" under language 0409, code page 04E4).

#include "hygro/UAbout.h"
#include "hygro/VersionInfo.h"

#include "platform/forms/Component.h"
#include "platform/win/VersionResource.h"

#include <QLabel>

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
