#pragma once
// Small helpers shared by the tests: pseudo-terminal pairs, event-loop waits, paths of
// the build tree, the text of a printed PDF and the threads of the process.

#include <QObject>
#include <QString>

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// An openpty pair. The slave path is what a program opens as its serial device;
// the test plays the meter on the master. Both ends are closed by the destructor.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    int master() const { return master_; }
    const std::string &slavePath() const { return slavePath_; }
    // Closes the master: to the program the device has vanished.
    void closeMaster();
    // Closes our own slave descriptor, which only keeps the line alive until the
    // program opens it.
    void closeSlave();

    void writeMaster(const std::string &bytes);
    // Reads what the program wrote, waiting up to `timeout` for `count` bytes.
    std::string readMaster(size_t count, std::chrono::milliseconds timeout);

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Runs the Qt event loop until `done` holds or `timeout` passes; returns `done()`.
bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Number of open file descriptors of this process.
int openDescriptorCount();

// build/bin, where the programs and simulators lie.
std::string binDir();
// The source tree.
std::string sourceDir();

// A fresh temporary folder, removed at exit of the test program.
std::string makeTempDir();

// The text of a PDF (pdftotext); with `keepLayout` the columns keep their places.
constexpr bool KeepLayout = true;
QString pdfText(const QString &pdf, bool keepLayout = false);

// Threads of this process, and the scheduler state of one of them ('R' running,
// 'S' sleeping in a wait, '?' gone).
int threadCount();
std::vector<int> threadIds();
char threadState(pid_t tid);

// Runs the events pending now, then the deletions asked for with deleteLater (a window
// closed with WA_DeleteOnClose), which the event loop keeps back at the level they were
// asked at. A few rounds, for a deletion whose handling posts another.
void processPendingDeletes();

// Counts the paint events one widget receives, from its construction on: a window shown
// has been drawn once `paints()` is above zero.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QObject *widget);
    int paints() const { return paints_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int paints_ = 0;
};

} // namespace testsupport
