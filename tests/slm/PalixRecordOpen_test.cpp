// The Open key on files that a user can produce but that are no record files, or that
// change while they are read.

#include "PalixRecordSupport.h"

#include "platform/forms/NamedPipe.h"
#include "slm/core/SlmFile.h"

#include <QPointer>

#include <unistd.h>

using namespace slm;

namespace {

QByteArray recordLine(int i) {
    return QByteArray::number(i).rightJustified(6, '0') + "\t2026/12/09 08:58:07\t85.3\t\r\n";
}

} // namespace

// Cut short while events run between its lines: the reading ends at the cut record,
// as at any broken line, and the rows before it stay.
TEST_F(PalixRecord, AFileCutWhileItIsReadEndsAtTheCut) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    const QString path = dir + "/cut.slm";
    const QByteArray header = "No.s\tDate Time\tSPL\r\n";
    QByteArray data = header;
    for (int i = 1; i <= 12000; ++i) data += recordLine(i);
    data += "*Time: FAST   Frequency: A   Range: 30-90\r\n**Max : 85.3 dB ----x\r\n***Min : 85.3 dB ----x\r\n";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    // Well past what the first read takes in, in the middle of record 6001.
    const qint64 cut = header.size() + 6000 * recordLine(1).size() + 10;
    FileList *list = FileListForm();
    bool truncated = false;
    QObject::connect(list, &QWidget::windowTitleChanged, list, [&](const QString &title) {
        if (truncated || !title.endsWith(" Records Completed")) return;
        truncated = ::truncate(QFile::encodeName(path).constData(), off_t(cut)) == 0;
    });
    forms::DialogScript().pushFile(path);
    press(p, "Open");
    ASSERT_TRUE(truncated);
    ASSERT_TRUE(FileListLoaded());
    EXPECT_EQ(list->RecordCount(), 6000);
    EXPECT_EQ(list->GridN(0)->TextMatrix(6000, 0), "006000");
    EXPECT_EQ(list->TxtMin->text(), "");
    EXPECT_TRUE(list->windowTitle().endsWith(" Records Completed")) << list->windowTitle().toStdString();
}

// Refused with a message, at once: a named pipe (whose open would wait for a writer),
// a folder; a line or a count of records past the reader's bounds ends the reading
// with a message.
TEST_F(PalixRecord, OpenRefusesWhatIsNoRecordFile) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    NamedPipe pipe(dir + "/pipe.slm");
    ASSERT_TRUE(pipe.made());
    QFile::remove(dir + "/folder.slm");
    ASSERT_TRUE(QDir(dir).mkdir("folder.slm"));
    {
        QFile f(dir + "/long.slm");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("No.s\tDate Time\tSPL\r\n" + recordLine(1) + "*" + QByteArray(SlmItemReader::MaxItemLength, 's') +
                "\r\n" + recordLine(2));
    }
    for (const char *name : {"pipe.slm", "folder.slm"}) {
        forms::DialogScript().pushFile(dir + "/" + name);
        press(p, "Open");
        const QString kind = QString(name) == "pipe.slm" ? "a named pipe" : "a folder";
        EXPECT_EQ(lastPrompt(), dir + "/" + name + " cannot be read as a file: it is " + kind + ".");
        EXPECT_FALSE(FileListLoaded()) << name;
    }
    EXPECT_FALSE(pipe.blockedAReader());

    forms::DialogScript().pushFile(dir + "/long.slm");
    press(p, "Open");
    ASSERT_TRUE(FileListLoaded());
    EXPECT_EQ(FileListForm()->RecordCount(), 1);
    EXPECT_TRUE(FileListForm()->TxtLn->text().isEmpty());
    EXPECT_EQ(lastPrompt(),
              "Line 3 of " + dir + "/long.slm is longer than 4096 characters; the reading ends before it.");

    // More records than the list takes: the first ones, and a message.
    {
        QFile f(dir + "/many.slm");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("No.s\tDate Time\tSPL\r\n" + recordLine(1) + recordLine(2) + recordLine(3) + recordLine(4) +
                "***Min\r\n");
    }
    UnloadFileList();
    EXPECT_TRUE(FileListForm()->ReadFile(dir + "/many.slm", 3));
    EXPECT_EQ(FileListForm()->RecordCount(), 3);
    EXPECT_EQ(FileListForm()->TxtMin->text(), "");
    EXPECT_EQ(lastPrompt(), dir + "/many.slm holds more than 3 records; the first 3 are shown.");
}
