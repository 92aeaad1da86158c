#include "chart/engine/Clip.h"

namespace chart::engine {

bool clipSegment(QPointF &a, QPointF &b, const QRectF &r) {
    double t0 = 0, t1 = 1, dx = b.x() - a.x(), dy = b.y() - a.y();
    auto edge = [&](double q, double d) {
        if (d == 0) return q >= 0;
        double t = q / d;
        if (d < 0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
        return true;
    };
    if (!edge(a.x() - r.left(), -dx) || !edge(r.right() - a.x(), dx) || !edge(a.y() - r.top(), -dy) ||
        !edge(r.bottom() - a.y(), dy))
        return false;
    QPointF a0 = a;
    if (t1 < 1) b = QPointF(a0.x() + t1 * dx, a0.y() + t1 * dy);
    if (t0 > 0) a = QPointF(a0.x() + t0 * dx, a0.y() + t0 * dy);
    return true;
}

QPolygonF clipPolygon(const QPolygonF &poly, const QRectF &r) {
    if (std::all_of(poly.begin(), poly.end(), [&](const QPointF &q) { return inside(r, q); })) return poly;
    QPolygonF cur = poly;
    for (int e = 0; e < 4 && !cur.isEmpty(); ++e) {
        auto inside = [&](const QPointF &q) {
            switch (e) {
                case 0: return q.x() >= r.left();
                case 1: return q.x() <= r.right();
                case 2: return q.y() >= r.top();
                default: return q.y() <= r.bottom();
            }
        };
        auto cross = [&](const QPointF &a, const QPointF &b) {
            double t = e == 0   ? (r.left() - a.x()) / (b.x() - a.x())
                       : e == 1 ? (r.right() - a.x()) / (b.x() - a.x())
                       : e == 2 ? (r.top() - a.y()) / (b.y() - a.y())
                                : (r.bottom() - a.y()) / (b.y() - a.y());
            return QPointF(a.x() + t * (b.x() - a.x()), a.y() + t * (b.y() - a.y()));
        };
        QPolygonF next;
        for (qsizetype i = 0; i < cur.size(); ++i) {
            const QPointF &a = cur[i], &b = cur[(i + 1) % cur.size()];
            if (inside(a)) {
                next << a;
                if (!inside(b)) next << cross(a, b);
            } else if (inside(b)) {
                next << cross(a, b);
            }
        }
        cur = next;
    }
    return cur;
}

bool clampRect(QRectF &r, const QRectF &to) {
    double l = std::max(r.left(), to.left()), t = std::max(r.top(), to.top());
    double rt = std::min(r.right(), to.right()), b = std::min(r.bottom(), to.bottom());
    if (l > rt || t > b) return false;
    r = QRectF(QPointF(l, t), QPointF(rt, b));
    return true;
}

} // namespace chart::engine
