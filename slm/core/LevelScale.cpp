#include "slm/core/LevelScale.h"

namespace slm {

QString LevelLabel(double value, bool zeroBeforePoint) {
    QString s = QString::number(value, 'g', 15);
    s.replace(',', '.');
    if (!zeroBeforePoint) {
        if (s.startsWith("0."))
            s.remove(0, 1);
        else if (s.startsWith("-0."))
            s.remove(1, 1);
    }
    if (!s.contains('.') && !s.contains('e')) s += ".0";
    return value >= 0 ? " " + s : s;
}

} // namespace slm
