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

// Status byte 1 of a live frame: the range and the sub-frame index. Range codes 6 and 7
// name no range.
struct RangeStatus {
    std::optional<double> Top, Bottom;
    int SubIndex = 0;
};
// Leaves `status` divided by 16.
RangeStatus DecodeRange(int &status);

// Status byte 2: the weightings and the annunciator bits. Time code 3 names no time
// weighting: its text is empty and the three time flags are left as they were.
struct ModeStatus {
    QString TimeWeighting, FreqWeighting;
    bool HasTimeFlags = false;
    bool FastFlag = false, SlowFlag = false, ImpFlag = false;
    int WeightCFlag = 0, OverFlag = 0, UnderFlag = 0; // bit values 0 or 1
};
// Leaves `status` divided by 128.
ModeStatus DecodeMode(int &status);

// The two level bytes, high then low: the level as the display writes it and its value.
struct LevelReading {
    QString Text;
    double Value = 0;
};
LevelReading DecodeLevel(int high, int low);

// The live poll's copies of a decoded frame into the shared state. A range or time
// flags the frame does not name stay as they were; the level goes to LevelText and to
// the entry SubIndex of SubLevels.
void AssignMeterState(const RangeStatus &range);
void AssignMeterState(const ModeStatus &mode);
void AssignMeterState(const LevelReading &level);

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
    double Total() const;            // seconds
};
// nullopt when the text holds no ":".
std::optional<LeqPeriodText> ParsePeriod(const QString &answer);

// Returns every shared variable to its start value (tests start programs afresh).
void ResetMeterState();

} // namespace slm
