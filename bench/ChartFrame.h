#pragma once
// One update of a chart as the chart control makes it with PrepareImages set and
// CacheBmp not: the rebuild, then its buffered paint (memory DC and bitmap, the
// metafile played into it, the copy onto the window's image).

#include "chart/ChartEngineApi.h"
#include "chart/engine/Gdi.h"

#include <QImage>
#include <QPainter>

namespace chartbench {

inline void paintFrame(HWND h, QImage &window, int width, int height) {
    chart::ceResetImage(h, 0, 0);
    QPainter painter(&window);
    HDC paintDC = CreatePainterDC(&painter, width, height);
    RECT client{0, 0, width, height};
    HENHMETAFILE metafile = chart::ceGetMetafile(h);
    HDC memDC = CreateCompatibleDC(paintDC);
    SetMapMode(memDC, MM_TEXT);
    HBITMAP bitmap = CreateCompatibleBitmap(paintDC, width, height);
    HBITMAP previous = SelectObject(memDC, bitmap);
    chart::cePrepareImages(h, paintDC, memDC, &client);
    SetViewportExtEx(memDC, width, height, nullptr);
    if (metafile) PlayMetaFile(memDC, metafile);
    SetViewportExtEx(paintDC, width, height, nullptr);
    BitBlt(paintDC, 0, 0, width, height, memDC, 0, 0, SRCCOPY);
    SelectObject(memDC, previous);
    chart::ceSetInt(h, chart::kIdImageDirty, 0);
    DeleteDC(memDC);
    DeleteObject(bitmap);
    chart::ceEndPaint(h, paintDC, 0);
    ReleasePainterDC(paintDC);
}

} // namespace chartbench
