#pragma once
// Everything the chart control asks of its engine object and of the engine's hidden
// window, as one interface: the engine calls by ordinal, the window calls the control
// makes on the engine window, and the metafile replay. The control holds a reference
// to one of these; the real one forwards to ChartEngineApi and the window layer, and a
// test can put a recording one in its place.

#include <cstdint>

#include "platform/win/Window.h"

namespace scigraph {

// The two command arguments {SGnarg1, SGnarg2} as the engine reads them.
struct Pair {
    std::int32_t n1 = 0;
    std::int32_t n2 = 0;
};

class SciGraphEngine {
public:
    virtual ~SciGraphEngine() = default;

    // Object life.
    virtual HWND Create(int kind, int reserved, const RECT *rect, HWND parent, int childId) = 0; // #19
    virtual void Destroy(HWND h) = 0;                                                            // #20

    // Properties.
    virtual void SetInt(HWND h, int id, int value) = 0;                                  // #7
    virtual int GetInt(HWND h, int id) = 0;                                              // #8
    virtual void SetMem(HWND h, int id, const void *value, int count) = 0;               // #3
    virtual void GetMem(HWND h, int id, void *out) = 0;                                  // #4
    virtual void SetString(HWND h, int id, const char *text) = 0;                        // #9
    virtual void GetString(HWND h, int id, char *buffer256) = 0;                         // #10
    virtual void SetElem(HWND h, int id, int index, const void *value) = 0;              // #5
    virtual void GetElem(HWND h, int id, int index, void *out) = 0;                      // #6
    virtual void SetElem2(HWND h, int id, int subset, int point, const void *value) = 0; // #50
    virtual void GetElem2(HWND h, int id, int subset, int point, void *out) = 0;         // #51

    // Re-initialisation and image.
    virtual void Reinitialize(HWND h) = 0;             // #33
    virtual void ResetImage(HWND h, int a, int b) = 0; // #24
    virtual void ReinitCustoms(HWND h) = 0;            // #34
    virtual void Reset(HWND h) = 0;                    // #54

    // Painting.
    virtual HENHMETAFILE GetMetafile(HWND h) = 0;                                      // #23
    virtual void PrepareMemDC(HWND h, HDC paintDC, HDC memDC, const RECT *client) = 0; // #71
    virtual void RebuildCachedBitmap(HWND h) = 0;                                      // #41
    virtual void PaintDone(HWND h, HDC paintDC, int reserved) = 0;                     // #2

    // Dialogs, printing, exports.
    virtual void CustomizeDialog(HWND h) = 0;                                  // #25
    virtual void ExportDialog(HWND h) = 0;                                     // #26
    virtual void MaximizeDialog(HWND h) = 0;                                   // #27
    virtual void TextExportDialog(HWND h, int n, const char *text) = 0;        // #28
    virtual void PrintDialog(HWND h, int flag, const Pair *pair) = 0;          // #29
    virtual void ColorDialog(HWND h) = 0;                                      // #30
    virtual void FontDialog(HWND h) = 0;                                       // #31
    virtual void PopupMenu(HWND h, const Pair *pair) = 0;                      // #32
    virtual void MetaToClip(HWND h, const Pair *pair) = 0;                     // #36
    virtual void MetaToFile(HWND h, const Pair *pair, const char *file) = 0;   // #37
    virtual void BmpToClip(HWND h, const Pair *pair) = 0;                      // #38
    virtual void BmpToFile(HWND h, const Pair *pair, const char *file) = 0;    // #39
    virtual void OleToClip(HWND h, const Pair *pair) = 0;                      // #40
    virtual void PrintGraph(HWND h, int a, int b, int c, int orientation) = 0; // #48
    virtual void JpegToClip(HWND h, const Pair *pair) = 0;                     // #56
    virtual void JpegToFile(HWND h, const Pair *pair, const char *file) = 0;   // #57
    virtual void PngToFile(HWND h, const Pair *pair, const char *file) = 0;    // #67
    virtual void PngToClip(HWND h, const Pair *pair) = 0;                      // #70

    // Pixel point to graph values.
    virtual void PixelToGraph(HWND h, int *axis, int *x, int *y, double *outX, double *outY, int right, int top,
                              int reserved) = 0; // #49

    // The engine window.
    virtual LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual void ShowWindow(HWND hwnd, int cmd) = 0;
    virtual void MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) = 0;
    virtual void GetScrollRange(HWND hwnd, int bar, int *minPos, int *maxPos) = 0;
    virtual int GetScrollPos(HWND hwnd, int bar) = 0;

    // Replays the engine's picture into a device context.
    virtual void PlayMetaFile(HDC dc, HENHMETAFILE metafile) = 0;
};

// The engine of this program: ChartEngineApi and the window layer.
SciGraphEngine &chartEngine();

} // namespace scigraph
