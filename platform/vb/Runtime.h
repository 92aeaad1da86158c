#pragma once
// The forms runtime's helpers as Palix uses them: Val, the format helpers, truth
// values, the seconds-of-day clock, DoEvents, twips, timers whose ticks never overlap,
// End, and the runtime error that the serial control raises.

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>

class QWidget;

#include <cstdint>
#include <functional>
#include <stdexcept>

namespace vb {

// 16-bit truth values of the runtime: true is -1.
using Boolean = std::int16_t;
constexpr Boolean True = -1;
constexpr Boolean False = 0;

// A trappable runtime error (what On Error catches): number and description.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const QString &description);
    int Number() const { return number_; }
    QString Description() const { return QString::fromStdString(what()); }

private:
    int number_;
};

// The numeric value of the number at the start of the text: blanks, tabs and line
// feeds are skipped anywhere, then an optional sign, digits with one decimal point and
// an optional exponent (E or D), or &H / &O prefixed hexadecimal and octal. 0 when
// there is no number.
double Val(const QString &text);

// Rounds half to the even neighbour, as the runtime's integer conversions do.
double RoundHalfEven(double value);

// A number as text in the system's number format (up to 15 significant digits,
// decimal separator of the locale, no trailing zeros).
QString CStr(double value);

// Date/time formats with the tokens yyyy, yy, mm, dd, hh, nn, ss; "mm" right after an
// hour token stands for minutes. Other characters are copied.
QString Format(const QDateTime &moment, const QString &format);

// Upper-case hexadecimal without leading zeros.
QString Hex(unsigned value);

// Left/Right/Mid on byte strings and texts, clamped to the data like the runtime's.
QByteArray RightB(const QByteArray &bytes, int count);
QString Right(const QString &text, int count);
QString Mid(const QString &text, int start, int count = -1);
// 1-based position of `what` in `text` from `start`, 0 when absent.
int InStr(int start, const QString &text, const QString &what);

// A byte string from byte values.
QByteArray Bytes(std::initializer_list<int> values);

// The runtime's Timer function: seconds since midnight, single precision, from the
// PC clock.
float SecondsOfDay();

// Processes the waiting window events; when none are waiting, sleeps in the event
// loop until the next one arrives or `maxWaitMs` passes. Never spins.
void DoEvents(int maxWaitMs = 0);

// Twips (1/1440 inch) to pixels of the primary screen.
int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);
int PixelsToTwipsX(int pixels);
int PixelsToTwipsY(int pixels);

// Places a top-level form so that its outer frame (title bar included) starts at the
// given screen position in pixels, as the runtime's Left and Top do. Qt knows a
// window's frame only once the window manager has framed it; before that move()
// places the client area, which leaves the title bar off screen at the top-left
// corner. A form not framed yet is put right when it is.
void MoveForm(QWidget *form, int left, int top);
// Left, Top, Width and Height of a form as the runtime gives them, in pixels: its outer
// frame. For a form not framed yet, its client area grown by the frame the other
// windows have.
QRect FormGeometry(const QWidget *form);

// Ends the program: closes every window and leaves the event loop. Code after the
// call must return at once, as callers of End do.
void End();
bool Ended();
// Tests that run several programs in one process start each afresh.
void ResetEnded();

// A form timer. A tick that falls due while the previous one is still running (inside
// its event processing) does not start: ticks never overlap.
class Timer : public QObject {
public:
    explicit Timer(QObject *parent = nullptr, int intervalMs = 0);

    int Interval() const { return interval_; }
    void SetInterval(int ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    bool Running() const { return running_; }

    std::function<void()> OnTimer;

private:
    void tick();
    void apply();

    QTimer timer_;
    int interval_ = 0;
    bool enabled_ = false;
    bool running_ = false;
};

} // namespace vb
