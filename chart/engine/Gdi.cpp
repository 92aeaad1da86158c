#include "chart/engine/Gdi.h"

#include <QImage>
#include <QPainter>
#include <QPaintEngine>
#include <QPicture>
#include <QRegion>
#include <QTransform>

#include <cmath>

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
    std::shared_ptr<const QImage> drawn;
    std::function<std::shared_ptr<const QPicture>()> record;
    const QPicture *get() {
        if (!picture && record) {
            picture = record();
            record = nullptr;
        }
        return picture.get();
    }
};

std::unordered_map<std::intptr_t, DC> &dcs() {
    static std::unordered_map<std::intptr_t, DC> m;
    return m;
}
// A bitmap made by CreateCompatibleBitmap holds no pixels until something needs them:
// until then it is all one colour (white, or what FillDC filled it with), so that a
// bitmap that a metafile's drawn image then covers whole is never allocated or filled.
struct Bitmap {
    std::shared_ptr<QImage> image;
    QSize pending; // not empty: the pixels are still to be made
    QColor colour = Qt::white;
    QImage *get() {
        if (!pending.isEmpty()) {
            *image = QImage(pending, QImage::Format_ARGB32_Premultiplied);
            pending = QSize();
            if (!image->isNull()) image->fill(colour);
        }
        return image.get();
    }
};

std::unordered_map<std::intptr_t, Bitmap> &bitmaps() {
    static std::unordered_map<std::intptr_t, Bitmap> m;
    return m;
}
std::unordered_map<std::intptr_t, Metafile> &metafiles() {
    static std::unordered_map<std::intptr_t, Metafile> m;
    return m;
}

template <class Map, class H> auto *lookup(Map &m, H h) {
    auto it = m.find(reinterpret_cast<std::intptr_t>(h));
    return it == m.end() ? nullptr : &it->second;
}

DC *findDC(HDC h) { return lookup(dcs(), h); }

// Runs f with a painter on the DC's surface; false when the DC has none.
template <class F> bool withPainter(HDC h, F f) {
    DC *dc = findDC(h);
    if (!dc) return false;
    if (dc->painter) {
        f(*dc->painter, *dc);
        return true;
    }
    QImage *img = BitmapImage(dc->bitmap);
    if (!img || img->isNull()) return false;
    QPainter p(img);
    f(p, *dc);
    return true;
}

} // namespace

HDC CreatePainterDC(QPainter *painter, int width, int height) {
    if (!painter) return nullptr;
    std::intptr_t v = newHandleValue();
    DC dc;
    dc.painter = painter;
    dc.width = width;
    dc.height = height;
    dcs().emplace(v, dc);
    return handleFromInt<HDC>(v);
}

void ReleasePainterDC(HDC dc) { dcs().erase(reinterpret_cast<std::intptr_t>(dc)); }

HDC CreateCompatibleDC(HDC) {
    std::intptr_t v = newHandleValue();
    dcs().emplace(v, DC{});
    return handleFromInt<HDC>(v);
}

BOOL DeleteDC(HDC dc) { return dcs().erase(reinterpret_cast<std::intptr_t>(dc)) ? TRUE : FALSE; }

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    std::intptr_t v = newHandleValue();
    bitmaps().emplace(v, Bitmap{std::make_shared<QImage>(), QSize(width, height)});
    return handleFromInt<HBITMAP>(v);
}

HBITMAP CreateBitmapHandle(std::shared_ptr<QImage> image) {
    if (!image) return nullptr;
    std::intptr_t v = newHandleValue();
    bitmaps().emplace(v, Bitmap{std::move(image), QSize()});
    return handleFromInt<HBITMAP>(v);
}

BOOL DeleteObject(HBITMAP bitmap) {
    if (!bitmaps().erase(reinterpret_cast<std::intptr_t>(bitmap))) return FALSE;
    for (auto &[k, dc] : dcs())
        if (dc.bitmap == bitmap) dc.bitmap = nullptr;
    return TRUE;
}

HBITMAP SelectObject(HDC h, HBITMAP bitmap) {
    DC *dc = findDC(h);
    if (!dc || dc->painter) return nullptr;
    if (bitmap && !lookup(bitmaps(), bitmap)) return nullptr;
    HBITMAP old = dc->bitmap;
    dc->bitmap = bitmap;
    return old;
}

QImage *BitmapImage(HBITMAP bitmap) {
    auto *p = lookup(bitmaps(), bitmap);
    return p ? p->get() : nullptr;
}

bool FillDC(HDC h, const QRect &r, const QColor &colour) {
    DC *dc = findDC(h);
    if (!dc) return false;
    Bitmap *b = dc->painter ? nullptr : lookup(bitmaps(), dc->bitmap);
    if (b && !b->pending.isEmpty() && r.contains(QRect(QPoint(0, 0), b->pending))) {
        b->colour = colour;
        return true;
    }
    return withPainter(h, [&](QPainter &p, DC &) { p.fillRect(r, colour); });
}

QImage *DCImage(HDC h) {
    DC *dc = findDC(h);
    return dc && !dc->painter ? BitmapImage(dc->bitmap) : nullptr;
}

QPainter *DCPainter(HDC h) {
    DC *dc = findDC(h);
    return dc ? dc->painter : nullptr;
}

bool PaintOnDC(HDC dc, const std::function<void(QPainter &)> &draw) {
    return withPainter(dc, [&](QPainter &p, DC &) { draw(p); });
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD) {
    QImage *from = DCImage(src);
    if (!from || width <= 0 || height <= 0) return FALSE;
    if (DCImage(dst) == from) return FALSE;
    return withPainter(dst,
                       [&](QPainter &p, DC &) {
                           // Copied first when the source is the very image the painter is open on.
                           bool whole = sx == 0 && sy == 0 && width == from->width() && height == from->height();
                           QImage part = whole && p.device() != from ? *from : from->copy(sx, sy, width, height);
                           p.save();
                           p.setCompositionMode(QPainter::CompositionMode_Source);
                           // A window partly covered paints through a clip of many rectangles, and
                           // an image drawn through one is blended span by span; drawn rectangle
                           // by rectangle onto a surface of its own format it is copied.
                           QPaintEngine *engine = p.paintEngine();
                           QPaintDevice *surface = engine ? engine->paintDevice() : nullptr;
                           const bool sameFormat = surface && surface->devType() == QInternal::Image &&
                                                   static_cast<QImage *>(surface)->format() == part.format();
                           const QRegion visible = sameFormat ? engine->systemClip() : QRegion();
                           if (visible.rectCount() > 1 && !p.hasClipping() &&
                               p.deviceTransform().type() <= QTransform::TxTranslate) {
                               const QTransform toLogical = p.deviceTransform().inverted(); // a translation
                               for (const QRect &r : visible) {
                                   p.setClipRect(toLogical.mapRect(r), Qt::ReplaceClip);
                                   p.drawImage(x, y, part);
                               }
                           } else {
                               p.drawImage(x, y, part);
                           }
                           p.restore();
                       })
               ? TRUE
               : FALSE;
}

HENHMETAFILE CreateMetafileHandle(std::shared_ptr<const QPicture> picture, int width, int height) {
    if (!picture) return nullptr;
    std::intptr_t v = newHandleValue();
    metafiles().emplace(v, Metafile{std::move(picture), width, height});
    return handleFromInt<HENHMETAFILE>(v);
}

HENHMETAFILE CreateMetafileHandle(std::shared_ptr<const QImage> drawn,
                                  std::function<std::shared_ptr<const QPicture>()> record, int width, int height) {
    if (!drawn || !record) return nullptr;
    std::intptr_t v = newHandleValue();
    Metafile m;
    m.width = width;
    m.height = height;
    m.drawn = std::move(drawn);
    m.record = std::move(record);
    metafiles().emplace(v, std::move(m));
    return handleFromInt<HENHMETAFILE>(v);
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile) {
    return metafiles().erase(reinterpret_cast<std::intptr_t>(metafile)) ? TRUE : FALSE;
}

const QPicture *MetafilePicture(HENHMETAFILE metafile) {
    auto *m = lookup(metafiles(), metafile);
    return m ? m->get() : nullptr;
}

BOOL PlayMetaFile(HDC h, HENHMETAFILE metafile) {
    Metafile *m = lookup(metafiles(), metafile);
    DC *dc = findDC(h);
    if (!m || !dc) return FALSE;
    bool scaled = dc->viewport.cx > 0 && dc->viewport.cy > 0 && m->width > 0 && m->height > 0 &&
                  (dc->viewport.cx != m->width || dc->viewport.cy != m->height);
    if (m->drawn && !scaled && !dc->painter) {
        // A bitmap of the picture's size and format becomes the drawn image (opaque, it
        // covers all): shared, not copied.
        Bitmap *b = lookup(bitmaps(), dc->bitmap);
        QSize size = b ? (b->pending.isEmpty() ? b->image->size() : b->pending) : QSize();
        if (b && size == m->drawn->size() && (!b->pending.isEmpty() || b->image->format() == m->drawn->format())) {
            *b->image = *m->drawn;
            b->pending = QSize();
            return TRUE;
        }
    }
    return withPainter(h,
                       [&](QPainter &p, DC &) {
                           QPaintEngine *engine = p.paintEngine();
                           const QTransform &t = p.worldTransform();
                           if (m->drawn && !scaled && engine && engine->type() == QPaintEngine::Raster &&
                               t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) &&
                               t.dy() == std::floor(t.dy()) && p.opacity() == 1.0 &&
                               p.compositionMode() == QPainter::CompositionMode_SourceOver) {
                               p.drawImage(0, 0, *m->drawn);
                               return;
                           }
                           const QPicture *picture = m->get();
                           if (!picture) return;
                           p.save();
                           if (scaled) p.scale(double(dc->viewport.cx) / m->width, double(dc->viewport.cy) / m->height);
                           p.drawPicture(0, 0, *picture);
                           p.restore();
                       })
               ? TRUE
               : FALSE;
}

BOOL SetViewportExtEx(HDC h, int x, int y, SIZE *old) {
    DC *dc = findDC(h);
    if (!dc) return FALSE;
    if (old) *old = dc->viewport;
    dc->viewport = SIZE{x, y};
    return TRUE;
}

int SetMapMode(HDC h, int mode) {
    DC *dc = findDC(h);
    if (!dc) return 0;
    int old = dc->mapMode;
    dc->mapMode = mode;
    return old;
}

int SetROP2(HDC h, int mode) {
    DC *dc = findDC(h);
    if (!dc) return 0;
    int old = dc->rop;
    dc->rop = mode;
    return old;
}

BOOL Polyline(HDC h, const POINT *points, int count) {
    if (!points || count < 2) return FALSE;
    return withPainter(h,
                       [&](QPainter &p, DC &dc) {
                           p.save();
                           p.setPen(QPen(dc.rop == R2_NOT ? Qt::white : Qt::black, 0));
                           if (dc.rop == R2_NOT) p.setCompositionMode(QPainter::RasterOp_NotDestination);
                           for (int i = 1; i < count; ++i)
                               p.drawLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
                           p.restore();
                       })
               ? TRUE
               : FALSE;
}
