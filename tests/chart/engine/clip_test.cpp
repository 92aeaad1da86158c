// Cutting segments, polylines, polygons and bars to the drawing's guard rectangle.

#include "chart/engine/Clip.h"

#include <gtest/gtest.h>

#include <cmath>

using chart::engine::clampRect;
using chart::engine::clipPolygon;
using chart::engine::clipPolyline;
using chart::engine::clipSegment;

namespace {

const QRectF kBox(QPointF(0, 0), QPointF(100, 50));

bool near(const QPointF &a, const QPointF &b) { return (a - b).manhattanLength() < 1e-9; }

double area(const QPolygonF &p) {
    double a = 0;
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QPointF &u = p[i], &v = p[(i + 1) % p.size()];
        a += u.x() * v.y() - v.x() * u.y();
    }
    return std::abs(a) / 2;
}

} // namespace

TEST(ChartClip, SegmentsAreCutAtTheEdgesTheyCross) {
    struct Case {
        const char *what;
        QPointF a, b;
        bool kept;
        QPointF wantA, wantB;
    };
    const Case cases[] = {
        {"inside", {10, 10}, {90, 40}, true, {10, 10}, {90, 40}},
        {"out through the right", {50, 25}, {150, 25}, true, {50, 25}, {100, 25}},
        {"in through the top", {20, -50}, {20, 10}, true, {20, 0}, {20, 10}},
        {"across, both ends outside", {-100, 25}, {200, 25}, true, {0, 25}, {100, 25}},
        {"diagonal through a corner", {-10, -10}, {10, 10}, true, {0, 0}, {10, 10}},
        {"along an edge", {0, 0}, {100, 0}, true, {0, 0}, {100, 0}},
        {"far off, pointing in", {-1e15, 25}, {50, 25}, true, {0, 25}, {50, 25}},
        {"beside it", {-10, 0}, {-10, 50}, false, {}, {}},
        {"past a corner", {90, -20}, {120, 10}, false, {}, {}},
        {"a point outside", {200, 200}, {200, 200}, false, {}, {}},
        {"a point inside", {5, 5}, {5, 5}, true, {5, 5}, {5, 5}},
    };
    for (const Case &c : cases) {
        QPointF a = c.a, b = c.b;
        ASSERT_EQ(clipSegment(a, b, kBox), c.kept) << c.what;
        if (c.kept) {
            EXPECT_TRUE(near(a, c.wantA)) << c.what << ": " << a.x() << "," << a.y();
            EXPECT_TRUE(near(b, c.wantB)) << c.what << ": " << b.x() << "," << b.y();
        }
    }
}

TEST(ChartClip, APolylineLeavingAndComingBackIsDrawnInPieces) {
    // Inside, out of the top, back in, and out to the right.
    const std::vector<QPointF> line{{10, 10}, {20, -30}, {30, 10}, {40, 20}, {140, 20}};
    std::vector<std::vector<QPointF>> pieces;
    clipPolyline(line, kBox, [&](std::span<const QPointF> p) { pieces.emplace_back(p.begin(), p.end()); });
    ASSERT_EQ(pieces.size(), 2u);
    ASSERT_EQ(pieces[0].size(), 2u);
    EXPECT_TRUE(near(pieces[0][0], {10, 10}));
    EXPECT_TRUE(near(pieces[0][1], {12.5, 0}));
    ASSERT_EQ(pieces[1].size(), 4u);
    EXPECT_TRUE(near(pieces[1][0], {27.5, 0}));
    EXPECT_TRUE(near(pieces[1][1], {30, 10}));
    EXPECT_TRUE(near(pieces[1][3], {100, 20}));

    // A line wholly inside is handed over as it is, without a copy.
    const std::vector<QPointF> within{{1, 1}, {50, 49}, {99, 1}};
    int calls = 0;
    clipPolyline(within, kBox, [&](std::span<const QPointF> p) {
        ++calls;
        EXPECT_EQ(p.data(), within.data());
        EXPECT_EQ(p.size(), within.size());
    });
    EXPECT_EQ(calls, 1);

    // Nothing inside: nothing drawn.
    clipPolyline(std::vector<QPointF>{{-10, -10}, {-20, 80}}, kBox, [&](std::span<const QPointF>) { ADD_FAILURE(); });
}

TEST(ChartClip, PolygonsAndBarsKeepWhatLiesInside) {
    // An area under a curve that reaches far above the box: cut to a rectangle of the box.
    QPolygonF area1;
    area1 << QPointF(20, 50) << QPointF(20, -1e12) << QPointF(60, -1e12) << QPointF(60, 50);
    QPolygonF cut = clipPolygon(area1, kBox);
    for (const QPointF &q : cut)
        EXPECT_TRUE(kBox.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(q)) << q.x() << "," << q.y();
    EXPECT_NEAR(area(cut), 40 * 50, 1e-6);

    QPolygonF within;
    within << QPointF(10, 10) << QPointF(50, 40) << QPointF(90, 10);
    EXPECT_EQ(clipPolygon(within, kBox), within);
    QPolygonF away;
    away << QPointF(200, 10) << QPointF(250, 40) << QPointF(290, 10);
    EXPECT_TRUE(clipPolygon(away, kBox).isEmpty());

    QRectF bar(QPointF(30, -500), QPointF(40, 25));
    ASSERT_TRUE(clampRect(bar, kBox));
    EXPECT_EQ(bar, QRectF(QPointF(30, 0), QPointF(40, 25)));
    QRectF flat(QPointF(30, 25), QPointF(40, 25)); // a bar of a zero value stays a line
    ASSERT_TRUE(clampRect(flat, kBox));
    EXPECT_EQ(flat.height(), 0);
    QRectF off(QPointF(130, 10), QPointF(140, 20));
    EXPECT_FALSE(clampRect(off, kBox));
}
