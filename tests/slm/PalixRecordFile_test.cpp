// The ".slm" record file without a window: its lines byte for byte, the extremes, the
// names of split parts and auto-saves, the Open key's reader, and the file a recording
// writes when the disk is full, the file goes away or the program is killed.

#include "platform/vb/Runtime.h"
#include "slm/core/SlmFile.h"
#include "support/FormsSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cmath>
#include <ostream>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace slm;
using testsupport::errorOf;

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString tempPath(const QString &name) {
    return QDir(QString::fromStdString(testsupport::makeTempDir())).filePath(name);
}

TEST(SlmLines, ByteForByte) {
    EXPECT_EQ(SlmFileLine(SlmHeaderLine()), "No.s\tDate Time\tSPL\r\n");
    EXPECT_EQ(SlmRecordLine(12, "2026/12/09 08:58:07", "85.3"), "12\t2026/12/09 08:58:07\t85.3\t");
    EXPECT_EQ(SlmRecordLine(349951, "2026/12/09 08:58:07", ""), "349951\t2026/12/09 08:58:07\t\t");
    EXPECT_EQ(SettingsText("FAST", "A", 90, SettingsSeparator), "Time: FAST   Frequency: A   Range: 30-90");
    EXPECT_EQ(SettingsText("SLOW", "C", 130, SaveKeySeparator), "Time: SLOW;   Frequency: C;   Range: 70-130");
    // Before the meter named a range the range is empty, as an unset value prints.
    EXPECT_EQ(SettingsText("", "A", std::nan(""), SettingsSeparator), "Time:    Frequency: A   Range: -60-");
    // A data set names its bottom itself; unset, both ends are empty.
    EXPECT_EQ(SettingsText("SLOW", "C", 40, 100, SettingsSeparator), "Time: SLOW   Frequency: C   Range: 40-100");
    EXPECT_EQ(SettingsText("", "", std::nan(""), std::nan(""), SettingsSeparator), "Time:    Frequency:    Range: -");
    EXPECT_EQ(ExtremeText("Max", "92.4", "2026/12/09 08:58:07"), "Max : 92.4 dB ----2026/12/09 08:58:07");
    EXPECT_EQ(SlmTrailer("Time: FAST   Frequency: A   Range: 30-90", "Max : 92.4 dB ----2026/12/09 08:58:07", ""),
              "*Time: FAST   Frequency: A   Range: 30-90\r\n**Max : 92.4 dB ----2026/12/09 08:58:07\r\n***\r\n");
    EXPECT_TRUE(SameRange(std::nan(""), std::nan("")));
    EXPECT_FALSE(SameRange(90, std::nan("")));
    EXPECT_FALSE(SameRange(90, 100));
}

TEST(SlmLines, ExtremesKeepTheEarliestRecord) {
    struct Extremes {
        double max = 0, min = 130;
        QString maxText, minText;
        void take(const QString &level, const QString &stamp) {
            TakeExtremes(level, stamp, max, maxText, min, minText);
        }
    };
    // 0 is not above the start maximum, 130 not below the start minimum.
    Extremes quiet, loud;
    quiet.take("0", "t0");
    EXPECT_EQ(quiet.maxText, "");
    EXPECT_EQ(quiet.minText, "Min : 0 dB ----t0");
    loud.take("130", "t0");
    EXPECT_EQ(loud.maxText, "Max : 130 dB ----t0");
    EXPECT_EQ(loud.minText, "");

    // Empty levels are no levels, and equal values do not replace.
    Extremes e;
    e.take("", "t1");
    EXPECT_EQ(e.maxText, "");
    e.take("85.3", "t2");
    e.take("85.3", "t3");
    EXPECT_EQ(e.maxText, "Max : 85.3 dB ----t2");
    EXPECT_EQ(e.minText, "Min : 85.3 dB ----t2");
    e.take("90.0", "t4");
    e.take(".5", "t5");
    e.take("", "t6");
    EXPECT_EQ(e.maxText, "Max : 90.0 dB ----t4");
    EXPECT_EQ(e.minText, "Min : .5 dB ----t5");
    EXPECT_EQ(e.max, 90);
    EXPECT_EQ(e.min, 0.5);
}

TEST(SlmLines, SplitPartAndAutoSaveNames) {
    struct Case {
        const char *path;
        int part;
        const char *expected;
    };
    const Case cases[] = {
        {"/data/rec.slm", 1, "/data/rec-1.slm"},
        {"/data/rec.slm", 12, "/data/rec-12.slm"},
        {"/data/rec", 1, "/data/rec-1"},
        {"/my.data/rec", 2, "/my.data/rec-2"},           // a dot in the folder does not count
        {"/data/rec.tar.slm", 1, "/data/rec-1.tar.slm"}, // the first dot of the name
        {"rec.slm", 3, "rec-3.slm"},
    };
    for (const Case &c : cases) EXPECT_EQ(SplitPartPath(c.path, c.part), c.expected) << c.path;
    EXPECT_EQ(AutoSaveName(QDateTime(QDate(2026, 12, 9), QTime(8, 5, 7))), "1209080507.slm");
}

// Every list window's save: its grid row by row, each cell followed by a TAB, then its
// texts as the caller gives them.
TEST(SlmGridFile, RowsAndTextsByteForByte) {
    const QList<QStringList> list = {
        {"No.s", "Date Time", "SPL"}, {"1", "2026/12/09 08:58:07", "85.3"}, {"2", "s", ""}};
    struct Case {
        const char *name;
        QList<QStringList> rows;
        QStringList after;
        QByteArray expected;
    };
    const Case cases[] = {
        {"list with its texts", list,
         SlmTrailerLines("Time: FAST   Frequency: A   Range: 30-90", "Max : 85.3 dB ----t", ""),
         "No.s\tDate Time\tSPL\t\r\n1\t2026/12/09 08:58:07\t85.3\t\r\n2\ts\t\t\r\n"
         "*Time: FAST   Frequency: A   Range: 30-90\r\n**Max : 85.3 dB ----t\r\n***\r\n"},
        {"auto-saved list",
         list,
         {"Time: FAST   Frequency: A   Range: 30-90", "Max", ""},
         "No.s\tDate Time\tSPL\t\r\n1\t2026/12/09 08:58:07\t85.3\t\r\n2\ts\t\t\r\n"
         "Time: FAST   Frequency: A   Range: 30-90\r\nMax\r\n\r\n"},
        {"table without texts", {{"Ln", " 0", " 1"}, {"0", "61.5", ""}}, {}, "Ln\t 0\t 1\t\r\n0\t61.5\t\t\r\n"},
        {"caption row only",
         {{"No.s", "Date Time", "SPL"}},
         SlmTrailerLines("", "", ""),
         "No.s\tDate Time\tSPL\t\r\n*\r\n**\r\n***\r\n"},
    };
    for (const Case &c : cases) {
        const QString path = tempPath("grid.slm");
        SaveGridFile(
            path, [&](int r) { return r < c.rows.size() ? std::optional(c.rows[r]) : std::nullopt; }, c.after);
        EXPECT_EQ(readAll(path), c.expected) << c.name;
    }
    // A record line is a grid row of number, stamp and level.
    EXPECT_EQ(SlmRowLine({"12", "2026/12/09 08:58:07", "85.3"}), SlmRecordLine(12, "2026/12/09 08:58:07", "85.3"));

    // A row source that fails ends the save with its error; so does a path that cannot be made.
    const auto failing = [](int r) -> std::optional<QStringList> {
        if (r == 1) throw vb::RuntimeError(91, "Object variable or With block variable not set");
        return QStringList{"a"};
    };
    EXPECT_EQ(errorOf([&] { SaveGridFile(tempPath("stopped.slm"), failing, {}); }), 91);
    EXPECT_EQ(errorOf([&] { SaveGridFile(tempPath("no/folder/grid.slm"), failing, {}); }), 76);
}

TEST(SlmReader, LinesByTheOpenKeysRules) {
    struct Case {
        const char *name;
        QByteArray data;
        QStringList numbers, stamps, levels;
        const char *settings, *maximum, *minimum;
        bool complete;
    };
    const Case cases[] = {
        {"header only", "No.s\tDate Time\tSPL\r\n", {}, {}, {}, "", "", "", true},
        {"empty file", "", {}, {}, {}, "", "", "", true},
        {"recording closed by the Save key",
         "No.s\tDate Time\tSPL\r\n1\t2026/12/09 08:58:07\t85.3\t\r\n2\t2026/12/09 08:58:08\t\t\r\n"
         "*Time: FAST;   Frequency: A;   Range: 30-90\r\n**Max : 85.3 dB ----2026/12/09 08:58:07\r\n***Min : 85.3 dB "
         "----2026/12/09 08:58:07\r\n",
         {"1", "2"},
         {"2026/12/09 08:58:07", "2026/12/09 08:58:08"},
         {"85.3", ""},
         "Time: FAST;   Frequency: A;   Range: 30-90",
         "Max : 85.3 dB ----2026/12/09 08:58:07",
         "Min : 85.3 dB ----2026/12/09 08:58:07",
         true},
        // An auto-saved list: its caption row as the first line, its texts without stars.
        {"auto-saved list",
         "No.s\tDate Time\tSPL\t\r\n7\ts\t60.0\t\r\nTime: FAST   Frequency: A   Range: 30-90\r\nMax : 60.0 dB "
         "----s\r\nMin : 60.0 dB ----s\r\n",
         {"7"},
         {"s"},
         {"60.0"},
         "",
         "",
         "",
         true},
        // A comma cuts a line in two items: "5" alone has no TAB and is dropped.
        {"comma",
         "h\r\n1,5\t2026/01/01 00:00:00\t70.1\t\r\n",
         {"5"},
         {"2026/01/01 00:00:00"},
         {"70.1"},
         "",
         "",
         "",
         true},
        {"more than three TABs", "h\n1\ta\tb\tc\td\n", {"1"}, {"a"}, {"b"}, "", "", "", true},
        {"CR only and LF only", "h\r1\ta\t5\t\r2\tb\t6\t\n", {"1", "2"}, {"a", "b"}, {"5", "6"}, "", "", "", true},
        // Only the first line is the header, whatever it holds.
        {"header is any first line", "1\ta\t5\t\r\n2\tb\t6\t\r\n", {"2"}, {"b"}, {"6"}, "", "", "", true},
        // The texts are cut at fixed places, wherever the stars are.
        {"stars anywhere", "h\r\nab***cd\r\nx**y\r\nz*w\r\n", {}, {}, {}, "*w", "*y", "**cd", true},
        // One or two TABs end the reading; what came before stays.
        {"broken line", "h\r\n1\ta\t5\t\r\n2\tb\t6\r\n3\tc\t7\t\r\n", {"1"}, {"a"}, {"5"}, "", "", "", false},
    };
    for (const Case &c : cases) {
        const SlmContents got = ReadSlm(c.data);
        EXPECT_EQ(got.Numbers, c.numbers) << c.name;
        EXPECT_EQ(got.Stamps, c.stamps) << c.name;
        EXPECT_EQ(got.Levels, c.levels) << c.name;
        EXPECT_EQ(got.Settings, c.settings) << c.name;
        EXPECT_EQ(got.Maximum, c.maximum) << c.name;
        EXPECT_EQ(got.Minimum, c.minimum) << c.name;
        EXPECT_EQ(got.Complete, c.complete) << c.name;
    }
    EXPECT_EQ(ReadSlm("h\r\n1,5\t2\t3\t\r\nx").ItemsRead, 4);
    // Bytes outside ASCII read one character each.
    EXPECT_EQ(ReadSlm("h\r\n*\xe9\xff\r\n").Settings, QString::fromLatin1("\xe9\xff"));
}

// What the Open key reads from a file through its buffer is what it reads from the
// same bytes in memory, whichever line ends fall on the buffer's edges.
TEST(SlmReader, AFileReadsAsItsBytes) {
    QByteArray data = "No.s\tDate Time\tSPL\r\n";
    for (int i = 1; data.size() < 5 * (1 << 16); ++i) {
        data += QByteArray::number(i) + "\t2026/12/09 08:58:07\t" + QByteArray(i % 7, '9') + "\t";
        data += i % 3 == 0 ? "\r" : i % 3 == 1 ? "\r\n" : "\n";
    }
    data += "*Time: FAST   Frequency: A   Range: 30-90\r\n**Max : 9\r\n***Min : 1\r\n";
    const QString path = tempPath("big.slm");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    const SlmContents memory = ReadSlm(data);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    SlmItemReader reader(f);
    QStringList numbers, levels;
    QString minimum;
    std::int64_t n = 0;
    for (; !reader.AtEnd(); ++n) {
        const SlmItem item = ParseSlmItem(reader.Next(), reader.Cut());
        if (n == 0) continue;
        ASSERT_NE(item.kind, SlmItem::Broken) << n;
        if (item.kind == SlmItem::Record) {
            numbers << item.Number;
            levels << item.Level;
        }
        if (item.kind == SlmItem::Minimum) minimum = item.Text;
    }
    EXPECT_FALSE(reader.Failed());
    EXPECT_EQ(n, memory.ItemsRead); // a CR LF across the buffer's edge is one line end
    EXPECT_EQ(numbers, memory.Numbers);
    EXPECT_EQ(levels, memory.Levels);
    EXPECT_EQ(minimum, "Min : 1");
    EXPECT_GT(numbers.size(), 10000);
}

// No item is held longer than the bound: a record whose first three fields fit is
// read as ever, whatever follows them; anything else past the bound ends the reading.
TEST(SlmReader, ItemsPastTheBoundEndTheReading) {
    const qsizetype bound = SlmItemReader::MaxItemLength;
    const QByteArray head = "h\r\n1\ta\t5\t\r\n";
    struct Case {
        const char *name;
        QByteArray data;
        QStringList numbers;
        QString settings;
        bool complete;
    };
    const Case cases[] = {
        {"settings text at the bound",
         head + "*" + QByteArray(bound - 1, 's') + "\r\n",
         {"1"},
         QString(bound - 1, 's'),
         true},
        {"settings text past it", head + "*" + QByteArray(bound, 's') + "\r\n2\tb\t6\t\r\n", {"1"}, "", false},
        {"record with a long tail",
         head + "2\tb\t6\t" + QByteArray(3 * bound, 'x') + "\r\n3\tc\t7\t\r\n",
         {"1", "2", "3"},
         "",
         true},
        {"record whose field is past it",
         head + "2\t" + QByteArray(bound, 'b') + "\t6\t\r\n3\tc\t7\t\r\n",
         {"1"},
         "",
         false},
        // The header is skipped, however long it is.
        {"long header", QByteArray(5 * bound, 'h') + "\r\n1\ta\t5\t\r\n", {"1"}, "", true},
    };
    for (const Case &c : cases) {
        const SlmContents got = ReadSlm(c.data);
        EXPECT_EQ(got.Numbers, c.numbers) << c.name;
        EXPECT_EQ(got.Settings, c.settings) << c.name;
        EXPECT_EQ(got.Complete, c.complete) << c.name;
        EXPECT_EQ(got.Stop, c.complete ? SlmItem::Other : SlmItem::TooLong) << c.name;
    }
}

TEST(SlmRecordFile, EveryLineIsInTheFileWhenWriteReturns) {
    const QString path = tempPath("rec.slm");
    QFile::remove(path);
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older file that is replaced, longer than what follows\r\n");
    }
    SlmRecordFile file;
    file.Create(path);
    EXPECT_EQ(readAll(path), "No.s\tDate Time\tSPL\r\n");
    file.WriteLine(SlmRecordLine(1, "2026/12/09 08:58:07", "85.3"));
    EXPECT_EQ(readAll(path), "No.s\tDate Time\tSPL\r\n1\t2026/12/09 08:58:07\t85.3\t\r\n");
    file.Finish(SlmTrailer("s", "M", "m"));
    EXPECT_FALSE(file.Active());
    const SlmContents back = ReadSlm(readAll(path));
    EXPECT_EQ(back.Numbers, QStringList{"1"});
    EXPECT_EQ(back.Settings, "s");
    EXPECT_EQ(back.Minimum, "m");
}

// The program is killed between two samples: nothing it wrote is missing.
TEST(SlmRecordFile, AKilledWriterLosesNothing) {
    const QString path = tempPath("killed.slm");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        SlmRecordFile file;
        file.Create(path);
        for (int i = 1; i <= 50; ++i) file.WriteLine(SlmRecordLine(i, "2026/12/09 08:58:07", "60.0"));
        const char c = 'x';
        if (write(ready[1], &c, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    const SlmContents back = ReadSlm(readAll(path));
    ASSERT_EQ(back.Numbers.size(), 50);
    EXPECT_EQ(back.Numbers.last(), "50");
}

TEST(SlmRecordFile, AFullDiskTakesThePieceBackAndTheRetryWrites) {
    const QString path = tempPath("full.slm");
    SlmRecordFile file;
    file.Create(path);
    const QString line = SlmRecordLine(1, "2026/12/09 08:58:07", "85.3");
    file.WriteLine(line);
    const qint64 before = QFileInfo(path).size();

    // The file may not grow past half of the next line: the write stops inside it.
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = rlim_t(before + line.size() / 2);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int error = errorOf([&] { file.WriteLine(SlmRecordLine(2, "2026/12/09 08:58:08", "85.4")); });
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(error, 61);
    EXPECT_EQ(QFileInfo(path).size(), before); // no half line left behind

    file.WriteLine(SlmRecordLine(2, "2026/12/09 08:58:08", "85.4"));
    file.Finish(SlmTrailer("s", "M", "m"));
    const SlmContents back = ReadSlm(readAll(path));
    EXPECT_EQ(back.Numbers, QStringList({"1", "2"}));
    EXPECT_TRUE(back.Complete);

    SlmRecordFile full;
    EXPECT_EQ(errorOf([&] { full.Create("/dev/full"); }), 75); // not a file
}

TEST(SlmRecordFile, ARemovedFileIsSaidAndMadeAgain) {
    const QString path = tempPath("removed.slm");
    SlmRecordFile file;
    file.Create(path);
    file.WriteLine(SlmRecordLine(1, "a", "1.0"));
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(errorOf([&] { file.WriteLine(SlmRecordLine(2, "b", "2.0")); }), 53);
    // The retry finds the path free and starts a file there, header first.
    file.WriteLine(SlmRecordLine(2, "b", "2.0"));
    EXPECT_EQ(readAll(path), "No.s\tDate Time\tSPL\r\n2\tb\t2.0\t\r\n");
    // Moved away: the path gets a new file, the moved one keeps what it had.
    const QString moved = path + ".moved";
    ASSERT_TRUE(QFile::rename(path, moved));
    EXPECT_EQ(errorOf([&] { file.WriteLine(SlmRecordLine(3, "c", "3.0")); }), 53);
    file.WriteLine(SlmRecordLine(3, "c", "3.0"));
    file.Finish(SlmTrailer("s", "M", "m"));
    EXPECT_EQ(ReadSlm(readAll(path)).Numbers, QStringList{"3"});
    EXPECT_EQ(ReadSlm(readAll(moved)).Numbers, QStringList{"2"});
}

TEST(SlmRecordFile, AFileThatCannotBeMadeIsRetried) {
    const QString dir = QString::fromStdString(testsupport::makeTempDir()) + "/later";
    const QString path = dir + "/rec.slm";
    SlmRecordFile file;
    EXPECT_EQ(errorOf([&] { file.Create(path); }), 76);
    EXPECT_TRUE(file.Active());
    EXPECT_EQ(errorOf([&] { file.WriteLine("x"); }), 76);
    ASSERT_TRUE(QDir().mkpath(dir));
    file.WriteLine(SlmRecordLine(1, "a", "1.0"));
    EXPECT_EQ(readAll(path), "No.s\tDate Time\tSPL\r\n1\ta\t1.0\t\r\n");

    SlmRecordFile denied;
    EXPECT_EQ(errorOf([&] { denied.Create("/sys/palix-test.slm"); }), 70);
    SlmRecordFile folder;
    EXPECT_EQ(errorOf([&] { folder.Create(QDir::tempPath()); }), 75);
}

} // namespace
