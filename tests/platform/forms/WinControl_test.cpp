#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <string>
#include <vector>

#include "platform/forms/WinControl.h"

using namespace forms;

namespace {

// Records every message that reaches the control's handlers.
class Probe : public TWinControl {
public:
    using TWinControl::TWinControl;
    std::vector<UINT> messages;
    LRESULT answer = 0;

protected:
    void Dispatch(TMessage &m) override {
        messages.push_back(m.Msg);
        TWinControl::Dispatch(m);
        if (m.Msg == WM_COMMAND) m.Result = answer;
    }
};

void mouse(QWidget &w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, w.mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

} // namespace

TEST(WinControl, HandleIsAWindowThatDispatchesByNumber) {
    Probe p;
    EXPECT_FALSE(p.HandleAllocated());
    const HWND h = p.Handle();
    ASSERT_TRUE(IsWindow(h));
    EXPECT_EQ(p.messages, std::vector<UINT>{WM_CREATE});
    EXPECT_EQ(p.Handle(), h);
    p.answer = 42;
    EXPECT_EQ(SendMessageA(h, WM_COMMAND, 1, 2), 42);
    EXPECT_EQ(p.messages.back(), WM_COMMAND);

    // The control's own scroll bars live on its window.
    p.SetScrollRange(SB_VERT, 1, 20, false);
    p.SetScrollPos(SB_VERT, 30, true);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 20);
}

TEST(WinControl, ClickIsAPressAndAReleaseOnTheControl) {
    Probe p;
    p.resize(100, 100);
    std::vector<std::string> events;
    p.OnMouseDown = [&](TObject *, TMouseButton b, TShiftState, int x, int y) {
        events.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    p.OnMouseUp = [&](TObject *, TMouseButton b, TShiftState, int, int) {
        events.push_back("up " + std::to_string(b));
    };
    p.OnClick = [&](TObject *) { events.push_back("click"); };
    p.OnDblClick = [&](TObject *) { events.push_back("dblclick"); };

    mouse(p, QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
    mouse(p, QEvent::MouseButtonRelease, {10, 20}, Qt::LeftButton, Qt::NoButton);
    mouse(p, QEvent::MouseButtonDblClick, {10, 20}, Qt::LeftButton, Qt::LeftButton);
    mouse(p, QEvent::MouseButtonRelease, {10, 20}, Qt::LeftButton, Qt::NoButton);
    // Released outside the control: no click.
    mouse(p, QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
    mouse(p, QEvent::MouseButtonRelease, {150, 20}, Qt::LeftButton, Qt::NoButton);
    mouse(p, QEvent::MouseButtonPress, {5, 5}, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(events, (std::vector<std::string>{"down 0 10,20", "up 0", "click", "dblclick", "down 0 10,20", "up 0",
                                                "down 0 10,20", "up 0", "down 1 5,5"}));
    EXPECT_EQ(p.messages, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                                             WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN}));
}

TEST(WinControl, KeysBecomeVirtualKeysAndCharacters) {
    Probe p;
    std::vector<std::string> events;
    p.OnKeyDown = [&](TObject *, WORD &key, TShiftState) { events.push_back("down " + std::to_string(key)); };
    p.OnKeyPress = [&](TObject *, char &c) { events.push_back(std::string("press ") + c); };
    p.OnKeyUp = [&](TObject *, WORD &key, TShiftState) { events.push_back("up " + std::to_string(key)); };
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(&p, &a);
    QKeyEvent pgdn(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(&p, &pgdn);
    QKeyEvent pgdnUp(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(&p, &pgdnUp);
    EXPECT_EQ(events, (std::vector<std::string>{"down 65", "press a", "down 34", "up 34"}));
}

TEST(WinControl, SystemColoursFollowThePalette) {
    const QColor window = QApplication::palette().color(QPalette::Base);
    EXPECT_EQ(ColorToRGB(clWindow), window.red() | window.green() << 8 | window.blue() << 16);
    EXPECT_EQ(ColorToRGB(clTeal), clTeal);
    EXPECT_EQ(ColorToRGB(TColor(0x00123456)), 0x00123456);
}

TEST(WinControl, AlignFollowsTheParent) {
    QWidget parent;
    parent.resize(300, 200);
    parent.show();
    Probe client(&parent);
    client.SetAlign(alClient);
    EXPECT_EQ(client.geometry(), QRect(0, 0, 300, 200));
    parent.resize(400, 250);
    EXPECT_EQ(client.geometry(), QRect(0, 0, 400, 250));

    Probe bottom(&parent);
    bottom.resize(10, 30);
    bottom.SetAlign(alBottom);
    EXPECT_EQ(bottom.geometry(), QRect(0, 220, 400, 30));
    bottom.SetAlign(alNone);
    parent.resize(500, 300);
    EXPECT_EQ(bottom.geometry(), QRect(0, 220, 400, 30));
}
