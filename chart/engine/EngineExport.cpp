// Pictures of the chart into files and onto the clipboard.

#include "chart/engine/Engine.h"
#include "chart/engine/Export.h"
#include "chart/engine/Renderer.h"
#include "platform/forms/Dialogs.h"

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>

namespace chart::engine {

namespace {

QSize exportSize(const std::int32_t *pair, int w, int h) {
    if (pair && pair[0] > 0 && pair[1] > 0) return QSize(std::clamp(pair[0], 16, 8000), std::clamp(pair[1], 16, 8000));
    return QSize(w, h);
}

// The picture as drawn, in SVG: the metafile of a system that has none.
bool writeSvg(const Engine &e, QSize size, QIODevice &out, const ExportOptions &o) {
    QSvgGenerator svg;
    svg.setOutputDevice(&out);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    if (o.title) svg.setTitle(*o.title);
    QPainter g;
    if (!g.begin(&svg)) return false;
    Layout L;
    renderChart(e.props(), g, size.width(), size.height(), L);
    return g.end();
}

template <const char *Format, bool Opaque>
bool writeImage(const Engine &e, QSize size, QIODevice &out, const ExportOptions &o) {
    QImage img = e.renderImage(size.width(), size.height());
    if constexpr (Opaque) img = img.convertToFormat(QImage::Format_RGB32);
    return img.save(&out, Format, o.quality);
}

constexpr char kBmp[] = "BMP", kJpeg[] = "JPG", kPng[] = "PNG";

const ExportType kTypes[] = {
    {Engine::ExportFormat::Metafile, "Metafile", "svg", "image/svg+xml", writeSvg},
    {Engine::ExportFormat::Bmp, "BMP", "bmp", nullptr, writeImage<kBmp, true>},
    {Engine::ExportFormat::Jpeg, "JPEG", "jpg", "image/jpeg", writeImage<kJpeg, true>},
    {Engine::ExportFormat::Png, "PNG", "png", nullptr, writeImage<kPng, false>},
};

} // namespace

std::span<const ExportType> exportTypes() { return kTypes; }

const ExportType &exportType(Engine::ExportFormat format) {
    for (const ExportType &t : kTypes)
        if (t.format == format) return t;
    return kTypes[0];
}

bool Engine::writeExport(ExportFormat f, const std::int32_t *pair, const QString &path) {
    const ExportType &t = exportType(f);
    ExportOptions o;
    if (f == ExportFormat::Metafile) o.title = fromAnsi(props_.string(id::MainTitle));
    if (f == ExportFormat::Jpeg && props_.integer(2686 /*JpgQuality*/) > 0)
        o.quality = std::clamp(props_.integer(2686), 1, 100);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return t.write(*this, exportSize(pair, width(), height()), file, o) && file.flush();
}

int Engine::exportToFile(ExportFormat f, const std::int32_t *pair, const char *file) {
    QString path = QString::fromLatin1(file ? file : "");
    if (path.isEmpty()) {
        const char *ext = exportType(f).extension;
        forms::TSaveDialog sd;
        sd.DefaultExt = ext;
        sd.Filter = QString("%1 files (*.%2)|*.%2|All files|*").arg(QString(ext).toUpper(), ext);
        if (!sd.Execute()) return 0;
        path = sd.FileName;
    }
    return writeExport(f, pair, path) ? 1 : 0;
}

int Engine::exportToClipboard(ExportFormat f, const std::int32_t *pair) {
    QClipboard *clip = QGuiApplication::clipboard();
    if (!clip) return 0;
    QSize sz = exportSize(pair, width(), height());
    auto *mime = new QMimeData;
    mime->setImageData(renderImage(sz.width(), sz.height()));
    const ExportType &t = exportType(f);
    if (t.mime) {
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        if (t.write(*this, sz, buf, ExportOptions{})) mime->setData(t.mime, buf.data());
    }
    clip->setMimeData(mime);
    return 1;
}

} // namespace chart::engine
