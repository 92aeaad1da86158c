// Receive latency of the serial port component and the cost of an idle open port.
//
// latency: one byte written on a pseudo-terminal master until OnRxChar runs on the
// GUI thread, over 1000 bytes (median, 99th percentile, maximum);
// idle: CPU time of the whole process while a port with OnRxChar attached stays open
// and nothing arrives.
//
// Usage: comport_bench [--bytes N] [--idle-seconds S]

#include "serial/ComPort.h"

#include <QCoreApplication>
#include <QTimer>

#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

} // namespace

int main(int argc, char **argv) {
    int bytes = 1000;
    int idleSeconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--bytes")) bytes = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--idle-seconds")) idleSeconds = std::max(1, std::atoi(argv[i + 1]));
    }
    QCoreApplication app(argc, argv);

    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);

    serial::TComPort port(nullptr);
    port.SetDeviceName(QString::fromLocal8Bit(name));
    port.SetBaudRate(serial::br9600);
    port.SetDataBits(serial::db8);
    port.SetParity(serial::paNone);
    port.SetStopBits(serial::sb1);

    std::mutex lock;
    std::condition_variable seen;
    int received = 0;
    Clock::time_point arrived;
    port.SetOnRxChar([&](forms::TObject *) {
        const Clock::time_point now = Clock::now();
        char buf[64];
        const int n = std::min<int>(port.InputCount(), sizeof buf);
        if (n > 0) port.Read(buf, n, true);
        std::lock_guard<std::mutex> g(lock);
        arrived = now;
        received += n;
        seen.notify_all();
    });
    port.Open();

    std::vector<double> latencies;
    latencies.reserve(size_t(bytes));
    std::thread meter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (int i = 0; i < bytes; ++i) {
            std::unique_lock<std::mutex> g(lock);
            const int before = received;
            g.unlock();
            const Clock::time_point sent = Clock::now();
            if (write(master, "A", 1) != 1) break;
            g.lock();
            if (!seen.wait_for(g, std::chrono::seconds(2), [&] { return received > before; })) break;
            latencies.push_back(std::chrono::duration<double, std::micro>(arrived - sent).count());
            g.unlock();
            // Let the line go quiet between bytes, as between the meter's frames.
            std::this_thread::sleep_for(std::chrono::microseconds(500 + (i * 37) % 500));
        }
        QMetaObject::invokeMethod(&app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    app.exec();
    meter.join();

    if (latencies.size() != size_t(bytes)) {
        std::fprintf(stderr, "only %zu of %d bytes arrived\n", latencies.size(), bytes);
        return 1;
    }
    std::printf("receive latency over %d bytes (pty master write -> OnRxChar on the GUI thread):\n", bytes);
    std::printf("  median %.1f us, 99th percentile %.1f us, max %.1f us\n", percentile(latencies, 0.5),
                percentile(latencies, 0.99), percentile(latencies, 1.0));

    const double cpu0 = cpuSeconds();
    const Clock::time_point wall0 = Clock::now();
    QTimer::singleShot(idleSeconds * 1000, Qt::PreciseTimer, &app, [] { QCoreApplication::quit(); });
    app.exec();
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    const double cpu = cpuSeconds() - cpu0;
    std::printf("idle open port with OnRxChar attached, %.1f s: CPU %.3f ms (%.4f %% of one core)\n", wall,
                cpu * 1e3, 100.0 * cpu / wall);

    port.Close();
    close(slave);
    close(master);
    return 0;
}
