#pragma once
// CPU time of a process, for the tests and benchmarks that check what idling or a
// transfer costs: user plus system time, in seconds.

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

// This process.
inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Another process, from /proc; 0 once it has gone.
inline double cpuSeconds(long long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    // The command name in parentheses may hold spaces: the fields follow the last ')'.
    const size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 > line.size()) return 0;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stoul(field);
        if (i == 15) stime = std::stoul(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

} // namespace testsupport
