// Draws the LCD glyph bitmaps and the four panel pictures of Vadro:
//   vadro_art <glyph folder> <RESOURCE folder>
// The outputs are committed; run this again only to change a drawing.

#include "hygro/core/ModelTraits.h"
#include "hygro/core/PanelLayout.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

using namespace hygro::panel;

namespace {

const QColor LcdBack(0xC6, 0xCF, 0xB4);
const QColor LcdInk(0x10, 0x14, 0x10);

// A 16-colour (4 bits per pixel) BMP, as the glyph resources are.
bool saveBmp4(const QImage &src, const QString &path) {
    QImage img = src.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    QList<QRgb> table = img.colorTable();
    if (table.size() > 16) return false;
    while (table.size() < 16) table << qRgb(0, 0, 0);
    const int w = img.width(), h = img.height();
    const int rowBytes = ((w + 1) / 2 + 3) / 4 * 4;
    const int dataSize = rowBytes * h, offset = 14 + 40 + 16 * 4;
    QByteArray out;
    auto u16 = [&](int v) {
        out += char(v & 0xFF);
        out += char((v >> 8) & 0xFF);
    };
    auto u32 = [&](int v) {
        u16(v & 0xFFFF);
        u16((v >> 16) & 0xFFFF);
    };
    out += "BM";
    u32(offset + dataSize);
    u32(0);
    u32(offset);
    u32(40);
    u32(w);
    u32(h);
    u16(1);
    u16(4);
    u32(0);
    u32(dataSize);
    u32(2835);
    u32(2835);
    u32(16);
    u32(0);
    for (QRgb c : table) {
        out += char(qBlue(c));
        out += char(qGreen(c));
        out += char(qRed(c));
        out += char(0);
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(rowBytes, 0);
        const uchar *line = img.constScanLine(y);
        for (int x = 0; x < w; ++x) row[x / 2] = char(row[x / 2] | (x % 2 ? line[x] : line[x] << 4));
        out += row;
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}

// Seven segments a..g; glyph codes 0-9 digits, 10 minus, 11/12 blank, 13 L, 14 E, 15 r.
int segmentsOf(int code) {
    static const int digits[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    if (code < 10) return digits[code];
    switch (code) {
        case 10: return 0x40;
        case 13: return 0x38;
        case 14: return 0x79;
        case 15: return 0x50;
        default: return 0;
    }
}

QImage glyph(int code, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(LcdBack);
    QPainter p(&img);
    // Crisp rectangles with a one-pixel gap at every joint, as on a real LCD.
    const int t = w >= 14 ? 2 : 1;
    const int l = 1, r = w - 1 - t, top = 1, bot = h - 1 - t, mid = (h - t) / 2;
    const int s = segmentsOf(code);
    auto fill = [&](int x, int y, int ww, int hh) { p.fillRect(x, y, ww, hh, LcdInk); };
    if (s & 0x01) fill(l + t + 1, top, r - l - t - 1, t);
    if (s & 0x02) fill(r, top + t + 1, t, mid - top - t - 1);
    if (s & 0x04) fill(r, mid + t + 1, t, bot - mid - t - 1);
    if (s & 0x08) fill(l + t + 1, bot, r - l - t - 1, t);
    if (s & 0x10) fill(l, mid + t + 1, t, bot - mid - t - 1);
    if (s & 0x20) fill(l, top + t + 1, t, mid - top - t - 1);
    if (s & 0x40) fill(l + t + 1, mid, r - l - t - 1, t);
    return img;
}

struct KeyArt {
    const char *caption;
    QColor colour;
};

QImage panelPicture(const hygro::ModelTraits &model) {
    QImage img(Width, Height, QImage::Format_RGB32);
    img.fill(QColor(0x30, 0x33, 0x38));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    // Case: a lighter front with a bevel.
    QLinearGradient body(0, 0, Width, 0);
    body.setColorAt(0, QColor(0x3c, 0x42, 0x4a));
    body.setColorAt(0.5, QColor(0x55, 0x5d, 0x68));
    body.setColorAt(1, QColor(0x3a, 0x40, 0x48));
    p.setPen(QPen(QColor(0x1c, 0x1e, 0x22), 2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(2, 2, Width - 4, Height - 4), 14, 14);

    // LCD bezel and glass.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1a, 0x1c, 0x20));
    p.drawRoundedRect(QRectF(Lcd.x - 4, Lcd.y - 4, Lcd.w + 8, Lcd.h + 8), 6, 6);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(Lcd.x, Lcd.y, Lcd.w, Lcd.h, LcdBack);
    p.setPen(QColor(0xa8, 0xb2, 0x98));
    p.drawLine(Lcd.x + 4, SubY - 5, Lcd.x + Lcd.w - 5, SubY - 5);
    p.setRenderHint(QPainter::Antialiasing);

    const bool big = model.logger;
    const KeyArt keys[6] = {
        {"MAX\nMIN", QColor(0x2f, 0x6f, 0xb8)},
        {"HOLD", QColor(0x2f, 0x6f, 0xb8)},
        {model.unitKey.caption, QColor(0x6a, 0x70, 0x7a)},
        {model.thirdKey.caption, big ? QColor(0xb8, 0x38, 0x30) : QColor(0x6a, 0x70, 0x7a)},
        {model.fourthKey.caption, QColor(0x6a, 0x70, 0x7a)},
        {"OFF", QColor(0x2a, 0x8a, 0x48)},
    };
    QFont keyFont(QStringLiteral("DejaVu Sans"));
    keyFont.setPixelSize(8);
    keyFont.setBold(true);
    p.setFont(keyFont);
    for (int i = 0; i < 6; ++i) {
        const Rect &k = Keys[size_t(i)];
        QRectF r(k.x + 1, k.y + 1, k.w - 2, k.h - 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x14, 0x16, 0x1a));
        p.drawRoundedRect(r.translated(0, 1.5), 6, 6);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, keys[i].colour.lighter(135));
        g.setColorAt(1, keys[i].colour.darker(115));
        p.setBrush(g);
        p.drawRoundedRect(r, 6, 6);
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, QString::fromUtf8(keys[i].caption));
    }

    // Maker and model below the keys.
    QFont brand(QStringLiteral("DejaVu Sans"));
    brand.setPixelSize(13);
    brand.setBold(true);
    brand.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(brand);
    p.setPen(QColor(0xe8, 0xec, 0xf0));
    p.drawText(QRectF(0, 284, Width, 18), Qt::AlignCenter, QStringLiteral("CORVALE"));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(9);
    p.setFont(small);
    p.setPen(QColor(0xb0, 0xb8, 0xc4));
    p.drawText(QRectF(0, 304, Width, 12), Qt::AlignCenter, QString::fromUtf8(model.description));
    QFont modelFont(QStringLiteral("DejaVu Sans"));
    modelFont.setPixelSize(16);
    modelFont.setBold(true);
    p.setFont(modelFont);
    p.setPen(QColor(0xf0, 0xc0, 0x40));
    p.drawText(QRectF(0, 318, Width, 22), Qt::AlignCenter, QString::number(model.number));
    // Sensor grille at the very bottom.
    p.setPen(QPen(QColor(0x22, 0x24, 0x28), 2));
    for (int x = 40; x <= 88; x += 8) p.drawLine(x, 344, x, 350);
    return img;
}

} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        fprintf(stderr, "usage: vadro_art <glyph folder> <RESOURCE folder>\n");
        return 2;
    }
    const QString glyphs = QString::fromLocal8Bit(argv[1]), resource = QString::fromLocal8Bit(argv[2]);
    bool ok = true;
    for (int n = 0; n < 16; ++n) {
        ok &= saveBmp4(glyph(n, MainGlyphW, MainGlyphH), glyphs + QStringLiteral("/LCDM%1.bmp").arg(n));
        ok &= saveBmp4(glyph(n, SubGlyphW, SubGlyphH), glyphs + QStringLiteral("/LCDS%1.bmp").arg(n));
    }
    for (const hygro::ModelTraits &model : hygro::Models)
        ok &= panelPicture(model).save(resource + QLatin1Char('/') + QLatin1String(model.panelPicture), "BMP");
    if (!ok) fprintf(stderr, "vadro_art: a picture could not be written\n");
    return ok ? 0 : 1;
}
