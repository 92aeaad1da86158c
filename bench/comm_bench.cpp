// The comm layer on a pseudo-terminal: one byte written on the master until a
// pending WaitCommEvent on the slave completes (waited for on the event, and in
// GetOverlappedResult), and 64 KiB written on the master until a read of all of it
// completes.

#include "platform/comm/Comm.h"

#include <benchmark/benchmark.h>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace win;

namespace {

using Clock = std::chrono::steady_clock;

struct Line {
    int master = -1, slave = -1;
    HANDLE port = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;

    Line() {
        char name[256] = {};
        termios t{};
        cfmakeraw(&t);
        if (openpty(&master, &slave, name, &t, nullptr) != 0) return;
        port =
            CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Line() {
        CloseHandle(port);
        CloseHandle(event);
        ::close(master);
        ::close(slave);
    }
};

// range(0) = 0: the waiter sleeps on the record's event (the service thread reads the
// line and signals it); 1: the waiter sleeps in GetOverlappedResult and reads the line
// itself, as the components' event threads do. A writer thread sends each byte after a
// quiet gap, as a meter answers; the time is from its write to the completed wait.
void RxCharLatency(benchmark::State &state) {
    Line line;
    if (line.port == INVALID_HANDLE_VALUE) {
        state.SkipWithError("no pty");
        return;
    }
    const bool helped = state.range(0) != 0;
    SetCommMask(line.port, EV_RXCHAR);
    OVERLAPPED ov{};
    ov.hEvent = line.event;
    char byte = 'x';
    for (auto _ : state) {
        DWORD mask = 0, n = 0;
        Clock::time_point sent;
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            sent = Clock::now();
            (void)!::write(line.master, "x", 1);
        });
        if (WaitCommEvent(line.port, &mask, &ov) == FALSE) {
            if (helped)
                GetOverlappedResult(line.port, &ov, &n, TRUE);
            else
                WaitForSingleObject(line.event, INFINITE);
        }
        const Clock::time_point done = Clock::now();
        writer.join();
        state.SetIterationTime(std::chrono::duration<double>(done - sent).count());
        OVERLAPPED rov{};
        ReadFile(line.port, &byte, 1, &n, &rov);
        benchmark::DoNotOptimize(n);
    }
    state.SetLabel(helped ? "waiter reads the line" : "service thread reads the line");
}
BENCHMARK(RxCharLatency)->Arg(0)->Arg(1)->UseManualTime();

void BulkRead(benchmark::State &state) {
    Line line;
    if (line.port == INVALID_HANDLE_VALUE) {
        state.SkipWithError("no pty");
        return;
    }
    const size_t size = 64 * 1024;
    SetupComm(line.port, size, 2048);
    std::string data(size, 'd');
    std::vector<char> buf(size);
    for (auto _ : state) {
        OVERLAPPED ov{};
        ov.hEvent = line.event;
        DWORD n = 0;
        ReadFile(line.port, buf.data(), DWORD(size), &n, &ov);
        for (size_t done = 0; done < size;) {
            ssize_t w = ::write(line.master, data.data() + done, size - done);
            if (w <= 0) break;
            done += size_t(w);
        }
        GetOverlappedResult(line.port, &ov, &n, TRUE);
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(size));
}
BENCHMARK(BulkRead)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
