#pragma once
// The class library's MDI child form over a QMdiSubWindow: the form is the inner
// widget, the sub-window its frame. Closing asks FormCloseQuery first and then runs
// FormClose; the form frees itself on close (caFree), as all children here do.

#include <QIcon>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

#include <functional>

class QMdiArea;
class QMdiSubWindow;

namespace hygro {

class TMdiChild : public QWidget {
public:
    explicit TMdiChild(QWidget *parent = nullptr);

    // Puts the form into the MDI area and shows it.
    void ShowIn(QMdiArea *area, Qt::WindowFlags frameFlags = Qt::WindowFlags());
    QMdiSubWindow *Frame() const { return frame_; }
    // The frame's size when first shown (the stored window size); empty: fit the form.
    void SetInitialFrameSize(const QSize &size) { initialFrameSize_ = size; }

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString &c) { setWindowTitle(c); }
    // Frame position and size in the client area of the main window.
    void SetBounds(int left, int top, int width, int height);
    QRect Bounds() const;
    // WindowState := wsNormal: a window coming back from an icon becomes active, one
    // that was already on show leaves the active window as it is.
    void Restore();
    // Show: back from an icon, in front and active.
    void BringToFront();
    // Closes as the close box does (the close query may refuse).
    bool Close();
    // Asks the close query only; the main form asks every child before it closes.
    bool CloseQuery();

protected:
    virtual void FormCloseQuery(bool &CanClose) { CanClose = true; }
    virtual void FormClose() {}
    virtual void FormActivate() {}
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<QMdiSubWindow> frame_;
    QSize initialFrameSize_;
};

// The program's icon, on the main window and the children's frames.
QIcon ProgramIcon();

// Runs an event handler; an exception that leaves it is shown by the application
// object, as the class library does for every handler.
void RunHandler(const std::function<void()> &handler);

// Sleeps in the event loop for `ms` milliseconds (held to 1 ... 1000), processing window
// messages.
void SleepMs(qint64 ms);

// The longest wait for a busy handler. The busy flags are set only by handlers on this
// thread that never wait themselves, so a handler still busy is one below the waiter
// on the stack, which cannot end before the wait does: without a deadline the program
// would hang.
inline constexpr int WaitWhileLimitMs = 3000;

// Waits, processing window messages, while `busy` holds, at most `limitMs` milliseconds;
// sleeps a millisecond between checks. Returns whether `busy` ended.
bool WaitWhile(const std::function<bool()> &busy, int limitMs = WaitWhileLimitMs);

} // namespace hygro
