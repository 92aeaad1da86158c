#include "hygro/core/RateEditor.h"

#include <gtest/gtest.h>

using namespace hygro;

TEST(HygroRateEditor, CorrectionsAndRate) {
    EXPECT_EQ(RateEditorText(2), "  00 : 02 ");
    EXPECT_EQ(RateEditorText(3660), "  61 : 00 ");
    struct Case {
        const char *text;
        int rate;
        const char *min, *sec;
        bool corrected;
    } cases[] = {
        {"  99 : 75  ", 3660, "60", "60", true}, {"  01 : 30  ", 90, "01", "30", false},
        {"  00 : 00  ", 0, "00", "00", false},   {"  ab : 05  ", 5, "00", "05", true},
        {"  0_ : __  ", 0, "00", "00", true},
    };
    for (const Case &c : cases) {
        RateEdit r = ParseRateEditor(c.text);
        EXPECT_EQ(r.rate, c.rate) << c.text;
        EXPECT_EQ(r.minutes, c.min) << c.text;
        EXPECT_EQ(r.seconds, c.sec) << c.text;
        EXPECT_EQ(r.corrected, c.corrected) << c.text;
    }
}
