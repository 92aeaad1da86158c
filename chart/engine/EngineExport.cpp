// Pictures of the chart into files and onto the clipboard.

#include "chart/engine/Engine.h"
#include "chart/engine/Renderer.h"
#include "platform/forms/Dialogs.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>

namespace chart::engine {

namespace {

QSize exportSize(const std::int32_t *pair, int w, int h)
{
    if (pair && pair[0] > 0 && pair[1] > 0)
        return QSize(std::clamp(pair[0], 16, 8000), std::clamp(pair[1], 16, 8000));
    return QSize(w, h);
}

} // namespace

bool Engine::writeExport(ExportFormat f, const std::int32_t *pair, const QString &path)
{
    QSize sz = exportSize(pair, width(), height());
    if (f == ExportFormat::Metafile) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(sz);
        svg.setViewBox(QRect(QPoint(0, 0), sz));
        svg.setTitle(fromAnsi(props_.string(id::MainTitle)));
        QPainter g;
        if (!g.begin(&svg))
            return false;
        Layout L;
        renderChart(props_, g, sz.width(), sz.height(), L);
        return g.end();
    }
    QImage img = renderImage(sz.width(), sz.height());
    const char *format = f == ExportFormat::Bmp ? "BMP" : f == ExportFormat::Jpeg ? "JPG" : "PNG";
    int quality = f == ExportFormat::Jpeg && props_.integer(2686 /*JpgQuality*/) > 0
                      ? std::clamp(props_.integer(2686), 1, 100)
                      : -1;
    if (f != ExportFormat::Png)
        img = img.convertToFormat(QImage::Format_RGB32);
    return img.save(path, format, quality);
}

int Engine::exportToFile(ExportFormat f, const std::int32_t *pair, const char *file)
{
    QString path = QString::fromLatin1(file ? file : "");
    if (path.isEmpty()) {
        forms::TSaveDialog sd;
        const char *ext = f == ExportFormat::Metafile ? "svg" : f == ExportFormat::Bmp ? "bmp" : f == ExportFormat::Jpeg ? "jpg" : "png";
        sd.DefaultExt = ext;
        sd.Filter = QString("%1 files (*.%2)|*.%2|All files|*").arg(QString(ext).toUpper(), ext);
        if (!sd.Execute())
            return 0;
        path = sd.FileName;
    }
    return writeExport(f, pair, path) ? 1 : 0;
}

int Engine::exportToClipboard(ExportFormat f, const std::int32_t *pair)
{
    QClipboard *clip = QGuiApplication::clipboard();
    if (!clip)
        return 0;
    QSize sz = exportSize(pair, width(), height());
    auto *mime = new QMimeData;
    QImage img = renderImage(sz.width(), sz.height());
    mime->setImageData(img);
    if (f == ExportFormat::Metafile) {
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        QSvgGenerator svg;
        svg.setOutputDevice(&buf);
        svg.setSize(sz);
        svg.setViewBox(QRect(QPoint(0, 0), sz));
        QPainter g(&svg);
        Layout L;
        renderChart(props_, g, sz.width(), sz.height(), L);
        g.end();
        mime->setData("image/svg+xml", buf.data());
    } else if (f == ExportFormat::Jpeg) {
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        img.convertToFormat(QImage::Format_RGB32).save(&buf, "JPG");
        mime->setData("image/jpeg", buf.data());
    }
    clip->setMimeData(mime);
    return 1;
}

} // namespace chart::engine
