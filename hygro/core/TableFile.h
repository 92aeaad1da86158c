#pragma once
// Table files (".txt" with TAB, ".csv" with comma after every field, no header),
// the row range of a save, and the line layout of a table printout.

#include <QIODevice>
#include <QString>
#include <QStringList>

#include <optional>

namespace hygro {

// Comma when the file name ends in "csv" in any case, else TAB.
char SeparatorForFileName(const QString &fileName);

// One file line (without line end): every cell followed by the separator.
QByteArray FormatTableLine(const QStringList &cells, char separator);

// Reads table rows line by line, as the table window's open command does.
// A line is taken up to 179 characters; a longer line gives its first 179
// characters as the last row. A line without a separator ends the table.
// At most `maxRows` rows are read: a table window of more would cost gigabytes.
class TableFileReader {
public:
    static constexpr int LineLimit = 179;
    static constexpr int MaxRows = 20000000;

    TableFileReader(QIODevice &file, char separator, int columnCount, int maxRows = MaxRows);
    // Cells of columns 1 .. columnCount - 1 of the next row; false at the end of the table.
    bool nextRow(QStringList &cells);
    // The reading stopped at maxRows with a further row in the file.
    bool cutAtMaxRows() const { return cutAtMax_; }

private:
    bool readRow(QStringList &cells);
    QIODevice &file_;
    char separator_;
    int columnCount_;
    int maxRows_;
    int rows_ = 0;
    bool done_ = false;
    bool cutAtMax_ = false;
};

struct RowRange {
    int from = 1;
    int to = 0;
};

// The rows to save: all of 1 .. lastRow, or the typed range (absolute values, swapped
// when reversed, cut at lastRow, 0 meaning 1). No value when an entry is not an integer.
std::optional<RowRange> ResolveSaveRange(bool all, const QString &from, const QString &to, int lastRow);

// Printed lines per page: page height / 100 rounded down to a multiple of ten;
// a page too short for ten lines still prints one line per page.
int LinesPerPage(int pageHeight);
// A printed table line: every cell padded with spaces to 16 characters.
QString PrintLine(const QStringList &cells);

} // namespace hygro
