#pragma once
// Window handles and messages in the manner of Win32, for the chart engine and the
// chart control. A window here is a registered message procedure with a rectangle, a
// visible flag, a parent and two scroll bars; nothing is drawn. Handles of every kind
// are small non-zero integers (they fit an int32, since the engine hands some of them
// out through its int properties) and are checked on every call: a stale or foreign
// handle is refused, never dereferenced.
//
// Drawing handles (HDC, HBITMAP, HENHMETAFILE) are declared here; the calls on them
// need Qt Gui and live in chart/engine/Gdi.h.
//
// GUI thread only, like the windows they stand for.

#include <cstddef>
#include <cstdint>
#include <functional>

using BOOL = int;
using UINT = std::uint32_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

using HWND = struct HWND__ *;
using HDC = struct HDC__ *;
using HBITMAP = struct HBITMAP__ *;
using HENHMETAFILE = struct HENHMETAFILE__ *;
using HGLOBAL = struct HGLOBAL__ *;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct RECT {
    LONG left = 0, top = 0, right = 0, bottom = 0;
};
struct POINT {
    LONG x = 0, y = 0;
};

// Handles travel through int32 properties and lParams.
template <class H> inline std::int32_t handleToInt(H h) {
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(h));
}
template <class H> inline H handleFromInt(std::intptr_t v) { return reinterpret_cast<H>(v); }
// A fresh handle value, distinct from every other handle of any kind handed out so far.
std::intptr_t newHandleValue();

constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr DWORD MAKELONG(WORD lo, WORD hi) { return static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16); }
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return MAKELONG(lo, hi); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return static_cast<LPARAM>(MAKELONG(lo, hi)); }
// Signed client coordinates packed in an lParam (a point left of or above the window
// is negative).
constexpr int GET_X_LPARAM(LPARAM l) { return static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(l))); }
constexpr int GET_Y_LPARAM(LPARAM l) { return static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(l))); }
// Wheel distance in the high word of wParam, multiples of WHEEL_DELTA, positive away
// from the user.
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM w) { return static_cast<std::int16_t>(HIWORD(w)); }
constexpr int WHEEL_DELTA = 120;

// Messages.
constexpr UINT WM_CREATE = 1;
constexpr UINT WM_DESTROY = 2;
constexpr UINT WM_SIZE = 5;
constexpr UINT WM_SETFOCUS = 7;
constexpr UINT WM_KILLFOCUS = 8;
constexpr UINT WM_PAINT = 15;
constexpr UINT WM_ERASEBKGND = 20;
constexpr UINT WM_WINDOWPOSCHANGING = 70;
constexpr UINT WM_GETDLGCODE = 135;
constexpr UINT WM_KEYDOWN = 256;
constexpr UINT WM_KEYUP = 257;
constexpr UINT WM_COMMAND = 273;
constexpr UINT WM_HSCROLL = 276;
constexpr UINT WM_VSCROLL = 277;
constexpr UINT WM_MOUSEMOVE = 512;
constexpr UINT WM_LBUTTONDOWN = 513;
constexpr UINT WM_LBUTTONUP = 514;
constexpr UINT WM_LBUTTONDBLCLK = 515;
constexpr UINT WM_RBUTTONDOWN = 516;
constexpr UINT WM_RBUTTONUP = 517;
constexpr UINT WM_MOUSEWHEEL = 522;

// Mouse-message key state (wParam).
constexpr WPARAM MK_LBUTTON = 0x01;
constexpr WPARAM MK_RBUTTON = 0x02;
constexpr WPARAM MK_SHIFT = 0x04;
constexpr WPARAM MK_CONTROL = 0x08;
constexpr WPARAM MK_MBUTTON = 0x10;

// Virtual keys the engine reacts to.
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_PRIOR = 0x21;
constexpr WPARAM VK_NEXT = 0x22;
constexpr WPARAM VK_END = 0x23;
constexpr WPARAM VK_HOME = 0x24;
constexpr WPARAM VK_LEFT = 0x25;
constexpr WPARAM VK_UP = 0x26;
constexpr WPARAM VK_RIGHT = 0x27;
constexpr WPARAM VK_DOWN = 0x28;

// WM_GETDLGCODE answers.
constexpr LRESULT DLGC_WANTARROWS = 0x01;
constexpr LRESULT DLGC_WANTALLKEYS = 0x04;

// ShowWindow.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// Scroll bars and scroll codes (LOWORD of a scroll message's wParam).
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr int SB_LINEUP = 0;
constexpr int SB_LINELEFT = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_LINERIGHT = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGELEFT = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_PAGERIGHT = 3;
constexpr int SB_THUMBPOSITION = 4;
constexpr int SB_THUMBTRACK = 5;
constexpr int SB_TOP = 6;
constexpr int SB_LEFT = 6;
constexpr int SB_BOTTOM = 7;
constexpr int SB_RIGHT = 7;
constexpr int SB_ENDSCROLL = 8;

// A window's message procedure. It runs synchronously inside SendMessageA.
using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Registers a window: hidden, rectangle `rect` in its parent's coordinates, scroll
// ranges 0..0. Returns its handle (never 0).
HWND CreateWindowHandle(WindowProc proc, HWND parent, const RECT &rect);
// Unregisters; messages to it are then dropped. FALSE for an unknown handle.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

// Calls the window's procedure at once; 0 when the handle is not a window. A window
// destroyed by its own procedure is safe: its procedure is kept alive for the call.
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues the message for the event loop (needs a QCoreApplication); FALSE when the
// handle is not a window. A window destroyed before delivery gets nothing.
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

HWND GetParent(HWND hwnd);
// Returns the previous parent, 0 on failure.
HWND SetParent(HWND hwnd, HWND parent);

// Returns whether the window was visible before.
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
// Moves and sizes (width and height below 0 count as 0). A size change sends WM_SIZE
// (wParam 0, lParam MAKELPARAM(width, height)) to the window.
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// Rectangle in parent coordinates.
BOOL GetWindowRect(HWND hwnd, RECT *rect);
// (0, 0, width, height).
BOOL GetClientRect(HWND hwnd, RECT *rect);

// Scroll bars of registered windows. A position is kept inside the range.
BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
BOOL GetScrollRange(HWND hwnd, int bar, int *minPos, int *maxPos);
// Returns the previous position, 0 on failure.
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND hwnd, int bar);

// Global memory blocks: a movable buffer with a lock count.
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// 0 when the size cannot be allocated. The contents are zeroed in every case.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
// Address of the contents (stable for the block's life), 0 for an unknown handle.
// A zero-sized block gives a non-zero address that must not be read.
void *GlobalLock(HGLOBAL h);
// TRUE while the block stays locked.
BOOL GlobalUnlock(HGLOBAL h);
std::size_t GlobalSize(HGLOBAL h);
// Returns 0 on success, the handle itself when it is not a block.
HGLOBAL GlobalFree(HGLOBAL h);
