#include "platform/win/Window.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

struct ScrollBar {
    int minPos = 0, maxPos = 0, pos = 0;
};

struct Window {
    std::shared_ptr<WindowProc> proc;
    HWND parent = nullptr;
    RECT rect;
    bool visible = false;
    ScrollBar bars[2];
};

std::unordered_map<std::intptr_t, Window> &windows() {
    static std::unordered_map<std::intptr_t, Window> map;
    return map;
}

Window *find(HWND h) {
    auto it = windows().find(reinterpret_cast<std::intptr_t>(h));
    return it == windows().end() ? nullptr : &it->second;
}

ScrollBar *bar(HWND h, int which) {
    Window *w = find(h);
    if (!w || (which != SB_HORZ && which != SB_VERT)) return nullptr;
    return &w->bars[which];
}

struct Block {
    std::vector<unsigned char> bytes;
    int locks = 0;
};

std::unordered_map<std::intptr_t, Block> &blocks() {
    static std::unordered_map<std::intptr_t, Block> map;
    return map;
}

Block *findBlock(HGLOBAL h) {
    auto it = blocks().find(reinterpret_cast<std::intptr_t>(h));
    return it == blocks().end() ? nullptr : &it->second;
}

} // namespace

std::intptr_t newHandleValue() {
    // Multiples of 4 from 0x10000 keep handles clear of small ids and kinds (304).
    static std::intptr_t next = 0x10000;
    next += 4;
    if (next > 0x7FFFFFF0) next = 0x10004;
    return next;
}

HWND CreateWindowHandle(WindowProc proc, HWND parent, const RECT &rect) {
    std::intptr_t v;
    do v = newHandleValue();
    while (windows().count(v));
    Window w;
    w.proc = std::make_shared<WindowProc>(std::move(proc));
    w.parent = parent;
    w.rect = rect;
    windows().emplace(v, std::move(w));
    return handleFromInt<HWND>(v);
}

BOOL DestroyWindow(HWND hwnd) { return windows().erase(reinterpret_cast<std::intptr_t>(hwnd)) ? TRUE : FALSE; }

BOOL IsWindow(HWND hwnd) { return find(hwnd) ? TRUE : FALSE; }

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = find(hwnd);
    if (!w || !w->proc || !*w->proc) return 0;
    std::shared_ptr<WindowProc> keep = w->proc;
    return (*keep)(hwnd, msg, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!find(hwnd) || !QCoreApplication::instance()) return FALSE;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [=] { SendMessageA(hwnd, msg, wParam, lParam); }, Qt::QueuedConnection);
    return TRUE;
}

HWND GetParent(HWND hwnd) {
    Window *w = find(hwnd);
    return w ? w->parent : nullptr;
}

HWND SetParent(HWND hwnd, HWND parent) {
    Window *w = find(hwnd);
    if (!w) return nullptr;
    HWND old = w->parent;
    w->parent = parent;
    return old;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    Window *w = find(hwnd);
    if (!w) return FALSE;
    bool was = w->visible;
    w->visible = cmd != SW_HIDE;
    return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    Window *w = find(hwnd);
    return w && w->visible ? TRUE : FALSE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    Window *w = find(hwnd);
    if (!w) return FALSE;
    width = std::max(width, 0);
    height = std::max(height, 0);
    bool resized = w->rect.right - w->rect.left != width || w->rect.bottom - w->rect.top != height;
    w->rect = RECT{x, y, x + width, y + height};
    if (resized) SendMessageA(hwnd, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(width), static_cast<WORD>(height)));
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT *rect) {
    Window *w = find(hwnd);
    if (!w || !rect) return FALSE;
    *rect = w->rect;
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT *rect) {
    Window *w = find(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL SetScrollRange(HWND hwnd, int which, int minPos, int maxPos, BOOL) {
    ScrollBar *b = bar(hwnd, which);
    if (!b) return FALSE;
    b->minPos = std::min(minPos, maxPos);
    b->maxPos = std::max(minPos, maxPos);
    b->pos = std::clamp(b->pos, b->minPos, b->maxPos);
    return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int which, int *minPos, int *maxPos) {
    ScrollBar *b = bar(hwnd, which);
    if (!b || !minPos || !maxPos) return FALSE;
    *minPos = b->minPos;
    *maxPos = b->maxPos;
    return TRUE;
}

int SetScrollPos(HWND hwnd, int which, int pos, BOOL) {
    ScrollBar *b = bar(hwnd, which);
    if (!b) return 0;
    int old = b->pos;
    b->pos = std::clamp(pos, b->minPos, b->maxPos);
    return old;
}

int GetScrollPos(HWND hwnd, int which) {
    ScrollBar *b = bar(hwnd, which);
    return b ? b->pos : 0;
}

HGLOBAL GlobalAlloc(UINT, std::size_t bytes) {
    // A state block is at most a few megabytes; refuse sizes that cannot be meant.
    if (bytes > (std::size_t(1) << 31)) return nullptr;
    Block b;
    try {
        b.bytes.assign(bytes, 0);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    std::intptr_t v = newHandleValue();
    blocks().emplace(v, std::move(b));
    return handleFromInt<HGLOBAL>(v);
}

void *GlobalLock(HGLOBAL h) {
    Block *b = findBlock(h);
    if (!b) return nullptr;
    ++b->locks;
    return b->bytes.data() ? static_cast<void *>(b->bytes.data()) : static_cast<void *>(&b->locks);
}

BOOL GlobalUnlock(HGLOBAL h) {
    Block *b = findBlock(h);
    if (!b || b->locks == 0) return FALSE;
    --b->locks;
    return b->locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL h) {
    Block *b = findBlock(h);
    return b ? b->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL h) { return blocks().erase(reinterpret_cast<std::intptr_t>(h)) ? nullptr : h; }
