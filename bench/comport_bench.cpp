// Receive latency of the serial components beside QSerialPort, and the cost of an idle
// open port.
//
// latency: one byte written on a pseudo-terminal master until the receive handler runs
// on the GUI thread: TComPort's OnRxChar and QSerialPort's readyRead (with --with-tcomm
// also TComm's OnRxChar), each on a pty of its own in this one process and event loop.
// The bytes go to them in turn (the order alternates with every round), with a quiet
// gap between them as between a meter's frames; medians, 99th percentiles and the
// ratios to QSerialPort.
// idle: CPU time of the whole process while a TComPort with OnRxChar attached stays
// open and nothing arrives.
//
// Usage: comport_bench [--bytes N] [--idle-seconds S] [--with-tcomm]

#include "serial/ComPort.h"
#include "serial/Comm.h"

#include "tests/support/CpuTime.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QTimer>

#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

struct Pty {
    int master = -1, slave = -1;
    std::string name;
    bool open() {
        char buf[256] = {};
        termios t{};
        cfmakeraw(&t);
        if (openpty(&master, &slave, buf, &t, nullptr) != 0) return false;
        name = buf;
        return true;
    }
    ~Pty() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
};

// What a receive handler reports to the meter thread.
struct Arrivals {
    std::mutex lock;
    std::condition_variable seen;
    std::array<int, 3> received{};
    std::array<Clock::time_point, 3> at{};

    void note(int who, int bytes, Clock::time_point now) {
        std::lock_guard<std::mutex> g(lock);
        at[size_t(who)] = now;
        received[size_t(who)] += bytes;
        seen.notify_all();
    }
};

enum Who { ComPortSide, CommSide, QtSide };
const char *const names[] = {"TComPort", "TComm", "QSerialPort"};

} // namespace

int main(int argc, char **argv) {
    int bytes = 1000;
    int idleSeconds = 10;
    bool withTComm = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--with-tcomm")) withTComm = true;
        if (i + 1 >= argc) break;
        if (!std::strcmp(argv[i], "--bytes"))
            bytes = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--idle-seconds"))
            idleSeconds = std::max(1, std::atoi(argv[++i]));
    }
    std::vector<int> sides = {ComPortSide, QtSide};
    if (withTComm) sides.insert(sides.begin() + 1, CommSide);
    const int count = int(sides.size());
    QCoreApplication app(argc, argv);

    std::array<Pty, 3> ptys;
    for (Pty &p : ptys)
        if (!p.open()) {
            std::perror("openpty");
            return 1;
        }
    Arrivals arrivals;

    serial::TComPort port(nullptr);
    port.SetDeviceName(QString::fromStdString(ptys[ComPortSide].name));
    port.SetBaudRate(serial::br9600);
    port.SetDataBits(serial::db8);
    port.SetParity(serial::paNone);
    port.SetStopBits(serial::sb1);
    port.SetOnRxChar([&](forms::TObject *) {
        const Clock::time_point now = Clock::now();
        char buf[64];
        const int n = std::min<int>(port.InputCount(), sizeof buf);
        if (n > 0) port.Read(buf, n, true);
        arrivals.note(ComPortSide, n, now);
    });
    port.Open();

    serial::Comm::TComm comm(nullptr);
    comm.SetDeviceName(QString::fromStdString(ptys[CommSide].name));
    comm.SetOnRxChar([&](forms::TObject *, int count) {
        const Clock::time_point now = Clock::now();
        char buf[64];
        const int n = comm.Read(buf, std::min<int>(count, sizeof buf));
        arrivals.note(CommSide, std::max(n, 0), now);
    });
    if (withTComm) comm.Open();

    QSerialPort qport(QString::fromStdString(ptys[QtSide].name));
    qport.setBaudRate(QSerialPort::Baud9600);
    qport.setDataBits(QSerialPort::Data8);
    qport.setParity(QSerialPort::NoParity);
    qport.setStopBits(QSerialPort::OneStop);
    QObject::connect(&qport, &QSerialPort::readyRead, [&] {
        const Clock::time_point now = Clock::now();
        const QByteArray got = qport.readAll();
        arrivals.note(QtSide, int(got.size()), now);
    });
    if (!port.Active() || (withTComm && !comm.Enabled()) || !qport.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "cannot open the ports\n");
        return 1;
    }

    std::array<std::vector<double>, 3> latencies;
    for (auto &l : latencies) l.reserve(size_t(bytes));
    bool lost = false;
    std::thread meter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (int i = 0; i < bytes && !lost; ++i) {
            for (int k = 0; k < count && !lost; ++k) {
                const int who = sides[size_t((i + k) % count)];
                std::unique_lock<std::mutex> g(arrivals.lock);
                const int before = arrivals.received[size_t(who)];
                g.unlock();
                const Clock::time_point sent = Clock::now();
                if (write(ptys[size_t(who)].master, "A", 1) != 1) lost = true;
                g.lock();
                if (!arrivals.seen.wait_for(g, std::chrono::seconds(2),
                                            [&] { return arrivals.received[size_t(who)] > before; })) {
                    lost = true;
                    break;
                }
                latencies[size_t(who)].push_back(
                    std::chrono::duration<double, std::micro>(arrivals.at[size_t(who)] - sent).count());
                g.unlock();
                // Let the lines go quiet between bytes, as between the meter's frames.
                std::this_thread::sleep_for(std::chrono::microseconds(500 + (i * 37 + k * 101) % 500));
            }
        }
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    app.exec();
    meter.join();

    if (lost) {
        std::fprintf(stderr, "a byte did not arrive (%zu, %zu, %zu of %d)\n", latencies[ComPortSide].size(),
                     latencies[CommSide].size(), latencies[QtSide].size(), bytes);
        return 1;
    }
    std::printf("receive latency, %d bytes each, interleaved (pty master write -> handler on the GUI thread):\n",
                bytes);
    const double qMedian = percentile(latencies[QtSide], 0.5), q99 = percentile(latencies[QtSide], 0.99);
    for (int who : sides) {
        const auto &l = latencies[size_t(who)];
        const double median = percentile(l, 0.5), p99 = percentile(l, 0.99);
        std::printf("  %-12s median %7.1f us  99th %7.1f us  max %8.1f us", names[who], median, p99,
                    percentile(l, 1.0));
        if (who != QtSide)
            std::printf("   ratio to QSerialPort: median %.2fx, 99th %.2fx", median / qMedian, p99 / q99);
        std::printf("\n");
    }

    const double cpu0 = testsupport::cpuSeconds();
    const Clock::time_point wall0 = Clock::now();
    QTimer::singleShot(idleSeconds * 1000, Qt::PreciseTimer, &app, [] { QCoreApplication::quit(); });
    app.exec();
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    const double cpu = testsupport::cpuSeconds() - cpu0;
    std::printf("idle, the ports open with their handlers, %.1f s: CPU %.3f ms (%.4f %% of one core)\n", wall,
                cpu * 1e3, 100.0 * cpu / wall);

    qport.close();
    comm.Close();
    port.Close();
    return 0;
}
