#pragma once
// The numbers and records that the chart engine and its callers share: property ids,
// commands, notification codes and the records read with ceGetMem. The engine reads
// them here, below the call layer in chart/ChartEngineApi.h that its callers use.

#include "platform/win/Window.h"

#include <cstdint>

namespace chart {

// Kind for ceCreate: a fresh object with the engine's defaults.
constexpr std::intptr_t kNewObject = 304;

// Ids without a control property.
constexpr int kIdImageDirty = 2905;    // non-zero: the cached bitmap must be rebuilt
constexpr int kIdCachedBitmap = 2575;  // HBITMAP as int (see handleFromInt)
constexpr int kIdMemoryDC = 2580;      // HDC as int
constexpr int kIdParentWindow = 2915;  // HWND as int
constexpr int kIdHotSpot = 2610;       // HotSpotInfo record, #4
constexpr int kIdGraphLocation = 3023; // GraphLocation record, #4
constexpr int kIdGridNumber = 3162;    // GridNumberInfo record, #4 / #3 count 1
constexpr int kIdClickPoint = 2637;    // two int32, #4
constexpr int kIdMenuIndex = 2675;
constexpr int kIdSubmenuIndex = 2676;
constexpr int kIdShiftXData = 3659; // #3 count 100: Subsets x 100 doubles
constexpr int kIdShiftYData = 3276; // #3 count 100: Subsets x 100 singles
// Ids with a control property that the paint and input paths read.
constexpr int kIdObjectType = 2100;
constexpr int kIdPainting = 2916;
constexpr int kIdPrepareImages = 2155;
constexpr int kIdCacheBmp = 2574;
constexpr int kIdFocalRect = 2632;
constexpr int kIdDefOrientation = 2150;
constexpr int kIdDialogResult = 2981;
constexpr int kIdGridHotSpotValue = 3123;

// WM_COMMAND wParam that undoes the zoom.
constexpr WPARAM kUndoZoomCommand = 53053;
// Message asking the parent to repaint (lParam: RECT pointer or 0).
constexpr UINT kMsgInvalidateRect = 3962;

// Notification codes (HIWORD of the WM_COMMAND wParam sent to the parent).
constexpr WORD kNotifyCursorMoved = 3953;
constexpr WORD kNotifyParamUpdate = 3961; // scroll ranges changed, parameters updated
constexpr WORD kNotifyZoomIn = 3966;
constexpr WORD kNotifyZoomOut = 3967;
constexpr WORD kNotifyPreCursorMove = 3973;
constexpr WORD kNotifyCustomizeDlg = 3974; // the customise dialog closed (DialogResult set)
constexpr WORD kNotifyPopupMenu = 3975;
constexpr WORD kNotifyCustomGridNumbers = 3979;
constexpr WORD kNotifyCustomMenu = 3980;
constexpr WORD kNotifyPreHScroll = 3981;
constexpr WORD kNotifyPreVScroll = 3982;

// Records read with ceGetMem (little-endian, packed as given).
#pragma pack(push, 1)
struct HotSpotInfo {         // id 2610, 28 bytes
    RECT rect;               // area of the hot spot in client pixels
    std::int32_t type = 0;   // 0 nothing, 1 subset legend, 3 graph area, 5 data point, ...
    std::int32_t first = 0;  // subset, annotation, axis or title index
    std::int32_t second = 0; // point index or flag
};
struct GraphLocation { // id 3023, 24 bytes
    std::int32_t axis = 0;
    std::int32_t reserved = 0;
    double x = 0;
    double y = 0;
};
struct GridNumberInfo { // id 3162, 64 bytes
    std::int32_t axisType = 0;
    std::int32_t axisIndex = 0;
    double number = 0;
    char text[48] = {};
};
#pragma pack(pop)
static_assert(sizeof(HotSpotInfo) == 28);
static_assert(sizeof(GraphLocation) == 24);
static_assert(sizeof(GridNumberInfo) == 64);

} // namespace chart
