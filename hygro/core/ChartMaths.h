#pragma once
// The arithmetic of Vadro's charts, apart from the chart control: date-times as the
// chart's x values, the temperature axis that widens around the readings, table
// cells read back as chart values, and the entries of the scale dialog.

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

namespace hygro {

// Date-times as the class library counts them (TDateTime): days since 30 December
// 1899, the local time of day as the fraction. The chart's time axis takes these.
double DateTimeToDays(const QDateTime &t);
double DateTimeToDays(QDate date, QTime time);
QDateTime DaysToDateTime(double days);

// The temperature axis around a value, in single precision as the chart keeps it:
// 10 % beyond the value plus 20, never inside -40 ... 140, and always finite.
float TemperatureAxisTop(float v);
float TemperatureAxisBottom(float v);

// The extremes of the temperatures of a table or data set, starting at 105 and -18,
// so that the axis they give always spans at least -40 ... 140.
struct TemperatureSpan {
    float top = 105.0f;
    float bottom = -18.0f;
    void add(float v) {
        if (v > top) top = v;
        if (v < bottom) bottom = v;
    }
    float axisTop() const { return TemperatureAxisTop(top); }
    float axisBottom() const { return TemperatureAxisBottom(bottom); }
};

// Where a table's "OL" and "-OL" cells are drawn: the largest reading the meter sends.
constexpr float OverLimitValue = 6553.5f;

// A number as the class library's StrToFloat reads it: blanks around it, a sign,
// decimals with '.' or the locale's decimal point, an exponent; single precision.
// None for anything else (an empty text, "nan", a value beyond single precision).
std::optional<float> StrToFloat(const QString &text, const QLocale &locale = QLocale::system());

// The chart value of a table's reading cell: "OL" 6553.5, "-OL" -6553.5, else the
// number. A number beyond what the meter can send is drawn and counted as "OL" or
// "-OL" by its sign. `overLimit` tells these apart from readings.
std::optional<float> TableCellValue(const QString &text, bool *overLimit = nullptr);

// A date written in the short date format `format` (a Qt format: d, dd, M, MM, MMM,
// MMMM, yy, yyyy between separators), read back as the class library does: the
// fields in the format's order, numbers of one or more digits, month names of
// `locale`, two-digit years in the century window of 50 years before `currentYear`.
std::optional<QDate> ParseShortDate(const QString &text, const QString &format, const QLocale &locale, int currentYear);
// "h:n" or "h:n:s", blanks around it.
std::optional<QTime> ParseTime(const QString &text);

// A table row's date and time cells as a chart x value, in the system's short date
// format (the one that wrote them). None when either does not convert.
std::optional<double> TableDateTime(const QString &dateText, const QString &timeText);

// The same for the rows of one table: the format is looked up once, and a date like
// the previous row's is not read again.
class TableDateTimeReader {
public:
    TableDateTimeReader();
    std::optional<double> read(const QString &dateText, const QString &timeText);

private:
    QLocale locale_;
    QString format_;
    int year_;
    QString lastText_;
    std::optional<QDate> lastDate_;
};

// The class library's conversion messages.
QString InvalidDateTimeMessage(const QString &text);

// The scale dialog: the entries for the axis top and bottom. Entries that are not
// numbers are listed (top first) and give no range; otherwise the range is put in
// order and kept within -500 ... 3000.
struct ScaleEntries {
    std::optional<float> max, min;
    QStringList invalid;
};
ScaleEntries ResolveScale(const QString &maxText, const QString &minText);

// A double truncated towards zero into an int, saturating (the dialog shows an axis
// limit that may hold anything a template brought in).
int TruncToInt(double v);

} // namespace hygro
