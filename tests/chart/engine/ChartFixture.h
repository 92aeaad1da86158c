#pragma once
// Charts built through the call layer as the programs build them, and a parent window
// that records what the engine sends it.

#include "chart/ChartEngineApi.h"

#include <QImage>
#include <QPainter>
#include <QPicture>

#include <cmath>
#include <string>
#include <vector>

#include "chart/engine/Gdi.h"

namespace fixture {

struct Message {
    UINT msg;
    WPARAM w;
    LPARAM l;
};

// A parent window that keeps every message it gets.
class Parent {
public:
    explicit Parent(const RECT &r = RECT{0, 0, 800, 400}) {
        hwnd = CreateWindowHandle(
            [this](HWND, UINT m, WPARAM w, LPARAM l) {
                log.push_back({m, w, l});
                return LRESULT(0);
            },
            nullptr, r);
    }
    ~Parent() { DestroyWindow(hwnd); }
    std::vector<WORD> notifications() const {
        std::vector<WORD> out;
        for (auto &m : log)
            if (m.msg == WM_COMMAND) out.push_back(HIWORD(m.w));
        return out;
    }
    int count(WORD code) const {
        int n = 0;
        for (WORD c : notifications()) n += c == code;
        return n;
    }
    HWND hwnd = nullptr;
    std::vector<Message> log;
};

inline void setDouble(HWND h, int id, double v) { chart::ceSetMem(h, id, &v, 0); }
inline double getDouble(HWND h, int id) {
    double v = 0;
    chart::ceGetMem(h, id, &v);
    return v;
}
inline void setStr(HWND h, int id, const std::string &s) { chart::ceSetString(h, id, s.c_str()); }
inline void setElemInt(HWND h, int id, int i, std::int32_t v) { chart::ceSetElem(h, id, i, &v); }
inline void setElemStr(HWND h, int id, int i, const std::string &s) { chart::ceSetElem(h, id, i, s.c_str()); }
inline void setX(HWND h, int s, int p, double x) { chart::ceSetElem2(h, 3013, s, p, &x); }
inline void setY(HWND h, int s, int p, float y) { chart::ceSetElem2(h, 2140, s, p, &y); }

// A day in the date-time form of the x data (days from 30 December 1899).
constexpr double kDay0 = 46000.0; // 9 December 2025

// The real-time chart of the humidity program: humidity on axis 0, two temperatures on
// axis 1, x as date-times over `minutes`, a vertical line annotation at point `mark`.
inline HWND humidityChart(HWND parent, int points = 120, double minutes = 60, int mark = 40,
                          const RECT &r = RECT{0, 0, 800, 400}) {
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, parent, 100);
    chart::ceSetInt(h, 2155, 1);      // PrepareImages
    chart::ceSetInt(h, 2120, points); // Points
    chart::ceSetInt(h, 2115, 3);      // Subsets
    chart::ceSetInt(h, 3228, 1);      // ShowVertLineAnnotations
    chart::ceSetInt(h, 3210, 1);      // AllowDataHotSpots
    setStr(h, 2105, "Humidity and temperature");
    setStr(h, 2110, "");
    chart::ceSetInt(h, 3018, 1); // DateTimeMode
    chart::ceSetInt(h, 3016, 1); // UsingXDataII
    setStr(h, 3000, "Time");
    setDouble(h, 3268, 9999.0); // NullDataValueY
    setElemStr(h, 2125, 0, "%RH");
    setElemStr(h, 2125, 1, "T1");
    setElemStr(h, 2125, 2, "T2");
    chart::ceSetInt(h, 3032, 2); // GridStyle dot
    chart::ceSetInt(h, 3282, 3); // AllowZooming both
    chart::ceSetInt(h, 2617, 5); // CursorMode floating XY
    chart::ceSetInt(h, 2621, 1);
    chart::ceSetInt(h, 2620, 2);
    setElemInt(h, 3001, 0, 1); // MultiAxesSubsets
    setElemInt(h, 3001, 1, 2);
    chart::ceSetInt(h, 3046, 3); // separators
    double minX = kDay0 + 10.0 / 24, maxX = minX + minutes / 1440.0;
    chart::ceSetInt(h, 3006, 0); // WorkingAxis
    setStr(h, 3005, "HUMIDITY");
    chart::ceSetInt(h, 3050, 3);
    setDouble(h, 3055, 0);
    setDouble(h, 3060, 110);
    chart::ceSetInt(h, 3615, 3);
    setDouble(h, 3620, minX);
    setDouble(h, 3625, maxX);
    chart::ceSetInt(h, 3006, 1);
    setStr(h, 3005, "TEMPERATURE");
    chart::ceSetInt(h, 3036, 0x0000FF);
    chart::ceSetInt(h, 3050, 3);
    setDouble(h, 3055, -20);
    setDouble(h, 3060, 140);
    chart::ceSetInt(h, 3006, 0);
    chart::ceSetInt(h, 2335, 0x008000); // GraphForeColor
    chart::ceSetInt(h, 2340, 0);        // GraphBackColor
    chart::ceSetInt(h, 2320, 0xC0C0C0); // DeskColor
    chart::ceSetInt(h, 2325, 0);        // TextColor
    setElemInt(h, 2190, 0, 0x00FFFF);
    setElemInt(h, 2190, 1, 0xFF00FF);
    setElemInt(h, 2190, 2, 0xFFFF00);
    for (int i = 0; i < points; ++i) {
        double t = minX + (maxX - minX) * i / std::max(points - 1, 1);
        for (int s = 0; s < 3; ++s) setX(h, s, i, t);
        setY(h, 0, i, static_cast<float>(55 + 15 * std::sin(i / 9.0)));
        setY(h, 1, i, static_cast<float>(22 + 4 * std::cos(i / 13.0)));
        setY(h, 2, i, static_cast<float>(35 + 8 * std::sin(i / 17.0 + 1)));
    }
    chart::ceSetInt(h, 3244, 100);
    double at = minX + (maxX - minX) * mark / std::max(points - 1, 1);
    chart::ceSetElem(h, 3218, 0, &at);
    setElemInt(h, 3221, 0, 2);
    setElemInt(h, 3222, 0, 0x0000FF);
    setElemStr(h, 3219, 0, "10:24:00 RH:63.1 T1:24.2 T2:40.7");
    chart::ceReinitialize(h);
    chart::ceResetImage(h, 0, 0);
    return h;
}

// The picture of an engine object replayed into an image of its size.
inline QImage replay(HWND h, int w = 800, int hgt = 400) {
    QImage img(w, hgt, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    const QPicture *pic = MetafilePicture(chart::ceGetMetafile(h));
    if (pic) {
        QPainter g(&img);
        g.drawPicture(0, 0, *pic);
    }
    return img;
}

// The metafile played onto a bitmap of its size, as the chart control's buffered paint
// plays it: the picture as drawn into the engine's image.
inline QImage shown(HWND h, int w = 800, int hgt = 400) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, hgt);
    SelectObject(dc, bmp);
    PlayMetaFile(dc, chart::ceGetMetafile(h));
    QImage img = *DCImage(dc);
    DeleteDC(dc);
    DeleteObject(bmp);
    return img;
}

// Share of the pixels in which two images of one size differ.
inline double differingShare(const QImage &a, const QImage &b) {
    QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size()) return 1;
    long n = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c) n += x.pixel(c, r) != y.pixel(c, r);
    return double(n) / (double(x.width()) * x.height());
}

} // namespace fixture
