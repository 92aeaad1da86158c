#include "platform/forms/CellStore.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using forms::CellStore;

namespace {

TEST(FormsCellStore, TextsOfEveryKindReadBackAndOutsideIsEmpty) {
    CellStore s(3, 4);
    const QString texts[] = {"",
                             "C",
                             "07/03/2026",
                             QString(200, 'x'),
                             QString::fromUtf8("45,5 °C"),
                             QString::fromUtf8("温度 25"),
                             QString(QChar(0x20AC)) + "1",
                             QString(70000, QChar(0x3B1))};
    for (const QString &t : texts) {
        s.setCell(2, 1, t);
        s.setCell(0, 1, "left");
        EXPECT_EQ(s.cell(2, 1), t);
        EXPECT_EQ(s.cell(0, 1), "left");
        EXPECT_EQ(s.cell(1, 1), "");
        EXPECT_EQ(s.cell(3, 1), "");
    }
    EXPECT_FALSE(s.setCell(4, 0, "x"));
    EXPECT_FALSE(s.setCell(0, 3, "x"));
    EXPECT_FALSE(s.setCell(-1, 0, "x"));
    EXPECT_EQ(s.cell(4, 1), "");
    EXPECT_EQ(s.cell(0, -1), "");
    // The same text again, or an empty text in an empty cell, is no change.
    EXPECT_FALSE(s.setCell(0, 1, "left"));
    EXPECT_FALSE(s.setCell(3, 2, ""));
    EXPECT_TRUE(s.setCell(0, 1, ""));
}

TEST(FormsCellStore, FewerColumnsDropCellsThatDoNotComeBack) {
    CellStore s(3, 5);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c) s.setCell(c, r, QString::number(r * 10 + c));
    s.setCols(2);
    EXPECT_EQ(s.cell(1, 2), "21");
    EXPECT_EQ(s.cell(2, 2), "");
    s.setCols(5);
    EXPECT_EQ(s.cell(2, 2), "");
    EXPECT_EQ(s.cell(4, 0), "");
    s.setRows(1);
    s.setRows(3);
    EXPECT_EQ(s.cell(0, 0), "0");
    EXPECT_EQ(s.cell(0, 1), "");
    s.clear();
    EXPECT_EQ(s.rows(), 3);
    EXPECT_EQ(s.cell(0, 0), "");
}

// Random writes anywhere (the newest row, old rows, growing and shrinking) against
// plain strings: every cell reads back, and the store stays within a few times the
// text it holds.
TEST(FormsCellStore, RandomEditsMatchPlainStrings) {
    std::mt19937 rng(7);
    const int cols = 9;
    CellStore s(0, cols);
    std::vector<std::vector<QString>> plain;
    const QString words[] = {"",
                             "1",
                             "%RH",
                             "14:05:09",
                             "07/03/2026",
                             QString::fromUtf8("-OL°"),
                             QString::fromUtf8("Ωmega"),
                             QString(300, 'z')};
    for (int step = 0; step < 60000; ++step) {
        const unsigned op = rng() % 100;
        if (op < 2) {
            const int n = int(rng() % 400);
            s.setRows(n);
            plain.resize(size_t(n), std::vector<QString>(cols));
        } else if (op < 3) {
            s.setCols(cols - 1);
            s.setCols(cols);
            for (auto &r : plain) r[cols - 1].clear();
        } else if (!plain.empty()) {
            // Mostly the newest row, as a table being filled.
            const int row = op < 70 ? int(plain.size()) - 1 : int(rng() % plain.size());
            const int col = int(rng() % cols);
            const QString &w = words[rng() % std::size(words)];
            EXPECT_EQ(s.setCell(col, row, w), plain[size_t(row)][size_t(col)] != w);
            plain[size_t(row)][size_t(col)] = w;
        }
        if (step % 5000 == 0 || step == 59999) {
            ASSERT_EQ(s.rows(), int(plain.size()));
            size_t text = 0;
            for (size_t r = 0; r < plain.size(); ++r)
                for (int c = 0; c < cols; ++c) {
                    ASSERT_EQ(s.cell(c, int(r)), plain[r][size_t(c)]) << step << " " << r << " " << c;
                    text += size_t(plain[r][size_t(c)].size()) * 2 + 2;
                }
            EXPECT_LE(s.bytesHeld(), 4 * text + 16 * plain.size() + 65536) << step;
        }
    }
}

} // namespace
