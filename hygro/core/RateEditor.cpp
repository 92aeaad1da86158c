#include "hygro/core/RateEditor.h"

namespace hygro {

namespace {

QString lastTwo(int n) { return (QStringLiteral("0") + QString::number(n)).right(2); }

// A part of two characters: digits with leading blanks allowed, nothing else.
int parsePart(const QString &part, QString &shown, bool &corrected) {
    bool ok = false;
    int v = part.trimmed().toInt(&ok);
    if (!ok || v < 0 || part.trimmed().startsWith(QLatin1Char('+'))) {
        shown = QStringLiteral("00");
        corrected = true;
        return 0;
    }
    if (v > 60) {
        shown = QStringLiteral("60");
        corrected = true;
        return 60;
    }
    shown = part;
    return v;
}

} // namespace

QString RateEditorText(int rate) {
    return QStringLiteral("  ") + lastTwo(rate / 60) + QStringLiteral(" : ") + lastTwo(rate % 60) + QStringLiteral(" ");
}

RateEdit ParseRateEditor(const QString &text) {
    RateEdit r;
    int m = parsePart(text.mid(2, 2), r.minutes, r.corrected);
    int s = parsePart(text.mid(7, 2), r.seconds, r.corrected);
    r.rate = m * 60 + s;
    return r;
}

} // namespace hygro
