#pragma once
// Counts how often this thread touches one spot of memory, with a hardware breakpoint:
// a claim such as "one pass over the buffer" then becomes a count, not a time. Where
// the machine lends no breakpoint, available() is false.

#include <linux/hw_breakpoint.h>
#include <linux/perf_event.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace testsupport {

class TouchCount {
public:
    // Watches the 8 bytes at `at` (8-byte aligned).
    explicit TouchCount(const void *at) {
        perf_event_attr a;
        std::memset(&a, 0, sizeof a);
        a.type = PERF_TYPE_BREAKPOINT;
        a.size = sizeof a;
        a.bp_type = HW_BREAKPOINT_RW; // x86 has no read-only breakpoint
        a.bp_addr = reinterpret_cast<std::uintptr_t>(at);
        a.bp_len = HW_BREAKPOINT_LEN_8;
        a.exclude_kernel = 1;
        a.exclude_hv = 1;
        a.disabled = 1;
        fd_ = int(syscall(SYS_perf_event_open, &a, 0, -1, -1, 0));
    }
    ~TouchCount() {
        if (fd_ >= 0) ::close(fd_);
    }
    TouchCount(const TouchCount &) = delete;
    TouchCount &operator=(const TouchCount &) = delete;

    bool available() const { return fd_ >= 0; }
    void start() {
        ioctl(fd_, PERF_EVENT_IOC_RESET, 0);
        ioctl(fd_, PERF_EVENT_IOC_ENABLE, 0);
    }
    long long stop() {
        ioctl(fd_, PERF_EVENT_IOC_DISABLE, 0);
        long long n = -1;
        if (::read(fd_, &n, sizeof n) != ssize_t(sizeof n)) return -1;
        return n;
    }

private:
    int fd_ = -1;
};

} // namespace testsupport
