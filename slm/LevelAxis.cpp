#include "LevelAxis.h"

#include "slm/core/LevelScale.h"
#include "platform/vb/Drawing.h"

#include <cstdint>

namespace slm {

namespace {
constexpr std::int32_t black = 0x000000, white = 0xFFFFFF;
}

void DrawLevelAxis(vb::FormCanvas &c, double left, double base, double width, double height, double low, double high,
                   bool zeroBeforePoint) {
    c.DrawWidth = 2;
    c.ForeColor = black;
    c.Line(left - 2, base + 5, left - 2, base - height - 5);
    c.Line(left - 2, base + 6, left + width + 2, base + 6);
    c.DrawWidth = 1;
    for (int i = 0; i <= 16; ++i) {
        const double y = base - i * height / 16;
        c.Line(left - 7, y, left - 2, y);
        if (i % 2 == 0) c.Line(left - 10, y, left - 2, y);
    }
    for (int i = 0; i <= 8; ++i) {
        const QString label = LevelLabel(low + (high - low) * i / 8, zeroBeforePoint);
        c.CurrentX = left - 40 - c.TextWidth(label) / 4;
        c.CurrentY = base - i * height / 8 - c.TextHeight(label) / 2;
        c.Print(label);
    }
    c.FilledBox(left, base, left + width, base - height, white);
    c.ForeColor = black;
    c.CurrentX = left - 40;
    c.CurrentY = base - height - 40;
    c.Print("SPL");
}

} // namespace slm
