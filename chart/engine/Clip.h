#pragma once
// Cutting what is drawn to a rectangle in floating point, before it reaches the painter:
// a coordinate far outside would overflow the painter's fixed point or cost it a long
// walk along a line nobody sees.

#include <QPointF>
#include <QPolygonF>
#include <QRectF>

#include <algorithm>
#include <span>
#include <vector>

namespace chart::engine {

// Edges included.
inline bool inside(const QRectF &r, const QPointF &q) {
    return q.x() >= r.left() && q.x() <= r.right() && q.y() >= r.top() && q.y() <= r.bottom();
}

// Cuts the segment a-b to r (Liang-Barsky); false when nothing of it is inside.
bool clipSegment(QPointF &a, QPointF &b, const QRectF &r);

// Runs f on each piece of a polyline inside r.
template <class F> void clipPolyline(std::span<const QPointF> pts, const QRectF &r, F f) {
    if (std::all_of(pts.begin(), pts.end(), [&](const QPointF &q) { return inside(r, q); })) {
        f(pts);
        return;
    }
    std::vector<QPointF> piece;
    auto done = [&] {
        if (!piece.empty()) f(std::span<const QPointF>(piece));
        piece.clear();
    };
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        QPointF a = pts[i], b = pts[i + 1];
        if (!clipSegment(a, b, r)) {
            done();
            continue;
        }
        if (piece.empty() || piece.back() != a) {
            done();
            piece.assign(1, a);
        }
        piece.push_back(b);
        if (b != pts[i + 1]) done();
    }
    done();
}

// A polygon cut to r (Sutherland-Hodgman).
QPolygonF clipPolygon(const QPolygonF &poly, const QRectF &r);

// r cut to `to`; false when nothing is left (a rectangle of no height, a bar at zero,
// stays a line).
bool clampRect(QRectF &r, const QRectF &to);

} // namespace chart::engine
