#pragma once
// The level scale's labels, shared by the strip chart and the record plot.

#include <QString>

namespace slm {

// The number's standard text with "." as the decimal separator, ".0" after a whole
// number and a leading blank when not negative; without the 0 before the point when
// `zeroBeforePoint` is false (the plot's labels, " .5").
QString LevelLabel(double value, bool zeroBeforePoint);

} // namespace slm
