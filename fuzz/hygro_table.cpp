// A table file opened from disk: rows read line by line for a table of 2 to 9 columns.

#include "FuzzSupport.h"

#include "hygro/core/TableFile.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzing::Input in(data, size);
    const char separator = in.byte() & 1 ? ',' : '\t';
    const int columns = 2 + in.byte() % 8;
    QByteArray bytes = QByteArray::fromStdString(in.rest());
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    hygro::TableFileReader reader(file, separator, columns);
    QStringList cells;
    int rows = 0;
    while (reader.nextRow(cells)) {
        if (cells.size() > columns) fuzzing::fail("more cells than columns");
        // Each cell was followed by its separator within the line's limit.
        qsizetype taken = 0;
        for (const QString &c : cells) taken += c.size() + 1;
        if (taken > hygro::TableFileReader::LineLimit) fuzzing::fail("a row longer than a line");
        if (++rows > bytes.size() + 1) fuzzing::fail("more rows than lines");
    }
    return 0;
}
