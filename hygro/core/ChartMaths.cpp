#include "hygro/core/ChartMaths.h"

#include <QRegularExpression>

#include <cfloat>
#include <cmath>
#include <vector>

namespace hygro {

namespace {

const QDate DayZero(1899, 12, 30);

enum class Field { Day, Month, MonthName, Year };

// The fields of a Qt date format in order; quoted literals and separators skipped.
std::vector<Field> formatFields(const QString &format) {
    std::vector<Field> fields;
    for (int i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            const int close = format.indexOf(QLatin1Char('\''), i + 1);
            i = close < 0 ? int(format.size()) : close + 1;
            continue;
        }
        int run = 1;
        while (i + run < format.size() && format[i + run] == c) ++run;
        if (c == QLatin1Char('d') && run <= 2)
            fields.push_back(Field::Day);
        else if (c == QLatin1Char('M'))
            fields.push_back(run <= 2 ? Field::Month : Field::MonthName);
        else if (c == QLatin1Char('y'))
            fields.push_back(Field::Year);
        // Day names (ddd, dddd) carry nothing the date needs; the text's name is skipped.
        i += run;
    }
    return fields;
}

struct Token {
    QString text;
    bool digits;
};

std::vector<Token> tokens(const QString &text) {
    std::vector<Token> out;
    for (int i = 0; i < text.size();) {
        const bool digit = text[i].isDigit();
        const bool letter = text[i].isLetter();
        if (!digit && !letter) {
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < text.size() && (digit ? text[j].isDigit() : text[j].isLetter())) ++j;
        out.push_back({text.mid(i, j - i), digit});
        i = j;
    }
    return out;
}

int monthOfName(const QString &name, const QLocale &locale) {
    for (int m = 1; m <= 12; ++m) {
        for (QLocale::FormatType f : {QLocale::ShortFormat, QLocale::LongFormat}) {
            // Abbreviations may end in a dot, which the tokens leave out.
            QString n = locale.monthName(m, f);
            QString s = locale.standaloneMonthName(m, f);
            if (n.endsWith(QLatin1Char('.'))) n.chop(1);
            if (s.endsWith(QLatin1Char('.'))) s.chop(1);
            if (name.compare(n, Qt::CaseInsensitive) == 0 || name.compare(s, Qt::CaseInsensitive) == 0) return m;
        }
    }
    return 0;
}

} // namespace

double DateTimeToDays(const QDateTime &t) { return DateTimeToDays(t.date(), t.time()); }

double DateTimeToDays(QDate date, QTime time) {
    return double(DayZero.daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
}

QDateTime DaysToDateTime(double days) {
    double whole = std::floor(days);
    qint64 ms = qint64(std::llround((days - whole) * 86400000.0));
    if (ms >= 86400000) {
        whole += 1;
        ms -= 86400000;
    }
    // Wall-clock time, as the value holds it: no daylight-saving shift on the way.
    return QDateTime(DayZero.addDays(qint64(whole)), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

float TemperatureAxisTop(float v) {
    float t = float(v > 0 ? double(v) * 1.1 : double(v) * 0.9);
    t = float(double(t) + 20.0);
    // Past single precision the engine would drop the range for 0 ... 1.
    if (!std::isfinite(t)) return FLT_MAX;
    return t < 140.0f ? 140.0f : t;
}

float TemperatureAxisBottom(float v) {
    float b = float(v > 0 ? double(v) * 0.9 : double(v) * 1.1);
    b = float(double(b) - 20.0);
    if (!std::isfinite(b)) return -FLT_MAX;
    return b > -40.0f ? -40.0f : b;
}

std::optional<float> StrToFloat(const QString &text, const QLocale &locale) {
    QString t = text.trimmed();
    const QString point = locale.decimalPoint();
    if (point != QLatin1String(".")) t.replace(point, QStringLiteral("."));
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!number.match(t).hasMatch()) return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > double(FLT_MAX)) return std::nullopt;
    return float(v);
}

std::optional<float> TableCellValue(const QString &text, bool *overLimit) {
    if (overLimit) *overLimit = false;
    if (text == QLatin1String("OL") || text == QLatin1String("-OL")) {
        if (overLimit) *overLimit = true;
        return text.startsWith(QLatin1Char('-')) ? -OverLimitValue : OverLimitValue;
    }
    const auto v = StrToFloat(text);
    // A hand-edited or damaged cell: the meter never sends more than 6553.5.
    if (v && std::fabs(*v) > OverLimitValue) {
        if (overLimit) *overLimit = true;
        return *v < 0 ? -OverLimitValue : OverLimitValue;
    }
    return v;
}

std::optional<QDate> ParseShortDate(const QString &text, const QString &format, const QLocale &locale,
                                    int currentYear) {
    const std::vector<Field> fields = formatFields(format);
    std::vector<Token> parts = tokens(text);
    // A day name in the text (a format with ddd) is not a field.
    std::erase_if(parts, [&](const Token &t) { return !t.digits && monthOfName(t.text, locale) == 0; });
    if (fields.size() != 3 || parts.size() != fields.size()) return std::nullopt;
    int day = 0, month = 0, year = 0;
    bool twoDigitYear = false;
    for (size_t i = 0; i < fields.size(); ++i) {
        const Token &p = parts[i];
        if (!p.digits) {
            if (fields[i] != Field::Month && fields[i] != Field::MonthName) return std::nullopt;
            month = monthOfName(p.text, locale);
            continue;
        }
        if (p.text.size() > 9) return std::nullopt;
        const int v = p.text.toInt();
        switch (fields[i]) {
            case Field::Day: day = v; break;
            case Field::Month:
            case Field::MonthName: month = v; break;
            case Field::Year:
                year = v;
                twoDigitYear = p.text.size() <= 2;
                break;
        }
    }
    if (twoDigitYear) {
        const int base = currentYear - 50;
        year += base / 100 * 100;
        if (year < base) year += 100;
    }
    const QDate d(year, month, day);
    if (!d.isValid()) return std::nullopt;
    return d;
}

std::optional<QTime> ParseTime(const QString &text) {
    // Read by hand: a table of 100 000 rows asks for 100 000 of these.
    const QString t = text.trimmed();
    int fields[3] = {0, 0, 0};
    int count = 0, digits = 0;
    for (QChar c : t) {
        if (c.isDigit() && c.unicode() < 128) {
            if (++digits > 2) return std::nullopt;
            fields[count] = fields[count] * 10 + (c.unicode() - '0');
        } else if (c == QLatin1Char(':') && digits > 0 && count < 2) {
            ++count;
            digits = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || count < 1) return std::nullopt;
    const QTime time(fields[0], fields[1], fields[2]);
    if (!time.isValid()) return std::nullopt;
    return time;
}

TableDateTimeReader::TableDateTimeReader()
    : locale_(QLocale::system()),
      format_(locale_.dateFormat(QLocale::ShortFormat)),
      year_(QDate::currentDate().year()) {}

std::optional<double> TableDateTimeReader::read(const QString &dateText, const QString &timeText) {
    if (lastText_.isNull() || dateText != lastText_) {
        lastText_ = dateText.isNull() ? QStringLiteral("") : dateText;
        lastDate_ = ParseShortDate(dateText, format_, locale_, year_);
    }
    const auto time = ParseTime(timeText);
    if (!lastDate_ || !time) return std::nullopt;
    // No QDateTime on the way: a local one asks the system for its time zone each time.
    return DateTimeToDays(*lastDate_, *time);
}

std::optional<double> TableDateTime(const QString &dateText, const QString &timeText) {
    return TableDateTimeReader().read(dateText, timeText);
}

QString InvalidDateTimeMessage(const QString &text) {
    return QStringLiteral("'%1' is not a valid date and time").arg(text);
}

ScaleEntries ResolveScale(const QString &maxText, const QString &minText) {
    ScaleEntries e;
    e.max = StrToFloat(maxText);
    e.min = StrToFloat(minText);
    if (!e.max) e.invalid << maxText;
    if (!e.min) e.invalid << minText;
    if (!e.invalid.isEmpty()) {
        e.max.reset();
        e.min.reset();
        return e;
    }
    if (*e.min > *e.max) std::swap(*e.min, *e.max);
    if (*e.max > 3000.0f) e.max = 3000.0f;
    if (*e.min < -500.0f) e.min = -500.0f;
    return e;
}

int TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return int(v);
}

} // namespace hygro
