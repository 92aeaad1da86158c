// Opening a user's file for reading: only regular files, and never a blocking open.

#include "platform/forms/NamedPipe.h"
#include "platform/forms/RegularFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

using forms::FileOpen;

TEST(FormsRegularFile, OnlyARegularFileIsOpened) {
    const QString dir = QString::fromStdString(testsupport::makeTempDir());
    {
        QFile f(dir + "/data.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("a\tb\r\n");
    }
    QFile file;
    QString error;
    ASSERT_EQ(forms::OpenRegularFile(file, dir + "/data.txt", &error), FileOpen::Opened) << error.toStdString();
    EXPECT_EQ(file.readAll(), "a\tb\r\n");

    NamedPipe pipe(dir + "/pipe.slm");
    ASSERT_TRUE(pipe.made());
    struct Case {
        QString path;
        FileOpen result;
        QString says;
    };
    const Case cases[] = {
        {dir + "/pipe.slm", FileOpen::NotAFile, dir + "/pipe.slm cannot be read as a file: it is a named pipe."},
        {"/dev/null", FileOpen::NotAFile, "/dev/null cannot be read as a file: it is a device."},
        {dir, FileOpen::NotAFile, dir + " cannot be read as a file: it is a folder."},
        {dir + "/missing.txt", FileOpen::Failed,
         "Cannot open file \"" + dir + "/missing.txt\". No such file or directory"},
    };
    for (const Case &c : cases) {
        QFile other;
        error.clear();
        EXPECT_EQ(forms::OpenRegularFile(other, c.path, &error), c.result) << c.path.toStdString();
        EXPECT_EQ(error.toStdString(), c.says.toStdString());
        EXPECT_FALSE(other.isOpen());
    }
    EXPECT_FALSE(pipe.blockedAReader());
}
