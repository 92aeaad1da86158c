#pragma once
// The few drawing calls of Win32 that the chart control's paint path makes, over Qt:
// a device context (HDC) is either a paint DC around a QPainter that the caller owns
// (the widget's paint event), or a memory DC into which a bitmap (a QImage) is
// selected; a metafile (HENHMETAFILE) is a QPicture. Handles are checked: an unknown
// one makes the call fail (FALSE / 0) and draws nothing.
//
// GUI thread only.

#include "platform/win/Window.h"

#include <functional>
#include <memory>

class QColor;
class QImage;
class QPainter;
class QPicture;
class QRect;

struct SIZE {
    LONG cx = 0, cy = 0;
};

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr int MM_TEXT = 1;
constexpr int R2_NOT = 6;
constexpr int R2_COPYPEN = 13;

// A paint DC that draws through `painter` onto a surface of width x height pixels.
// ReleasePainterDC forgets it (the painter stays the caller's).
HDC CreatePainterDC(QPainter *painter, int width, int height);
void ReleasePainterDC(HDC dc);

// Memory DC with no bitmap selected (drawing into it does nothing until one is).
HDC CreateCompatibleDC(HDC reference);
BOOL DeleteDC(HDC dc);
// A bitmap of width x height pixels (white), 0 for a size that cannot be meant.
HBITMAP CreateCompatibleBitmap(HDC reference, int width, int height);
// Deletes a bitmap; one still selected into a DC is deselected first.
BOOL DeleteObject(HBITMAP bitmap);
// Selects a bitmap into a memory DC; returns the previously selected one (0 if none).
HBITMAP SelectObject(HDC dc, HBITMAP bitmap);

// Copies width x height pixels from src (a memory DC with a bitmap) onto dst.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
// Replays a metafile onto dc; a viewport extent other than the metafile's frame scales it.
BOOL PlayMetaFile(HDC dc, HENHMETAFILE metafile);
BOOL SetViewportExtEx(HDC dc, int x, int y, SIZE *old);
int SetMapMode(HDC dc, int mode);
int SetROP2(HDC dc, int mode);
// Draws a 1-pixel line through the points in the DC's raster mode (R2_NOT inverts).
BOOL Polyline(HDC dc, const POINT *points, int count);

// Handles for the engine's own objects.
HENHMETAFILE CreateMetafileHandle(std::shared_ptr<const QPicture> picture, int width, int height);
// A metafile whose picture has been drawn already into `drawn` (opaque, width x
// height): played unscaled onto a raster surface it is that image; `record` makes the
// picture itself the first time it is asked for (scaled or other surfaces, or
// MetafilePicture), and must draw what `drawn` shows.
HENHMETAFILE CreateMetafileHandle(std::shared_ptr<const QImage> drawn,
                                  std::function<std::shared_ptr<const QPicture>()> record, int width, int height);
BOOL DeleteEnhMetaFile(HENHMETAFILE metafile);
HBITMAP CreateBitmapHandle(std::shared_ptr<QImage> image);
// The objects behind handles (0 for an unknown handle).
QImage *BitmapImage(HBITMAP bitmap);
const QPicture *MetafilePicture(HENHMETAFILE metafile);
// Fills r of the DC with a colour (a bitmap it covers whole is only marked so).
bool FillDC(HDC dc, const QRect &r, const QColor &colour);
// Image of the bitmap selected into a memory DC, or 0.
QImage *DCImage(HDC dc);
// The painter of a paint DC, or 0.
QPainter *DCPainter(HDC dc);
// Runs `draw` with a painter on the DC's surface (its painter, or one on the selected
// bitmap); false when the DC has neither.
bool PaintOnDC(HDC dc, const std::function<void(QPainter &)> &draw);
