#include "Controls.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionFrame>

#include <algorithm>

namespace vb {

SSPanel::SSPanel(const QString &caption, QWidget *parent) : QWidget(parent), caption_(caption) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void SSPanel::SetCaption(const QString &caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

void SSPanel::SetFloodType(int type) {
    floodType_ = type;
    update();
}

void SSPanel::SetFloodPercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == floodPercent_) return;
    floodPercent_ = percent;
    if (floodType_ != 0) update();
}

QSize SSPanel::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(caption_) + 16, fontMetrics().height() + 10);
}

void SSPanel::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    if (floodType_ != 0 && floodPercent_ > 0)
        p.fillRect(QRect(2, 2, (width() - 4) * floodPercent_ / 100, height() - 4), QColor(0, 0, 160));
    p.setPen(palette().dark().color());
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(palette().light().color());
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
    p.drawLine(width() - 1, 0, width() - 1, height() - 1);
    p.setPen(floodType_ != 0 && floodPercent_ >= 50 ? Qt::white : palette().buttonText().color());
    p.drawText(rect(), Qt::AlignCenter, caption_);
}

namespace {
int pointer = vbDefault;
}

void SetMousePointer(int value) {
    if (value == pointer) return;
    if (pointer != vbDefault) QApplication::restoreOverrideCursor();
    pointer = value;
    if (value == vbHourglass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (value != vbDefault)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
}

int MousePointer() { return pointer; }

} // namespace vb
