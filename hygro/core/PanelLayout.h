#pragma once
// Where things lie on the 128 x 356 panel: the pictures in RESOURCE/ are drawn to
// these places and the panel window puts its digit images and marks on them.

#include <array>

namespace hygro::panel {

struct Rect {
    int x, y, w, h;
};

constexpr int Width = 128, Height = 356;
constexpr Rect Lcd{8, 12, 112, 124};
constexpr int MainGlyphW = 14, MainGlyphH = 24, SubGlyphW = 8, SubGlyphH = 14;
constexpr std::array<int, 4> MainX{30, 48, 66, 84};
constexpr int MainY = 42;
constexpr std::array<int, 4> SmallX{38, 48, 60, 72};
constexpr int SubY = 78, ThirdY = 104;

// Key hot areas: lblbtn0 .. lblbtn4, then Label1.
constexpr std::array<Rect, 6> Keys{{
    {69, 152, 41, 25},
    {69, 200, 41, 25},
    {69, 240, 41, 25},
    {24, 240, 37, 25},
    {21, 200, 33, 25},
    {21, 152, 33, 25},
}};

} // namespace hygro::panel
