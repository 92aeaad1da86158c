#pragma once
// A windowed control of the class library over a QWidget. Qt's events reach the
// control as the window messages they stand for (mouse, keys, wheel, focus, paint,
// size, scroll bars), and every message - from Qt or sent to the control's Handle by
// SendMessageA - goes through Dispatch, which a subclass overrides to handle messages
// by number and passes the rest on to the inherited handling. That default handling
// raises the class library's mouse, click, key and focus events.
//
// The Handle is a window of platform/win/Window.h (so another window, the chart
// engine's, can send messages to it); it is made on first use or when the control is
// first shown, and its creation dispatches WM_CREATE.

#include <QWidget>

#include <cstdint>
#include <functional>

#include "platform/forms/Component.h"
#include "platform/win/Window.h"

class QPainter;
class QRegion;
class QScrollBar;

namespace forms {

// Colours of the class library: 0x00BBGGRR, or a system colour 0x80000000 | index.
// A type of its own, as in the class library: a plain number becomes a colour by a cast.
enum TColor : std::int32_t {
    clBlack = 0x000000,
    clMaroon = 0x000080,
    clGreen = 0x008000,
    clOlive = 0x008080,
    clNavy = 0x800000,
    clPurple = 0x800080,
    clTeal = 0x808000,
    clGray = 0x808080,
    clSilver = 0xC0C0C0,
    clRed = 0x0000FF,
    clLime = 0x00FF00,
    clYellow = 0x00FFFF,
    clBlue = 0xFF0000,
    clFuchsia = 0xFF00FF,
    clAqua = 0xFFFF00,
    clWhite = 0xFFFFFF,
#define FORMS_SYSTEM_COLOR(index) static_cast<std::int32_t>(0x80000000u | (index))
    clScrollBar = FORMS_SYSTEM_COLOR(0),
    clBackground = FORMS_SYSTEM_COLOR(1),
    clActiveCaption = FORMS_SYSTEM_COLOR(2),
    clInactiveCaption = FORMS_SYSTEM_COLOR(3),
    clMenu = FORMS_SYSTEM_COLOR(4),
    clWindow = FORMS_SYSTEM_COLOR(5),
    clWindowFrame = FORMS_SYSTEM_COLOR(6),
    clMenuText = FORMS_SYSTEM_COLOR(7),
    clWindowText = FORMS_SYSTEM_COLOR(8),
    clCaptionText = FORMS_SYSTEM_COLOR(9),
    clActiveBorder = FORMS_SYSTEM_COLOR(10),
    clInactiveBorder = FORMS_SYSTEM_COLOR(11),
    clAppWorkSpace = FORMS_SYSTEM_COLOR(12),
    clHighlight = FORMS_SYSTEM_COLOR(13),
    clHighlightText = FORMS_SYSTEM_COLOR(14),
    clBtnFace = FORMS_SYSTEM_COLOR(15),
    clBtnShadow = FORMS_SYSTEM_COLOR(16),
    clGrayText = FORMS_SYSTEM_COLOR(17),
    clBtnText = FORMS_SYSTEM_COLOR(18),
    clInactiveCaptionText = FORMS_SYSTEM_COLOR(19),
    clBtnHighlight = FORMS_SYSTEM_COLOR(20),
    cl3DDkShadow = FORMS_SYSTEM_COLOR(21),
    cl3DLight = FORMS_SYSTEM_COLOR(22),
    clInfoText = FORMS_SYSTEM_COLOR(23),
    clInfoBk = FORMS_SYSTEM_COLOR(24),
#undef FORMS_SYSTEM_COLOR
};

// The RGB value of a colour: a system colour becomes its current value in the
// application's palette, any other colour is returned as it is.
TColor ColorToRGB(TColor color);

// One message as the handlers see it; Result is the answer of SendMessageA.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// lParam of WM_WINDOWPOSCHANGING: the handler may change the size before it is applied.
struct WINDOWPOS {
    HWND hwnd = nullptr;
    HWND hwndInsertAfter = nullptr;
    int x = 0, y = 0, cx = 0, cy = 0;
    UINT flags = 0;
};

// Character message behind OnKeyPress (not among the messages the chart engine needs).
inline constexpr UINT WM_CHAR_MESSAGE = 0x0102;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
// Placement in the parent: a side of its client area at the control's own width or
// height, or the whole of it; kept while the parent is resized.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
// Scroll codes of scroll events, in the order of the SB_ codes.
enum TScrollCode : unsigned char {
    scLineUp,
    scLineDown,
    scPageUp,
    scPageDown,
    scPosition,
    scTrack,
    scTop,
    scBottom,
    scEndScroll
};
// Shift state bits.
using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 0x01, ssAlt = 0x02, ssCtrl = 0x04, ssLeft = 0x08, ssRight = 0x10,
                             ssMiddle = 0x20, ssDouble = 0x40;

using TMouseEvent = TEvent<TObject *, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject *, TShiftState, int, int>;
using TKeyEvent = TEvent<TObject *, WORD &, TShiftState>;
using TKeyPressEvent = TEvent<TObject *, char &>;
using TDragDropEvent = TEvent<TObject *, TObject *, int, int>;
using TDragOverEvent = TEvent<TObject *, TObject *, int, int, bool &>;
using TEndDragEvent = TEvent<TObject *, TObject *, int, int>;

// A component and a widget: its owner is the parent widget when that is a component.
class TWinControl : public QWidget, public TComponent {
public:
    explicit TWinControl(QWidget *AOwner = nullptr);
    ~TWinControl() override;

    // The control's window; made (with WM_CREATE) on first use.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }

    // Dispatches a message at once and returns its Result.
    LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);

    // Position and size through WM_WINDOWPOSCHANGING, which may change the size.
    void SetBounds(int left, int top, int width, int height);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    void Invalidate();
    // Invalidates part of the client area without erasing it.
    void InvalidateRegion(const QRegion &region);
    // Paints now when an invalidation is pending (UpdateWindow).
    void Update();
    // The control's own scroll bars (shown while their range is not empty).
    void SetScrollRange(int bar, int minPos, int maxPos, bool redraw);
    int SetScrollPos(int bar, int pos, bool redraw);
    int GetScrollPos(int bar);
    void GetScrollRange(int bar, int *minPos, int *maxPos);

    TNotifyEvent OnClick, OnDblClick, OnEnter, OnExit;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TDragDropEvent OnDragDrop;
    TDragOverEvent OnDragOver;
    TEndDragEvent OnEndDrag;

protected:
    // Message handling by number: a subclass handles its messages and calls
    // TWinControl::Dispatch for the others and for "inherited handling".
    virtual void Dispatch(TMessage &message);
    // The painter of the paint event that is being dispatched as WM_PAINT, or 0 when
    // WM_PAINT arrives by other means.
    QPainter *PaintPainter() const { return painter_; }

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    LRESULT windowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    QScrollBar *scrollBar(int bar);
    void syncScrollBar(int bar);
    void layoutScrollBars();
    void scrollAction(int bar, int code, int pos);
    void realign();

    HWND handle_ = nullptr;
    TAlign align_ = alNone;
    QWidget *alignParent_ = nullptr;
    QPainter *painter_ = nullptr;
    bool clicked_ = false;
    bool updatePending_ = false;
    bool movingHandle_ = false;
    unsigned sizeMessages_ = 0;
    QScrollBar *bars_[2] = {nullptr, nullptr};
};

} // namespace forms
