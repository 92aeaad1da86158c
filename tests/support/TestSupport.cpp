#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace testsupport {

PtyPair::PtyPair() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    slavePath_ = name;
    // Raw on both ends so that the bytes pass untouched.
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair() {
    closeMaster();
    closeSlave();
}

void PtyPair::closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void PtyPair::closeSlave() {
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
}

void PtyPair::writeMaster(const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            throw std::runtime_error("write to pty master failed");
        }
        done += size_t(n);
    }
}

std::string PtyPair::readMaster(size_t count, std::chrono::milliseconds timeout) {
    std::string out;
    QDeadlineTimer deadline(timeout.count());
    while (out.size() < count) {
        pollfd p{master_, POLLIN, 0};
        int left = int(deadline.remainingTime());
        if (left <= 0) break;
        // Keep the GUI thread's queue moving while the program under test writes.
        int r = ::poll(&p, 1, std::min(left, 10));
        if (r > 0 && (p.revents & POLLIN)) {
            char buf[256];
            ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
            if (n > 0)
                out.append(buf, size_t(n));
            else if (n == 0)
                break;
        } else if (r > 0) {
            break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return out;
}

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) {
    QDeadlineTimer deadline(timeout.count());
    while (!done()) {
        if (deadline.hasExpired()) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

int openDescriptorCount() {
    int n = 0;
    if (DIR *d = opendir("/proc/self/fd")) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
        --n; // the descriptor of the listing itself
    }
    return n;
}

std::string binDir() {
    if (const char *v = std::getenv("METER_BIN_DIR")) return v;
    return QCoreApplication::applicationDirPath().toStdString() + "/../bin";
}

std::string sourceDir() {
    if (const char *v = std::getenv("METER_SOURCE_DIR")) return v;
    return ".";
}

std::string makeTempDir() {
    static std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    dirs.push_back(std::make_unique<QTemporaryDir>());
    return dirs.back()->path().toStdString();
}

QString pdfText(const QString &pdf, bool keepLayout) {
    QStringList args;
    if (keepLayout) args << QStringLiteral("-layout");
    args << pdf << QStringLiteral("-");
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

std::vector<int> threadIds() {
    std::vector<int> ids;
    if (DIR *d = opendir("/proc/self/task")) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.') ids.push_back(std::atoi(e->d_name));
        closedir(d);
    }
    return ids;
}

int threadCount() { return int(threadIds().size()); }

char threadState(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')'); // the name may hold blanks
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

void processPendingDeletes() {
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

PaintWatch::PaintWatch(QObject *widget) { widget->installEventFilter(this); }

bool PaintWatch::eventFilter(QObject *, QEvent *event) {
    if (event->type() == QEvent::Paint) ++paints_;
    return false;
}

} // namespace testsupport
