#include "ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace slm {

namespace {

void text(QPainter &p, const QString &t, const QColor &c, int size) {
    QFont f("Liberation Sans");
    f.setPixelSize(size);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, t);
}

void floppy(QPainter &p, const QColor &c) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(c);
    p.drawRect(3, 3, 18, 18);
    p.setBrush(Qt::white);
    p.drawRect(7, 3, 10, 6);
    p.setBrush(QColor("#cfd6dd"));
    p.drawRect(6, 13, 12, 8);
}

} // namespace

QIcon ToolbarIcon(const QString &key) {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink("#1d2733");
    if (key == "Save" || key == "Save1") {
        floppy(p, QColor("#3d6fb6"));
    } else if (key == "StopRec") {
        floppy(p, QColor("#3d6fb6"));
        p.setBrush(QColor("#d0352b"));
        p.setPen(Qt::NoPen);
        p.drawRect(12, 12, 10, 10);
    } else if (key == "Open") {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor("#e9c351"));
        p.drawRect(2, 7, 20, 14);
        p.drawRect(2, 5, 8, 3);
    } else if (key == "Sampling") {
        p.setPen(QPen(ink, 2));
        p.setBrush(Qt::white);
        p.drawEllipse(3, 3, 18, 18);
        p.drawLine(12, 12, 12, 6);
        p.drawLine(12, 12, 16, 14);
    } else if (key == "List") {
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::white);
        p.drawRect(3, 3, 18, 18);
        for (int y = 7; y <= 17; y += 4) p.drawLine(6, y, 18, y);
    } else if (key == "Graph") {
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::white);
        p.drawRect(3, 3, 18, 18);
        p.setPen(QPen(QColor("#c0392b"), 2));
        p.drawPolyline(QPolygon({QPoint(5, 17), QPoint(9, 11), QPoint(13, 14), QPoint(19, 6)}));
    } else if (key == "Run") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor("#2e8b3a"));
        p.drawPolygon(QPolygon({QPoint(7, 4), QPoint(20, 12), QPoint(7, 20)}));
    } else if (key == "Stop") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor("#c0392b"));
        p.drawRect(6, 6, 12, 12);
    } else if (key == "Pause") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor("#d68910"));
        p.drawRect(6, 5, 4, 14);
        p.drawRect(14, 5, 4, 14);
    } else if (key == "AC") {
        text(p, "A/C", ink, 10);
    } else if (key == "FSI") {
        text(p, "F/S", ink, 10);
    } else if (key == "Up" || key == "Down") {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor("#2d5ea8"));
        if (key == "Up")
            p.drawPolygon(QPolygon({QPoint(12, 4), QPoint(21, 18), QPoint(3, 18)}));
        else
            p.drawPolygon(QPolygon({QPoint(3, 6), QPoint(21, 6), QPoint(12, 20)}));
    } else if (key == "RTC") {
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor("#f4f1e4"));
        p.drawRect(2, 4, 20, 16);
        text(p, "RTC", QColor("#7a1f1f"), 8);
    } else if (key == "REC") {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor("#d0352b"));
        p.drawEllipse(5, 5, 14, 14);
    } else if (key == "Memory") {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor("#2b2f33"));
        p.drawRect(6, 4, 12, 16);
        p.setPen(QPen(QColor("#c9ced3"), 1));
        for (int y = 6; y <= 18; y += 3) {
            p.drawLine(3, y, 6, y);
            p.drawLine(18, y, 21, y);
        }
    } else if (key == "Print") {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(7, 3, 10, 7);
        p.setBrush(QColor("#8d969f"));
        p.drawRect(3, 9, 18, 9);
        p.setBrush(Qt::white);
        p.drawRect(7, 14, 10, 7);
    } else if (key == "Plot" || key == "Limit") {
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::white);
        p.drawRect(3, 3, 18, 18);
        p.setPen(QPen(QColor("#3d6fb6"), 2));
        p.drawPolyline(QPolygon({QPoint(5, 17), QPoint(9, 11), QPoint(13, 14), QPoint(19, 6)}));
        if (key == "Limit") {
            p.setPen(QPen(QColor("#d0352b"), 1, Qt::DashLine));
            p.drawLine(4, 8, 20, 8);
            p.drawLine(4, 16, 20, 16);
        }
    } else if (key == "Erase") {
        p.setPen(QPen(QColor("#c0392b"), 3));
        p.drawLine(6, 6, 18, 18);
        p.drawLine(18, 6, 6, 18);
    }
    p.end();
    return QIcon(pm);
}

} // namespace slm
