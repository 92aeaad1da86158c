#include "chart/engine/Gdi.h"

#include <QImage>
#include <QPainter>
#include <QPicture>

#include <unordered_map>

namespace {

struct DC {
    QPainter *painter = nullptr; // paint DC
    int width = 0, height = 0;   // paint DC surface
    HBITMAP bitmap = nullptr;    // memory DC
    SIZE viewport;               // 0, 0: none set
    int mapMode = MM_TEXT;
    int rop = R2_COPYPEN;
};

struct Metafile {
    std::shared_ptr<const QPicture> picture;
    int width = 0, height = 0;
};

std::unordered_map<std::intptr_t, DC> &dcs()
{
    static std::unordered_map<std::intptr_t, DC> m;
    return m;
}
std::unordered_map<std::intptr_t, std::shared_ptr<QImage>> &bitmaps()
{
    static std::unordered_map<std::intptr_t, std::shared_ptr<QImage>> m;
    return m;
}
std::unordered_map<std::intptr_t, Metafile> &metafiles()
{
    static std::unordered_map<std::intptr_t, Metafile> m;
    return m;
}

template <class Map, class H> auto *lookup(Map &m, H h)
{
    auto it = m.find(reinterpret_cast<std::intptr_t>(h));
    return it == m.end() ? nullptr : &it->second;
}

DC *findDC(HDC h) { return lookup(dcs(), h); }

// Runs f with a painter on the DC's surface; false when the DC has none.
template <class F> bool withPainter(HDC h, F f)
{
    DC *dc = findDC(h);
    if (!dc)
        return false;
    if (dc->painter) {
        f(*dc->painter, *dc);
        return true;
    }
    QImage *img = BitmapImage(dc->bitmap);
    if (!img || img->isNull())
        return false;
    QPainter p(img);
    f(p, *dc);
    return true;
}

} // namespace

HDC CreatePainterDC(QPainter *painter, int width, int height)
{
    if (!painter)
        return nullptr;
    std::intptr_t v = newHandleValue();
    DC dc;
    dc.painter = painter;
    dc.width = width;
    dc.height = height;
    dcs().emplace(v, dc);
    return handleFromInt<HDC>(v);
}

void ReleasePainterDC(HDC dc) { dcs().erase(reinterpret_cast<std::intptr_t>(dc)); }

HDC CreateCompatibleDC(HDC)
{
    std::intptr_t v = newHandleValue();
    dcs().emplace(v, DC{});
    return handleFromInt<HDC>(v);
}

BOOL DeleteDC(HDC dc) { return dcs().erase(reinterpret_cast<std::intptr_t>(dc)) ? TRUE : FALSE; }

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return nullptr;
    auto img = std::make_shared<QImage>(width, height, QImage::Format_ARGB32_Premultiplied);
    if (img->isNull())
        return nullptr;
    img->fill(Qt::white);
    return CreateBitmapHandle(std::move(img));
}

HBITMAP CreateBitmapHandle(std::shared_ptr<QImage> image)
{
    if (!image)
        return nullptr;
    std::intptr_t v = newHandleValue();
    bitmaps().emplace(v, std::move(image));
    return handleFromInt<HBITMAP>(v);
}

BOOL DeleteObject(HBITMAP bitmap)
{
    if (!bitmaps().erase(reinterpret_cast<std::intptr_t>(bitmap)))
        return FALSE;
    for (auto &[k, dc] : dcs())
        if (dc.bitmap == bitmap)
            dc.bitmap = nullptr;
    return TRUE;
}

HBITMAP SelectObject(HDC h, HBITMAP bitmap)
{
    DC *dc = findDC(h);
    if (!dc || dc->painter)
        return nullptr;
    if (bitmap && !BitmapImage(bitmap))
        return nullptr;
    HBITMAP old = dc->bitmap;
    dc->bitmap = bitmap;
    return old;
}

QImage *BitmapImage(HBITMAP bitmap)
{
    auto *p = lookup(bitmaps(), bitmap);
    return p ? p->get() : nullptr;
}

QImage *DCImage(HDC h)
{
    DC *dc = findDC(h);
    return dc && !dc->painter ? BitmapImage(dc->bitmap) : nullptr;
}

QPainter *DCPainter(HDC h)
{
    DC *dc = findDC(h);
    return dc ? dc->painter : nullptr;
}

bool PaintOnDC(HDC dc, const std::function<void(QPainter &)> &draw)
{
    return withPainter(dc, [&](QPainter &p, DC &) { draw(p); });
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD)
{
    QImage *from = DCImage(src);
    if (!from || width <= 0 || height <= 0)
        return FALSE;
    if (DCImage(dst) == from)
        return FALSE;
    // Copy first: the source may be the very image a painter is open on.
    QImage part = from->copy(sx, sy, width, height);
    return withPainter(dst, [&](QPainter &p, DC &) {
               p.save();
               p.setCompositionMode(QPainter::CompositionMode_Source);
               p.drawImage(x, y, part);
               p.restore();
           })
               ? TRUE
               : FALSE;
}

HENHMETAFILE CreateMetafileHandle(std::shared_ptr<const QPicture> picture, int width, int height)
{
    if (!picture)
        return nullptr;
    std::intptr_t v = newHandleValue();
    metafiles().emplace(v, Metafile{std::move(picture), width, height});
    return handleFromInt<HENHMETAFILE>(v);
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile)
{
    return metafiles().erase(reinterpret_cast<std::intptr_t>(metafile)) ? TRUE : FALSE;
}

const QPicture *MetafilePicture(HENHMETAFILE metafile)
{
    auto *m = lookup(metafiles(), metafile);
    return m ? m->picture.get() : nullptr;
}

BOOL PlayMetaFile(HDC h, HENHMETAFILE metafile)
{
    Metafile *m = lookup(metafiles(), metafile);
    if (!m)
        return FALSE;
    return withPainter(h, [&](QPainter &p, DC &dc) {
               p.save();
               if (dc.viewport.cx > 0 && dc.viewport.cy > 0 && m->width > 0 && m->height > 0 &&
                   (dc.viewport.cx != m->width || dc.viewport.cy != m->height))
                   p.scale(double(dc.viewport.cx) / m->width, double(dc.viewport.cy) / m->height);
               p.drawPicture(0, 0, *m->picture);
               p.restore();
           })
               ? TRUE
               : FALSE;
}

BOOL SetViewportExtEx(HDC h, int x, int y, SIZE *old)
{
    DC *dc = findDC(h);
    if (!dc)
        return FALSE;
    if (old)
        *old = dc->viewport;
    dc->viewport = SIZE{x, y};
    return TRUE;
}

int SetMapMode(HDC h, int mode)
{
    DC *dc = findDC(h);
    if (!dc)
        return 0;
    int old = dc->mapMode;
    dc->mapMode = mode;
    return old;
}

int SetROP2(HDC h, int mode)
{
    DC *dc = findDC(h);
    if (!dc)
        return 0;
    int old = dc->rop;
    dc->rop = mode;
    return old;
}

BOOL Polyline(HDC h, const POINT *points, int count)
{
    if (!points || count < 2)
        return FALSE;
    return withPainter(h, [&](QPainter &p, DC &dc) {
               p.save();
               p.setPen(QPen(dc.rop == R2_NOT ? Qt::white : Qt::black, 0));
               if (dc.rop == R2_NOT)
                   p.setCompositionMode(QPainter::RasterOp_NotDestination);
               for (int i = 1; i < count; ++i)
                   p.drawLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
               p.restore();
           })
               ? TRUE
               : FALSE;
}
