#include "Runtime.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QTime>
#include <QWidget>
#include <QMargins>
#include <QWindow>

#include <cmath>
#include <ctime>

namespace vb {

RuntimeError::RuntimeError(int number, const QString &description)
    : std::runtime_error(description.toStdString()), number_(number) {}

namespace {

bool isSkipped(QChar c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int digitValue(QChar c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c.unicode() - '0';
    else if (c >= 'a' && c <= 'f')
        d = c.unicode() - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c.unicode() - 'A' + 10;
    return d < base ? d : -1;
}

} // namespace

double Val(const QString &text) {
    QString s;
    s.reserve(text.size());
    for (QChar c : text)
        if (!isSkipped(c)) s += c;

    if (s.size() >= 2 && s[0] == '&') {
        int base = 0;
        int i = 1;
        QChar p = s[1].toUpper();
        if (p == 'H') {
            base = 16;
            i = 2;
        } else if (p == 'O') {
            base = 8;
            i = 2;
        } else if (p.isDigit())
            base = 8;
        if (base == 0) return 0;
        // The runtime reads these as 16-bit (or 32-bit when longer) signed values.
        std::int64_t v = 0;
        int digits = 0;
        for (; i < s.size() && digits < 11; ++i, ++digits) {
            int d = digitValue(s[i], base);
            if (d < 0) break;
            v = v * base + d;
        }
        if (v <= 0xFFFF && digits <= (base == 16 ? 4 : 6)) return double(std::int16_t(std::uint16_t(v)));
        return double(std::int32_t(std::uint32_t(v)));
    }

    int i = 0;
    QByteArray num;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) num += char(s[i++].unicode());
    bool any = false;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        num += char(s[i++].unicode());
        any = true;
    }
    if (i < s.size() && s[i] == '.') {
        num += '.';
        ++i;
        while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
            num += char(s[i++].unicode());
            any = true;
        }
    }
    if (!any) return 0;
    if (i < s.size() && (s[i].toUpper() == 'E' || s[i].toUpper() == 'D')) {
        int j = i + 1;
        QByteArray exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += char(s[j++].unicode());
        bool expDigits = false;
        while (j < s.size() && s[j].isDigit() && s[j].unicode() < 128 && exp.size() < 8) {
            exp += char(s[j++].unicode());
            expDigits = true;
        }
        if (expDigits) num += exp;
    }
    double v = std::strtod(num.constData(), nullptr);
    return std::isfinite(v) ? v : 0;
}

double RoundHalfEven(double value) {
    double r = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5) r = 2.0 * std::round(value / 2.0);
    return r;
}

QString CStr(double value) {
    QString s = QString::number(value, 'g', 15);
    if (s.contains('e')) {
        // The runtime writes exponents as E+nn.
        int e = s.indexOf('e');
        QString mant = s.left(e), exp = s.mid(e + 1);
        QChar sign = exp.startsWith('-') ? '-' : '+';
        if (exp.startsWith('-') || exp.startsWith('+')) exp.remove(0, 1);
        while (exp.size() > 1 && exp.startsWith('0')) exp.remove(0, 1);
        if (exp.size() < 2) exp.prepend('0');
        s = mant + "E" + sign + exp;
    }
    const QString point = QLocale::system().decimalPoint();
    if (point != ".") s.replace('.', point);
    return s;
}

QString Format(const QDateTime &moment, const QString &format) {
    const QDate d = moment.date();
    const QTime t = moment.time();
    auto two = [](int v) { return QString::number(v).rightJustified(2, '0'); };
    QString out;
    bool afterHour = false;
    for (int i = 0; i < format.size();) {
        QStringView rest = QStringView(format).mid(i);
        if (rest.startsWith(u"yyyy", Qt::CaseInsensitive)) {
            out += QString::number(d.year()).rightJustified(4, '0');
            i += 4;
            afterHour = false;
        } else if (rest.startsWith(u"yy", Qt::CaseInsensitive)) {
            out += two(d.year() % 100);
            i += 2;
            afterHour = false;
        } else if (rest.startsWith(u"mm", Qt::CaseInsensitive)) {
            out += afterHour ? two(t.minute()) : two(d.month());
            i += 2;
            afterHour = false;
        } else if (rest.startsWith(u"nn", Qt::CaseInsensitive)) {
            out += two(t.minute());
            i += 2;
            afterHour = false;
        } else if (rest.startsWith(u"dd", Qt::CaseInsensitive)) {
            out += two(d.day());
            i += 2;
            afterHour = false;
        } else if (rest.startsWith(u"hh", Qt::CaseInsensitive)) {
            out += two(t.hour());
            i += 2;
            afterHour = true;
        } else if (rest.startsWith(u"ss", Qt::CaseInsensitive)) {
            out += two(t.second());
            i += 2;
            afterHour = false;
        } else {
            out += format[i];
            ++i;
        }
    }
    return out;
}

QString Hex(unsigned value) { return QString::number(value, 16).toUpper(); }

QByteArray RightB(const QByteArray &bytes, int count) {
    if (count <= 0) return {};
    return bytes.right(count);
}

QString Right(const QString &text, int count) {
    if (count <= 0) return {};
    return text.right(count);
}

QString Mid(const QString &text, int start, int count) {
    if (start < 1 || start > text.size()) return {};
    return count < 0 ? text.mid(start - 1) : text.mid(start - 1, count);
}

int InStr(int start, const QString &text, const QString &what) {
    if (start < 1 || start > text.size() + 1) return 0;
    int at = text.indexOf(what, start - 1);
    return at < 0 ? 0 : at + 1;
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    out.reserve(int(values.size()));
    for (int v : values) out += char(std::uint8_t(v));
    return out;
}

float SecondsOfDay() {
    // localtime_r, not QTime::currentTime: Qt re-reads the zone (a stat of the zone
    // file) on every call, and the wait loops ask for the clock every few milliseconds.
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    const long ms = (local.tm_hour * 3600L + local.tm_min * 60L + local.tm_sec) * 1000L + ts.tv_nsec / 1000000L;
    return float(ms) / 1000.0f;
}

void DoEvents(int maxWaitMs) {
    if (!QCoreApplication::instance()) return;
    if (maxWaitMs <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // Sleep in the event loop: what is waiting is handled first and ends the call
    // without a sleep; otherwise the wake-up timer bounds the wait, any event ends it.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(maxWaitMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

namespace {
double screenDpiX() {
    if (auto *s = QGuiApplication::primaryScreen()) return s->logicalDotsPerInchX();
    return 96.0;
}
double screenDpiY() {
    if (auto *s = QGuiApplication::primaryScreen()) return s->logicalDotsPerInchY();
    return 96.0;
}
bool ended = false;
} // namespace

int TwipsToPixelsX(int twips) { return int(std::lround(twips * screenDpiX() / 1440.0)); }
int TwipsToPixelsY(int twips) { return int(std::lround(twips * screenDpiY() / 1440.0)); }
int PixelsToTwipsX(int pixels) { return int(std::lround(pixels * 1440.0 / screenDpiX())); }
int PixelsToTwipsY(int pixels) { return int(std::lround(pixels * 1440.0 / screenDpiY())); }

namespace {

// Puts a form's frame where MoveForm asked once the window manager has framed it. Until
// then Qt knows no frame: a position given before that places the client area.
class FramePlacer : public QObject {
public:
    FramePlacer(QWidget *form, QPoint target) : QObject(form), target_(target) {
        setObjectName(QStringLiteral("vbFramePlacer"));
        form->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WindowActivate:
            case QEvent::UpdateRequest: break;
            default: return false;
        }
        auto *form = static_cast<QWidget *>(watched);
        if (done_ || !form->isVisible() || form->frameGeometry() == form->geometry()) return false;
        done_ = true;
        form->removeEventFilter(this);
        if (form->frameGeometry().topLeft() != target_)
            form->move(target_); // a framed window's move() places the frame
        deleteLater();
        return false;
    }

private:
    QPoint target_;
    bool done_ = false;
};

// The frame of a window that is framed already: the margins that one not yet shown will get.
QMargins framedMargins(const QWidget *except) {
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        for (const QWidget *w : QApplication::topLevelWidgets())
            if (w != except && w->isVisible() && w->frameGeometry() != w->geometry()) {
                const QRect f = w->frameGeometry(), g = w->geometry();
                return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
            }
    return {};
}

} // namespace

void MoveForm(QWidget *form, int left, int top) {
    if (!form) return;
    delete form->findChild<FramePlacer *>(QStringLiteral("vbFramePlacer"), Qt::FindDirectChildrenOnly);
    const QPoint target(left, top);
    if (form->isVisible() && form->frameGeometry() != form->geometry()) {
        form->move(target); // framed: move() places the frame
        return;
    }
    // Not framed yet: the client goes where the frame will start, and moves down and
    // right by the frame once the window manager has put one round it. Without a window
    // manager (or offscreen) there is no frame and the client stays there.
    form->move(target);
    new FramePlacer(form, target);
}

QRect FormGeometry(const QWidget *form) {
    if (!form) return {};
    if (!form->isWindow()) return form->geometry();
    if (form->isVisible() && form->frameGeometry() != form->geometry()) return form->frameGeometry();
    // Not framed yet: its frame will be as wide as the others'.
    const QMargins m = framedMargins(form);
    const QRect g = form->geometry();
    return QRect(g.left() - m.left(), g.top() - m.top(), g.width() + m.left() + m.right(),
                 g.height() + m.top() + m.bottom());
}

void End() {
    ended = true;
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        for (QWidget *w : QApplication::topLevelWidgets()) w->close();
    QCoreApplication::exit(0);
}

bool Ended() { return ended; }
void ResetEnded() { ended = false; }

Timer::Timer(QObject *parent, int intervalMs) : QObject(parent), interval_(intervalMs) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

void Timer::SetInterval(int ms) {
    interval_ = ms;
    apply();
}

void Timer::SetEnabled(bool on) {
    enabled_ = on;
    apply();
}

void Timer::apply() {
    if (enabled_ && interval_ > 0)
        timer_.start(interval_);
    else
        timer_.stop();
}

void Timer::tick() {
    if (running_ || !enabled_) return;
    running_ = true;
    struct Guard {
        bool &flag;
        ~Guard() { flag = false; }
    } guard{running_};
    if (OnTimer) OnTimer();
}

} // namespace vb
