#pragma once
// The level axis beside the strip chart's and the record plot's curve.

namespace vb {
class FormCanvas;
}

namespace slm {

// The axis and base lines, 16 ticks, nine labels from `low` to `high`, the white
// chart area and "SPL" above the axis; in the canvas's scale unit.
void DrawLevelAxis(vb::FormCanvas &c, double left, double base, double width, double height, double low, double high,
                   bool zeroBeforePoint);

} // namespace slm
