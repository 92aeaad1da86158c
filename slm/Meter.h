#pragma once
// Code module Meter: the meter's decoded state, the live-frame decoders and the
// byte-level checks of the replies. The handshake itself is in MeterLink.h.

#include "platform/vb/Runtime.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

namespace slm {

// Decoded meter state. The range is unset (NaN) until the first frame with a range
// code of 0-5.
extern double RangeTop;
extern double RangeBottom;
extern QString TimeWeighting;
extern QString FreqWeighting;
extern bool FastFlag, SlowFlag, ImpFlag;
extern int WeightCFlag, OverFlag, UnderFlag; // bit values 0 or 1
extern QString LevelText;
extern int SubIndex;
extern std::array<double, 8> SubLevels; // 0 = not yet received
extern vb::Boolean SizeQueryPending;
extern double MemorySize; // K
extern double MeterSamplingTime;

// Frame bytes.
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
const QByteArray &IdleFrame();

// Sets RangeTop, RangeBottom and SubIndex; leaves `status` divided by 16.
void DecodeRange(int &status);
// Sets the weightings and the flags; leaves `status` divided by 128.
void DecodeMode(int &status);
// Sets LevelText and the entry SubIndex of SubLevels.
void DecodeLevel(int high, int low);

// Tenths of a dB as the meter's display writes them: 654 gives "65.4", 5 gives ".5".
QString LevelTextOf(unsigned tenths);

// The received bytes end in the idle frame.
bool EndsInIdleFrame(const QByteArray &received);
// Six bytes framed 02 ... 03.
bool IsFramed(const QByteArray &frame);

// Memory size (K) from the answer to the first size query: n x 64 for 02 1B 1B 1B n 03,
// else 64.
double MemorySizeFromReply(const QByteArray &reply);

// The displayed level of a complete run of eight sub-frames: the mean cut (not
// rounded) to one decimal; nullopt when an entry is 0 (a sub-frame was missed).
std::optional<QString> RunMeanText(const std::array<double, 8> &levels);

// The bar value: the level clamped to the range.
double BarValue(double level, double top, double bottom);

// A clock field as its packed BCD byte: the decimal digits read as hexadecimal.
int BcdByte(int value);
// A BCD byte as its two-digit text ("08").
QString BcdText(int byte);
// The meter clock commands for a PC time: "W" yy mm dd and "X" hh nn ss.
QByteArray SetDateCommand(const QDateTime &moment);
QByteArray SetTimeCommand(const QDateTime &moment);
// A clock reply 02 AA b3 b4 b5 03 (at least six bytes).
bool IsClockReply(const QByteArray &reply);

// A period text "hh:nn:ss" as the Leq prompts read it.
struct LeqPeriodText {
    QString Hours, Minutes, Seconds; // two characters each
    double Total() const; // seconds
};
// nullopt when the text holds no ":".
std::optional<LeqPeriodText> ParsePeriod(const QString &answer);

// Returns every shared variable to its start value (tests start programs afresh).
void ResetMeterState();

} // namespace slm
