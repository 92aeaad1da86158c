#pragma once
// The chart engine's call layer: one function per engine entry, named by role, with the
// entry's number in a comment. An engine object is addressed by the handle of its hidden
// window (h). Every call accepts a handle of 0 or one that is not an engine and then
// does nothing and returns 0 (a getter's out-parameter is left as it was).
//
// Property ids are int32. Which element type an id carries (int32, double, single,
// string, record) is the engine's own table; the caller passes a pointer to a value of
// that type. Index arguments are taken unchecked from the caller: an index outside the
// data is ignored, never read or written outside it.
//
// Notifications to the parent window (the window given to ceCreate or property 2915):
// WM_COMMAND with the code in HIWORD(wParam) and h in lParam, and message 3962 with
// lParam 0 or a RECT pointer (the part of the picture that changed). After scrolling
// itself the engine sends WM_HSCROLL / WM_VSCROLL (code, new position) with h in lParam.
//
// Messages the engine window takes (SendMessageA on h), client coordinates in lParam:
// WM_LBUTTONDOWN / WM_LBUTTONDBLCLK compute the hot spot (record 2610, click point
// 2637, location 3023) and start a zoom drag; WM_MOUSEMOVE drags or moves the
// floating cursor (3973, then 3953); WM_LBUTTONUP ends the drag and zooms (3966);
// WM_RBUTTONDOWN opens the popup menu; WM_KEYDOWN moves a point cursor or scrolls;
// WM_MOUSEWHEEL and WM_HSCROLL / WM_VSCROLL (lParam not h) scroll a zoomed chart
// (3981 / 3982 first); WM_COMMAND 53053 undoes the zoom (3967).
//
// GUI thread only.

#include "chart/engine/EngineIds.h"
#include "platform/win/Window.h"

#include <cstdint>
#include <functional>

class QWidget;

namespace chart {

// #19 Creates an object and its hidden window. kind == kNewObject: engine defaults;
// kind == an existing h (as integer): the new object takes over that object's whole
// state and the old object is destroyed (the caller goes on with the new h only).
// rect: window rectangle (0: 300 x 300); parent: the window that gets the
// notifications (may be 0). Returns h, 0 on failure (an unknown kind).
HWND ceCreate(std::intptr_t kind, int reserved, const RECT *rect, HWND parent, int childId);
// #20 Destroys the object and its window.
void ceDestroy(HWND h);

// #7 / #8 Int properties (also colours as 0x00BBGGRR, bools 0/1, enumeration codes,
// handles as int). A double or single id is converted.
int ceSetInt(HWND h, int id, std::int32_t value);
std::int32_t ceGetInt(HWND h, int id);
// #3 Sets from memory. count 0: one scalar of the id's type (double or single);
// 1: a record written back (id 3162); 100: the 100-point shift of ids 3659 (doubles)
// and 3276 (singles), Subsets x 100 values, subset after subset.
int ceSetMem(HWND h, int id, const void *value, int count);
// #4 Copies a double, a single or a record (2610, 3023, 3162, 2637) out.
int ceGetMem(HWND h, int id, void *out);
// #9 / #10 Strings (zero-terminated; at most 255 characters are kept). ceGetString
// fills a 256-byte buffer, always zero-terminated.
int ceSetString(HWND h, int id, const char *text);
int ceGetString(HWND h, int id, char *buffer256);
// #5 / #6 One element of an array property (pointer to a double, single, int32 or a
// zero-terminated string / 256-byte buffer, by the id's type).
int ceSetElem(HWND h, int id, int index, const void *value);
int ceGetElem(HWND h, int id, int index, void *out);
// #50 / #51 One element of a two-index property; for data arrays [subset, point].
int ceSetElem2(HWND h, int id, int subset, int point, const void *value);
int ceGetElem2(HWND h, int id, int subset, int point, void *out);

// #33 Re-initialises from the properties (scroll bars; the layout when nothing is drawn
// yet). #24 Rebuilds the picture at the window size (a, b are not used) and sets the
// dirty flag 2905; a resized engine window rebuilds it by itself. #34 Undoes the
// user's customisations (dialogs, popup menu) back to the programmed properties. #54
// Resets everything to the engine defaults (the window and parent stay).
int ceReinitialize(HWND h);
int ceResetImage(HWND h, int a, int b);
int ceReinitCustoms(HWND h);
int ceReset(HWND h);

// #23 The picture (owned by the engine, valid until the next rebuild), 0 before the
// first one.
HENHMETAFILE ceGetMetafile(HWND h);
// #71 Prepares the memory DC of a buffered paint: the bitmap selected into memDC is
// filled with the desk colour (then the caller replays the picture into it).
int cePrepareImages(HWND h, HDC paintDC, HDC memDC, const RECT *client);
// #41 Rebuilds the engine's cached bitmap (id 2575) and its memory DC (id 2580, with
// the bitmap selected) at the window size, with the picture drawn in.
int ceBuildCachedBitmap(HWND h);
// #2 Ends a paint: draws the zoom rectangle and the cursor over the picture on paintDC.
int ceEndPaint(HWND h, HDC paintDC, int reserved);

// Dialogs. Each returns 1 when the user confirmed (and what was asked was done), 0
// otherwise. #25 sets DialogResult (2981) to 1 or 0 and then sends 3974; #30 and #31
// open the same dialog on its colour and font pages, without 3974.
int ceCustomizeDialog(HWND h); // #25
int ceExportDialog(HWND h);    // #26: type, destination, size, file
int ceMaximizeDialog(HWND h);  // #27: the chart in a large window
int ceColorDialog(HWND h);     // #30
int ceFontDialog(HWND h);      // #31
// #28 text: a file to write the tab-separated data to; empty: a dialog showing the
// data, with Copy and Save. mode is not used.
int ceTextExportDialog(HWND h, int mode, const char *text);
// #29 flag 1: the print dialog of the dialogs layer first; 0: print at once. The
// pair is not used. #48 prints without a dialog; orientation as DefOrientation
// (0 the printer's, 1 landscape, 2 portrait). Printing goes through the printer layer.
int cePrintDialog(HWND h, int flag, const std::int32_t *pair);
int cePrintGraph(HWND h, int, int, int, int orientation);
// #32 The popup menu (also opened by a forwarded WM_RBUTTONDOWN when AllowPopup is
// set) at the mouse pointer; the pair is not used. Sends 3975 before it opens.
int cePopupMenu(HWND h, const std::int32_t *pair);

// Clipboard (pair: width, height in pixels; 0, 0 for the window size).
int ceMetaToClipboard(HWND h, const std::int32_t *pair); // #36 (SVG)
int ceBmpToClipboard(HWND h, const std::int32_t *pair);  // #38
int ceOleToClipboard(HWND h, const std::int32_t *pair);  // #40 (as the metafile)
int ceJpegToClipboard(HWND h, const std::int32_t *pair); // #56
int cePngToClipboard(HWND h, const std::int32_t *pair);  // #70
// Files: 1 when written. An empty name asks with the save dialog of the dialogs layer;
// 0 when that is cancelled or the file cannot be written.
int ceMetaToFile(HWND h, const std::int32_t *pair, const char *file); // #37 (SVG)
int ceBmpToFile(HWND h, const std::int32_t *pair, const char *file);  // #39
int ceJpegToFile(HWND h, const std::int32_t *pair, const char *file); // #57
int cePngToFile(HWND h, const std::int32_t *pair, const char *file);  // #67

// #49 Pixel point (*px, *py, client pixels) to graph values of axis *axis (an axis
// that does not exist: the one under the point). The engine draws no right or top
// axis, so right and top map as the left and bottom ones. 1 when the point lies in
// the graph area.
int cePixelToGraph(HWND h, int *axis, int *px, int *py, double *x, double *y, int right, int top, int reserved);

// #22 Saves the whole state into a new block (the caller frees it); the parent window,
// the paint flags and the user's zoom are not part of it. #21 Loads a block made by
// #22: a block that is truncated, of another version or damaged is refused (0) and
// the object is left as it was.
int ceSaveState(HWND h, HGLOBAL *block, std::uint32_t *size);
int ceLoadState(HWND h, HGLOBAL *block);

// The engine's Qt dialogs run modally. A test installs a script that gets each dialog
// (its objectName says which: "customize", "export", "maximize", "textExport",
// "popupMenu") once it is shown, sets its widgets and accepts or rejects it; a dialog
// the script leaves open is rejected. Colour, font, print and file dialogs go through
// the dialogs layer of platform/forms and are scripted there.
using DialogScript = std::function<void(QWidget &dialog)>;
void ceSetDialogScript(DialogScript script);

} // namespace chart
