#include "chart/ChartEngineApi.h"

#include "chart/engine/Engine.h"

using chart::engine::Engine;

namespace chart {

namespace {
template <class F> int call(HWND h, F f) {
    Engine *e = Engine::find(h);
    if (!e) return 0;
    Engine::Busy busy(*e);
    return f(*e);
}
} // namespace

HWND ceCreate(std::intptr_t kind, int, const RECT *rect, HWND parent, int childId) {
    return Engine::create(kind, rect, parent, childId);
}
void ceDestroy(HWND h) { Engine::destroy(h); }

int ceSetInt(HWND h, int id, std::int32_t v) {
    return call(h, [&](Engine &e) { return e.setInt(id, v); });
}
std::int32_t ceGetInt(HWND h, int id) {
    return call(h, [&](Engine &e) { return e.getInt(id); });
}
int ceSetMem(HWND h, int id, const void *p, int count) {
    return call(h, [&](Engine &e) { return e.setMem(id, p, count); });
}
int ceGetMem(HWND h, int id, void *out) {
    return call(h, [&](Engine &e) { return e.getMem(id, out); });
}
int ceSetString(HWND h, int id, const char *t) {
    return call(h, [&](Engine &e) { return e.setString(id, t); });
}
int ceGetString(HWND h, int id, char *buf) {
    return call(h, [&](Engine &e) { return e.getString(id, buf); });
}
int ceSetElem(HWND h, int id, int i, const void *p) {
    return call(h, [&](Engine &e) { return e.setElem(id, i, p); });
}
int ceGetElem(HWND h, int id, int i, void *out) {
    return call(h, [&](Engine &e) { return e.getElem(id, i, out); });
}
int ceSetElem2(HWND h, int id, int s, int p, const void *v) {
    return call(h, [&](Engine &e) { return e.setElem2(id, s, p, v); });
}
int ceGetElem2(HWND h, int id, int s, int p, void *out) {
    return call(h, [&](Engine &e) { return e.getElem2(id, s, p, out); });
}

int ceReinitialize(HWND h) {
    return call(h, [](Engine &e) { return e.reinitialize(); });
}
int ceResetImage(HWND h, int a, int b) {
    return call(h, [&](Engine &e) { return e.resetImage(a, b); });
}
int ceReinitCustoms(HWND h) {
    return call(h, [](Engine &e) { return e.reinitCustoms(); });
}
int ceReset(HWND h) {
    return call(h, [](Engine &e) { return e.reset(); });
}

HENHMETAFILE ceGetMetafile(HWND h) {
    Engine *e = Engine::find(h);
    return e ? e->metafile() : nullptr;
}
int cePrepareImages(HWND h, HDC paintDC, HDC memDC, const RECT *client) {
    return call(h, [&](Engine &e) { return e.prepareImages(paintDC, memDC, client); });
}
int ceBuildCachedBitmap(HWND h) {
    return call(h, [](Engine &e) { return e.buildCachedBitmap(); });
}
int ceEndPaint(HWND h, HDC paintDC, int) {
    return call(h, [&](Engine &e) { return e.endPaint(paintDC); });
}

int ceCustomizeDialog(HWND h) {
    return call(h, [](Engine &e) { return e.customizeDialog(); });
}
int ceExportDialog(HWND h) {
    return call(h, [](Engine &e) { return e.exportDialog(); });
}
int ceMaximizeDialog(HWND h) {
    return call(h, [](Engine &e) { return e.maximizeDialog(); });
}
int ceColorDialog(HWND h) {
    return call(h, [](Engine &e) { return e.colorDialog(); });
}
int ceFontDialog(HWND h) {
    return call(h, [](Engine &e) { return e.fontDialog(); });
}
int ceTextExportDialog(HWND h, int mode, const char *text) {
    return call(h, [&](Engine &e) { return e.textExportDialog(mode, text); });
}
int cePrintDialog(HWND h, int flag, const std::int32_t *pair) {
    return call(h, [&](Engine &e) { return e.printDialog(flag, pair); });
}
int cePopupMenu(HWND h, const std::int32_t *pair) {
    return call(h, [&](Engine &e) { return e.popupMenu(pair); });
}
int cePrintGraph(HWND h, int, int, int, int orientation) {
    return call(h, [&](Engine &e) { return e.printGraph(orientation); });
}

using Format = Engine::ExportFormat;
int ceMetaToClipboard(HWND h, const std::int32_t *p) {
    return call(h, [&](Engine &e) { return e.exportToClipboard(Format::Metafile, p); });
}
int ceBmpToClipboard(HWND h, const std::int32_t *p) {
    return call(h, [&](Engine &e) { return e.exportToClipboard(Format::Bmp, p); });
}
int ceOleToClipboard(HWND h, const std::int32_t *p) {
    return call(h, [&](Engine &e) { return e.exportToClipboard(Format::Metafile, p); });
}
int ceJpegToClipboard(HWND h, const std::int32_t *p) {
    return call(h, [&](Engine &e) { return e.exportToClipboard(Format::Jpeg, p); });
}
int cePngToClipboard(HWND h, const std::int32_t *p) {
    return call(h, [&](Engine &e) { return e.exportToClipboard(Format::Png, p); });
}
int ceMetaToFile(HWND h, const std::int32_t *p, const char *f) {
    return call(h, [&](Engine &e) { return e.exportToFile(Format::Metafile, p, f); });
}
int ceBmpToFile(HWND h, const std::int32_t *p, const char *f) {
    return call(h, [&](Engine &e) { return e.exportToFile(Format::Bmp, p, f); });
}
int ceJpegToFile(HWND h, const std::int32_t *p, const char *f) {
    return call(h, [&](Engine &e) { return e.exportToFile(Format::Jpeg, p, f); });
}
int cePngToFile(HWND h, const std::int32_t *p, const char *f) {
    return call(h, [&](Engine &e) { return e.exportToFile(Format::Png, p, f); });
}

int cePixelToGraph(HWND h, int *axis, int *px, int *py, double *x, double *y, int right, int top, int) {
    return call(h, [&](Engine &e) { return e.pixelToGraph(axis, px, py, x, y, right, top); });
}

int ceSaveState(HWND h, HGLOBAL *block, std::uint32_t *size) {
    return call(h, [&](Engine &e) { return e.saveState(block, size); });
}
int ceLoadState(HWND h, HGLOBAL *block) {
    return call(h, [&](Engine &e) { return e.loadState(block); });
}

void ceSetDialogScript(DialogScript script) { Engine::setDialogScript(std::move(script)); }

} // namespace chart
