// Input as the control forwards it: zoom, undo, hot spots, cursor, popup menu, the
// customise dialog and the paint support.

#include "ChartFixture.h"
#include "chart/engine/Engine.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstring>

using namespace fixture;
using chart::engine::Engine;

namespace {

LPARAM at(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

const chart::engine::Layout &layoutOf(HWND h) { return Engine::find(h)->layout(); }

chart::HotSpotInfo hotSpot(HWND h) {
    chart::HotSpotInfo hs;
    hs.type = -1;
    chart::ceGetMem(h, 2610, &hs);
    return hs;
}

QPoint pixelOf(HWND h, int subset, int point) {
    const auto &L = layoutOf(h);
    double x = 0;
    float y = 0;
    chart::ceGetElem2(h, 3013, subset, point, &x);
    chart::ceGetElem2(h, 2140, subset, point, &y);
    int axis = L.axisOfSubset(subset);
    return QPoint(static_cast<int>(std::lround(L.x.toPixel(x))),
                  static_cast<int>(std::lround(L.axes[axis].y.toPixel(y))));
}

struct ScriptGuard {
    explicit ScriptGuard(chart::DialogScript s) { chart::ceSetDialogScript(std::move(s)); }
    ~ScriptGuard() { chart::ceSetDialogScript(nullptr); }
};

} // namespace

TEST(ChartInput, DragZoomsAndUndoRestores) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    const QRect g = layoutOf(h).graph;
    double x0 = layoutOf(h).x.toValue(g.left() + 100), x1 = layoutOf(h).x.toValue(g.left() + 300);
    QImage before = replay(h);

    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(g.left() + 100, g.top() + 20));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, at(g.left() + 200, g.top() + 50));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, at(g.left() + 300, g.top() + 80));
    SendMessageA(h, WM_LBUTTONUP, 0, at(g.left() + 300, g.top() + 80));
    EXPECT_EQ(chart::ceGetInt(h, 3283), 1); // ZoomMode
    EXPECT_NEAR(getDouble(h, 3248), x0, 1e-9);
    EXPECT_NEAR(getDouble(h, 3249), x1, 1e-9);
    EXPECT_EQ(parent.count(3966), 1);
    EXPECT_NE(replay(h), before);

    SendMessageA(h, WM_COMMAND, 53053, 0);
    EXPECT_EQ(chart::ceGetInt(h, 3283), 0);
    EXPECT_EQ(parent.count(3967), 1);
    EXPECT_EQ(replay(h), before);

    // A click without a drag, and a chart that does not zoom, change nothing.
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(g.left() + 50, g.top() + 20));
    SendMessageA(h, WM_LBUTTONUP, 0, at(g.left() + 51, g.top() + 21));
    chart::ceSetInt(h, 3282, 0);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(g.left() + 50, g.top() + 20));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, at(g.left() + 250, g.top() + 90));
    SendMessageA(h, WM_LBUTTONUP, 0, at(g.left() + 250, g.top() + 90));
    EXPECT_EQ(chart::ceGetInt(h, 3283), 0);
    EXPECT_EQ(parent.count(3966), 1);
    chart::ceDestroy(h);
}

TEST(ChartInput, VerticalZoomOfOneAxisAndScrolling) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    chart::ceSetInt(h, 3652, 1); // ScrollingHorzZoom
    const auto &L = layoutOf(h);
    const QRect band = L.axes[0].band;
    double top = L.axes[0].y.toValue(band.top() + 10), bottom = L.axes[0].y.toValue(band.top() + 60);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(L.graph.left() + 100, band.top() + 10));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, at(L.graph.left() + 200, band.top() + 60));
    SendMessageA(h, WM_LBUTTONUP, 0, at(L.graph.left() + 200, band.top() + 60));
    chart::ceSetInt(h, 3006, 0);
    EXPECT_NEAR(getDouble(h, 3284), bottom, 1e-9);
    EXPECT_NEAR(getDouble(h, 3285), top, 1e-9);
    chart::ceSetInt(h, 3006, 1);
    EXPECT_EQ(getDouble(h, 3285), 0); // the temperature axis is not zoomed
    chart::ceSetInt(h, 3006, 0);

    int mn = -1, mx = -1;
    GetScrollRange(h, SB_HORZ, &mn, &mx);
    EXPECT_EQ(mn, 1);
    EXPECT_GT(mx, 1);
    EXPECT_GE(parent.count(3961), 1);
    double before = getDouble(h, 3248);
    SendMessageA(h, WM_HSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    EXPECT_GT(getDouble(h, 3248), before);
    EXPECT_EQ(parent.count(3981), 1);
    // The engine tells its parent where its bar went, with itself in lParam.
    bool reported = false;
    for (auto &m : parent.log) reported |= m.msg == WM_HSCROLL && m.l == reinterpret_cast<LPARAM>(h);
    EXPECT_TRUE(reported);
    // The wheel scrolls the zoomed range too, back towards the start.
    before = getDouble(h, 3248);
    SendMessageA(h, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_LT(getDouble(h, 3248), before);
    chart::ceSetInt(h, 2127, 2); // wheel disabled
    before = getDouble(h, 3248);
    SendMessageA(h, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(getDouble(h, 3248), before);

    SendMessageA(h, WM_COMMAND, 53053, 0);
    GetScrollRange(h, SB_HORZ, &mn, &mx);
    EXPECT_EQ(mx, 0);
    chart::ceDestroy(h);
}

TEST(ChartInput, AVerticalZoomKeepsToTheAxisWhereTheDragBegan) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    const auto &L = layoutOf(h);
    const QRect band = L.axes[0].band;
    double top = L.axes[0].y.toValue(band.top() + 10);
    double lowest = std::min(L.axes[0].y.v0, L.axes[0].y.v1);
    // From the humidity axis down into the temperature axis.
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(L.graph.left() + 100, band.top() + 10));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, at(L.graph.left() + 200, L.axes[1].band.center().y()));
    SendMessageA(h, WM_LBUTTONUP, 0, at(L.graph.left() + 200, L.axes[1].band.center().y()));
    chart::ceSetInt(h, 3006, 0);
    EXPECT_NEAR(getDouble(h, 3285), top, 1e-9);
    EXPECT_GE(getDouble(h, 3284), lowest - 1e-9);
    chart::ceDestroy(h);
}

TEST(ChartInput, HotSpotsOfAClick) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    chart::ceSetInt(h, 2600, 1); // AllowSubsetHotSpots
    chart::ceSetInt(h, 3205, 1); // AllowGraphHotSpots

    QPoint p = pixelOf(h, 2, 70);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(p.x() + 1, p.y() - 1));
    chart::HotSpotInfo hs = hotSpot(h);
    EXPECT_EQ(hs.type, 5);
    EXPECT_EQ(hs.first, 2);
    EXPECT_EQ(hs.second, 70);
    std::int32_t click[2] = {0, 0};
    chart::ceGetMem(h, 2637, click);
    EXPECT_EQ(click[0], p.x() + 1);
    EXPECT_EQ(click[1], p.y() - 1);

    auto legend = layoutOf(h).legend[1].first.center();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(legend.x(), legend.y()));
    hs = hotSpot(h);
    EXPECT_EQ(hs.type, 1);
    EXPECT_EQ(hs.first, 1);

    // Empty graph area far from the curves: type 3 and where it lies.
    const auto &L = layoutOf(h);
    QPoint empty(L.graph.left() + 30, L.axes[1].band.top() + 5);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(empty.x(), empty.y()));
    hs = hotSpot(h);
    EXPECT_EQ(hs.type, 3);
    chart::GraphLocation loc;
    chart::ceGetMem(h, 3023, &loc);
    EXPECT_EQ(loc.axis, 1);
    EXPECT_NEAR(loc.y, L.axes[1].y.toValue(empty.y()), 1e-9);
    int axis = 1, px = empty.x(), py = empty.y();
    double x = 0, y = 0;
    EXPECT_EQ(chart::cePixelToGraph(h, &axis, &px, &py, &x, &y, 0, 0, 0), 1);
    EXPECT_NEAR(x, loc.x, 1e-9);
    EXPECT_NEAR(y, loc.y, 1e-9);

    // Outside everything.
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(2, 398));
    EXPECT_EQ(hotSpot(h).type, 0);
    chart::ceDestroy(h);
}

TEST(ChartInput, FloatingCursorNotifiesAndDrawsItsPrompt) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    const QRect g = layoutOf(h).graph;
    SendMessageA(h, WM_MOUSEMOVE, 0, at(g.left() + 200, g.top() + 40));
    auto n = parent.notifications();
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0], 3973);
    EXPECT_EQ(n[1], 3953);
    bool repaint = false;
    for (auto &m : parent.log) repaint |= m.msg == 3962;
    EXPECT_TRUE(repaint);

    // The overlay of #2 draws over the picture.
    QImage plain = replay(h);
    QImage img = plain;
    {
        QPainter g2(&img);
        HDC dc = CreatePainterDC(&g2, img.width(), img.height());
        chart::ceEndPaint(h, dc, 0);
        ReleasePainterDC(dc);
    }
    EXPECT_NE(img, plain);
    chart::ceDestroy(h);
}

TEST(ChartInput, PopupMenuEntriesAndTheProgramsOwn) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    chart::ceSetInt(h, 2180, 1); // AllowPopup
    setElemStr(h, 2670, 0, "Mark sample");
    QString pick = "Show Legend";
    QStringList seen;
    ScriptGuard guard([&](QWidget &w) {
        auto *menu = qobject_cast<QMenu *>(&w);
        ASSERT_NE(menu, nullptr);
        for (QAction *a : menu->actions()) {
            seen << a->text();
            if (a->text() == pick) a->trigger();
        }
    });
    SendMessageA(h, WM_RBUTTONDOWN, 0, at(300, 200));
    EXPECT_EQ(chart::ceGetInt(h, 2666), 0); // legend switched off
    EXPECT_EQ(parent.count(3975), 1);
    for (const char *entry : {"Viewing Style", "Font Size", "Grid Lines", "Show Legend", "Maximize...", "Customize...",
                              "Export...", "Print...", "Mark sample"})
        EXPECT_TRUE(seen.contains(entry)) << entry;
    EXPECT_FALSE(seen.contains("Undo Zoom")); // not zoomed

    pick = "Mark sample";
    SendMessageA(h, WM_RBUTTONDOWN, 0, at(300, 200));
    EXPECT_EQ(parent.count(3980), 1);
    EXPECT_EQ(chart::ceGetInt(h, 2675), 0);

    // Without AllowPopup the button does nothing.
    chart::ceSetInt(h, 2180, 0);
    SendMessageA(h, WM_RBUTTONDOWN, 0, at(300, 200));
    EXPECT_EQ(parent.count(3975), 2);
    chart::ceDestroy(h);
}

TEST(ChartInput, CustomizeDialogOkCancelAndReinitCustoms) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    bool ok = true;
    ScriptGuard guard([&](QWidget &w) {
        ASSERT_EQ(w.objectName(), "customize");
        w.findChild<QLineEdit *>("mainTitle")->setText("Greenhouse");
        w.findChild<QPushButton *>("graphBackColor")->setProperty("colorRef", 0xFFFFFF);
        w.findChild<QPushButton *>("subsetColor1")->setProperty("colorRef", 0x00FF00);
        w.findChild<QCheckBox *>("showLegend")->setChecked(false);
        auto *box = w.findChild<QDialogButtonBox *>("buttons");
        box->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    ok = false;
    EXPECT_EQ(chart::ceCustomizeDialog(h), 0);
    EXPECT_EQ(chart::ceGetInt(h, 2981), 0);
    EXPECT_EQ(parent.count(3974), 1);
    char buf[256];
    chart::ceGetString(h, 2105, buf);
    EXPECT_STREQ(buf, "Humidity and temperature");

    ok = true;
    EXPECT_EQ(chart::ceCustomizeDialog(h), 1);
    EXPECT_EQ(chart::ceGetInt(h, 2981), 1);
    EXPECT_EQ(parent.count(3974), 2);
    chart::ceGetString(h, 2105, buf);
    EXPECT_STREQ(buf, "Greenhouse");
    EXPECT_EQ(chart::ceGetInt(h, 2340), 0xFFFFFF);
    std::int32_t c = 0;
    chart::ceGetElem(h, 2190, 1, &c);
    EXPECT_EQ(c, 0x00FF00);
    EXPECT_EQ(chart::ceGetInt(h, 2666), 0);

    // The user's changes are undone by #34; a program write is not.
    chart::ceSetInt(h, 2340, 0x202020);
    chart::ceReinitCustoms(h);
    chart::ceGetString(h, 2105, buf);
    EXPECT_STREQ(buf, "Humidity and temperature");
    EXPECT_EQ(chart::ceGetInt(h, 2340), 0x202020);
    chart::ceGetElem(h, 2190, 1, &c);
    EXPECT_EQ(c, 0xFF00FF);
    EXPECT_EQ(chart::ceGetInt(h, 2666), 1);
    chart::ceDestroy(h);
}

TEST(ChartInput, CustomizeDialogKeepsAnsiTextAsItIs) {
    // Strings travel as ANSI bytes: a degree sign is the single byte 0xB0 both ways.
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    setStr(h, 2105,
           "T1 \xB0"
           "C");
    QString shown;
    ScriptGuard guard([&](QWidget &w) {
        auto *title = w.findChild<QLineEdit *>("mainTitle");
        shown = title->text();
        title->setText(shown + QChar(0xB1));
        w.findChild<QDialogButtonBox *>("buttons")->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_EQ(chart::ceCustomizeDialog(h), 1);
    EXPECT_EQ(shown, QString("T1 ") + QChar(0xB0) + "C");
    char buf[256];
    chart::ceGetString(h, 2105, buf);
    EXPECT_STREQ(buf, "T1 \xB0"
                      "C\xB1");
    chart::ceDestroy(h);
}

TEST(ChartInput, DialogsNeverBlockWithoutAScript) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    EXPECT_EQ(chart::ceCustomizeDialog(h), 0);
    EXPECT_EQ(chart::ceExportDialog(h), 0);
    EXPECT_EQ(chart::ceMaximizeDialog(h), 1);
    EXPECT_EQ(chart::ceGetInt(h, 2981), 0);
    chart::ceDestroy(h);
}

TEST(ChartInput, CachedBitmapAndMemoryDCCarryThePicture) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    EXPECT_EQ(chart::ceGetInt(h, 2575), 0);
    chart::ceBuildCachedBitmap(h);
    HBITMAP bmp = handleFromInt<HBITMAP>(chart::ceGetInt(h, 2575));
    HDC mem = handleFromInt<HDC>(chart::ceGetInt(h, 2580));
    ASSERT_NE(BitmapImage(bmp), nullptr);
    EXPECT_EQ(DCImage(mem), BitmapImage(bmp));
    EXPECT_EQ(BitmapImage(bmp)->convertToFormat(QImage::Format_ARGB32_Premultiplied), shown(h));

    // The control's buffered path: prepare, replay, copy to the paint DC.
    QImage screen(800, 400, QImage::Format_ARGB32_Premultiplied);
    screen.fill(Qt::blue);
    {
        QPainter g(&screen);
        HDC paint = CreatePainterDC(&g, 800, 400);
        HDC own = CreateCompatibleDC(paint);
        HBITMAP b = CreateCompatibleBitmap(paint, 800, 400);
        HBITMAP old = SelectObject(own, b);
        RECT client{0, 0, 800, 400};
        EXPECT_EQ(chart::cePrepareImages(h, paint, own, &client), 1);
        EXPECT_EQ(PlayMetaFile(own, chart::ceGetMetafile(h)), TRUE);
        EXPECT_EQ(BitBlt(paint, 0, 0, 800, 400, own, 0, 0, SRCCOPY), TRUE);
        SelectObject(own, old);
        DeleteObject(b);
        DeleteDC(own);
        ReleasePainterDC(paint);
    }
    EXPECT_EQ(screen, shown(h));
    chart::ceDestroy(h);
}

TEST(ChartInput, CustomGridNumbersAskTheParentForEachText) {
    HWND h = nullptr;
    std::vector<double> asked;
    HWND parent = CreateWindowHandle(
        [&](HWND, UINT m, WPARAM w, LPARAM l) {
            if (m == WM_COMMAND && HIWORD(w) == 3979 && l == reinterpret_cast<LPARAM>(h)) {
                chart::GridNumberInfo info;
                chart::ceGetMem(h, 3162, &info);
                asked.push_back(info.number);
                std::string t = std::string(info.text) + std::string(60, '%');
                std::strncpy(info.text, t.c_str(), 47);
                info.text[47] = 0;
                chart::ceSetMem(h, 3162, &info, 1);
            }
            return LRESULT(0);
        },
        nullptr, RECT{0, 0, 800, 400});
    h = humidityChart(parent);
    QImage plain = replay(h);
    chart::ceSetInt(h, 3006, 1);
    chart::ceSetInt(h, 3160, 1); // CustomGridNumbersY on the temperature axis
    chart::ceSetInt(h, 3006, 0);
    chart::ceResetImage(h, 0, 0);
    EXPECT_EQ(asked, (std::vector<double>{0, 50, 100}));
    EXPECT_NE(replay(h), plain);
    chart::ceDestroy(h);
    DestroyWindow(parent);
}

TEST(ChartInput, AParentMayDestroyTheChartInsideANotification) {
    HWND h = nullptr;
    HWND parent = CreateWindowHandle(
        [&](HWND, UINT m, WPARAM w, LPARAM) {
            if (m == WM_COMMAND && HIWORD(w) == 3973) chart::ceDestroy(h);
            return LRESULT(0);
        },
        nullptr, RECT{0, 0, 800, 400});
    h = humidityChart(parent);
    const QRect g = layoutOf(h).graph;
    SendMessageA(h, WM_MOUSEMOVE, 0, at(g.left() + 20, g.top() + 20));
    EXPECT_EQ(Engine::find(h), nullptr);
    EXPECT_EQ(SendMessageA(h, WM_MOUSEMOVE, 0, at(g.left() + 30, g.top() + 20)), 0);
    DestroyWindow(parent);
}

TEST(ChartInput, GridNumberHotSpotsAndResizing) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    chart::ceSetInt(h, 3122, 1); // AllowGridNumberHotSpotsY
    chart::ceResetImage(h, 0, 0);
    const auto &numbers = layoutOf(h).yGridNumbers;
    ASSERT_GE(numbers.size(), 5u);
    const auto &fifty = numbers[1]; // axis 0: 0, 50, 100
    ASSERT_EQ(fifty.axis, 0);
    QPoint c = fifty.rect.center();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at(c.x(), c.y()));
    chart::HotSpotInfo hs = hotSpot(h);
    EXPECT_EQ(hs.type, 21);
    EXPECT_EQ(hs.first, 0);
    double value = 0;
    chart::ceGetElem(h, 3123, hs.second, &value);
    EXPECT_EQ(value, 50);

    // A resized window draws anew at its size.
    MoveWindow(h, 0, 0, 600, 300, FALSE);
    EXPECT_EQ(layoutOf(h).desk.size(), QSize(600, 300));
    EXPECT_EQ(chart::ceGetInt(h, 2905), 1);
    chart::ceDestroy(h);
}
