#pragma once
// SciGraph: the chart control. It wraps one chart engine object, passes every chart
// property through to a numbered engine property, paints the engine's picture into
// its own window (the engine window stays hidden), forwards mouse, key, wheel and
// scroll input to the engine window and turns the engine's notifications and hot
// spots into events.
//
// Properties are pairs of accessors generated from the catalogue: `Name()` reads,
// `SetName(value)` writes; array elements take their indexes first:
// `YData(subset, point)`, `SetYData(subset, point, value)`.
//
// Life: construct (a provisional engine object takes the stored properties), set the
// stored properties, call Loaded(); the engine object proper is made when the
// control's window is (first show or Handle()). At run time no setter re-renders:
// apply changes with SGactions (sgResetImage then sgInvalidateImage, or
// sgReinitAndReset).

#include <QString>

#include <cstdint>
#include <functional>

#include "chart/ChartEngineApi.h"
#include "chart/SciGraphCatalog.h"
#include "chart/SciGraphEngine.h"
#include "platform/forms/WinControl.h"

using forms::TObject;
using TPreHScroll = forms::TEvent<TObject *>;
using TPreVScroll = forms::TEvent<TObject *>;
using TScrollEvent = forms::TEvent<TObject *, forms::TScrollCode, int &>;
// After Sender: DblClick (0 single, 1 double click) and the hot spot's indexes/values.
using TSubsetHotSpot = forms::TEvent<TObject *, int, int>;                // SubsetIndex
using TDataHotSpot = forms::TEvent<TObject *, int, int, int>;             // SubsetIndex, PointIndex
using TGraphHotSpot = forms::TEvent<TObject *, int, int, double, double>; // AxisIndex, Xval, Yval
using TAnnotHotSpot = forms::TEvent<TObject *, int, int>;                 // nIndex
using TTitle = forms::TEvent<TObject *, int>;
using TMultiTitle = forms::TEvent<TObject *, int, int, int>;           // nIndex, nJustification
using TYAxisLabel = forms::TEvent<TObject *, int, int, int>;           // nAxis, nRight
using TXAxisLabelEvent = forms::TEvent<TObject *, int, int>;           // nTop
using TYAxis = forms::TEvent<TObject *, int, int, int, double>;        // nAxis, nRight, Yval
using TXAxis = forms::TEvent<TObject *, int, int, double>;             // nTop, Xval
using TGridNumber2 = forms::TEvent<TObject *, int, int, int, double>;  // nType, nAxis, dNumber
using TTableAnnotation = forms::TEvent<TObject *, int, int, int, int>; // nIndex, nRow, nColumn
// nAxisType, nAxisIndex, dNumber, szData: a 256-byte buffer holding the zero-terminated
// text, which the handler may rewrite (at most 47 characters are kept).
using TCustomGridNumbers = forms::TEvent<TObject *, int, int, double, char *>;
using TCustomMenu = forms::TEvent<TObject *, int, int>; // MenuIndex, SubmenuIndex

// Accessor declarations, by family.
#define SCIGRAPH_DECL_Prop(name, type)                                                                                 \
    auto name() const->type;                                                                                           \
    void Set##name(const type &value);
#define SCIGRAPH_DECL_Array(name, type)                                                                                \
    auto name(int index) const->type;                                                                                  \
    void Set##name(int index, const type &value);
#define SCIGRAPH_DECL_Array2(name, type)                                                                               \
    auto name(int subset, int point) const->type;                                                                      \
    void Set##name(int subset, int point, const type &value);
#define SCIGRAPH_DECL_Get(name, type) auto name() const->type;
#define SCIGRAPH_DECL_GetCoeff(name, type) auto name(int i, int j) const->type;
#define SCIGRAPH_DECL(name, id, family, type, mark) SCIGRAPH_DECL_##family(name, type)

class SciGraph : public forms::TWinControl {
public:
    using TColor = forms::TColor;

    explicit SciGraph(QWidget *AOwner = nullptr);
    // A control over another engine (a test's recording one); it must outlive the control.
    SciGraph(QWidget *AOwner, scigraph::SciGraphEngine &engine);
    ~SciGraph() override;

    void Loaded() override;

    // The engine object's handle, for direct engine calls (0 when there is none).
    HWND GethObject() const { return hObject_; }
    // At design time with the engine object installed: re-initialise, rebuild the
    // image and repaint. Otherwise nothing.
    void ResetandInvalidate();

    SCIGRAPH_PUBLISHED(SCIGRAPH_DECL)
    SCIGRAPH_PUBLIC(SCIGRAPH_DECL)
    SCIGRAPH_READONLY(SCIGRAPH_DECL)
    SCIGRAPH_ARRAYS(SCIGRAPH_DECL)

    // The command property: writing runs the command at once; reading yields
    // sgReinitAndReset, as the command is not remembered.
    eSGactions SGactions() const { return eSGactions(commandByte_); }
    void SetSGactions(eSGactions action);
    // Arguments of the next command; no engine call.
    std::int32_t SGnarg1 = 0;
    std::int32_t SGnarg2 = 0;
    QString SGstrarg1;

    // Events of the engine's notifications and hot spots.
    forms::TNotifyEvent OnParamUpdate;
    TScrollEvent OnVertScroll, OnHorzScroll;
    forms::TNotifyEvent OnCursorMoved, OnZoomIn, OnZoomOut;
    TSubsetHotSpot OnSubsetHotSpot;
    TDataHotSpot OnDataHotSpot;
    TGraphHotSpot OnGraphHotSpot;
    TAnnotHotSpot OnGraphAnnotHotSpot, OnXAxisAnnotHotSpot, OnYAxisAnnotHotSpot, OnHorzLineAnnotHotSpot,
        OnVertLineAnnotHotSpot;
    forms::TNotifyEvent OnPreCursorMove, OnCustomizeDlg, OnPopupMenu;
    TTitle OnMainTitle, OnSubTitle;
    TMultiTitle OnMultiSubTitle, OnMultiBottomTitle;
    TYAxisLabel OnYAxisLabel;
    TXAxisLabelEvent OnXAxisLabel;
    TYAxis OnYAxis;
    TXAxis OnXAxis;
    TCustomGridNumbers OnCustomGridnumbers;
    TTableAnnotation OnTableAnnotation;
    TCustomMenu OnCustomMenu;
    TPreHScroll OnPreHScroll;
    TPreVScroll OnPreVScroll;
    TGridNumber2 OnGridNumber;

protected:
    void Dispatch(forms::TMessage &message) override;

private:
    template <class T> T getScalar(int id) const;
    template <class T, scigraph::Mark M> void setScalar(int id, const T &value);
    template <class T> T getElem(int id, int index) const;
    template <class T, scigraph::Mark M> void setElem(int id, int index, const T &value);
    template <class T> T getElem2(int id, int subset, int point) const;
    template <class T, scigraph::Mark M> void setElem2(int id, int subset, int point, const T &value);
    // The pointer an element setter hands over: the value, the int scratch or the buffer.
    template <class T, scigraph::Mark M> const void *elementPointer(const T &value, float &single);
    template <class T> void *elementTarget() const;
    template <class T> T elementResult() const;
    const char *toBuffer(const QString &text) const;
    QString fromBuffer() const;
    bool runTime() const { return !(ComponentState() & forms::csDesigning); }
    void store(const forms::TMessage &m) { lastMessage_ = m; }

    void WMCreate(forms::TMessage &m);
    void WMPaint(forms::TMessage &m);
    void WMSize(forms::TMessage &m);
    void WMMouseMove(forms::TMessage &m);
    void WMLButtonDown(forms::TMessage &m);
    void WMLButtonUp(forms::TMessage &m);
    void WMLButtonDblClk(forms::TMessage &m);
    void WMRButtonUp(forms::TMessage &m);
    void WMKeyDown(forms::TMessage &m);
    void WMKeyUp(forms::TMessage &m);
    void WMSetFocus(forms::TMessage &m);
    void WMKillFocus(forms::TMessage &m);
    void WMVScroll(forms::TMessage &m);
    void WMHScroll(forms::TMessage &m);
    void WMCommand(forms::TMessage &m);
    void WMEraseBkGnd(forms::TMessage &m);
    void WMWindowPosChanging(forms::TMessage &m);
    void WMGetDlgCode(forms::TMessage &m);
    void SGWMInvalidateRect(forms::TMessage &m);
    void WMMOUSEWHEEL(forms::TMessage &m);

    void hotSpot(forms::TMessage &m, int dblClick);
    void scroll(forms::TMessage &m, int bar);
    void mirrorScrollRanges();
    void customGridNumbers();
    void invalidateFocusBand();

    scigraph::SciGraphEngine &engine_;
    RECT workRect_{};
    HWND hObject_ = nullptr;
    // Painting state.
    HENHMETAFILE metafile_ = nullptr;
    int dirty_ = 0;
    int prepareImages_ = 0;
    HBITMAP bitmap_ = nullptr;
    HBITMAP prevBitmap_ = nullptr;
    HDC memDC_ = nullptr;
    int cacheBmp_ = 0;
    int prevMapMode_ = 0;
    int prevRop_ = 0;
    // Engine window size of WMSize.
    int engineWidth_ = 0;
    int engineHeight_ = 0;
    mutable std::int32_t colorScratch_ = 0;
    forms::TMessage lastMessage_;
    WPARAM lastMoveWParam_ = 0;
    LPARAM lastMoveLParam_ = 0;
    int invalidateScaleX_ = 1;
    int invalidateScaleY_ = 1;
    POINT focusOutline_[5]{};
    int scrollMin_ = 0;
    int scrollMax_ = 0;
    int scrollPos_ = 0;
    // All string traffic with the engine: 255 characters and the terminating zero.
    mutable char buffer_[256]{};
    mutable QString cachedString_;
    std::uint8_t created_ = 0;
    mutable float floatScratch_ = 0;
    mutable double doubleScratch_ = 0;
    mutable std::int32_t elemScratch_ = 0;
    const std::uint8_t commandByte_ = 0;
};

#undef SCIGRAPH_DECL
#undef SCIGRAPH_DECL_Prop
#undef SCIGRAPH_DECL_Array
#undef SCIGRAPH_DECL_Array2
#undef SCIGRAPH_DECL_Get
#undef SCIGRAPH_DECL_GetCoeff
