#include "hygro/core/TableFile.h"

#include <cstdlib>
#include <limits>

namespace hygro {

char SeparatorForFileName(const QString &fileName) {
    return fileName.right(3).toLower() == QLatin1String("csv") ? ',' : '\t';
}

QByteArray FormatTableLine(const QStringList &cells, char separator) {
    QByteArray line;
    for (const QString &c : cells) {
        line += c.toLatin1();
        line += separator;
    }
    return line;
}

TableFileReader::TableFileReader(QIODevice &file, char separator, int columnCount, int maxRows)
    : file_(file), separator_(separator), columnCount_(columnCount), maxRows_(maxRows) {}

bool TableFileReader::nextRow(QStringList &cells) {
    if (!readRow(cells)) return false;
    if (rows_ < maxRows_) {
        ++rows_;
        return true;
    }
    cells.clear();
    cutAtMax_ = true;
    done_ = true;
    return false;
}

bool TableFileReader::readRow(QStringList &cells) {
    cells.clear();
    if (done_ || file_.atEnd()) return false;
    // Read at most the limit (plus a CR that may precede the LF) and see what ends it.
    QByteArray line;
    bool overlong = false;
    char ch;
    while (file_.getChar(&ch)) {
        if (ch == '\n') break;
        if (line.size() == LineLimit) {
            if (ch == '\r') {
                char next;
                if (!file_.getChar(&next) || next == '\n') break;
                file_.ungetChar(next);
            }
            overlong = true;
            break;
        }
        line += ch;
    }
    if (line.endsWith('\r')) line.chop(1);
    if (overlong) done_ = true;
    if (!line.contains(separator_)) {
        done_ = true;
        return false;
    }
    int start = 0;
    for (int i = 1; i < columnCount_; ++i) {
        int sep = line.indexOf(separator_, start);
        if (sep < 0) break;
        cells << QString::fromLatin1(line.constData() + start, sep - start);
        start = sep + 1;
    }
    return true;
}

namespace {

std::optional<long long> integerOf(const QString &text) {
    bool ok = false;
    long long v = text.trimmed().toLongLong(&ok);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return std::nullopt;
    return std::llabs(v);
}

} // namespace

std::optional<RowRange> ResolveSaveRange(bool all, const QString &from, const QString &to, int lastRow) {
    if (all) return RowRange{1, lastRow};
    auto f = integerOf(from), t = integerOf(to);
    if (!f || !t) return std::nullopt;
    long long a = *f, b = *t;
    if (b < a) std::swap(a, b);
    if (b > lastRow) b = lastRow;
    if (a == 0) a = 1;
    return RowRange{int(a), int(b)};
}

int LinesPerPage(int pageHeight) {
    int lines = pageHeight / 100 / 10 * 10;
    return lines > 0 ? lines : 1;
}

QString PrintLine(const QStringList &cells) {
    QString line;
    for (const QString &c : cells) line += c.leftJustified(16, QLatin1Char(' '));
    return line;
}

} // namespace hygro
