#include "slm/core/MeterMemory.h"

#include "slm/core/Meter.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace slm {

namespace {

// Byte at 1-based position `pos`, -1 outside the data.
int byteAt(const QByteArray &b, qint64 pos) { return pos >= 1 && pos <= b.size() ? int(quint8(b[int(pos - 1)])) : -1; }

bool markerAt(const QByteArray &b, qint64 pos) {
    return byteAt(b, pos) == SetMarker[0] && byteAt(b, pos + 3) == SetMarker[3] && byteAt(b, pos + 1) == SetMarker[1] &&
           byteAt(b, pos + 2) == SetMarker[2];
}

} // namespace

bool IsPointerReply(const QByteArray &reply) {
    return byteAt(reply, 6) == 0x03 && byteAt(reply, 1) == 0x02 && byteAt(reply, 2) == 0xAA;
}

double PointerFromReply(const QByteArray &reply) {
    if (reply.size() < 5) return 0;
    return byteAt(reply, 3) * 65535.0 + byteAt(reply, 4) * 256.0 + byteAt(reply, 5);
}

double DataLength(double p) {
    if (p == 16) return 0;
    double length = p - 14;
    // Below the data's start there is nothing to fetch either.
    if (length <= 0) return 0;
    if (std::fmod(length, 2) == 1) length -= 1;
    return length;
}

double RemainingK(double memorySizeK, double p) {
    const double bytes = memorySizeK * 1024;
    if (p >= bytes - 256) return 0;
    return (bytes - 1 - p) / 1024;
}

QString FormatOneDecimal(double value) {
    QString s = QString::number(value, 'f', 1);
    const QString point = QLocale::system().decimalPoint();
    if (point != ".") s.replace('.', point);
    return s;
}

QString RemainLabel(const QString &t) {
    const int comma = t.indexOf(',');
    if (comma < 0 && !t.contains('.')) return t + ".0 K";
    if (comma >= 0) {
        if (comma == t.size() - 1) return t.left(comma) + ".0 K";
        if (comma == 0) return "0." + t.mid(1, 1) + " K";
        return t.left(comma) + "." + t.mid(comma + 1, 1) + " K";
    }
    return t + " K";
}

ImageStart JudgeImageStart(const QByteArray &image) {
    if (image.isEmpty()) return ImageStart::Empty;
    for (int pos = 2; pos <= 4; ++pos) {
        const int b = byteAt(image, pos);
        if (b < 0) return ImageStart::Partial;
        if (b != SetMarker[pos - 2]) return ImageStart::Wrong;
    }
    return ImageStart::Good;
}

std::vector<StoredSet> SplitMemoryImage(const QByteArray &received) {
    // Without its leading and trailing byte, and with the first marker again at the end.
    const qint64 n = received.size();
    const QByteArray buf = received.mid(1, int(std::max<qint64>(0, n - 2))) + received.mid(1, 4);
    const qint64 N = buf.size();

    std::vector<StoredSet> sets;
    qint64 q = 1, s = 0;
    while (q <= N - 4 && int(sets.size()) < MaxStoredSets) {
        if (!markerAt(buf, q)) {
            // Not the stated layout: look for the next marker byte by byte.
            ++q;
            continue;
        }
        s = q - 1;
        StoredSet set;
        set.Sampling = std::max(0, byteAt(buf, s + 5)) * 256 + std::max(0, byteAt(buf, s + 6));
        qint64 j = 1;
        while (s + 54 + 2 * j <= N && !markerAt(buf, s + 51 + 2 * j)) ++j;
        // No marker before the end of the data: the set holds the records that end
        // before the end mark.
        if (s + 54 + 2 * j > N) j = std::max<qint64>(1, (N - 4 - s - SetHeaderBytes) / 2);
        const qint64 len = SetHeaderBytes + 2 * j;
        set.Records = int(j);
        set.Bytes = buf.mid(int(s), int(len));
        sets.push_back(std::move(set));
        s += len;
        q += len;
    }
    return sets;
}

DecodedSet DecodeDataSet(const QByteArray &set, double sampling, int pcYear) {
    DecodedSet out;
    const qint64 length = set.size();
    out.HeaderDamaged = length < SetHeaderBytes;
    out.RangeCode = byteAt(set, 7);
    out.Weighting = byteAt(set, 8);

    auto field = [&](int pos) { return byteAt(set, pos) < 0 ? QString() : BcdText(byteAt(set, pos)); };
    out.StartStamp = QString::number(pcYear).left(2) + field(11) + "/" + field(12) + "/" + field(13) + " " + field(14) +
                     ":" + field(15) + ":" + field(16);
    const QDate date = QDate::fromString(out.StartStamp.left(10), "yyyy/MM/dd");
    const QTime time = QTime::fromString(out.StartStamp.mid(11), "HH:mm:ss");
    // Stamps advance on the calendar alone, as the meter counts: no time zone, no
    // daylight saving.
    const QDateTime start(date, time, Qt::UTC);
    if (!start.isValid() || out.StartStamp.size() != 19) out.HeaderDamaged = true;

    // A record of which a byte is missing still counts, and is shown as damaged.
    const qint64 records = length > SetHeaderBytes ? (length - SetHeaderBytes + 1) / 2 : 0;
    out.Records.reserve(size_t(records));
    double maxValue = 0, minValue = 150;
    const qint64 step = qint64(std::llround(sampling));
    for (qint64 i = 1; i <= records; ++i) {
        DecodedRecord r;
        if (i == 1)
            r.Stamp = out.StartStamp;
        else if (start.isValid())
            r.Stamp = vb::Format(start.addSecs((i - 1) * step), "yyyy/mm/dd hh:nn:ss");
        const int high = byteAt(set, 2 * i + 49), low = byteAt(set, 2 * i + 50);
        if (high < 0 || low < 0) {
            r.Damaged = true;
            ++out.DamagedRecords;
        } else {
            const unsigned tenths = unsigned(high) * 256u + unsigned(low);
            r.Level = LevelTextOf(tenths);
            const ExtremeChange change = TakeExtreme(tenths / 10.0, maxValue, minValue);
            if (change.Max) {
                out.MaxLevel = r.Level;
                out.MaxStamp = r.Stamp;
            }
            if (change.Min) {
                out.MinLevel = r.Level;
                out.MinStamp = r.Stamp;
            }
        }
        out.Records.push_back(std::move(r));
    }
    return out;
}

} // namespace slm
