#include "slm/core/Meter.h"

#include <cmath>
#include <limits>

namespace slm {

double RangeTop = std::numeric_limits<double>::quiet_NaN();
double RangeBottom = std::numeric_limits<double>::quiet_NaN();
QString TimeWeighting;
QString FreqWeighting;
bool FastFlag = false, SlowFlag = false, ImpFlag = false;
int WeightCFlag = 0, OverFlag = 0, UnderFlag = 0;
QString LevelText;
int SubIndex = 0;
std::array<double, 8> SubLevels{};
vb::Boolean SizeQueryPending = vb::False;
double MemorySize = 0;
double MeterSamplingTime = 0;

const QByteArray &IdleFrame() {
    static const QByteArray idle = vb::Bytes({0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x03});
    return idle;
}

RangeStatus DecodeRange(int &status) {
    RangeStatus out;
    const int code = status % 8;
    status = status / 16;
    out.SubIndex = status % 8;
    static constexpr double tops[] = {80, 90, 100, 110, 120, 130};
    if (code >= 0 && code <= 5) {
        out.Top = tops[code];
        out.Bottom = tops[code] - 60;
    }
    return out;
}

ModeStatus DecodeMode(int &status) {
    ModeStatus out;
    const int code = status % 4;
    status = status / 4 / 2 / 2 / 2;
    out.WeightCFlag = status % 2;
    status = status / 2;
    out.OverFlag = status % 2;
    status = status / 2;
    out.UnderFlag = status % 2;
    out.HasTimeFlags = code <= 2;
    switch (code) {
        case 0:
            out.TimeWeighting = "FAST";
            out.FastFlag = true;
            break;
        case 1:
            out.TimeWeighting = "SLOW";
            out.SlowFlag = true;
            break;
        case 2:
            out.TimeWeighting = "IMP";
            out.ImpFlag = true;
            break;
        default: break;
    }
    out.FreqWeighting = out.WeightCFlag != 0 ? "C" : "A";
    return out;
}

QString LevelTextOf(unsigned tenths) {
    const QString s = QString::number(tenths);
    return s.left(s.size() - 1) + "." + s.right(1);
}

LevelReading DecodeLevel(int high, int low) {
    LevelReading out;
    out.Text = LevelTextOf(unsigned(high & 0xFF) * 256u + unsigned(low & 0xFF));
    out.Value = vb::Val(out.Text);
    return out;
}

void AssignMeterState(const RangeStatus &range) {
    if (range.Top) RangeTop = *range.Top;
    if (range.Bottom) RangeBottom = *range.Bottom;
    SubIndex = range.SubIndex;
}

void AssignMeterState(const ModeStatus &mode) {
    TimeWeighting = mode.TimeWeighting;
    if (mode.HasTimeFlags) {
        FastFlag = mode.FastFlag;
        SlowFlag = mode.SlowFlag;
        ImpFlag = mode.ImpFlag;
    }
    WeightCFlag = mode.WeightCFlag;
    OverFlag = mode.OverFlag;
    UnderFlag = mode.UnderFlag;
    FreqWeighting = mode.FreqWeighting;
}

void AssignMeterState(const LevelReading &level) {
    LevelText = level.Text;
    SubLevels[size_t(SubIndex & 7)] = level.Value;
}

bool EndsInIdleFrame(const QByteArray &received) { return received.size() >= 6 && received.endsWith(IdleFrame()); }

bool IsFramed(const QByteArray &frame) { return frame.size() == 6 && frame[0] == STX && frame[5] == ETX; }

double MemorySizeFromReply(const QByteArray &reply) {
    if (reply.size() != 6) return 64;
    if (quint8(reply[1]) == 0x1B && quint8(reply[2]) == 0x1B && quint8(reply[3]) == 0x1B)
        return quint8(reply[4]) * 64.0;
    return 64;
}

std::optional<QString> RunMeanText(const std::array<double, 8> &levels) {
    double sum = 0;
    for (double v : levels) {
        if (v == 0) return std::nullopt;
        sum += v;
    }
    const QString text = vb::CStr(sum / 8);
    const int comma = text.indexOf(',');
    if (comma >= 0) return text.left(comma) + "." + text.mid(comma + 1, 1);
    const int point = text.indexOf('.');
    if (point >= 0) return text.left(point + 2);
    return text + ".0";
}

double BarValue(double level, double top, double bottom) {
    if (level > top) return top;
    if (level < bottom) return bottom;
    return level;
}

int BcdByte(int value) { return int(vb::Val("&H" + QString::number(value))) & 0xFF; }

QString BcdText(int byte) { return vb::Right("0" + vb::Hex(unsigned(byte & 0xFF)), 2); }

QByteArray SetDateCommand(const QDateTime &moment) {
    const QDate d = moment.date();
    return vb::Bytes({'W', BcdByte(d.year() % 100), BcdByte(d.month()), BcdByte(d.day())});
}

QByteArray SetTimeCommand(const QDateTime &moment) {
    const QTime t = moment.time();
    return vb::Bytes({'X', BcdByte(t.hour()), BcdByte(t.minute()), BcdByte(t.second())});
}

bool IsClockReply(const QByteArray &reply) {
    return reply.size() >= 6 && reply[0] == STX && reply[5] == ETX && quint8(reply[1]) == 0xAA;
}

namespace {
// VB's Mod: both sides rounded to whole numbers first.
double vbMod(double a, double b) {
    const double x = vb::RoundHalfEven(a), y = vb::RoundHalfEven(b);
    return std::fmod(x, y);
}
QString twoDigits(const QString &field) { return vb::Right("00" + vb::CStr(vb::Val(field)), 2); }
QString wrapped(const QString &field, double limit) {
    const double v = vb::Val(field);
    if (v < limit) return field;
    return vb::Right("0" + vb::CStr(vbMod(v, limit)), 2);
}
} // namespace

double LeqPeriodText::Total() const { return vb::Val(Hours) * 3600 + vb::Val(Minutes) * 60 + vb::Val(Seconds); }

std::optional<LeqPeriodText> ParsePeriod(const QString &answer) {
    const int p1 = vb::InStr(1, answer, ":");
    if (p1 == 0) return std::nullopt;
    const int p2 = p1 + vb::InStr(1, vb::Mid(answer, p1 + 1), ":");
    LeqPeriodText t;
    t.Hours = wrapped(twoDigits(answer.left(p1 - 1)), 24);
    t.Minutes = wrapped(twoDigits(vb::Mid(answer, p1 + 1, p2 - p1)), 60);
    t.Seconds = wrapped(twoDigits(vb::Mid(answer, p2 + 1, 2)), 60);
    return t;
}

void ResetMeterState() {
    RangeTop = RangeBottom = std::numeric_limits<double>::quiet_NaN();
    TimeWeighting.clear();
    FreqWeighting.clear();
    FastFlag = SlowFlag = ImpFlag = false;
    WeightCFlag = OverFlag = UnderFlag = 0;
    LevelText.clear();
    SubIndex = 0;
    SubLevels.fill(0);
    SizeQueryPending = vb::False;
    MemorySize = 0;
    MeterSamplingTime = 0;
}

} // namespace slm
