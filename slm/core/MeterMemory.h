#pragma once
// The meter's stored data: the replies of the memory download, the splitting of the
// memory image into data sets and the decoding of one set. Pure functions on bytes:
// nothing here touches the port, a window or the shared state, and no input makes
// them read outside the bytes they are given.

#include "slm/core/SlmFile.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace slm {

// A data set starts with this marker; the image's first set's marker is appended
// again as the end mark of the last set.
inline constexpr unsigned char SetMarker[4] = {0x00, 0x55, 0xAA, 0x00};
inline constexpr int SetHeaderBytes = 50;
// DataSets has slots 1 to 255: the sets after the 255th are neither stored nor listed.
inline constexpr int MaxStoredSets = 255;

// The pointer reply 02 AA b3 b4 b5 03, judged by its first, second and sixth bytes.
bool IsPointerReply(const QByteArray &reply);
// The memory pointer: b3 x 65535 + b4 x 256 + b5 (the meter's own weighting of b3).
// 0 for a reply of fewer than five bytes.
double PointerFromReply(const QByteArray &reply);
// The number of image bytes to collect for pointer `p`: p - 14, made even; 0 when there
// is nothing to fetch (p = 16, or a pointer below the data's start).
double DataLength(double p);

// The free memory in K for a memory of `memorySizeK` whose pointer is `p`.
double RemainingK(double memorySizeK, double p);
// `value` with one decimal, in the system's number format ("0.0").
QString FormatOneDecimal(double value);
// The text of LblRemain from the formatted remainder `t` ("48,0" and "48.0" both give
// "48.0 K").
QString RemainLabel(const QString &t);

// How the start of a collected image looks: nothing yet, too few bytes to judge (no
// wrong byte so far), a wrong start (bytes 2 to 4 are not 00 55 AA), or a good one.
enum class ImageStart { Empty, Partial, Wrong, Good };
ImageStart JudgeImageStart(const QByteArray &image);

// One data set cut from the image: its bytes (marker, header, records), the sampling
// time from its header and the number of records found before the next marker.
struct StoredSet {
    QByteArray Bytes;
    int Sampling = 0;
    int Records = 0;
};
// Splits the received image (leading byte, sets, trailing byte) into its sets, in
// memory order, at most MaxStoredSets. Bytes where no marker stands are skipped until
// the next marker; a set whose records run into the end of the data ends there.
std::vector<StoredSet> SplitMemoryImage(const QByteArray &received);

// One record of a decoded set. A record whose bytes are incomplete has an empty level
// and is marked damaged.
struct DecodedRecord {
    QString Stamp;
    QString Level;
    bool Damaged = false;
};

struct DecodedSet {
    // The set is shorter than its header, or its start date and time are no date.
    bool HeaderDamaged = false;
    // Header bytes 7 and 8, -1 when missing.
    int RangeCode = -1;
    int Weighting = -1;
    QString StartStamp; // "yyyy/mm/dd hh:nn:ss", the century from the PC clock
    std::vector<DecodedRecord> Records;
    // Extremes: the first record with the extreme value wins; they start at 0 and 150
    // with empty stamps.
    QString MaxLevel = "0", MaxStamp;
    QString MinLevel = "150", MinStamp;
    int DamagedRecords = 0;

    QString MaxText() const { return ExtremeText("Max", MaxLevel, MaxStamp); }
    QString MinText() const { return ExtremeText("Min", MinLevel, MinStamp); }
};
// Decodes a stored set. `sampling` is the seconds between records; `pcYear` the PC
// clock's year, whose first two digits give the century of the two-digit start year.
DecodedSet DecodeDataSet(const QByteArray &set, double sampling, int pcYear);

} // namespace slm
