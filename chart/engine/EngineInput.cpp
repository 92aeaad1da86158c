// Mouse, key, wheel and scroll input of an engine object, its hot spots, zooming,
// the cursor and the drawing over the picture.

#include "chart/engine/Engine.h"

#include "chart/engine/EngineIds.h"
#include "chart/engine/Renderer.h"

#include <QCursor>
#include <QDateTime>
#include <QFontMetrics>
#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace chart::engine {

namespace {

bool inGraph(const Layout &L, const QPoint &p) { return L.graph.contains(p); }

void putHotSpot(unsigned char *out, const QRect &r, int type, int first, int second) {
    std::int32_t v[7] = {r.left(), r.top(), r.right() + 1, r.bottom() + 1, type, first, second};
    std::memcpy(out, v, sizeof v);
}

QString xText(const PropertyStore &p, const Layout &L, double x) {
    if (L.dateTime) {
        return dateTimeOfDays(x).toString("dd/MM/yy hh:mm:ss");
    }
    return QString::number(x, 'f', std::clamp(p.integer(id::DataPrecision), 0, 6));
}

// Scroll bar positions run 1..kScrollMax over the unzoomed range.
constexpr int kScrollMax = 100;

} // namespace

bool Engine::zoomAllowed(bool vertical) const {
    int z = props_.integer(id::AllowZooming);
    return vertical ? (z == 2 || z == 3) : (z == 1 || z == 3);
}

int Engine::hotSpotRadius() const {
    switch (props_.integer(id::HotSpotSize)) {
        case 1: return 8;
        case 2: return 12;
        default: return 5;
    }
}

LRESULT Engine::windowProc(UINT msg, WPARAM w, LPARAM l) {
    int ui = props_.integer(id::AllowUserInterface);
    bool mouse = ui == 1 || ui == 2;
    bool keys = ui == 1 || ui == 3;
    int x = GET_X_LPARAM(l), y = GET_Y_LPARAM(l);
    switch (msg) {
        case WM_MOUSEMOVE:
            if (mouse) mouseMove(x, y, w);
            return 0;
        case WM_LBUTTONDOWN:
            if (mouse) leftDown(x, y, w, false);
            return 0;
        case WM_LBUTTONDBLCLK:
            if (mouse) leftDown(x, y, w, true);
            return 0;
        case WM_LBUTTONUP:
            if (mouse) leftUp(x, y);
            return 0;
        case WM_RBUTTONDOWN:
            if (mouse && props_.integer(id::AllowPopup)) runPopup(QPoint(x, y));
            return 0;
        case WM_KEYDOWN:
            if (keys) keyDown(w);
            return 0;
        case WM_MOUSEWHEEL:
            if (mouse) wheel(GET_WHEEL_DELTA_WPARAM(w));
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (l != reinterpret_cast<LPARAM>(hwnd_))
                scroll(msg == WM_VSCROLL, LOWORD(w), static_cast<std::int16_t>(HIWORD(w)));
            return 0;
        case WM_COMMAND:
            if (w == 53053) undoZoom();
            return 0;
        case WM_SIZE:
            // The picture follows the window, so that what is shown and what a click hits
            // stay the same.
            if (drawn_)
                rebuild();
            else
                layout_ = computeLayout(props_, width(), height());
            return 0;
        default: return 0;
    }
}

void Engine::computeHotSpot(int x, int y) {
    std::memset(hotSpot_, 0, sizeof hotSpot_);
    const Layout &L = layout_;
    if (!L.valid) return;
    QPoint at(x, y);
    // Data points nearest first.
    if (props_.integer(id::AllowDataHotSpots) && inGraph(L, at)) {
        int r = hotSpotRadius();
        double best = r * r + 1;
        int bs = -1, bp = -1;
        NullTest isNull(props_);
        for (int s = 0; s < props_.subsets(); ++s) {
            int axis = L.axisOfSubset(s);
            if (axis >= static_cast<int>(L.axes.size())) continue;
            const ScaleMap &ym = L.axes[axis].y;
            SubsetData d(props_, s);
            for (int i = 0; i < props_.points(); ++i) {
                double xv = d.x(i), yv = d.y(i);
                if (isNull(xv, yv)) continue;
                double dx = L.x.toPixel(xv) - x, dy = ym.toPixel(yv) - y;
                double d = dx * dx + dy * dy;
                if (d < best) {
                    best = d;
                    bs = s;
                    bp = i;
                }
            }
        }
        if (bs >= 0) {
            putHotSpot(hotSpot_, QRect(at - QPoint(r, r), QSize(2 * r, 2 * r)), 5, bs, bp);
            return;
        }
    }
    if (props_.integer(id::AllowSubsetHotSpots))
        for (auto &[r, s] : L.legend)
            if (r.contains(at)) {
                putHotSpot(hotSpot_, r, 1, s, 0);
                return;
            }
    if (props_.integer(3234 /*AllowVertLineAnnotHotSpots*/))
        for (auto &[r, i] : L.vertLineTexts)
            if (r.contains(at)) {
                putHotSpot(hotSpot_, r, 10, i, 0);
                return;
            }
    if (props_.integer(3233 /*AllowHorzLineAnnotHotSpots*/))
        for (auto &[r, i] : L.horzLineTexts)
            if (r.contains(at)) {
                putHotSpot(hotSpot_, r, 9, i, 0);
                return;
            }
    if (props_.integer(3229 /*AllowGraphAnnotHotSpots*/))
        for (auto &[r, i] : L.graphAnnots)
            if (r.contains(at)) {
                putHotSpot(hotSpot_, r, 6, i, 0);
                return;
            }
    if (props_.integer(2924 /*AllowTitleHotSpots*/) && L.mainTitle.contains(at)) {
        putHotSpot(hotSpot_, L.mainTitle, 11, 0, 0);
        return;
    }
    if (props_.integer(2925 /*AllowSubTitleHotSpots*/) && L.subTitle.contains(at)) {
        putHotSpot(hotSpot_, L.subTitle, 12, 0, 0);
        return;
    }
    // Grid numbers: the value goes to GridHotSpotValue at the number's index.
    auto gridNumber = [&](const std::vector<Layout::GridNumber> &numbers, int type, bool byAxis) {
        int index = 0, axis = -1;
        for (const auto &n : numbers) {
            if (n.axis != axis) {
                axis = n.axis;
                index = 0;
            }
            if (n.rect.contains(at)) {
                props_.setElem(id::GridHotSpotValue, index, n.value);
                putHotSpot(hotSpot_, n.rect, type, byAxis ? n.axis : 0, index);
                return true;
            }
            ++index;
        }
        return false;
    };
    if (props_.integer(3122 /*AllowGridNumberHotSpotsY*/) && gridNumber(L.yGridNumbers, 21, true)) return;
    if (props_.integer(3692 /*AllowGridNumberHotSpotsX*/) && gridNumber(L.xGridNumbers, 20, false)) return;
    for (std::size_t k = 0; k < L.axes.size(); ++k) {
        const AxisLayout &A = L.axes[k];
        if (props_.integer(3083 /*AllowAxisLabelHotSpots*/) && A.labelRect.contains(at)) {
            putHotSpot(hotSpot_, A.labelRect, 15, static_cast<int>(k), 0);
            return;
        }
        if (props_.integer(3084 /*AllowAxisHotSpots*/) && A.numbersRect.contains(at)) {
            putHotSpot(hotSpot_, A.numbersRect, 17, static_cast<int>(k), 0);
            return;
        }
    }
    if (props_.integer(3083) && L.xLabel.contains(at)) {
        putHotSpot(hotSpot_, L.xLabel, 16, 0, 0);
        return;
    }
    if (props_.integer(3084) && L.xNumbers.contains(at)) {
        putHotSpot(hotSpot_, L.xNumbers, 18, 0, 0);
        return;
    }
    if (props_.integer(id::AllowGraphHotSpots) && inGraph(L, at)) {
        int axis = std::max(L.axisAt(y), 0);
        putHotSpot(hotSpot_, L.axes.empty() ? L.graph : L.axes[axis].band, 3, axis, 0);
        chart::GraphLocation loc;
        loc.axis = axis;
        loc.x = L.x.toValue(x);
        loc.y = L.axes.empty() ? 0 : L.axes[axis].y.toValue(y);
        std::memcpy(location_, &loc, sizeof loc);
    }
}

void Engine::leftDown(int x, int y, WPARAM keys, bool dbl) {
    clickPoint_[0] = x;
    clickPoint_[1] = y;
    computeHotSpot(x, y);
    QPoint at(x, y);
    int mode = props_.integer(id::CursorMode);
    chart::HotSpotInfo hs;
    std::memcpy(&hs, hotSpot_, sizeof hs);
    if (mode >= 1 && mode <= 3 && hs.type == 5) {
        notify(3973);
        props_.setNumber(id::CursorSubset, hs.first);
        props_.setNumber(id::CursorPoint, hs.second);
        cursorShown_ = true;
        notify(3953);
        invalidateParent();
    }
    if (!dbl && !(keys & (MK_SHIFT | MK_CONTROL)) && inGraph(layout_, at) &&
        (zoomAllowed(false) || zoomAllowed(true))) {
        dragging_ = true;
        dragFrom_ = dragTo_ = at;
    }
}

void Engine::mouseMove(int x, int y, WPARAM keys) {
    QPoint at(x, y);
    if (dragging_) {
        if (!(keys & MK_LBUTTON)) {
            dragging_ = false; // the button went up outside our window
            invalidateParent();
        } else {
            // A vertical zoom belongs to the axis where the drag began: keep to its band.
            QRect g = layout_.graph;
            int axis = layout_.axisAt(dragFrom_.y());
            if (zoomAllowed(true) && axis >= 0)
                g = QRect(QPoint(g.left(), layout_.axes[axis].band.top()),
                          QPoint(g.right(), layout_.axes[axis].band.bottom()));
            dragTo_ = QPoint(std::clamp(x, g.left(), g.right()), std::clamp(y, g.top(), g.bottom()));
            invalidateParent();
            return;
        }
    }
    int mode = props_.integer(id::CursorMode);
    if (mode >= 4 && mode <= 7) {
        bool inside = inGraph(layout_, at);
        if (inside) {
            notify(3973);
            cursorAt_ = at;
            cursorShown_ = true;
            notify(3953);
            invalidateParent();
        } else if (cursorShown_) {
            cursorShown_ = false;
            invalidateParent();
        }
    }
}

void Engine::leftUp(int, int) {
    if (!dragging_) return;
    dragging_ = false;
    QRect r = QRect(dragFrom_, dragTo_).normalized();
    bool h = zoomAllowed(false) && r.width() >= 4;
    bool v = zoomAllowed(true) && r.height() >= 4;
    if (h || v)
        applyZoom(r);
    else
        invalidateParent();
}

void Engine::applyZoom(const QRect &r) {
    const Layout &L = layout_;
    if (!L.valid) return;
    bool wasZoomed = props_.integer(id::ZoomMode) != 0;
    if (!wasZoomed) {
        fullX0_ = std::min(L.x.v0, L.x.v1);
        fullX1_ = std::max(L.x.v0, L.x.v1);
    }
    bool h = zoomAllowed(false) && r.width() >= 4;
    bool v = zoomAllowed(true) && r.height() >= 4;
    double x0 = std::min(L.x.v0, L.x.v1), x1 = std::max(L.x.v0, L.x.v1);
    if (h) {
        double a = L.x.toValue(r.left()), b = L.x.toValue(r.right());
        x0 = std::min(a, b);
        x1 = std::max(a, b);
    }
    props_.setNumber(id::ZoomMinX, x0);
    props_.setNumber(id::ZoomMaxX, x1);
    int axis = v ? L.axisAt(dragFrom_.y()) : -1;
    if (axis >= 0) {
        const ScaleMap &m = L.axes[axis].y;
        if (!wasZoomed || props_.integer(id::ZoomMinAxis) != axis) {
            fullY0_ = std::min(m.v0, m.v1);
            fullY1_ = std::max(m.v0, m.v1);
        }
        double a = m.toValue(r.top()), b = m.toValue(r.bottom());
        props_.setAxisNumber(id::ZoomMinY, axis, std::min(a, b));
        props_.setAxisNumber(id::ZoomMaxY, axis, std::max(a, b));
        if (axis == 0) {
            props_.setNumber(id::ZoomMinY, std::min(a, b));
        }
    } else if (wasZoomed) {
        axis = props_.integer(id::ZoomMinAxis); // a horizontal zoom keeps a vertical one
    }
    props_.setNumber(id::ZoomMinAxis, axis);
    props_.setNumber(id::ZoomMaxAxis, axis);
    props_.setNumber(id::ZoomMode, 1);
    rebuild();
    updateScrollBars();
    notify(3966);
    invalidateParent();
}

void Engine::undoZoom() {
    if (!props_.integer(id::ZoomMode)) return;
    props_.setNumber(id::ZoomMode, 0);
    props_.setNumber(id::ZoomMinAxis, -1);
    props_.setNumber(id::ZoomMaxAxis, -1);
    rebuild();
    updateScrollBars();
    notify(3967);
    invalidateParent();
}

void Engine::updateScrollBars() {
    int oldMin[2], oldMax[2], oldPos[2];
    for (int b : {SB_HORZ, SB_VERT}) {
        GetScrollRange(hwnd_, b, &oldMin[b], &oldMax[b]);
        oldPos[b] = GetScrollPos(hwnd_, b);
    }
    bool zoomed = props_.integer(id::ZoomMode) != 0;
    auto position = [](double lo, double hi, double full0, double full1) {
        double room = (full1 - full0) - (hi - lo);
        if (!(room > 0)) return 1;
        double at = (lo - full0) / room;
        at = at > 0 ? std::min(at, 1.0) : 0.0; // NaN too
        return 1 + static_cast<int>(std::lround(at * (kScrollMax - 1)));
    };
    if (zoomed && props_.integer(id::ScrollingHorzZoom) && fullX1_ > fullX0_) {
        SetScrollRange(hwnd_, SB_HORZ, 1, kScrollMax, FALSE);
        SetScrollPos(hwnd_, SB_HORZ,
                     position(props_.number(id::ZoomMinX), props_.number(id::ZoomMaxX), fullX0_, fullX1_), TRUE);
    } else {
        SetScrollRange(hwnd_, SB_HORZ, 0, 0, FALSE);
    }
    int axis = props_.integer(id::ZoomMinAxis);
    if (zoomed && axis >= 0 && props_.integer(3069 /*ScrollingVertZoom*/) && fullY1_ > fullY0_) {
        SetScrollRange(hwnd_, SB_VERT, 1, kScrollMax, FALSE);
        // Top of the range is position 1.
        double lo = props_.axisNumber(id::ZoomMinY, axis), hi = props_.axisNumber(id::ZoomMaxY, axis);
        SetScrollPos(hwnd_, SB_VERT, kScrollMax + 1 - position(lo, hi, fullY0_, fullY1_), TRUE);
    } else {
        SetScrollRange(hwnd_, SB_VERT, 0, 0, FALSE);
    }
    bool changed = false;
    for (int b : {SB_HORZ, SB_VERT}) {
        int mn, mx;
        GetScrollRange(hwnd_, b, &mn, &mx);
        changed |= mn != oldMin[b] || mx != oldMax[b] || GetScrollPos(hwnd_, b) != oldPos[b];
    }
    if (changed) notify(3961);
}

void Engine::scroll(bool vertical, int code, int pos) {
    if (!props_.integer(id::ZoomMode)) return;
    int axis = props_.integer(id::ZoomMinAxis);
    if (vertical && axis < 0) return;
    notify(vertical ? 3982 : 3981);
    double lo = vertical ? props_.axisNumber(id::ZoomMinY, axis) : props_.number(id::ZoomMinX);
    double hi = vertical ? props_.axisNumber(id::ZoomMaxY, axis) : props_.number(id::ZoomMaxX);
    double f0 = vertical ? fullY0_ : fullX0_, f1 = vertical ? fullY1_ : fullX1_;
    double wdt = hi - lo;
    if (!(f1 - f0 > wdt) || !(wdt > 0)) return;
    // Vertical bars count downwards: "up" raises the values shown.
    double sign = vertical ? -1 : 1;
    switch (code) {
        case SB_LINEDOWN: lo += sign * wdt / 10; break;
        case SB_LINEUP: lo -= sign * wdt / 10; break;
        case SB_PAGEDOWN: lo += sign * wdt; break;
        case SB_PAGEUP: lo -= sign * wdt; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: {
            double t = (std::clamp(pos, 1, kScrollMax) - 1) / double(kScrollMax - 1);
            if (vertical) t = 1 - t;
            lo = f0 + t * (f1 - f0 - wdt);
            break;
        }
        case SB_TOP: lo = vertical ? f1 - wdt : f0; break;
        case SB_BOTTOM: lo = vertical ? f0 : f1 - wdt; break;
        default: return;
    }
    lo = std::clamp(lo, f0, f1 - wdt);
    if (vertical) {
        props_.setAxisNumber(id::ZoomMinY, axis, lo);
        props_.setAxisNumber(id::ZoomMaxY, axis, lo + wdt);
    } else {
        props_.setNumber(id::ZoomMinX, lo);
        props_.setNumber(id::ZoomMaxX, lo + wdt);
    }
    rebuild();
    updateScrollBars();
    int bar = vertical ? SB_VERT : SB_HORZ;
    HWND parent = handleFromInt<HWND>(props_.integer(id::ParentWindow));
    SendMessageA(parent, vertical ? WM_VSCROLL : WM_HSCROLL,
                 MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(GetScrollPos(hwnd_, bar))),
                 reinterpret_cast<LPARAM>(hwnd_));
    invalidateParent();
}

void Engine::wheel(int delta) {
    int f = props_.integer(id::MouseWheelFunction);
    if (f == 2 || delta == 0) return;
    bool vertical = f == 0 && props_.integer(id::ZoomMinAxis) >= 0 && props_.integer(3069);
    scroll(vertical, delta > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
}

void Engine::keyDown(WPARAM key) {
    int mode = props_.integer(id::CursorMode);
    if (key == VK_ESCAPE && dragging_) {
        dragging_ = false;
        invalidateParent();
        return;
    }
    if (mode >= 1 && mode <= 3 && (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN)) {
        int s = std::clamp(props_.integer(id::CursorSubset), 0, props_.subsets() - 1);
        int p = std::clamp(props_.integer(id::CursorPoint), 0, props_.points() - 1);
        if (key == VK_LEFT)
            p = std::max(p - 1, 0);
        else if (key == VK_RIGHT)
            p = std::min(p + 1, props_.points() - 1);
        else if (key == VK_UP)
            s = std::max(s - 1, 0);
        else
            s = std::min(s + 1, props_.subsets() - 1);
        notify(3973);
        props_.setNumber(id::CursorSubset, s);
        props_.setNumber(id::CursorPoint, p);
        cursorShown_ = true;
        notify(3953);
        invalidateParent();
        return;
    }
    switch (key) {
        case VK_LEFT: scroll(false, SB_LINEUP, 0); break;
        case VK_RIGHT: scroll(false, SB_LINEDOWN, 0); break;
        case VK_PRIOR: scroll(false, SB_PAGEUP, 0); break;
        case VK_NEXT: scroll(false, SB_PAGEDOWN, 0); break;
        case VK_HOME: scroll(false, SB_TOP, 0); break;
        case VK_END: scroll(false, SB_BOTTOM, 0); break;
        default: break;
    }
}

int Engine::pixelToGraph(int *axis, int *px, int *py, double *x, double *y, int, int) const {
    if (!px || !py || !layout_.valid || layout_.axes.empty()) return 0;
    int a = axis ? *axis : 0;
    if (a < 0 || a >= static_cast<int>(layout_.axes.size())) a = std::max(layout_.axisAt(*py), 0);
    if (x) *x = layout_.x.toValue(*px);
    if (y) *y = layout_.axes[a].y.toValue(*py);
    return inGraph(layout_, QPoint(*px, *py)) ? 1 : 0;
}

QString Engine::cursorPrompt() const {
    int style = props_.integer(id::CursorPromptStyle);
    if (style <= 0 || style > 3 || !layout_.valid || layout_.axes.empty()) return {};
    int mode = props_.integer(id::CursorMode);
    double xv, yv;
    if (mode >= 1 && mode <= 3) {
        int s = props_.integer(id::CursorSubset), p = props_.integer(id::CursorPoint);
        xv = xValue(props_, s, p);
        yv = yValue(props_, s, p);
    } else {
        int a = std::max(layout_.axisAt(cursorAt_.y()), 0);
        xv = layout_.x.toValue(cursorAt_.x());
        yv = layout_.axes[a].y.toValue(cursorAt_.y());
    }
    QString ys = QString::number(yv, 'f', std::clamp(props_.integer(id::DataPrecision), 0, 6));
    QString xs = xText(props_, layout_, xv);
    switch (style) {
        case 1: return xs;
        case 2: return ys;
        default: return xs + "  " + ys;
    }
}

void Engine::drawOverlay(QPainter &g) const {
    const Layout &L = layout_;
    g.save();
    if (dragging_ && dragFrom_ != dragTo_) {
        QRect r = QRect(dragFrom_, dragTo_).normalized();
        if (!zoomAllowed(true))
            r = QRect(r.left(), L.graph.top(), r.width(), L.graph.height());
        else if (!zoomAllowed(false))
            r = QRect(L.graph.left(), r.top(), L.graph.width(), r.height());
        if (props_.integer(id::ZoomStyle) == 1) {
            g.setCompositionMode(QPainter::RasterOp_NotDestination);
            g.fillRect(r, Qt::white);
            g.setCompositionMode(QPainter::CompositionMode_SourceOver);
        } else {
            g.setPen(QPen(Qt::white, 0));
            g.drawRect(r);
            g.setPen(QPen(Qt::black, 0, Qt::DashLine));
            g.drawRect(r);
        }
    }
    int mode = props_.integer(id::CursorMode);
    if (cursorShown_ && mode > 0 && L.valid) {
        QPointF c = cursorAt_;
        if (mode <= 3) {
            int s = props_.integer(id::CursorSubset), p = props_.integer(id::CursorPoint);
            int axis = L.axisOfSubset(s);
            if (axis < static_cast<int>(L.axes.size()))
                c = QPointF(boundedPixel(L.x.toPixel(xValue(props_, s, p))),
                            boundedPixel(L.axes[axis].y.toPixel(yValue(props_, s, p))));
        }
        QColor fore = fromColorRef(props_.integer(id::GraphForeColor));
        QColor back = fromColorRef(props_.integer(id::GraphBackColor));
        QColor line = qGray(back.rgb()) < 128 ? QColor(Qt::white) : QColor(Qt::black);
        g.setClipRect(L.graph);
        g.setPen(QPen(line, 0, Qt::DotLine));
        bool vert = mode == 1 || mode == 2 || mode == 4 || mode == 5 || mode == 6;
        bool horz = mode == 2 || mode == 4 || mode == 5 || mode == 7;
        if (vert) g.drawLine(QPointF(c.x(), L.graph.top()), QPointF(c.x(), L.graph.bottom()));
        if (horz) g.drawLine(QPointF(L.graph.left(), c.y()), QPointF(L.graph.right(), c.y()));
        if (mode == 3) {
            g.setCompositionMode(QPainter::RasterOp_NotDestination);
            g.fillRect(QRectF(c.x() - 4, c.y() - 4, 9, 9), Qt::white);
            g.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        QString prompt = cursorPrompt();
        if (!prompt.isEmpty()) {
            QFont f("Arial");
            f.setPixelSize(std::clamp(L.graph.height() / 22, 9, 16));
            g.setFont(f);
            QFontMetrics fm(f);
            QSize sz(fm.horizontalAdvance(prompt) + 8, fm.height() + 4);
            QPoint at;
            if (props_.integer(id::CursorPromptTracking)) {
                at = QPoint(static_cast<int>(c.x()) + 8, static_cast<int>(c.y()) - sz.height() - 4);
                if (at.x() + sz.width() > L.graph.right()) at.setX(static_cast<int>(c.x()) - sz.width() - 8);
                if (at.y() < L.graph.top()) at.setY(static_cast<int>(c.y()) + 6);
            } else if (props_.integer(id::CursorPromptLocation) == 1) {
                at = QPoint(L.graph.right() - sz.width() - 2, L.graph.top() + 2);
            } else {
                at = QPoint(L.graph.left() + 2, L.graph.top() + 2);
            }
            QRect box(at, sz);
            g.fillRect(box, back);
            g.setPen(QPen(fore, 0));
            g.drawRect(box);
            g.setPen(line);
            g.drawText(box, Qt::AlignCenter, prompt);
        }
    }
    g.restore();
}

void Engine::runPopup(const QPoint &at) {
    notify(3975);
    QMenu menu;
    menu.setObjectName("popupMenu");
    auto state = [&](int id) { return props_.integer(id); };
    auto add = [&](QMenu &m, const QString &text, int menuId, auto fn) -> QAction * {
        if (state(menuId) == 0) return nullptr;
        QAction *a = m.addAction(text);
        a->setEnabled(state(menuId) != 2);
        QObject::connect(a, &QAction::triggered, fn);
        return a;
    };
    auto apply = [this](int id, double v) {
        customSet(id, v);
        rebuild();
        invalidateParent();
    };
    if (props_.integer(id::ZoomMode)) add(menu, "Undo Zoom", 3170, [this] { undoZoom(); });
    auto choices = [&](const QString &title, int menuId, int prop, const QStringList &items) {
        if (state(menuId) == 0) return;
        QMenu *sub = menu.addMenu(title);
        sub->setEnabled(state(menuId) != 2);
        for (int i = 0; i < items.size(); ++i) {
            QAction *a = sub->addAction(items[i]);
            a->setCheckable(true);
            a->setChecked(props_.integer(prop) == i);
            QObject::connect(a, &QAction::triggered, [=] { apply(prop, i); });
        }
    };
    choices("Viewing Style", 2640, id::ViewingStyle, {"Color", "Monochrome", "Monochrome + Symbols"});
    choices("Font Size", 2641, id::FontSize, {"Large", "Medium", "Small"});
    choices("Grid Lines", 3164, id::GridLineControl, {"Y + X Axis", "Y Axis", "X Axis", "No Grid"});
    if (QAction *a = add(menu, "Show Legend", 2660,
                         [=, this] { apply(id::ShowLegend, props_.integer(id::ShowLegend) ? 0 : 1); })) {
        a->setCheckable(true);
        a->setChecked(props_.integer(id::ShowLegend));
    }
    menu.addSeparator();
    if (props_.integer(id::AllowMaximization)) add(menu, "Maximize...", 2655, [this] { maximizeDialog(); });
    if (props_.integer(id::AllowCustomization)) add(menu, "Customize...", 2656, [this] { customizeDialog(); });
    if (props_.integer(id::AllowExporting)) {
        add(menu, "Export...", 2657, [this] { exportDialog(); });
        QAction *print = menu.addAction("Print...");
        QObject::connect(print, &QAction::triggered, [this] {
            std::int32_t pair[2] = {0, 0};
            printDialog(1, pair);
        });
    }
    // The program's own entries, reported back by index.
    bool first = true;
    for (int i = 0; i < props_.elemCount(2670 /*CustomMenuText*/); ++i) {
        std::string text;
        if (!props_.elemString(2670, i, text) || text.empty()) continue;
        double shown = 0, checked = 0;
        props_.elem2(2667 /*CustomMenu*/, i, 0, shown);
        props_.elem2(2668 /*CustomMenuState*/, i, 0, checked);
        if (shown == 2) continue;
        if (first) menu.addSeparator();
        first = false;
        QAction *a = menu.addAction(fromAnsi(text));
        a->setEnabled(shown != 1);
        a->setCheckable(checked != 0);
        a->setChecked(checked != 0);
        QObject::connect(a, &QAction::triggered, [this, i] {
            props_.setNumber(id::MenuIndex, i);
            props_.setNumber(id::SubmenuIndex, 0);
            notify(3980);
        });
    }
    (void)at; // the menu opens at the mouse, where the click was
    runMenu(menu);
}

} // namespace chart::engine
