#pragma once
// The meter display state: what one real-time frame says, the readings the table
// and chart record, and what the LCD shows after REL, MAX/MIN and HOLD.
// The main form owns one instance; the panel draws from it.

#include "hygro/core/MeterLink.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace hygro {

// Annunciator bits, value 1 << bit.
enum Annunciator {
    annLowBattery = 1,
    annAutoOff,
    annHOLD,
    annREL,
    annMAX,
    annMIN,
    annREC,
    annMainMinus,
    annPoint,
    annYear,
    annRH,
    annMonthDay,
    annT1,
    annSubMinus,
    annDateDash,
    annSubPoint,
    annSubC,
    annSubF,
    annHoursMinutes,
    annMinutesSeconds,
    annT2,
    annThirdMinus,
    annColon,
    annThirdPoint,
    annThirdC,
    annThirdF
};
constexpr int AnnunciatorCount = 26;
constexpr uint32_t bit(int i) { return uint32_t(1) << i; }

// Digit codes of the LCD glyphs.
enum DigitCode { dcMinus = 10, dcBlank = 11, dcL = 13, dcE = 14, dcR = 15 };

using LcdRows = std::array<std::array<int, 4>, 3>;

struct MeterDisplayState {
    int RecordMode = 0, RecordModePrev = 0;
    bool HoldMode = false, HoldModePrev = false;
    bool Celsius = true;
    QString UnitLetter = QStringLiteral("C");
    bool Recording = false;
    bool ClockDisplayFlag = false;
    bool RelMode = false, RelModePrev = false;
    bool TimeMode = false;
    bool AutoPowerOff = true;
    bool LowBattery = false;
    bool RecBlink = false;
    bool Reading3NoDecimal = false;
    std::array<bool, 3> ReadingOverLimit{}, ReadingNegative{};
    std::array<double, 3> ReadingValue{};
    std::array<QString, 3> ReadingText;
    bool Reading3Wide = false;
    std::array<double, 3> RelBase{};
    std::array<double, 3> HoldValue{}, MaxValue{}, MinValue{}, DisplayValue{};
    std::array<bool, 3> HoldOverLimit{}, MaxOverLimit{}, MinOverLimit{}, DisplayOverLimit{};
    bool MaxMinBlink = false;
    LcdRows LcdDigits{};
    uint32_t AnnunciatorMask = 0;
};

// Decodes one frame (byte 0 STX .. byte 9 ETX) for `model`, with `now` the PC clock
// that the time mode shows.
void DecodeFrame(MeterDisplayState &s, const RealTimeFrame &frame, int model, const QDateTime &now);
// Builds the annunciator mask; calls SetModelAnnunciators and BlankLeadingZeros.
void UpdateAnnunciators(MeterDisplayState &s, int model);
void SetModelAnnunciators(MeterDisplayState &s, int model);
void BlankLeadingZeros(MeterDisplayState &s, int model);

// The four-character LCD row text of a value: |v| x 10 (or |v| truncated when
// `noDecimal`) with no decimals, "0000" in front, the last four characters.
QString LcdRowText(double v, bool noDecimal);
// Digit codes of a row text; "OL"/"-OL" give their fixed patterns (`mainRow`
// shows -OL as "Err").
std::array<int, 4> LcdRowCodes(const QString &text, bool mainRow);

// What the panel must redraw: the marks (bits 1 .. 26 without MAX and MIN, which
// blink on their own) whose bit differs from the mask last shown, and the digits
// (row, column) whose code differs. A shown mask of -1 with a mask of 0 hides all.
struct PanelChanges {
    std::vector<int> marks;
    std::vector<std::pair<int, int>> digits;
};
PanelChanges DiffPanel(int32_t shownMask, uint32_t mask, const LcdRows &shown, const LcdRows &digits);

} // namespace hygro
