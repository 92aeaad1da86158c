#include "chart/SciGraphCtl.h"

#include <QImage>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "chart/engine/Gdi.h"

using forms::TMessage;
using scigraph::Mark;

namespace {

constexpr int kMinimumSize = 50;
// Bits of a left-button message's wParam that make it no plain click: right button,
// Shift, Ctrl, middle button.
constexpr WPARAM kNotPlainClick = MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_MBUTTON;

template <class T>
constexpr bool isIntegerFamily = std::is_same_v<T, bool> || std::is_same_v<T, int> || std::is_enum_v<T>;

} // namespace

SciGraph::SciGraph(QWidget *AOwner) : SciGraph(AOwner, scigraph::chartEngine()) {}

SciGraph::SciGraph(QWidget *AOwner, scigraph::SciGraphEngine &engine) : forms::TWinControl(AOwner), engine_(engine) {
    // The stored properties of the form go into this provisional object; WMCreate
    // hands it to the engine object proper.
    const RECT r{0, 0, 300, 300};
    hObject_ = engine_.Create(int(chart::kNewObject), 0, &r, nullptr, 12111);
}

SciGraph::~SciGraph() {
    if (hObject_) {
        engine_.Destroy(hObject_);
        hObject_ = nullptr;
        created_ = 0;
    }
}

void SciGraph::Loaded() {
    forms::TWinControl::Loaded();
    engine_.Reinitialize(hObject_);
    engine_.ResetImage(hObject_, 0, 0);
    Invalidate();
}

void SciGraph::ResetandInvalidate() {
    if ((ComponentState() & forms::csDesigning) && created_ == 1) {
        engine_.Reinitialize(hObject_);
        engine_.ResetImage(hObject_, 0, 0);
        Invalidate();
    }
}

// ---- property families ------------------------------------------------------------

const char *SciGraph::toBuffer(const QString &text) const {
    // Longer texts are cut: the buffer holds 255 characters and the terminating zero.
    const QByteArray bytes = text.toLatin1();
    const std::size_t n = std::min<std::size_t>(std::size_t(bytes.size()), sizeof buffer_ - 1);
    std::memcpy(buffer_, bytes.constData(), n);
    buffer_[n] = '\0';
    return buffer_;
}

QString SciGraph::fromBuffer() const {
    buffer_[sizeof buffer_ - 1] = '\0';
    cachedString_ = QString::fromLatin1(buffer_, qsizetype(std::strlen(buffer_)));
    return cachedString_;
}

template <class T> T SciGraph::getScalar(int id) const {
    if constexpr (std::is_same_v<T, TColor>) {
        return TColor(engine_.GetInt(hObject_, id));
    } else if constexpr (std::is_same_v<T, bool>) {
        return engine_.GetInt(hObject_, id) != 0;
    } else if constexpr (std::is_same_v<T, int>) {
        return engine_.GetInt(hObject_, id);
    } else if constexpr (std::is_enum_v<T>) {
        return scigraph::enumFromEngine<T>(engine_.GetInt(hObject_, id));
    } else if constexpr (std::is_same_v<T, double>) {
        engine_.GetMem(hObject_, id, &doubleScratch_);
        return doubleScratch_;
    } else if constexpr (std::is_same_v<T, float>) {
        engine_.GetMem(hObject_, id, &floatScratch_);
        return floatScratch_;
    } else {
        static_assert(std::is_same_v<T, QString>);
        buffer_[0] = '\0';
        engine_.GetString(hObject_, id, buffer_);
        return fromBuffer();
    }
}

template <class T, Mark M> void SciGraph::setScalar(int id, const T &value) {
    if constexpr (std::is_same_v<T, TColor>) {
        engine_.SetInt(hObject_, id, M == Mark::RawColor ? value : forms::ColorToRGB(value));
    } else if constexpr (std::is_same_v<T, bool>) {
        engine_.SetInt(hObject_, id, value ? 1 : 0);
    } else if constexpr (std::is_same_v<T, int>) {
        engine_.SetInt(hObject_, id, value);
    } else if constexpr (std::is_enum_v<T>) {
        engine_.SetInt(hObject_, id, scigraph::enumToEngine(value));
    } else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, float>) {
        const T v = value;
        engine_.SetMem(hObject_, id, &v, 0);
    } else {
        static_assert(std::is_same_v<T, QString>);
        engine_.SetString(hObject_, id, toBuffer(value));
    }
    if constexpr (M == Mark::R) ResetandInvalidate();
}

template <class T, Mark M> const void *SciGraph::elementPointer(const T &value, float &single) {
    if constexpr (std::is_same_v<T, TColor>) {
        colorScratch_ = M == Mark::RawColor ? value : forms::ColorToRGB(value);
        return &colorScratch_;
    } else if constexpr (std::is_same_v<T, bool>) {
        colorScratch_ = value ? 1 : 0;
        return &colorScratch_;
    } else if constexpr (isIntegerFamily<T>) {
        colorScratch_ = std::int32_t(value);
        return &colorScratch_;
    } else if constexpr (std::is_same_v<T, double>) {
        return &value;
    } else if constexpr (std::is_same_v<T, float>) {
        single = value;
        return &single;
    } else {
        static_assert(std::is_same_v<T, QString>);
        return toBuffer(value);
    }
}

template <class T> void *SciGraph::elementTarget() const {
    if constexpr (std::is_same_v<T, double>) {
        return &doubleScratch_;
    } else if constexpr (std::is_same_v<T, float>) {
        return &floatScratch_;
    } else if constexpr (std::is_same_v<T, QString>) {
        buffer_[0] = '\0';
        return buffer_;
    } else {
        return &elemScratch_;
    }
}

template <class T> T SciGraph::elementResult() const {
    if constexpr (std::is_same_v<T, double>)
        return doubleScratch_;
    else if constexpr (std::is_same_v<T, float>)
        return floatScratch_;
    else if constexpr (std::is_same_v<T, QString>)
        return fromBuffer();
    else if constexpr (std::is_same_v<T, TColor>)
        return TColor(elemScratch_);
    else if constexpr (std::is_same_v<T, bool>)
        return elemScratch_ != 0;
    else if constexpr (std::is_enum_v<T>)
        return T(static_cast<unsigned char>(elemScratch_));
    else
        return elemScratch_;
}

template <class T> T SciGraph::getElem(int id, int index) const {
    engine_.GetElem(hObject_, id, index, elementTarget<T>());
    return elementResult<T>();
}

template <class T, Mark M> void SciGraph::setElem(int id, int index, const T &value) {
    float single = 0;
    engine_.SetElem(hObject_, id, index, elementPointer<T, M>(value, single));
}

template <class T> T SciGraph::getElem2(int id, int subset, int point) const {
    engine_.GetElem2(hObject_, id, subset, point, elementTarget<T>());
    return elementResult<T>();
}

template <class T, Mark M> void SciGraph::setElem2(int id, int subset, int point, const T &value) {
    float single = 0;
    engine_.SetElem2(hObject_, id, subset, point, elementPointer<T, M>(value, single));
}

// ---- the generated accessors -------------------------------------------------------

#define SCIGRAPH_DEF_Prop(name, id, type, mark)                                                                        \
    auto SciGraph::name() const->type { return getScalar<type>(id); }                                                  \
    void SciGraph::Set##name(const type &value) { setScalar<type, Mark::mark>(id, value); }
#define SCIGRAPH_DEF_Array(name, id, type, mark)                                                                       \
    auto SciGraph::name(int index) const->type { return getElem<type>(id, index); }                                    \
    void SciGraph::Set##name(int index, const type &value) { setElem<type, Mark::mark>(id, index, value); }
#define SCIGRAPH_DEF_Array2(name, id, type, mark)                                                                      \
    auto SciGraph::name(int subset, int point) const->type { return getElem2<type>(id, subset, point); }               \
    void SciGraph::Set##name(int subset, int point, const type &value) {                                               \
        setElem2<type, Mark::mark>(id, subset, point, value);                                                          \
    }
#define SCIGRAPH_DEF_Get(name, id, type, mark)                                                                         \
    auto SciGraph::name() const->type { return getScalar<type>(id); }
#define SCIGRAPH_DEF_GetCoeff(name, id, type, mark)                                                                    \
    auto SciGraph::name(int i, int j) const->type { return getElem<type>(id, i * 10 + j); }
#define SCIGRAPH_DEF(name, id, family, type, mark) SCIGRAPH_DEF_##family(name, id, type, mark)

SCIGRAPH_PUBLISHED(SCIGRAPH_DEF)
SCIGRAPH_PUBLIC(SCIGRAPH_DEF)
SCIGRAPH_READONLY(SCIGRAPH_DEF)
SCIGRAPH_ARRAYS(SCIGRAPH_DEF)

// ---- commands ----------------------------------------------------------------------

void SciGraph::SetSGactions(eSGactions action) {
    const HWND h = hObject_;
    const scigraph::Pair pair{SGnarg1, SGnarg2};
    switch (action) {
        case sgReinitAndReset:
            engine_.Reinitialize(h);
            engine_.ResetImage(h, 0, 0);
            Invalidate();
            break;
        case sgReinitialize: engine_.Reinitialize(h); break;
        case sgResetImage: engine_.ResetImage(h, SGnarg1, SGnarg2); break;
        case sgInvalidateImage: Invalidate(); break;
        case sgMaximize: engine_.MaximizeDialog(h); break;
        case sgCustomize: engine_.CustomizeDialog(h); break;
        case sgExportDialog: engine_.ExportDialog(h); break;
        case sgTextExportDialog: engine_.TextExportDialog(h, SGnarg1, toBuffer(SGstrarg1)); break;
        case sgPrintDialog: engine_.PrintDialog(h, SGnarg1 == 0 && SGnarg2 == 0 ? 1 : 0, &pair); break;
        case sgColorDialog: engine_.ColorDialog(h); break;
        case sgFontDialog: engine_.FontDialog(h); break;
        case sgPopupMenu: engine_.PopupMenu(h, &pair); break;
        case sgMetaToClip: engine_.MetaToClip(h, &pair); break;
        case sgMetaToFile: engine_.MetaToFile(h, &pair, toBuffer(SGstrarg1)); break;
        case sgBmpToClip: engine_.BmpToClip(h, &pair); break;
        case sgBmpToFile: engine_.BmpToFile(h, &pair, toBuffer(SGstrarg1)); break;
        case sgOleToClip: engine_.OleToClip(h, &pair); break;
        case sgReinitCustoms: engine_.ReinitCustoms(h); break;
        case sgPrintGraph: engine_.PrintGraph(h, 0, 0, 0, engine_.GetInt(h, chart::kIdDefOrientation)); break;
        case sgUndoZoom: engine_.SendMessage(h, WM_COMMAND, chart::kUndoZoomCommand, 0); break;
        case sgReset: engine_.Reset(h); break;
        case sgJpegToClip: engine_.JpegToClip(h, &pair); break;
        case sgJpegToFile: engine_.JpegToFile(h, &pair, toBuffer(SGstrarg1)); break;
        case sgPngToClip: engine_.PngToClip(h, &pair); break;
        case sgPngToFile: engine_.PngToFile(h, &pair, toBuffer(SGstrarg1)); break;
        default: break;
    }
}

// ---- messages ----------------------------------------------------------------------

void SciGraph::Dispatch(TMessage &m) {
    switch (m.Msg) {
        case WM_CREATE: WMCreate(m); break;
        case WM_PAINT: WMPaint(m); break;
        case WM_SIZE: WMSize(m); break;
        case WM_MOUSEMOVE: WMMouseMove(m); break;
        case WM_LBUTTONDOWN: WMLButtonDown(m); break;
        case WM_LBUTTONUP: WMLButtonUp(m); break;
        case WM_LBUTTONDBLCLK: WMLButtonDblClk(m); break;
        case WM_RBUTTONUP: WMRButtonUp(m); break;
        case WM_KEYDOWN: WMKeyDown(m); break;
        case WM_KEYUP: WMKeyUp(m); break;
        case WM_SETFOCUS: WMSetFocus(m); break;
        case WM_KILLFOCUS: WMKillFocus(m); break;
        case WM_VSCROLL: WMVScroll(m); break;
        case WM_HSCROLL: WMHScroll(m); break;
        case WM_COMMAND: WMCommand(m); break;
        case WM_ERASEBKGND: WMEraseBkGnd(m); break;
        case WM_WINDOWPOSCHANGING: WMWindowPosChanging(m); break;
        case WM_GETDLGCODE: WMGetDlgCode(m); break;
        case chart::kMsgInvalidateRect: SGWMInvalidateRect(m); break;
        case WM_MOUSEWHEEL: WMMOUSEWHEEL(m); break;
        default: forms::TWinControl::Dispatch(m); break;
    }
}

void SciGraph::WMCreate(TMessage &m) {
    forms::TWinControl::Dispatch(m);
    workRect_ = RECT{0, 0, width(), height()};
    const HWND h = engine_.Create(handleToInt(hObject_), 0, &workRect_, Handle(), 100);
    if (!h) return; // the provisional object stays in use
    engine_.SetInt(h, chart::kIdParentWindow, handleToInt(Handle()));
    // The engine took the provisional object over; it is not ours to destroy.
    hObject_ = h;
    engine_.Reinitialize(hObject_);
    engine_.ResetImage(hObject_, 0, 0);
    created_ = 1;
    engine_.ShowWindow(hObject_, SW_HIDE);
}

void SciGraph::WMSize(TMessage &m) {
    if (hObject_) {
        ::GetWindowRect(Handle(), &workRect_);
        engineWidth_ = std::max<int>(kMinimumSize, workRect_.right - workRect_.left);
        engineHeight_ = std::max<int>(kMinimumSize, workRect_.bottom - workRect_.top);
        engine_.MoveWindow(hObject_, 0, 0, engineWidth_, engineHeight_, FALSE);
        engine_.ShowWindow(hObject_, SW_HIDE);
    }
    forms::TWinControl::Dispatch(m);
}

void SciGraph::WMWindowPosChanging(TMessage &m) {
    if (auto *wp = reinterpret_cast<forms::WINDOWPOS *>(m.LParam)) {
        wp->cx = std::max(wp->cx, kMinimumSize);
        wp->cy = std::max(wp->cy, kMinimumSize);
    }
    forms::TWinControl::Dispatch(m);
}

void SciGraph::WMPaint(TMessage &) {
    const HWND h = hObject_;
    if (!h || engine_.GetInt(h, chart::kIdPainting) != 0)
        return; // the paint event has validated the region; nothing is drawn
    engine_.SetInt(h, chart::kIdPainting, 1);
    bitmap_ = nullptr;
    memDC_ = nullptr;
    metafile_ = engine_.GetMetafile(h);
    workRect_ = RECT{0, 0, width(), height()};
    const int w = workRect_.right, ht = workRect_.bottom;

    // WM_PAINT that did not come from a paint event draws into a scratch surface.
    QImage scratch;
    QPainter scratchPainter;
    QPainter *painter = PaintPainter();
    if (!painter) {
        scratch = QImage(std::max(1, w), std::max(1, ht), QImage::Format_ARGB32_Premultiplied);
        scratchPainter.begin(&scratch);
        painter = &scratchPainter;
    }
    const HDC paintDC = CreatePainterDC(painter, w, ht);

    prepareImages_ = engine_.GetInt(h, chart::kIdPrepareImages);
    dirty_ = engine_.GetInt(h, chart::kIdImageDirty);
    cacheBmp_ = engine_.GetInt(h, chart::kIdCacheBmp);

    if (prepareImages_) {
        if (cacheBmp_) {
            bitmap_ = handleFromInt<HBITMAP>(engine_.GetInt(h, chart::kIdCachedBitmap));
            if (!bitmap_ || dirty_) engine_.RebuildCachedBitmap(h);
            memDC_ = handleFromInt<HDC>(engine_.GetInt(h, chart::kIdMemoryDC));
        } else {
            memDC_ = CreateCompatibleDC(paintDC);
            SetMapMode(memDC_, MM_TEXT);
            bitmap_ = CreateCompatibleBitmap(paintDC, w, ht);
        }
    }

    if (prepareImages_ && memDC_) {
        if (cacheBmp_) bitmap_ = handleFromInt<HBITMAP>(engine_.GetInt(h, chart::kIdCachedBitmap));
        prevBitmap_ = SelectObject(memDC_, bitmap_);
        if (!cacheBmp_ || dirty_) {
            engine_.PrepareMemDC(h, paintDC, memDC_, &workRect_);
            SetViewportExtEx(memDC_, w, ht, nullptr);
            if (metafile_) engine_.PlayMetaFile(memDC_, metafile_);
            SetViewportExtEx(paintDC, w, ht, nullptr);
        }
        BitBlt(paintDC, 0, 0, w, ht, memDC_, 0, 0, SRCCOPY);
        SelectObject(memDC_, prevBitmap_);
        dirty_ = 0;
        engine_.SetInt(h, chart::kIdImageDirty, 0);
        if (!cacheBmp_) {
            if (memDC_) DeleteDC(memDC_);
            if (bitmap_) DeleteObject(bitmap_);
            memDC_ = nullptr;
            bitmap_ = nullptr;
        }
    } else {
        // A memory DC that could not be made leaves the control's own bitmap unused.
        if (!cacheBmp_ && bitmap_) {
            DeleteObject(bitmap_);
            bitmap_ = nullptr;
        }
        prevMapMode_ = SetMapMode(paintDC, MM_TEXT);
        SetViewportExtEx(paintDC, w, ht, nullptr);
        if (metafile_) engine_.PlayMetaFile(paintDC, metafile_);
        SetMapMode(paintDC, prevMapMode_);
    }

    if (hasFocus() && engine_.GetInt(h, chart::kIdFocalRect) != 0) {
        prevRop_ = SetROP2(paintDC, R2_NOT);
        prevMapMode_ = SetMapMode(paintDC, MM_TEXT);
        focusOutline_[0] = POINT{0, 0};
        focusOutline_[1] = POINT{w - 1, 0};
        focusOutline_[2] = POINT{w - 1, ht - 1};
        focusOutline_[3] = POINT{0, ht - 1};
        focusOutline_[4] = POINT{0, 0};
        Polyline(paintDC, focusOutline_, 5);
        SetROP2(paintDC, prevRop_);
        SetMapMode(paintDC, prevMapMode_);
    }

    engine_.PaintDone(h, paintDC, 0);
    ReleasePainterDC(paintDC);
    engine_.SetInt(h, chart::kIdPainting, 0);
}

void SciGraph::WMEraseBkGnd(TMessage &m) {
    // The picture covers the whole client area.
    m.Result = 1;
}

void SciGraph::invalidateFocusBand() {
    const QRect client = rect();
    InvalidateRegion(QRegion(client).xored(QRegion(client.adjusted(2, 2, -2, -2))));
}

void SciGraph::WMSetFocus(TMessage &m) {
    invalidateFocusBand();
    forms::TWinControl::Dispatch(m);
}

void SciGraph::WMKillFocus(TMessage &m) {
    invalidateFocusBand();
    forms::TWinControl::Dispatch(m);
}

void SciGraph::SGWMInvalidateRect(TMessage &m) {
    if (m.LParam == 0) {
        Invalidate();
        return;
    }
    const auto *r = reinterpret_cast<const RECT *>(m.LParam);
    InvalidateRegion(QRect(r->left * invalidateScaleX_, r->top * invalidateScaleY_,
                           (r->right - r->left) * invalidateScaleX_, (r->bottom - r->top) * invalidateScaleY_));
}

void SciGraph::WMMouseMove(TMessage &m) {
    store(m);
    if (runTime() && hObject_ && (m.WParam != lastMoveWParam_ || m.LParam != lastMoveLParam_)) {
        // Only a changed position or button state is news to the engine.
        lastMoveWParam_ = m.WParam;
        lastMoveLParam_ = m.LParam;
        engine_.SendMessage(hObject_, WM_MOUSEMOVE, m.WParam, m.LParam);
    }
    forms::TWinControl::Dispatch(m);
}

void SciGraph::WMLButtonUp(TMessage &m) {
    store(m);
    if (runTime()) engine_.SendMessage(hObject_, WM_LBUTTONUP, m.WParam, m.LParam);
    forms::TWinControl::Dispatch(m);
}

void SciGraph::WMRButtonUp(TMessage &m) {
    store(m);
    // The engine opens its popup menu on a button-down.
    if (runTime()) engine_.SendMessage(hObject_, WM_RBUTTONDOWN, m.WParam, m.LParam);
    forms::TWinControl::Dispatch(m);
}

void SciGraph::WMKeyDown(TMessage &m) {
    store(m);
    forms::TWinControl::Dispatch(m);
    if (runTime()) engine_.SendMessage(hObject_, WM_KEYDOWN, m.WParam, m.LParam);
}

void SciGraph::WMKeyUp(TMessage &m) {
    store(m);
    forms::TWinControl::Dispatch(m);
    if (runTime()) engine_.SendMessage(hObject_, WM_KEYUP, m.WParam, m.LParam);
}

void SciGraph::WMMOUSEWHEEL(TMessage &m) {
    store(m);
    forms::TWinControl::Dispatch(m);
    if (isVisible()) {
        setFocus();
        Update();
    }
    if (hObject_) engine_.SendMessage(hObject_, WM_MOUSEWHEEL, m.WParam, 0);
}

void SciGraph::WMGetDlgCode(TMessage &m) {
    forms::TWinControl::Dispatch(m);
    if (runTime() && hObject_) m.Result = DLGC_WANTARROWS | DLGC_WANTALLKEYS;
}

void SciGraph::WMVScroll(TMessage &m) { scroll(m, SB_VERT); }

void SciGraph::WMHScroll(TMessage &m) { scroll(m, SB_HORZ); }

void SciGraph::scroll(TMessage &m, int bar) {
    forms::TWinControl::Dispatch(m);
    if (isVisible()) {
        setFocus();
        Update();
    }
    store(m);
    const int code = LOWORD(m.WParam);
    int pos = HIWORD(m.WParam);
    if (hObject_ && m.LParam == LPARAM(handleToInt(hObject_))) {
        // The engine reports its own scrolling: mirror the position.
        if (code == SB_ENDSCROLL) return;
        SetScrollPos(bar, pos, true);
        Update();
        TScrollEvent &event = bar == SB_VERT ? OnVertScroll : OnHorzScroll;
        if (event) event(this, forms::TScrollCode(code), pos); // a position written back is not used
        return;
    }
    if (hObject_) engine_.SendMessage(hObject_, m.Msg, m.WParam, 0);
}

void SciGraph::mirrorScrollRanges() {
    for (const int bar : {SB_VERT, SB_HORZ}) {
        scrollMin_ = 0;
        scrollMax_ = 0;
        engine_.GetScrollRange(hObject_, bar, &scrollMin_, &scrollMax_);
        if (scrollMin_ == 1) {
            SetScrollRange(bar, 1, scrollMax_, false);
            scrollPos_ = engine_.GetScrollPos(hObject_, bar);
        } else {
            SetScrollRange(bar, 0, 0, false);
            scrollPos_ = 0;
        }
        SetScrollPos(bar, scrollPos_, true);
    }
}

void SciGraph::customGridNumbers() {
    if (!OnCustomGridnumbers) return;
    chart::GridNumberInfo info{};
    engine_.GetMem(hObject_, chart::kIdGridNumber, &info);
    // The handler gets a buffer of its own with room to spare; only 47 characters
    // and the zero fit back into the record.
    char text[256] = {};
    std::memcpy(text, info.text, sizeof info.text);
    OnCustomGridnumbers(this, info.axisType, info.axisIndex, info.number, text);
    text[sizeof text - 1] = '\0';
    const std::size_t n = std::min(std::strlen(text), sizeof info.text - 1);
    std::memset(info.text, 0, sizeof info.text);
    std::memcpy(info.text, text, n);
    engine_.SetMem(hObject_, chart::kIdGridNumber, &info, 1);
}

void SciGraph::WMCommand(TMessage &m) {
    store(m);
    if (!hObject_ || m.LParam != LPARAM(handleToInt(hObject_))) return;
    auto raise = [this](const forms::TNotifyEvent &e) {
        if (e) e(this);
    };
    switch (HIWORD(m.WParam)) {
        case chart::kNotifyCustomGridNumbers: customGridNumbers(); break;
        case chart::kNotifyCustomMenu:
            if (OnCustomMenu)
                OnCustomMenu(this, engine_.GetInt(hObject_, chart::kIdMenuIndex),
                             engine_.GetInt(hObject_, chart::kIdSubmenuIndex));
            break;
        case chart::kNotifyPreHScroll: raise(OnPreHScroll); break;
        case chart::kNotifyPreVScroll: raise(OnPreVScroll); break;
        case chart::kNotifyZoomIn: raise(OnZoomIn); break;
        case chart::kNotifyZoomOut: raise(OnZoomOut); break;
        case chart::kNotifyCursorMoved: raise(OnCursorMoved); break;
        case chart::kNotifyPreCursorMove: raise(OnPreCursorMove); break;
        case chart::kNotifyCustomizeDlg: raise(OnCustomizeDlg); break;
        case chart::kNotifyPopupMenu: raise(OnPopupMenu); break;
        case chart::kNotifyParamUpdate:
            mirrorScrollRanges();
            raise(OnParamUpdate);
            break;
        default: break;
    }
}

void SciGraph::WMLButtonDown(TMessage &m) { hotSpot(m, 0); }

void SciGraph::WMLButtonDblClk(TMessage &m) { hotSpot(m, 1); }

void SciGraph::hotSpot(TMessage &m, int dbl) {
    store(m);
    if (!runTime()) {
        forms::TWinControl::Dispatch(m);
        return;
    }
    engine_.SendMessage(hObject_, m.Msg, m.WParam, m.LParam);
    if (m.WParam & kNotPlainClick) {
        forms::TWinControl::Dispatch(m);
        return;
    }
    chart::HotSpotInfo hs{};
    engine_.GetMem(hObject_, chart::kIdHotSpot, &hs);
    const int type = hs.type, first = hs.first, second = hs.second;
    if (type == 0 || type == 2 || type == 4 || type < 0 || type > 42) {
        forms::TWinControl::Dispatch(m);
        return;
    }
    // A hot spot takes the click: no OnMouseDown, OnClick or OnDblClick follow.
    switch (type) {
        case 1:
            if (OnSubsetHotSpot) OnSubsetHotSpot(this, dbl, first);
            break;
        case 3:
            if (OnGraphHotSpot) {
                chart::GraphLocation loc{};
                engine_.GetMem(hObject_, chart::kIdGraphLocation, &loc);
                OnGraphHotSpot(this, dbl, loc.axis, loc.x, loc.y);
            }
            break;
        case 5:
            if (OnDataHotSpot) OnDataHotSpot(this, dbl, first, second);
            break;
        case 6:
            if (OnGraphAnnotHotSpot) OnGraphAnnotHotSpot(this, dbl, first);
            break;
        case 7:
            if (OnXAxisAnnotHotSpot) OnXAxisAnnotHotSpot(this, dbl, first);
            break;
        case 8:
            if (OnYAxisAnnotHotSpot) OnYAxisAnnotHotSpot(this, dbl, first);
            break;
        case 9:
            if (OnHorzLineAnnotHotSpot) OnHorzLineAnnotHotSpot(this, dbl, first);
            break;
        case 10:
            if (OnVertLineAnnotHotSpot) OnVertLineAnnotHotSpot(this, dbl, first);
            break;
        case 11:
            if (OnMainTitle) OnMainTitle(this, dbl);
            break;
        case 12:
            if (OnSubTitle) OnSubTitle(this, dbl);
            break;
        case 13:
            if (OnMultiSubTitle) OnMultiSubTitle(this, dbl, first, second);
            break;
        case 14:
            if (OnMultiBottomTitle) OnMultiBottomTitle(this, dbl, first, second);
            break;
        case 15:
            if (OnYAxisLabel) OnYAxisLabel(this, dbl, first, second);
            break;
        case 16:
            if (OnXAxisLabel) OnXAxisLabel(this, dbl, first);
            break;
        case 17:
        case 18: {
            const bool assigned = type == 17 ? bool(OnYAxis) : bool(OnXAxis);
            if (!assigned) break;
            std::int32_t point[2] = {0, 0};
            engine_.GetMem(hObject_, chart::kIdClickPoint, point);
            int axis = type == 17 ? first : 0;
            int px = point[0], py = point[1];
            double x = 0, y = 0;
            if (type == 17) {
                engine_.PixelToGraph(hObject_, &axis, &px, &py, &x, &y, second, 0, 0);
                OnYAxis(this, dbl, first, second, y);
            } else {
                engine_.PixelToGraph(hObject_, &axis, &px, &py, &x, &y, 0, first, 0);
                OnXAxis(this, dbl, first, x);
            }
            break;
        }
        case 19:
        case 20:
        case 21:
        case 22: {
            static constexpr int kGridType[] = {1, 2, 0, 3};
            engine_.GetElem(hObject_, chart::kIdGridHotSpotValue, second, &doubleScratch_);
            if (OnGridNumber) OnGridNumber(this, dbl, kGridType[type - 19], first, doubleScratch_);
            break;
        }
        default: // 23 to 42
            if (OnTableAnnotation) OnTableAnnotation(this, dbl, type - 23, first, second);
            break;
    }
}
