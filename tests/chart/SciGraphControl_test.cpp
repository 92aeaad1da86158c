// The chart control against a recording engine: what each property, command and
// window message makes the control ask of the engine, and which events it raises.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>

#include <functional>
#include <memory>
#include <string>

#include "RecordingEngine.h"
#include "chart/SciGraphCtl.h"
#include "support/TestSupport.h"

using forms::TObject;

namespace {

const std::string kH = std::to_string(0x200); // engine handle after the window exists

class SciGraphControl : public ::testing::Test {
protected:
    // A control whose window exists: the engine object proper is installed.
    void SetUp() override {
        chart = std::make_unique<SciGraph>(nullptr, engine);
        chart->resize(320, 240);
        chart->Handle();
        engine.clear();
    }
    void TearDown() override { chart.reset(); }

    std::string intOf(HWND h) { return std::to_string(handleToInt(h)); }

    RecordingEngine engine;
    std::unique_ptr<SciGraph> chart;
};

} // namespace

TEST(SciGraphLife, ProvisionalObjectThenEngineObjectWithTheWindow) {
    RecordingEngine engine;
    {
        SciGraph chart(nullptr, engine);
        EXPECT_EQ(engine.texts(), std::vector<std::string>{"Create 304 0 0 300 300 noparent 12111"});
        EXPECT_EQ(handleToInt(chart.GethObject()), 0x100);
        EXPECT_EQ(chart.SGnarg1, 0);
        EXPECT_EQ(chart.SGnarg2, 0);
        EXPECT_TRUE(chart.SGstrarg1.isEmpty());

        // Stored properties go to the provisional object.
        chart.SetSubsets(2);
        EXPECT_EQ(engine.calls.back().h, chart.GethObject());
        engine.clear();
        chart.Loaded();
        EXPECT_EQ(engine.texts(), (std::vector<std::string>{"Reinitialize", "ResetImage 0 0"}));

        chart.resize(200, 100);
        engine.clear();
        const HWND window = chart.Handle();
        ASSERT_GE(engine.calls.size(), 5u);
        EXPECT_EQ(engine.calls[0].text, "Create 256 0 0 200 100 parent 100");
        EXPECT_EQ(engine.calls[1].text, "SetInt 2915 " + std::to_string(handleToInt(window)));
        EXPECT_EQ(handleToInt(engine.calls[1].h), 0x200);
        EXPECT_EQ(engine.calls[2].text, "Reinitialize");
        EXPECT_EQ(engine.calls[3].text, "ResetImage 0 0");
        EXPECT_EQ(engine.calls[4].text, "ShowWindow 0");
        EXPECT_EQ(handleToInt(chart.GethObject()), 0x200);
        engine.clear();
    }
    // Only the object in use is destroyed; the provisional one was taken over.
    EXPECT_EQ(engine.texts(), std::vector<std::string>{"Destroy"});
    EXPECT_EQ(handleToInt(engine.calls[0].h), 0x200);
}

TEST(SciGraphLife, FailedCreateKeepsTheProvisionalObjectAndNeverReRenders) {
    RecordingEngine engine;
    engine.handles = {handleFromInt<HWND>(0x100), nullptr};
    SciGraph chart(nullptr, engine);
    chart.Handle();
    EXPECT_EQ(handleToInt(chart.GethObject()), 0x100);
    EXPECT_FALSE(engine.has("SetInt 2915 " + std::to_string(handleToInt(chart.Handle()))));

    chart.SetDesigning(true);
    engine.clear();
    chart.SetGraphBackColor(forms::clRed); // an R property
    EXPECT_EQ(engine.texts(), std::vector<std::string>{"SetInt 2340 255"});
}

TEST_F(SciGraphControl, NeverSmallerThanFiftyPixels) {
    // Sized while hidden, then shown.
    chart->resize(20, 70);
    chart->show();
    QApplication::processEvents();
    EXPECT_EQ(chart->size(), QSize(50, 70));
    EXPECT_TRUE(engine.has("MoveWindow 0 0 50 70 0")) << engine.all();

    chart->resize(10, 10);
    QApplication::processEvents();
    EXPECT_EQ(chart->size(), QSize(50, 50));
    EXPECT_TRUE(engine.has("MoveWindow 0 0 50 50 0"));

    chart->SetBounds(5, 5, 30, 400);
    EXPECT_EQ(chart->geometry(), QRect(5, 5, 50, 400));
    EXPECT_TRUE(engine.has("MoveWindow 0 0 50 400 0"));
    EXPECT_EQ(engine.calls.back().text, "ShowWindow 0");
}

TEST_F(SciGraphControl, PropertyFamilies) {
    struct Case {
        std::function<void(SciGraph &)> write;
        std::string sent;
    };
    const Case cases[] = {
        {[](SciGraph &c) { c.SetShowLegend(true); }, "SetInt 2666 1"},
        {[](SciGraph &c) { c.SetPoints(5000); }, "SetInt 2120 5000"},
        {[](SciGraph &c) { c.SetPlottingMethod(sgBar); }, "SetInt 3090 1"},
        {[](SciGraph &c) { c.SetPlottingMethodII(sgStep2); }, "SetInt 3011 21"},
        {[](SciGraph &c) { c.SetTALocation(sgInsideAxis0); }, "SetInt 2961 100"},
        {[](SciGraph &c) { c.SetTALocation(sgInsideOverlap0); }, "SetInt 2961 0"},
        {[](SciGraph &c) { c.SetDateTimeMode(sgSerialDateTime); }, "SetInt 3018 1"},
        {[](SciGraph &c) { c.SetManualScaleControlY(sgManualMinAndMax); }, "SetInt 3050 3"},
        {[](SciGraph &c) { c.SetGraphBackColor(forms::TColor(0x123456)); }, "SetInt 2340 1193046"},
        {[](SciGraph &c) { c.SetManualMinX(0.5); }, "SetMem 3620 0 0.5"},
        {[](SciGraph &c) { c.SetFontSizeGlobalCntl(1.25f); }, "SetMem 2634 0 1.25"},
        {[](SciGraph &c) { c.SetMainTitle("Humidity"); }, "SetString 2105 \"Humidity\""},
        {[](SciGraph &c) { c.SetSubsetLabels(1, "T1"); }, "SetElem 2125 1 \"T1\""},
        {[](SciGraph &c) { c.SetSubsetLineTypes(2, 3); }, "SetElem 3271 2 3"},
        {[](SciGraph &c) { c.SetHorzLineAnnotHotSpot(0, true); }, "SetElem 3138 0 1"},
        {[](SciGraph &c) { c.SetVertLineAnnotation(4, 45000.5); }, "SetElem 3218 4 45000.5"},
        {[](SciGraph &c) { c.SetMultiAxesProportions(1, 0.25f); }, "SetElem 3007 1 0.25"},
        {[](SciGraph &c) { c.SetSubsetHatch(0, sgCrossHatch); }, "SetElem 2940 0 4"},
        {[](SciGraph &c) { c.SetYData(1, 7, 2.5f); }, "SetElem2 2140 1 7 2.5"},
        {[](SciGraph &c) { c.SetXDataII(0, 3, 45000.5); }, "SetElem2 3013 0 3 45000.5"},
        {[](SciGraph &c) { c.SetTAText(2, 1, "cell"); }, "SetElem2 2954 2 1 \"cell\""},
        {[](SciGraph &c) { c.SetCustomMenuState(1, 2, sgChecked); }, "SetElem2 2668 1 2 1"},
    };
    for (const Case &c : cases) {
        engine.clear();
        c.write(*chart);
        EXPECT_EQ(engine.texts(), std::vector<std::string>{c.sent});
        EXPECT_EQ(intOf(engine.calls.at(0).h), kH);
    }
}

TEST_F(SciGraphControl, GettersReturnTheEngineValue) {
    engine.ints[3090] = 5; // no member of its own: reads as the first
    EXPECT_EQ(chart->PlottingMethod(), sgLine);
    engine.ints[3090] = 1;
    EXPECT_EQ(chart->PlottingMethod(), sgBar);
    engine.ints[2961] = 205;
    EXPECT_EQ(chart->TALocation(), sgOutsideAxis5);
    engine.ints[2340] = int(forms::clBtnFace); // colours read back as they are
    EXPECT_EQ(chart->GraphBackColor(), forms::clBtnFace);
    engine.ints[2666] = 7;
    EXPECT_TRUE(chart->ShowLegend());
    EXPECT_FALSE(chart->Painting());
    engine.doubles[3620] = 0.75;
    EXPECT_EQ(chart->ManualMinX(), 0.75);
    engine.doubles[2140] = 3.5;
    EXPECT_EQ(chart->YData(1, 2), 3.5f);
    engine.strings[2125] = "RH";
    EXPECT_EQ(chart->SubsetLabels(0), "RH");
    engine.strings[2105] = "Title";
    EXPECT_EQ(chart->MainTitle(), "Title");
    engine.clear();
    engine.doubles[3058] = 1.5;
    EXPECT_EQ(chart->BestFitCoeffs(2, 3), 1.5);
    EXPECT_EQ(engine.texts(), std::vector<std::string>{"GetElem 3058 23"});
}

TEST_F(SciGraphControl, SystemColoursReachTheEngineAsRgbButPointColorsUnchanged) {
    const int rgb = forms::ColorToRGB(forms::clBtnFace);
    const QColor button = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(rgb, button.red() | button.green() << 8 | button.blue() << 16);
    EXPECT_EQ(forms::ColorToRGB(forms::clRed), forms::clRed);

    chart->SetDeskColor(forms::clBtnFace);
    chart->SetSubsetColors(2, forms::clBtnFace);
    chart->SetPointColors(0, 5, forms::clBtnFace);
    EXPECT_EQ(engine.texts(), (std::vector<std::string>{
                                  "SetInt 2320 " + std::to_string(rgb),
                                  "SetElem 2190 2 " + std::to_string(rgb),
                                  "SetElem2 3258 0 5 " + std::to_string(int(forms::clBtnFace)),
                              }));
}

TEST_F(SciGraphControl, LongStringsAreCutToTheTransferBuffer) {
    chart->SetMainTitle(QString(300, 'x'));
    EXPECT_EQ(engine.strings[2105], std::string(255, 'x'));
    engine.strings[2110] = std::string(255, 'y');
    EXPECT_EQ(chart->SubTitle().size(), 255);
}

TEST_F(SciGraphControl, RerenderOnlyAtDesignTimeAndOnlyForMarkedProperties) {
    chart->SetGraphBackColor(forms::clWhite);
    EXPECT_EQ(engine.texts(), std::vector<std::string>{"SetInt 2340 16777215"});

    chart->SetDesigning(true);
    engine.clear();
    chart->SetGraphBackColor(forms::clWhite);
    EXPECT_EQ(engine.texts(), (std::vector<std::string>{"SetInt 2340 16777215", "Reinitialize", "ResetImage 0 0"}));

    engine.clear();
    chart->SetAllowCustomization(true);
    chart->SetSubsetColors(0, forms::clRed);
    EXPECT_EQ(engine.texts(), (std::vector<std::string>{"SetInt 2165 1", "SetElem 2190 0 255"}));
}

TEST_F(SciGraphControl, Commands) {
    struct Case {
        eSGactions action;
        int n1, n2;
        const char *text;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {sgReinitAndReset, 3, 4, "", {"Reinitialize", "ResetImage 0 0"}},
        {sgReinitialize, 0, 0, "", {"Reinitialize"}},
        {sgResetImage, 640, 480, "", {"ResetImage 640 480"}},
        {sgInvalidateImage, 1, 1, "", {}},
        {sgMaximize, 0, 0, "", {"MaximizeDialog"}},
        {sgCustomize, 0, 0, "", {"CustomizeDialog"}},
        {sgExportDialog, 0, 0, "", {"ExportDialog"}},
        {sgTextExportDialog, 2, 0, "rows", {"TextExportDialog 2 \"rows\""}},
        {sgPrintDialog, 0, 0, "", {"PrintDialog 1 0 0"}},
        {sgPrintDialog, 5, 0, "", {"PrintDialog 0 5 0"}},
        {sgPrintDialog, 0, 7, "", {"PrintDialog 0 0 7"}},
        {sgColorDialog, 0, 0, "", {"ColorDialog"}},
        {sgFontDialog, 0, 0, "", {"FontDialog"}},
        {sgPopupMenu, 10, 20, "", {"PopupMenu 10 20"}},
        {sgMetaToClip, 1, 2, "", {"MetaToClip 1 2"}},
        {sgMetaToFile, 1, 2, "", {"MetaToFile 1 2 \"\""}},
        {sgBmpToClip, 1, 2, "", {"BmpToClip 1 2"}},
        {sgBmpToFile, 1, 2, "a.bmp", {"BmpToFile 1 2 \"a.bmp\""}},
        {sgOleToClip, 1, 2, "", {"OleToClip 1 2"}},
        {sgReinitCustoms, 0, 0, "", {"ReinitCustoms"}},
        {sgPrintGraph, 0, 0, "", {"GetInt 2150", "PrintGraph 0 0 0 2"}},
        {sgUndoZoom, 0, 0, "", {"Send 273 53053 0"}},
        {sgReset, 0, 0, "", {"Reset"}},
        {sgJpegToClip, 3, 4, "", {"JpegToClip 3 4"}},
        {sgJpegToFile, 3, 4, "c.jpg", {"JpegToFile 3 4 \"c.jpg\""}},
        {sgPngToClip, 3, 4, "", {"PngToClip 3 4"}},
        {sgPngToFile, 3, 4, "d.png", {"PngToFile 3 4 \"d.png\""}},
        {eSGactions(25), 0, 0, "", {}},
    };
    engine.ints[2150] = sgPortrait;
    for (const Case &c : cases) {
        engine.clear();
        chart->SGnarg1 = c.n1;
        chart->SGnarg2 = c.n2;
        chart->SGstrarg1 = c.text;
        chart->SetSGactions(c.action);
        EXPECT_EQ(engine.texts(), c.sent) << int(c.action);
        EXPECT_EQ(chart->SGactions(), sgReinitAndReset);
        EXPECT_EQ(chart->SGnarg1, c.n1); // arguments keep their values
    }
}

namespace {

// Paints the control now through a paint event and returns the engine calls it made.
std::vector<std::string> paint(SciGraph &chart, RecordingEngine &engine) {
    engine.clear();
    (void)chart.grab();
    // Grabbing a hidden widget delivers its pending resize first.
    std::vector<std::string> calls;
    for (const std::string &c : engine.texts())
        if (c.rfind("MoveWindow", 0) != 0 && c.rfind("ShowWindow", 0) != 0) calls.push_back(c);
    return calls;
}

} // namespace

TEST_F(SciGraphControl, PaintPaths) {
    // Prepared, cached and clean: a bitmap copy only, and the dirty flag cleared.
    engine.ints = {{2155, 1}, {2574, 1}, {2905, 0}, {2575, 0x400}, {2580, 0x404}};
    auto calls = paint(*chart, engine);
    EXPECT_EQ(calls, (std::vector<std::string>{"GetInt 2916", "SetInt 2916 1", "GetMetafile", "GetInt 2155",
                                               "GetInt 2905", "GetInt 2574", "GetInt 2575", "GetInt 2580",
                                               "GetInt 2575", "SetInt 2905 0", "PaintDone", "SetInt 2916 0"}));

    // Dirty: the engine rebuilds its bitmap and the picture is replayed into it.
    engine.ints[2905] = 1;
    calls = paint(*chart, engine);
    EXPECT_EQ(engine.count("RebuildCachedBitmap"), 1);
    EXPECT_EQ(engine.count("PrepareMemDC 320 240"), 1);
    EXPECT_EQ(engine.count("PlayMetaFile"), 1);
    EXPECT_EQ(engine.ints[2905], 0);

    // Prepared without cache: a bitmap of the control's own, replayed every time.
    engine.ints = {{2155, 1}, {2574, 0}, {2905, 0}};
    paint(*chart, engine);
    EXPECT_EQ(engine.count("PrepareMemDC"), 1);
    EXPECT_EQ(engine.count("PlayMetaFile"), 1);
    EXPECT_TRUE(engine.has("SetInt 2905 0"));

    // Direct: the picture straight onto the window, no memory DC.
    engine.ints = {};
    paint(*chart, engine);
    EXPECT_EQ(engine.count("PrepareMemDC"), 0);
    EXPECT_EQ(engine.count("PlayMetaFile"), 1);
    EXPECT_FALSE(engine.has("SetInt 2905 0"));

    // No picture yet: nothing to replay.
    engine.metafile = nullptr;
    paint(*chart, engine);
    EXPECT_EQ(engine.count("PlayMetaFile"), 0);

    // A paint already under way on this engine object: nothing at all.
    engine.ints[2916] = 1;
    EXPECT_EQ(paint(*chart, engine), std::vector<std::string>{"GetInt 2916"});
}

TEST_F(SciGraphControl, MouseForwarding) {
    const LPARAM at = MAKELPARAM(30, 40);
    chart->Perform(WM_MOUSEMOVE, 0, at);
    chart->Perform(WM_MOUSEMOVE, 0, at);
    chart->Perform(WM_MOUSEMOVE, MK_LBUTTON, at);
    EXPECT_EQ(engine.texts(),
              (std::vector<std::string>{"Send 512 0 " + std::to_string(at), "Send 512 1 " + std::to_string(at)}));

    engine.clear();
    chart->Perform(WM_RBUTTONDOWN, MK_RBUTTON, at);
    chart->Perform(WM_RBUTTONUP, 0, at);
    chart->Perform(WM_LBUTTONUP, 0, at);
    EXPECT_EQ(engine.texts(),
              (std::vector<std::string>{"Send 516 0 " + std::to_string(at), "Send 514 0 " + std::to_string(at)}));

    engine.clear();
    chart->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), at);
    EXPECT_EQ(engine.texts(), std::vector<std::string>{"Send 522 " + std::to_string(MAKEWPARAM(0, 120)) + " 0"});

    EXPECT_EQ(chart->Perform(WM_GETDLGCODE, 0, 0), 5);
    EXPECT_EQ(chart->Perform(WM_ERASEBKGND, 0, 0), 1);

    // At design time nothing but the wheel reaches the engine.
    chart->SetDesigning(true);
    engine.clear();
    chart->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    chart->Perform(WM_RBUTTONUP, 0, at);
    chart->Perform(WM_LBUTTONUP, 0, at);
    chart->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
    chart->Perform(WM_KEYDOWN, VK_LEFT, 1);
    EXPECT_EQ(chart->Perform(WM_GETDLGCODE, 0, 0), 0);
    EXPECT_TRUE(engine.calls.empty()) << engine.all();
}

TEST_F(SciGraphControl, QtInputArrivesAsWindowMessages) {
    chart->show();
    QApplication::processEvents();
    const QPoint p(30, 40);
    QMouseEvent move(QEvent::MouseMove, p, chart->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(chart.get(), &move);
    QMouseEvent release(QEvent::MouseButtonRelease, p, chart->mapToGlobal(p), Qt::RightButton, Qt::NoButton,
                        Qt::ShiftModifier);
    QApplication::sendEvent(chart.get(), &release);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(chart.get(), &key);
    // The chart asks for all keys: Tab goes to the engine instead of moving the focus.
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(chart.get(), &tab);
    const std::string l = std::to_string(MAKELPARAM(30, 40));
    EXPECT_TRUE(engine.has("Send 512 0 " + l)) << engine.all();
    EXPECT_TRUE(engine.has("Send 516 4 " + l)) << engine.all();
    EXPECT_TRUE(engine.has("Send 256 40 1")) << engine.all();
    EXPECT_TRUE(engine.has("Send 256 9 1")) << engine.all();
}

TEST_F(SciGraphControl, KeysReachTheHandlersBeforeTheEngine) {
    std::vector<std::string> order;
    chart->OnKeyDown = [&](TObject *, WORD &key, forms::TShiftState) {
        order.push_back("OnKeyDown " + std::to_string(key));
    };
    chart->Perform(WM_KEYDOWN, VK_RIGHT, 1);
    chart->Perform(WM_KEYUP, VK_RIGHT, 1);
    ASSERT_EQ(order.size(), 1u);
    EXPECT_EQ(order[0], "OnKeyDown 39");
    EXPECT_EQ(engine.texts(), (std::vector<std::string>{"Send 256 39 1", "Send 257 39 1"}));
}

TEST_F(SciGraphControl, ScrollBars) {
    std::vector<int> events;
    chart->OnVertScroll = [&](TObject *, forms::TScrollCode code, int &pos) {
        events.push_back(code);
        events.push_back(pos);
        pos = 99; // not used
    };
    const LPARAM fromEngine = handleToInt(chart->GethObject());
    chart->SetScrollRange(SB_VERT, 1, 50, false);

    // The engine ends its scrolling: nothing changes.
    chart->Perform(WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 20), fromEngine);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(chart->GetScrollPos(SB_VERT), 1);

    // The engine scrolled: the control's bar follows and the event is raised.
    chart->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 20), fromEngine);
    EXPECT_EQ(events, (std::vector<int>{SB_THUMBPOSITION, 20}));
    EXPECT_EQ(chart->GetScrollPos(SB_VERT), 20);
    EXPECT_TRUE(engine.calls.empty()) << engine.all();

    // The control's own bar moved: the engine is told, with lParam 0.
    chart->Perform(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    chart->Perform(WM_HSCROLL, MAKEWPARAM(SB_PAGEUP, 0), 0);
    EXPECT_EQ(engine.texts(), (std::vector<std::string>{"Send 277 1 0", "Send 276 2 0"}));
}

TEST_F(SciGraphControl, ScrollRangesMirrorTheEngineOnParamUpdate) {
    int updates = 0;
    chart->OnParamUpdate = [&](TObject *) { ++updates; };
    engine.scrollMin[SB_VERT] = 1;
    engine.scrollMax[SB_VERT] = 30;
    engine.scrollPos[SB_VERT] = 12;
    engine.scrollMin[SB_HORZ] = 0;
    engine.scrollMax[SB_HORZ] = 80;
    engine.scrollPos[SB_HORZ] = 5;
    chart->SetScrollRange(SB_HORZ, 1, 10, false);
    chart->SetScrollPos(SB_HORZ, 4, false);

    chart->Perform(WM_COMMAND, MAKEWPARAM(0, 3961), handleToInt(chart->GethObject()));
    int lo = -1, hi = -1;
    chart->GetScrollRange(SB_VERT, &lo, &hi);
    EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(1, 30));
    EXPECT_EQ(chart->GetScrollPos(SB_VERT), 12);
    chart->GetScrollRange(SB_HORZ, &lo, &hi);
    EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(0, 0));
    EXPECT_EQ(chart->GetScrollPos(SB_HORZ), 0);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(engine.count("GetScrollPos"), 1);
}

TEST_F(SciGraphControl, NotificationsRaiseTheirEvents) {
    std::vector<std::string> raised;
    auto note = [&](const char *name) { return [&raised, name](TObject *) { raised.push_back(name); }; };
    chart->OnPreHScroll = note("PreHScroll");
    chart->OnPreVScroll = note("PreVScroll");
    chart->OnZoomIn = note("ZoomIn");
    chart->OnZoomOut = note("ZoomOut");
    chart->OnCursorMoved = note("CursorMoved");
    chart->OnPreCursorMove = note("PreCursorMove");
    chart->OnCustomizeDlg = note("CustomizeDlg");
    chart->OnPopupMenu = note("PopupMenu");
    chart->OnCustomMenu = [&](TObject *, int menu, int sub) {
        raised.push_back("CustomMenu " + std::to_string(menu) + " " + std::to_string(sub));
    };
    engine.ints[2675] = 3;
    engine.ints[2676] = 1;
    const LPARAM h = handleToInt(chart->GethObject());
    for (WORD code : {3981, 3982, 3966, 3967, 3953, 3973, 3974, 3975, 3980, 3999})
        chart->Perform(WM_COMMAND, MAKEWPARAM(0, code), h);
    EXPECT_EQ(raised, (std::vector<std::string>{"PreHScroll", "PreVScroll", "ZoomIn", "ZoomOut", "CursorMoved",
                                                "PreCursorMove", "CustomizeDlg", "PopupMenu", "CustomMenu 3 1"}));

    // From any other window: nothing.
    raised.clear();
    chart->Perform(WM_COMMAND, MAKEWPARAM(0, 3974), 0);
    chart->Perform(WM_COMMAND, MAKEWPARAM(0, 3974), h + 4);
    EXPECT_TRUE(raised.empty());
}

TEST_F(SciGraphControl, EngineNotificationsArriveThroughTheWindowHandle) {
    int customized = 0;
    chart->OnCustomizeDlg = [&](TObject *) { ++customized; };
    SendMessageA(chart->Handle(), WM_COMMAND, MAKEWPARAM(0, 3974), handleToInt(chart->GethObject()));
    EXPECT_EQ(customized, 1);
}

TEST_F(SciGraphControl, CustomGridNumbersKeepAtMost47Characters) {
    const LPARAM h = handleToInt(chart->GethObject());
    std::strcpy(engine.gridNumber.text, "12:00");
    engine.gridNumber.axisType = 1;
    engine.gridNumber.number = 0.5;

    // No handler: the record is neither read nor written.
    chart->Perform(WM_COMMAND, MAKEWPARAM(0, 3979), h);
    EXPECT_TRUE(engine.calls.empty());

    std::string seen;
    chart->OnCustomGridnumbers = [&](TObject *, int type, int, double number, char *text) {
        seen = std::string(text) + " " + std::to_string(type) + " " + std::to_string(number);
        std::memset(text, 'a', 60);
        text[60] = '\0';
    };
    chart->Perform(WM_COMMAND, MAKEWPARAM(0, 3979), h);
    EXPECT_EQ(seen, "12:00 1 0.500000");
    EXPECT_EQ(engine.texts(), (std::vector<std::string>{"GetMem 3162", "SetMem 3162 1"}));
    EXPECT_EQ(std::string(engine.gridNumber.text), std::string(47, 'a'));
}

TEST_F(SciGraphControl, InvalidateRequestsFromTheEngine) {
    chart->show();
    QApplication::processEvents();
    engine.clear();
    RECT r{10, 10, 20, 20};
    chart->Perform(3962, 0, reinterpret_cast<LPARAM>(&r));
    chart->Perform(3962, 0, 0);
    EXPECT_TRUE(testsupport::waitUntil([&] { return engine.count("PaintDone") > 0; }));
}

namespace {

// Records the events a click raises.
struct Clicks {
    std::vector<std::string> raised;
    void watchClicks(SciGraph &c) {
        c.OnMouseDown = [this](TObject *, forms::TMouseButton, forms::TShiftState, int, int) {
            raised.push_back("MouseDown");
        };
        c.OnClick = [this](TObject *) { raised.push_back("Click"); };
        c.OnDblClick = [this](TObject *) { raised.push_back("DblClick"); };
    }
};

} // namespace

TEST_F(SciGraphControl, ClickOnADataPoint) {
    Clicks log;
    log.watchClicks(*chart);
    engine.hotSpot.type = 5;
    engine.hotSpot.first = 1;
    engine.hotSpot.second = 42;
    const LPARAM at = MAKELPARAM(30, 40);

    // No hot-spot handler: nothing at all, not even a click.
    chart->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
    chart->Perform(WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(log.raised.empty());
    EXPECT_EQ(engine.texts(), (std::vector<std::string>{"Send 513 1 " + std::to_string(at), "GetMem 2610",
                                                        "Send 514 0 " + std::to_string(at)}));

    chart->OnDataHotSpot = [&](TObject *, int dbl, int subset, int point) {
        log.raised.push_back("Data " + std::to_string(dbl) + " " + std::to_string(subset) + " " +
                             std::to_string(point));
    };
    chart->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
    chart->Perform(WM_LBUTTONUP, 0, at);
    chart->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    chart->Perform(WM_LBUTTONUP, 0, at);
    EXPECT_EQ(log.raised, (std::vector<std::string>{"Data 0 1 42", "Data 1 1 42"}));

    // Shift-click: the usual mouse events, and no hot spot is read.
    log.raised.clear();
    engine.clear();
    chart->Perform(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, at);
    chart->Perform(WM_LBUTTONUP, MK_SHIFT, at);
    EXPECT_EQ(log.raised, (std::vector<std::string>{"MouseDown", "Click"}));
    EXPECT_EQ(engine.count("GetMem"), 0);

    // Nothing under the mouse: the usual mouse events.
    log.raised.clear();
    engine.hotSpot.type = 0;
    chart->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
    chart->Perform(WM_LBUTTONUP, 0, at);
    EXPECT_EQ(log.raised, (std::vector<std::string>{"MouseDown", "Click"}));
}

TEST_F(SciGraphControl, HotSpotTypes) {
    std::vector<std::string> raised;
    auto put = [&](std::string s) { raised.push_back(std::move(s)); };
    auto str = [](auto... v) {
        std::string s;
        ((s += (s.empty() ? "" : " ") + std::to_string(v)), ...);
        return s;
    };
    chart->OnSubsetHotSpot = [&](TObject *, int d, int s) { put("Subset " + str(d, s)); };
    chart->OnGraphHotSpot = [&](TObject *, int d, int a, double x, double y) { put("Graph " + str(d, a, x, y)); };
    chart->OnGraphAnnotHotSpot = [&](TObject *, int d, int i) { put("GraphAnnot " + str(d, i)); };
    chart->OnVertLineAnnotHotSpot = [&](TObject *, int d, int i) { put("VertLine " + str(d, i)); };
    chart->OnMainTitle = [&](TObject *, int d) { put("MainTitle " + str(d)); };
    chart->OnMultiBottomTitle = [&](TObject *, int d, int i, int j) { put("MultiBottom " + str(d, i, j)); };
    chart->OnXAxisLabel = [&](TObject *, int d, int t) { put("XAxisLabel " + str(d, t)); };
    chart->OnYAxis = [&](TObject *, int d, int a, int r, double y) { put("YAxis " + str(d, a, r, y)); };
    chart->OnXAxis = [&](TObject *, int d, int t, double x) { put("XAxis " + str(d, t, x)); };
    chart->OnGridNumber = [&](TObject *, int d, int t, int a, double n) { put("Grid " + str(d, t, a, n)); };
    chart->OnTableAnnotation = [&](TObject *, int d, int i, int r, int c) { put("Table " + str(d, i, r, c)); };
    Clicks clicks;
    clicks.watchClicks(*chart);
    engine.location = {1, 0, 2.5, 7.5};
    engine.pixelX = 4.0;
    engine.pixelY = 8.0;
    engine.clickPoint[0] = 11;
    engine.clickPoint[1] = 22;
    engine.doubles[3123] = 0.25;

    struct Case {
        int type;
        std::string event;
    };
    const Case cases[] = {
        {1, "Subset 0 3"},
        {3, "Graph 0 1 2.500000 7.500000"},
        {6, "GraphAnnot 0 3"},
        {10, "VertLine 0 3"},
        {11, "MainTitle 0"},
        {14, "MultiBottom 0 3 6"},
        {16, "XAxisLabel 0 3"},
        {17, "YAxis 0 3 6 8.000000"},
        {18, "XAxis 0 3 4.000000"},
        {19, "Grid 0 1 3 0.250000"},
        {20, "Grid 0 2 3 0.250000"},
        {21, "Grid 0 0 3 0.250000"},
        {22, "Grid 0 3 3 0.250000"},
        {23, "Table 0 0 3 6"},
        {25, "Table 0 2 3 6"},
        {42, "Table 0 19 3 6"},
        {2, "MouseDown"},
        {4, "MouseDown"},
        {43, "MouseDown"},
        {7, ""}, // a hot spot without a handler: nothing, not even the mouse events
    };
    for (const Case &c : cases) {
        raised.clear();
        clicks.raised.clear();
        engine.clear();
        engine.hotSpot.type = c.type;
        engine.hotSpot.first = 3;
        engine.hotSpot.second = 6;
        chart->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        raised.insert(raised.end(), clicks.raised.begin(), clicks.raised.end());
        EXPECT_EQ(raised, c.event.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.event})
            << "type " << c.type;
        if (c.type == 17) {
            EXPECT_TRUE(engine.has("PixelToGraph 3 11 22 6 0")) << engine.all();
        }
        if (c.type == 18) {
            EXPECT_TRUE(engine.has("PixelToGraph 0 11 22 0 3")) << engine.all();
        }
        if (c.type == 19) {
            EXPECT_TRUE(engine.has("GetElem 3123 6"));
        }
    }

    // Axis hot spots without a handler fetch nothing more.
    chart->OnYAxis = nullptr;
    engine.clear();
    engine.hotSpot.type = 17;
    chart->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(engine.count("PixelToGraph"), 0);
    EXPECT_EQ(engine.count("GetMem 2637"), 0);
}

TEST_F(SciGraphControl, FocusChangesRepaintTheFocusFrame) {
    chart->show();
    chart->activateWindow();
    ASSERT_TRUE(testsupport::waitUntil([&] { return chart->hasFocus(); }));
    engine.ints[2632] = 1;
    chart->clearFocus();
    engine.clear();
    ASSERT_TRUE(testsupport::waitUntil([&] { return engine.has("PaintDone"); }));
    EXPECT_FALSE(engine.has("GetInt 2632")); // no frame without the focus

    engine.clear();
    chart->setFocus();
    EXPECT_TRUE(testsupport::waitUntil([&] { return engine.has("GetInt 2632"); })) << engine.all();
}
