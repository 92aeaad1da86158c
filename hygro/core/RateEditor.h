#pragma once
// The sampling-rate editor "  MM : SS  ": minutes at characters 3-4, seconds at 8-9.

#include <QString>

namespace hygro {

// "  MM : SS " for a rate in seconds (the last two digits of each part).
QString RateEditorText(int rate);

struct RateEdit {
    int rate = 0;    // minutes x 60 + seconds after the corrections
    QString minutes; // the two characters to show
    QString seconds;
    bool corrected = false; // something was replaced and must be written back
};

// Reads the editor text: a part that is not a number becomes "00", above 60 becomes "60".
RateEdit ParseRateEditor(const QString &text);

} // namespace hygro
