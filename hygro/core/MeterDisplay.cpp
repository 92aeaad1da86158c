#include "hygro/core/MeterDisplay.h"

#include "hygro/core/ModelTraits.h"

#include <cmath>

namespace hygro {

namespace {

QString twoDigits(int n) { return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0')); }

// Fixed notation with one decimal; adding 0.0 turns a negative zero into 0.0.
QString oneDecimal(double v) { return QString::number(v + 0.0, 'f', 1); }

QString overLimitText(double v) { return v < 0 ? QStringLiteral("-OL") : QStringLiteral("OL"); }

bool isOverLimitText(const QString &t) { return t == QLatin1String("OL") || t == QLatin1String("-OL"); }

// An unknown model has no third-row layout of its own: it is read as two temperatures.
bool thirdRowIs(const ModelTraits *t, ThirdRow r) { return t && t->thirdRow == r; }

} // namespace

QString LcdRowText(double v, bool noDecimal) {
    double x = noDecimal ? std::trunc(std::fabs(v)) : std::fabs(v) * 10.0;
    QString digits;
    if (std::round(x) < 10000.0)
        digits = QString::number(x, 'f', 0);
    else
        digits = QString::number(x, 'E', 3); // too wide: the row shows what the tail gives
    QString text = QStringLiteral("0000") + digits;
    return text.right(4);
}

std::array<int, 4> LcdRowCodes(const QString &text, bool mainRow) {
    if (text == QLatin1String("-OL") && mainRow) return {dcBlank, dcE, dcR, dcR};
    if (isOverLimitText(text)) return {dcBlank, 0, dcL, dcBlank};
    std::array<int, 4> codes{dcBlank, dcBlank, dcBlank, dcBlank};
    for (int i = 0; i < 4 && i < text.size(); ++i) {
        int c = text.at(i).unicode() - '0';
        codes[size_t(i)] = (c >= 0 && c <= 15) ? c : dcBlank;
    }
    return codes;
}

void DecodeFrame(MeterDisplayState &s, const RealTimeFrame &frame, int model, const QDateTime &now) {
    const QDate date = now.date();
    const QTime time = now.time();
    const QString month = twoDigits(date.month()), day = twoDigits(date.day());
    const QString hour = twoDigits(time.hour()), minute = twoDigits(time.minute());
    const QString year = QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));

    const ModelTraits *t = FindModel(model);
    // An unknown model is given the recording bits, as a logger would send them.
    const bool recordingBits = !t || t->logger;
    const uint8_t a = frame[1], b = frame[2];
    s.RecordMode = a & 0x03;
    s.HoldMode = a & 0x04;
    s.Celsius = !(a & 0x08);
    s.UnitLetter = s.Celsius ? QStringLiteral("C") : QStringLiteral("F");
    s.Recording = recordingBits && (a & 0x10);
    s.AutoPowerOff = a & 0x40;
    s.LowBattery = a & 0x80;
    s.TimeMode = false;
    s.RelMode = false;
    if (t) {
        switch (t->modeKey) {
            case ModeKey::ClockFormat: s.ClockDisplayFlag = !(a & 0x20); break;
            case ModeKey::Rel: s.RelMode = a & 0x20; break;
            case ModeKey::TimeMode: s.TimeMode = a & 0x20; break;
        }
    }

    s.RecBlink = recordingBits && (b & 0x01);
    s.Reading3NoDecimal = b & 0x02;
    s.ReadingOverLimit = {bool(b & 0x40), bool(b & 0x10), bool(b & 0x04)};
    s.ReadingNegative = {bool(b & 0x80), bool(b & 0x20), bool(b & 0x08)};

    for (size_t k = 0; k < 3; ++k) {
        const int n = frame[3 + 2 * k] * 256 + frame[4 + 2 * k];
        s.ReadingValue[k] = n * 0.1;
        if (s.ReadingNegative[k]) s.ReadingValue[k] = -s.ReadingValue[k];
        s.DisplayValue[k] = s.ReadingValue[k];
        s.DisplayOverLimit[k] = s.ReadingOverLimit[k];
    }

    const double r3 = s.ReadingValue[2];
    if (s.Reading3Wide)
        s.Reading3Wide = r3 > 195 || r3 < -195;
    else
        s.Reading3Wide = r3 > 200 || r3 < -200;

    for (size_t k = 0; k < 3; ++k) {
        if (s.ReadingOverLimit[k]) {
            s.ReadingText[k] = s.ReadingNegative[k] ? QStringLiteral("-OL") : QStringLiteral("OL");
        } else if (k == 2 && s.Reading3Wide) {
            s.ReadingValue[2] = std::trunc(s.ReadingValue[2]);
            s.ReadingText[2] = QString::number(s.ReadingValue[2] + 0.0, 'f', 0);
        } else {
            s.ReadingText[k] = oneDecimal(s.ReadingValue[k]);
        }
    }
    // The chart records the truncated value even when the text says OL.
    if (s.Reading3Wide && s.ReadingOverLimit[2]) s.ReadingValue[2] = std::trunc(s.ReadingValue[2]);

    if (t && t->modeKey == ModeKey::Rel) {
        if (s.RelMode && !s.RelModePrev) s.RelBase = s.DisplayValue;
        s.RelModePrev = s.RelMode;
        if (s.RelMode)
            for (size_t k = 0; k < 3; ++k) s.DisplayValue[k] -= s.RelBase[k];
    }

    if (s.HoldMode && !s.HoldModePrev) {
        s.HoldValue = s.DisplayValue;
        s.HoldOverLimit = s.DisplayOverLimit;
    }
    s.HoldModePrev = s.HoldMode;

    if (s.RecordMode != 0 && s.RecordModePrev == 0) {
        s.MaxValue = s.MinValue = s.DisplayValue;
        s.MaxOverLimit = s.MinOverLimit = s.DisplayOverLimit;
    }
    s.RecordModePrev = s.RecordMode;

    if (s.RecordMode != 0) {
        for (size_t k = 0; k < 3; ++k) {
            if (s.DisplayValue[k] > s.MaxValue[k]) {
                s.MaxValue[k] = s.DisplayValue[k];
                s.MaxOverLimit[k] = s.DisplayOverLimit[k];
            }
            if (s.DisplayValue[k] < s.MinValue[k]) {
                s.MinValue[k] = s.DisplayValue[k];
                s.MinOverLimit[k] = s.DisplayOverLimit[k];
            }
        }
    }
    if (s.RecordMode == 1) {
        s.DisplayValue = s.MaxValue;
        s.DisplayOverLimit = s.MaxOverLimit;
    } else if (s.RecordMode == 2) {
        s.DisplayValue = s.MinValue;
        s.DisplayOverLimit = s.MinOverLimit;
    }
    if (s.HoldMode) {
        s.DisplayValue = s.HoldValue;
        s.DisplayOverLimit = s.HoldOverLimit;
    }

    // Row 1 (main).
    QString row1;
    if (s.TimeMode)
        row1 = year;
    else if (s.DisplayOverLimit[0])
        row1 = overLimitText(s.DisplayValue[0]);
    else
        row1 = LcdRowText(s.DisplayValue[0], false);

    // Row 2 (sub); on a one-temperature logger its text moves to the third row.
    QString row2 = s.DisplayOverLimit[1] ? overLimitText(s.DisplayValue[1]) : LcdRowText(s.DisplayValue[1], false);
    QString saved;
    if (s.TimeMode) {
        row2 = month + day;
    } else if (thirdRowIs(t, ThirdRow::Temperature)) {
        saved = row2;
        row2 = QStringLiteral("    ");
    }

    // Row 3 (third).
    QString row3 =
        s.DisplayOverLimit[2] ? overLimitText(s.DisplayValue[2]) : LcdRowText(s.DisplayValue[2], s.Reading3NoDecimal);
    if (thirdRowIs(t, ThirdRow::Clock)) row3 = twoDigits(frame[7]) + twoDigits(frame[8]);
    if (s.TimeMode)
        row3 = hour + minute;
    else if (thirdRowIs(t, ThirdRow::Temperature))
        row3 = saved;

    s.LcdDigits[0] = LcdRowCodes(row1, true);
    s.LcdDigits[1] = LcdRowCodes(row2, false);
    s.LcdDigits[2] = LcdRowCodes(row3, false);
}

void UpdateAnnunciators(MeterDisplayState &s, int model) {
    uint32_t m = 0;
    const ModelTraits *t = FindModel(model);
    if (s.Recording && t && t->logger) m |= bit(annREC);
    if (s.TimeMode) {
        m |= bit(annYear);
    } else if (s.RecordMode == 1) {
        m |= bit(annMAX);
        s.MaxMinBlink = false;
    } else if (s.RecordMode == 2) {
        m |= bit(annMIN);
        s.MaxMinBlink = false;
    } else {
        s.MaxMinBlink = s.RecordMode == 3;
    }
    if (s.RelMode) m |= bit(annREL);
    if (s.HoldMode) m |= bit(annHOLD);
    if (s.AutoPowerOff) m |= bit(annAutoOff);
    if (s.LowBattery) m |= bit(annLowBattery);
    if (!s.TimeMode) {
        if (!s.DisplayOverLimit[0]) m |= bit(annPoint);
        m |= bit(annRH);
    }
    s.AnnunciatorMask = m;
    SetModelAnnunciators(s, model);
    BlankLeadingZeros(s, model);
}

void SetModelAnnunciators(MeterDisplayState &s, int model) {
    uint32_t &m = s.AnnunciatorMask;
    auto negative = [&](int k) { return s.DisplayValue[size_t(k)] < 0; };
    auto notOL = [&](int k) { return !s.DisplayOverLimit[size_t(k)]; };
    const ModelTraits *t = FindModel(model);
    if (!t) return;
    if (t->thirdRow == ThirdRow::Clock) {
        m |= bit(s.Celsius ? annSubC : annSubF);
        if (negative(1)) m |= bit(annSubMinus);
        if (notOL(1)) m |= bit(annSubPoint);
        m |= bit(s.ClockDisplayFlag ? annMinutesSeconds : annHoursMinutes);
        m |= bit(annColon);
    } else if (t->modeKey == ModeKey::TimeMode && s.TimeMode) {
        m |= bit(annMonthDay) | bit(annHoursMinutes) | bit(annDateDash) | bit(annColon);
    } else if (t->thirdRow == ThirdRow::SecondTemperature) {
        m |= s.Celsius ? bit(annSubC) | bit(annThirdC) : bit(annSubF) | bit(annThirdF);
        if (negative(0)) m |= bit(annMainMinus);
        if (notOL(1)) m |= bit(annSubPoint);
        if (notOL(2) && !s.Reading3NoDecimal) m |= bit(annThirdPoint);
        if (negative(1)) m |= bit(annSubMinus);
        if (negative(2)) m |= bit(annThirdMinus);
        m |= bit(annT1) | bit(annT2);
    } else if (t->thirdRow == ThirdRow::Temperature) {
        m |= bit(s.Celsius ? annThirdC : annThirdF);
        if (notOL(1)) m |= bit(annThirdPoint);
        if (negative(1)) m |= bit(annThirdMinus);
    }
}

void BlankLeadingZeros(MeterDisplayState &s, int model) {
    if (s.TimeMode) return;
    auto blankRow = [](std::array<int, 4> &row) {
        if (row[0] == 0) {
            row[0] = dcBlank;
            if (row[1] == 0) row[1] = dcBlank;
        }
    };
    const ModelTraits *t = FindModel(model);
    blankRow(s.LcdDigits[0]);
    if (thirdRowIs(t, ThirdRow::Temperature))
        s.LcdDigits[1] = {dcBlank, dcBlank, dcBlank, dcBlank};
    else
        blankRow(s.LcdDigits[1]);
    if (!thirdRowIs(t, ThirdRow::Clock)) blankRow(s.LcdDigits[2]);
}

PanelChanges DiffPanel(int32_t shownMask, uint32_t mask, const LcdRows &shown, const LcdRows &digits) {
    PanelChanges c;
    const uint32_t before = uint32_t(shownMask);
    for (int i = 1; i <= AnnunciatorCount; ++i) {
        if (i == annMAX || i == annMIN) continue;
        if ((before & bit(i)) != (mask & bit(i))) c.marks.push_back(i);
    }
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 4; ++col)
            if (shown[size_t(r)][size_t(col)] != digits[size_t(r)][size_t(col)]) c.digits.emplace_back(r, col);
    return c;
}

} // namespace hygro
