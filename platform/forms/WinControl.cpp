#include "platform/forms/WinControl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

namespace forms {

namespace {

TColor fromQColor(const QColor &c) { return TColor(c.red() | (c.green() << 8) | (c.blue() << 16)); }

// The Win32 system colour indexes over the application palette.
TColor sysColor(int index) {
    const QPalette pal = QApplication::palette();
    switch (index) {
        case 0: return fromQColor(pal.color(QPalette::Mid));       // scroll bar
        case 1: return fromQColor(pal.color(QPalette::Dark));      // desktop
        case 2: return fromQColor(pal.color(QPalette::Highlight)); // active caption
        case 3: return fromQColor(pal.color(QPalette::Inactive, QPalette::Highlight));
        case 4: return fromQColor(pal.color(QPalette::Window));          // menu
        case 5: return fromQColor(pal.color(QPalette::Base));            // window
        case 6: return fromQColor(pal.color(QPalette::Shadow));          // window frame
        case 7: return fromQColor(pal.color(QPalette::WindowText));      // menu text
        case 8: return fromQColor(pal.color(QPalette::Text));            // window text
        case 9: return fromQColor(pal.color(QPalette::HighlightedText)); // caption text
        case 10:
        case 11: return fromQColor(pal.color(QPalette::Window)); // borders
        case 12: return fromQColor(pal.color(QPalette::Dark));   // MDI workspace
        case 13: return fromQColor(pal.color(QPalette::Highlight));
        case 14: return fromQColor(pal.color(QPalette::HighlightedText));
        case 15: return fromQColor(pal.color(QPalette::Button)); // button face
        case 16: return fromQColor(pal.color(QPalette::Dark));   // button shadow
        case 17: return fromQColor(pal.color(QPalette::Disabled, QPalette::Text));
        case 18: return fromQColor(pal.color(QPalette::ButtonText));
        case 19: return fromQColor(pal.color(QPalette::Inactive, QPalette::HighlightedText));
        case 20: return fromQColor(pal.color(QPalette::Light)); // button highlight
        case 21: return fromQColor(pal.color(QPalette::Shadow));
        case 22: return fromQColor(pal.color(QPalette::Midlight));
        case 23: return fromQColor(pal.color(QPalette::ToolTipText));
        case 24: return fromQColor(pal.color(QPalette::ToolTipBase));
        default: return clBlack;
    }
}

WPARAM keyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    WPARAM w = 0;
    if (buttons & Qt::LeftButton) w |= MK_LBUTTON;
    if (buttons & Qt::RightButton) w |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) w |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) w |= MK_SHIFT;
    if (mods & Qt::ControlModifier) w |= MK_CONTROL;
    return w;
}

LPARAM pointParam(const QPointF &p) { return MAKELPARAM(WORD(std::int16_t(p.x())), WORD(std::int16_t(p.y()))); }

TShiftState shiftFromKeyState(WPARAM w) {
    TShiftState s = 0;
    if (w & MK_SHIFT) s |= ssShift;
    if (w & MK_CONTROL) s |= ssCtrl;
    if (w & MK_LBUTTON) s |= ssLeft;
    if (w & MK_RBUTTON) s |= ssRight;
    if (w & MK_MBUTTON) s |= ssMiddle;
    return s;
}

TShiftState shiftNow() {
    const Qt::KeyboardModifiers m = QApplication::keyboardModifiers();
    TShiftState s = 0;
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    if (m & Qt::AltModifier) s |= ssAlt;
    return s;
}

// Qt key to Win32 virtual key; 0 for keys without one.
WORD virtualKey(int key) {
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) return WORD(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return WORD(0x70 + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Backspace: return 0x08;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 0x0D;
        case Qt::Key_Shift: return 0x10;
        case Qt::Key_Control: return 0x11;
        case Qt::Key_Alt: return 0x12;
        case Qt::Key_Escape: return WORD(VK_ESCAPE);
        case Qt::Key_Space: return 0x20;
        case Qt::Key_PageUp: return WORD(VK_PRIOR);
        case Qt::Key_PageDown: return WORD(VK_NEXT);
        case Qt::Key_End: return WORD(VK_END);
        case Qt::Key_Home: return WORD(VK_HOME);
        case Qt::Key_Left: return WORD(VK_LEFT);
        case Qt::Key_Up: return WORD(VK_UP);
        case Qt::Key_Right: return WORD(VK_RIGHT);
        case Qt::Key_Down: return WORD(VK_DOWN);
        case Qt::Key_Insert: return 0x2D;
        case Qt::Key_Delete: return 0x2E;
        default: return 0;
    }
}

} // namespace

TColor ColorToRGB(TColor color) {
    if (std::int32_t(color) < 0) return sysColor(int(color) & 0xFF);
    return color;
}

TWinControl::TWinControl(QWidget *AOwner) : QWidget(AOwner), TComponent(dynamic_cast<TComponent *>(AOwner)) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // The control paints its whole client area itself (WM_ERASEBKGND decides the rest).
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TWinControl::~TWinControl() {
    if (handle_) DestroyWindow(handle_);
}

HWND TWinControl::Handle() {
    if (!handle_) {
        HWND parent = nullptr;
        if (auto *p = dynamic_cast<TWinControl *>(parentWidget())) parent = p->Handle();
        const RECT r{x(), y(), x() + width(), y() + height()};
        handle_ =
            CreateWindowHandle([this](HWND, UINT msg, WPARAM w, LPARAM l) { return windowProc(msg, w, l); }, parent, r);
        ::ShowWindow(handle_, isVisible() ? SW_SHOW : SW_HIDE);
        Perform(WM_CREATE, 0, 0);
    }
    return handle_;
}

LRESULT TWinControl::windowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Our own MoveWindow keeping the window record in step with Qt's geometry.
    if (movingHandle_ && msg == WM_SIZE) return 0;
    return Perform(msg, wParam, lParam);
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    Dispatch(m);
    return m.Result;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    WINDOWPOS wp;
    wp.hwnd = handle_;
    wp.x = left;
    wp.y = top;
    wp.cx = width;
    wp.cy = height;
    Perform(WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    setGeometry(wp.x, wp.y, std::max(0, wp.cx), std::max(0, wp.cy));
}

void TWinControl::SetAlign(TAlign align) {
    align_ = align;
    if (alignParent_) alignParent_->removeEventFilter(this);
    alignParent_ = align == alNone ? nullptr : parentWidget();
    if (alignParent_) {
        alignParent_->installEventFilter(this);
        realign();
    }
}

void TWinControl::realign() {
    if (!alignParent_) return;
    const QRect area = alignParent_->contentsRect();
    QRect r = geometry();
    switch (align_) {
        case alTop: r = QRect(area.left(), area.top(), area.width(), r.height()); break;
        case alBottom: r = QRect(area.left(), area.bottom() + 1 - r.height(), area.width(), r.height()); break;
        case alLeft: r = QRect(area.left(), area.top(), r.width(), area.height()); break;
        case alRight: r = QRect(area.right() + 1 - r.width(), area.top(), r.width(), area.height()); break;
        case alClient: r = area; break;
        case alNone: return;
    }
    SetBounds(r.x(), r.y(), r.width(), r.height());
}

bool TWinControl::eventFilter(QObject *watched, QEvent *e) {
    if (watched == alignParent_ && e->type() == QEvent::Resize) realign();
    return QWidget::eventFilter(watched, e);
}

void TWinControl::Invalidate() {
    updatePending_ = true;
    update();
}

void TWinControl::InvalidateRegion(const QRegion &region) {
    updatePending_ = true;
    update(region);
}

void TWinControl::Update() {
    if (updatePending_ && isVisible()) repaint();
}

void TWinControl::Dispatch(TMessage &m) {
    const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
    switch (m.Msg) {
        case WM_LBUTTONDOWN:
            clicked_ = true;
            if (OnMouseDown) OnMouseDown(this, mbLeft, shiftFromKeyState(m.WParam), x, y);
            break;
        case WM_LBUTTONDBLCLK:
            if (OnDblClick) OnDblClick(this);
            if (OnMouseDown) OnMouseDown(this, mbLeft, shiftFromKeyState(m.WParam) | ssDouble, x, y);
            break;
        case WM_RBUTTONDOWN:
            if (OnMouseDown) OnMouseDown(this, mbRight, shiftFromKeyState(m.WParam), x, y);
            break;
        case WM_LBUTTONUP: {
            // A click is a press and a release on the control; a press that a handler took
            // for itself (it did not pass WM_LBUTTONDOWN on) makes no click.
            const bool click = clicked_ && rect().contains(x, y);
            clicked_ = false;
            if (OnMouseUp) OnMouseUp(this, mbLeft, shiftFromKeyState(m.WParam), x, y);
            if (click && OnClick) OnClick(this);
            break;
        }
        case WM_RBUTTONUP:
            if (OnMouseUp) OnMouseUp(this, mbRight, shiftFromKeyState(m.WParam), x, y);
            break;
        case WM_MOUSEMOVE:
            if (OnMouseMove) OnMouseMove(this, shiftFromKeyState(m.WParam), x, y);
            break;
        case WM_KEYDOWN:
        case WM_KEYUP: {
            WORD key = WORD(m.WParam);
            auto &handler = m.Msg == WM_KEYDOWN ? OnKeyDown : OnKeyUp;
            if (handler) handler(this, key, shiftNow());
            m.WParam = key;
            break;
        }
        case WM_CHAR_MESSAGE: {
            char c = char(m.WParam);
            if (OnKeyPress) OnKeyPress(this, c);
            m.WParam = WPARAM(static_cast<unsigned char>(c));
            break;
        }
        case WM_SETFOCUS:
            if (OnEnter) OnEnter(this);
            break;
        case WM_KILLFOCUS:
            if (OnExit) OnExit(this);
            break;
        case WM_ERASEBKGND:
            if (painter_) painter_->fillRect(rect(), palette().color(QPalette::Window));
            m.Result = 1;
            break;
        default: break;
    }
}

void TWinControl::paintEvent(QPaintEvent *) {
    updatePending_ = false;
    QPainter painter(this);
    painter_ = &painter;
    if (Perform(WM_ERASEBKGND, 0, 0) == 0) painter.fillRect(rect(), palette().color(QPalette::Window));
    Perform(WM_PAINT, 0, 0);
    painter_ = nullptr;
}

void TWinControl::resizeEvent(QResizeEvent *) {
    WINDOWPOS wp;
    wp.hwnd = handle_;
    wp.x = x();
    wp.y = y();
    wp.cx = width();
    wp.cy = height();
    Perform(WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    if (wp.cx != width() || wp.cy != height()) {
        // The handler refused this size. A visible widget gets the corrected one as a
        // new resize at once; a hidden one only stores it, so it is announced here.
        const unsigned before = sizeMessages_;
        resize(std::max(0, wp.cx), std::max(0, wp.cy));
        if (sizeMessages_ != before) return;
    }
    if (handle_) {
        movingHandle_ = true;
        ::MoveWindow(handle_, x(), y(), width(), height(), FALSE);
        movingHandle_ = false;
    }
    layoutScrollBars();
    ++sizeMessages_;
    Perform(WM_SIZE, 0, MAKELPARAM(WORD(width()), WORD(height())));
}

void TWinControl::showEvent(QShowEvent *) {
    Handle();
    ::ShowWindow(handle_, SW_SHOW);
}

void TWinControl::mousePressEvent(QMouseEvent *e) {
    const WPARAM w = keyState(e->buttons(), e->modifiers());
    const LPARAM l = pointParam(e->position());
    if (e->button() == Qt::LeftButton)
        Perform(WM_LBUTTONDOWN, w, l);
    else if (e->button() == Qt::RightButton)
        Perform(WM_RBUTTONDOWN, w, l);
}

void TWinControl::mouseReleaseEvent(QMouseEvent *e) {
    const WPARAM w = keyState(e->buttons(), e->modifiers());
    const LPARAM l = pointParam(e->position());
    if (e->button() == Qt::LeftButton)
        Perform(WM_LBUTTONUP, w, l);
    else if (e->button() == Qt::RightButton)
        Perform(WM_RBUTTONUP, w, l);
}

void TWinControl::mouseDoubleClickEvent(QMouseEvent *e) {
    if (e->button() == Qt::LeftButton)
        Perform(WM_LBUTTONDBLCLK, keyState(e->buttons(), e->modifiers()), pointParam(e->position()));
    else
        mousePressEvent(e);
}

void TWinControl::mouseMoveEvent(QMouseEvent *e) {
    Perform(WM_MOUSEMOVE, keyState(e->buttons(), e->modifiers()), pointParam(e->position()));
}

void TWinControl::wheelEvent(QWheelEvent *e) {
    const int delta = e->angleDelta().y();
    if (delta == 0) return;
    const WPARAM w = MAKEWPARAM(WORD(keyState(e->buttons(), e->modifiers())), WORD(std::int16_t(delta)));
    Perform(WM_MOUSEWHEEL, w, pointParam(e->globalPosition()));
}

void TWinControl::keyPressEvent(QKeyEvent *e) {
    const WORD vk = virtualKey(e->key());
    if (vk) {
        const LPARAM l = 1 | (e->isAutoRepeat() ? (LPARAM(1) << 30) : 0);
        Perform(WM_KEYDOWN, vk, l);
    }
    const QString text = e->text();
    if (text.size() == 1 && text.at(0).unicode() < 256) Perform(WM_CHAR_MESSAGE, WPARAM(text.at(0).unicode()), 1);
}

void TWinControl::keyReleaseEvent(QKeyEvent *e) {
    if (e->isAutoRepeat()) return;
    if (const WORD vk = virtualKey(e->key())) Perform(WM_KEYUP, vk, LPARAM(1) | (LPARAM(3) << 30));
}

void TWinControl::focusInEvent(QFocusEvent *) { Perform(WM_SETFOCUS, 0, 0); }

void TWinControl::focusOutEvent(QFocusEvent *) { Perform(WM_KILLFOCUS, 0, 0); }

bool TWinControl::event(QEvent *e) {
    // Tab moves the focus on unless the control asks for all keys.
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
            (Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS)) {
            keyPressEvent(k);
            return true;
        }
    }
    return QWidget::event(e);
}

QScrollBar *TWinControl::scrollBar(int bar) {
    if (bar != SB_HORZ && bar != SB_VERT) return nullptr;
    if (!bars_[bar]) {
        auto *sb = new QScrollBar(bar == SB_VERT ? Qt::Vertical : Qt::Horizontal, this);
        sb->hide();
        connect(sb, &QScrollBar::actionTriggered, this, [this, sb, bar](int action) {
            int code;
            switch (action) {
                case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
                case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
                case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
                case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
                case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
                case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
                case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
                default: return;
            }
            scrollAction(bar, code, sb->sliderPosition());
        });
        connect(sb, &QScrollBar::sliderReleased, this,
                [this, sb, bar] { scrollAction(bar, SB_THUMBPOSITION, sb->sliderPosition()); });
        bars_[bar] = sb;
    }
    return bars_[bar];
}

void TWinControl::scrollAction(int bar, int code, int pos) {
    const UINT msg = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
    // A standard window scroll bar: lParam 0, and it moves only when told to.
    Perform(msg, MAKEWPARAM(WORD(code), WORD(pos)), 0);
    if (code != SB_THUMBTRACK) Perform(msg, MAKEWPARAM(WORD(SB_ENDSCROLL), 0), 0);
    syncScrollBar(bar);
}

void TWinControl::syncScrollBar(int bar) {
    int lo = 0, hi = 0;
    ::GetScrollRange(Handle(), bar, &lo, &hi);
    const int pos = ::GetScrollPos(handle_, bar);
    if (hi <= lo && !bars_[bar]) return;
    QScrollBar *sb = scrollBar(bar);
    const QSignalBlocker block(sb);
    sb->setRange(lo, hi);
    sb->setValue(pos);
    sb->setVisible(hi > lo);
    layoutScrollBars();
}

void TWinControl::layoutScrollBars() {
    const bool v = bars_[SB_VERT] && bars_[SB_VERT]->isVisibleTo(this);
    const bool h = bars_[SB_HORZ] && bars_[SB_HORZ]->isVisibleTo(this);
    const int ext = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (v) bars_[SB_VERT]->setGeometry(width() - ext, 0, ext, height() - (h ? ext : 0));
    if (h) bars_[SB_HORZ]->setGeometry(0, height() - ext, width() - (v ? ext : 0), ext);
}

void TWinControl::SetScrollRange(int bar, int minPos, int maxPos, bool) {
    ::SetScrollRange(Handle(), bar, minPos, maxPos, FALSE);
    syncScrollBar(bar);
}

int TWinControl::SetScrollPos(int bar, int pos, bool) {
    const int old = ::SetScrollPos(Handle(), bar, pos, FALSE);
    syncScrollBar(bar);
    return old;
}

int TWinControl::GetScrollPos(int bar) { return ::GetScrollPos(Handle(), bar); }

void TWinControl::GetScrollRange(int bar, int *minPos, int *maxPos) { ::GetScrollRange(Handle(), bar, minPos, maxPos); }

} // namespace forms
