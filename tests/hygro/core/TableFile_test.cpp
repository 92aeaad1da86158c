#include "hygro/core/TableFile.h"

#include <QBuffer>

#include <gtest/gtest.h>

using namespace hygro;

namespace {

QList<QStringList> readAll(const QByteArray &content, char sep, int columns = 9) {
    QByteArray data = content;
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    TableFileReader reader(buf, sep, columns);
    QList<QStringList> rows;
    QStringList cells;
    while (reader.nextRow(cells)) rows << cells;
    return rows;
}

} // namespace

TEST(HygroTableFile, SeparatorByTheLastThreeCharacters) {
    EXPECT_EQ(SeparatorForFileName("/tmp/a.csv"), ',');
    EXPECT_EQ(SeparatorForFileName("/tmp/A.CSV"), ',');
    EXPECT_EQ(SeparatorForFileName("/tmp/a.txt"), '\t');
    EXPECT_EQ(SeparatorForFileName("/tmp/noext"), '\t');
    EXPECT_EQ(SeparatorForFileName("/tmp/recordcsv"), ',');
}

TEST(HygroTableFile, WrittenLinesReadBackIntoTheSameCells) {
    const QList<QStringList> rows = {
        {"07/03/2026", "14:05:09", "45.5", "%RH", "23.1", "C", "25.0", "C"},
        {"07/03/2026", "14:05:11", "OL", "%RH", "-OL", "C", "", ""},
    };
    for (char sep : {',', '\t'}) {
        QByteArray file;
        for (const QStringList &r : rows) file += FormatTableLine(r, sep) + "\r\n";
        EXPECT_TRUE(file.startsWith(QByteArray("07/03/2026") + sep + "14:05:09" + sep));
        EXPECT_TRUE(file.contains(QByteArray("C") + sep + sep + sep + "\r\n")); // empty T2 cells
        EXPECT_EQ(readAll(file, sep), rows);
    }
    EXPECT_EQ(readAll("a\tb\t\nc\td\t\n", '\t', 3), (QList<QStringList>{{"a", "b"}, {"c", "d"}})); // LF only
}

TEST(HygroTableFile, ReadingStopsAtTheFirstLineWithoutSeparator) {
    EXPECT_EQ(readAll("a,b,\r\n\r\nc,d,\r\n", ',').size(), 1);
    EXPECT_EQ(readAll("a,b,\r\nforeign line\r\nc,d,\r\n", ',').size(), 1);
    EXPECT_TRUE(readAll("a\tb\t\r\n", ',').empty()); // a TAB file opened as CSV
    // Cells past the eighth field and text after the last separator are dropped.
    EXPECT_EQ(readAll("1,2,3,4,5,6,7,8,9,10,tail\r\n", ','),
              (QList<QStringList>{{"1", "2", "3", "4", "5", "6", "7", "8"}}));
    EXPECT_EQ(readAll("1,2,tail", ','), (QList<QStringList>{{"1", "2"}}));
}

TEST(HygroTableFile, OverlongLineGivesItsFirst179CharactersAndEndsTheTable) {
    const QByteArray exact = QByteArray(178, 'x') + ",";
    EXPECT_EQ(readAll(exact + "\r\n" + "a,\r\n", ',').size(), 2); // 179 characters are taken whole

    const QByteArray longLine = "a," + QByteArray(177, 'y') + ",tail,\r\n";
    auto rows = readAll(longLine + "b,\r\n", ',');
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0], (QStringList{"a"})); // the second separator lies past the cut
    // A huge line without separators inside the limit ends the table at once.
    EXPECT_TRUE(readAll(QByteArray(100000, 'z') + ",\r\n", ',').empty());
}

TEST(HygroTableFile, ReadingStopsAtItsRowBoundAndSaysWhetherMoreFollowed) {
    struct Case {
        QByteArray data;
        int maxRows, rows;
        bool cut;
    } cases[] = {
        {"a,\r\nb,\r\nc,\r\n", 2, 2, true},
        {"a,\r\nb,\r\n", 2, 2, false},
        {"a,\r\nb,\r\n\r\nc,\r\n", 2, 2, false}, // the table ended before the bound's next row
    };
    for (const Case &c : cases) {
        QByteArray data = c.data;
        QBuffer buf(&data);
        buf.open(QIODevice::ReadOnly);
        TableFileReader reader(buf, ',', 9, c.maxRows);
        QStringList cells;
        int rows = 0;
        while (reader.nextRow(cells)) ++rows;
        EXPECT_EQ(rows, c.rows) << c.data.toStdString();
        EXPECT_EQ(reader.cutAtMaxRows(), c.cut) << c.data.toStdString();
    }
}

TEST(HygroSaveRange, Rules) {
    struct Case {
        bool all;
        const char *from, *to;
        int lastRow;
        bool valid;
        int expFrom, expTo;
    } cases[] = {
        {true, "x", "y", 10, true, 1, 10},  {false, "5", "3", 10, true, 3, 5},
        {false, "0", "2", 10, true, 1, 2},  {false, "2", "99", 10, true, 2, 10},
        {false, "-4", "6", 10, true, 4, 6}, {false, "a", "6", 10, false, 0, 0},
        {false, "1", "", 10, false, 0, 0},  {false, "1", "99999999999", 10, false, 0, 0},
    };
    for (const Case &c : cases) {
        auto r = ResolveSaveRange(c.all, c.from, c.to, c.lastRow);
        ASSERT_EQ(r.has_value(), c.valid) << c.from << " " << c.to;
        if (!r) continue;
        EXPECT_EQ(r->from, c.expFrom) << c.from << " " << c.to;
        EXPECT_EQ(r->to, c.expTo) << c.from << " " << c.to;
    }
}

TEST(HygroPrintLayout, LinesPerPageAndPadding) {
    EXPECT_EQ(LinesPerPage(3300), 30);
    EXPECT_EQ(LinesPerPage(1099), 10);
    EXPECT_EQ(LinesPerPage(999), 1);
    EXPECT_EQ(PrintLine({"NO", "a-very-long-cell-text"}), QString("NO") + QString(14, ' ') + "a-very-long-cell-text");
}
