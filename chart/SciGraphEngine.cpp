#include "chart/SciGraphEngine.h"

#include "chart/ChartEngineApi.h"
#include "chart/engine/Gdi.h"

namespace scigraph {

namespace {

const std::int32_t *pairPtr(const Pair *p) {
    static_assert(sizeof(Pair) == 2 * sizeof(std::int32_t));
    return &p->n1;
}

class ChartEngineCalls final : public SciGraphEngine {
public:
    HWND Create(int kind, int reserved, const RECT *rect, HWND parent, int childId) override {
        return chart::ceCreate(kind, reserved, rect, parent, childId);
    }
    void Destroy(HWND h) override { chart::ceDestroy(h); }

    void SetInt(HWND h, int id, int value) override { chart::ceSetInt(h, id, value); }
    int GetInt(HWND h, int id) override { return chart::ceGetInt(h, id); }
    void SetMem(HWND h, int id, const void *value, int count) override { chart::ceSetMem(h, id, value, count); }
    void GetMem(HWND h, int id, void *out) override { chart::ceGetMem(h, id, out); }
    void SetString(HWND h, int id, const char *text) override { chart::ceSetString(h, id, text); }
    void GetString(HWND h, int id, char *buffer256) override { chart::ceGetString(h, id, buffer256); }
    void SetElem(HWND h, int id, int index, const void *value) override { chart::ceSetElem(h, id, index, value); }
    void GetElem(HWND h, int id, int index, void *out) override { chart::ceGetElem(h, id, index, out); }
    void SetElem2(HWND h, int id, int subset, int point, const void *value) override {
        chart::ceSetElem2(h, id, subset, point, value);
    }
    void GetElem2(HWND h, int id, int subset, int point, void *out) override {
        chart::ceGetElem2(h, id, subset, point, out);
    }

    void Reinitialize(HWND h) override { chart::ceReinitialize(h); }
    void ResetImage(HWND h, int a, int b) override { chart::ceResetImage(h, a, b); }
    void ReinitCustoms(HWND h) override { chart::ceReinitCustoms(h); }
    void Reset(HWND h) override { chart::ceReset(h); }

    HENHMETAFILE GetMetafile(HWND h) override { return chart::ceGetMetafile(h); }
    void PrepareMemDC(HWND h, HDC paintDC, HDC memDC, const RECT *client) override {
        chart::cePrepareImages(h, paintDC, memDC, client);
    }
    void RebuildCachedBitmap(HWND h) override { chart::ceBuildCachedBitmap(h); }
    void PaintDone(HWND h, HDC paintDC, int reserved) override { chart::ceEndPaint(h, paintDC, reserved); }

    void CustomizeDialog(HWND h) override { chart::ceCustomizeDialog(h); }
    void ExportDialog(HWND h) override { chart::ceExportDialog(h); }
    void MaximizeDialog(HWND h) override { chart::ceMaximizeDialog(h); }
    void TextExportDialog(HWND h, int n, const char *text) override { chart::ceTextExportDialog(h, n, text); }
    void PrintDialog(HWND h, int flag, const Pair *pair) override { chart::cePrintDialog(h, flag, pairPtr(pair)); }
    void ColorDialog(HWND h) override { chart::ceColorDialog(h); }
    void FontDialog(HWND h) override { chart::ceFontDialog(h); }
    void PopupMenu(HWND h, const Pair *pair) override { chart::cePopupMenu(h, pairPtr(pair)); }
    void MetaToClip(HWND h, const Pair *pair) override { chart::ceMetaToClipboard(h, pairPtr(pair)); }
    void MetaToFile(HWND h, const Pair *pair, const char *file) override {
        chart::ceMetaToFile(h, pairPtr(pair), file);
    }
    void BmpToClip(HWND h, const Pair *pair) override { chart::ceBmpToClipboard(h, pairPtr(pair)); }
    void BmpToFile(HWND h, const Pair *pair, const char *file) override { chart::ceBmpToFile(h, pairPtr(pair), file); }
    void OleToClip(HWND h, const Pair *pair) override { chart::ceOleToClipboard(h, pairPtr(pair)); }
    void PrintGraph(HWND h, int a, int b, int c, int orientation) override {
        chart::cePrintGraph(h, a, b, c, orientation);
    }
    void JpegToClip(HWND h, const Pair *pair) override { chart::ceJpegToClipboard(h, pairPtr(pair)); }
    void JpegToFile(HWND h, const Pair *pair, const char *file) override {
        chart::ceJpegToFile(h, pairPtr(pair), file);
    }
    void PngToFile(HWND h, const Pair *pair, const char *file) override { chart::cePngToFile(h, pairPtr(pair), file); }
    void PngToClip(HWND h, const Pair *pair) override { chart::cePngToClipboard(h, pairPtr(pair)); }

    void PixelToGraph(HWND h, int *axis, int *x, int *y, double *outX, double *outY, int right, int top,
                      int reserved) override {
        chart::cePixelToGraph(h, axis, x, y, outX, outY, right, top, reserved);
    }

    LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override {
        return ::SendMessageA(hwnd, msg, wParam, lParam);
    }
    void ShowWindow(HWND hwnd, int cmd) override { ::ShowWindow(hwnd, cmd); }
    void MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) override {
        ::MoveWindow(hwnd, x, y, width, height, repaint);
    }
    void GetScrollRange(HWND hwnd, int bar, int *minPos, int *maxPos) override {
        ::GetScrollRange(hwnd, bar, minPos, maxPos);
    }
    int GetScrollPos(HWND hwnd, int bar) override { return ::GetScrollPos(hwnd, bar); }

    void PlayMetaFile(HDC dc, HENHMETAFILE metafile) override { ::PlayMetaFile(dc, metafile); }
};

} // namespace

SciGraphEngine &chartEngine() {
    static ChartEngineCalls calls;
    return calls;
}

} // namespace scigraph
