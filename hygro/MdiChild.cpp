#include "hygro/MdiChild.h"

#include "platform/forms/Application.h"
#include "platform/forms/Exceptions.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace hygro {

TMdiChild::TMdiChild(QWidget *parent) : QWidget(parent) {}

void TMdiChild::ShowIn(QMdiArea *area, Qt::WindowFlags frameFlags) {
    frame_ = area->addSubWindow(this, frameFlags);
    frame_->setAttribute(Qt::WA_DeleteOnClose);
    frame_->setWindowIcon(ProgramIcon());
    if (initialFrameSize_.isValid())
        frame_->resize(initialFrameSize_);
    else
        frame_->adjustSize();
    QObject::connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *w) {
        if (w && w == frame_) RunHandler([this] { FormActivate(); });
    });
    frame_->show();
}

void TMdiChild::SetBounds(int left, int top, int width, int height) {
    if (frame_)
        frame_->setGeometry(left, top, width, height);
    else
        setGeometry(left, top, width, height);
}

QRect TMdiChild::Bounds() const { return frame_ ? frame_->geometry() : geometry(); }

void TMdiChild::Restore() {
    if (!frame_) return;
    // Restoring one that is already on show must not take the focus from the window
    // the user works in.
    if (frame_->isMinimized()) {
        frame_->showNormal();
        if (QMdiArea *area = frame_->mdiArea()) area->setActiveSubWindow(frame_);
    } else if (frame_->isMaximized()) {
        QMdiArea *area = frame_->mdiArea();
        QMdiSubWindow *active = area ? area->activeSubWindow() : nullptr;
        frame_->showNormal();
        if (area && active && active != area->activeSubWindow()) area->setActiveSubWindow(active);
    }
}

void TMdiChild::BringToFront() {
    if (!frame_) return;
    if (frame_->isMinimized()) frame_->showNormal();
    if (QMdiArea *area = frame_->mdiArea()) area->setActiveSubWindow(frame_);
}

bool TMdiChild::Close() { return frame_ ? frame_->close() : close(); }

bool TMdiChild::CloseQuery() {
    bool canClose = true;
    RunHandler([&] { FormCloseQuery(canClose); });
    return canClose;
}

void TMdiChild::closeEvent(QCloseEvent *event) {
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    RunHandler([&] { FormClose(); });
    event->accept();
}

QIcon ProgramIcon() {
    static QIcon icon = [] {
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        // A drop beside a thermometer.
        QPainterPath drop;
        drop.moveTo(11, 3);
        drop.cubicTo(18, 13, 20, 17, 20, 21);
        drop.arcTo(QRectF(2, 12, 18, 18), 0, -180);
        drop.cubicTo(2, 17, 4, 13, 11, 3);
        p.fillPath(drop, QColor(0x2f, 0x6f, 0xb8));
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(22, 2, 6, 22), 3, 3);
        p.setBrush(QColor(0xc0, 0x20, 0x20));
        p.drawEllipse(QRectF(20, 21, 10, 10));
        p.fillRect(QRectF(24, 10, 2, 13), QColor(0xc0, 0x20, 0x20));
        return QIcon(pm);
    }();
    return icon;
}

void RunHandler(const std::function<void()> &handler) {
    try {
        handler();
    } catch (...) {
        if (forms::Application)
            forms::Application->HandleException(std::current_exception());
        else
            try {
                throw;
            } catch (const std::exception &e) {
                fprintf(stderr, "%s\n", e.what());
            } catch (...) {
                // Neither a std::exception nor an application to show it: there is no text to print.
            }
    }
}

void SleepMs(qint64 ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(int(std::clamp<qint64>(ms, 1, 1000)));
    loop.exec();
}

bool WaitWhile(const std::function<bool()> &busy, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (busy()) {
        if (t.elapsed() >= limitMs) return false;
        SleepMs(1);
    }
    return true;
}

} // namespace hygro
