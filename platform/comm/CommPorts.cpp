#include "platform/comm/Comm.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace win {

namespace {

namespace fs = std::filesystem;

// "ttyS10" after "ttyS9": names compare by their letters, then by their number.
bool naturalLess(const std::string &a, const std::string &b) {
    auto split = [](const std::string &s) {
        size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) --i;
        const unsigned long n = i < s.size() ? std::strtoul(s.c_str() + i, nullptr, 10) : 0;
        return std::make_pair(s.substr(0, i), n);
    };
    return split(a) < split(b);
}

// Serial-core drivers list ports that have no UART behind them (the legacy 8250
// ports); their "type" attribute is 0. Read from sysfs so that listing ports opens
// no device.
bool hasUart(const fs::path &ttyClassEntry) {
    std::ifstream in(ttyClassEntry / "type");
    int type = -1;
    if (!(in >> type)) return true; // not a serial-core port: its driver vouches for it
    return type != 0;
}

std::vector<std::string> hardwarePorts() {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it("/sys/class/tty", ec), end; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry &entry = *it;
        const fs::path driver = entry.path() / "device" / "driver";
        if (!fs::exists(driver, ec)) continue; // virtual consoles, ptys
        const std::string name = entry.path().filename().string();
        const std::string device = "/dev/" + name;
        if (!fs::exists(device, ec)) continue;
        if (!hasUart(entry.path())) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), naturalLess);
    std::vector<std::string> paths;
    for (const auto &n : names) paths.push_back("/dev/" + n);
    return paths;
}

} // namespace

std::vector<std::string> EnumSerialPorts() {
    std::vector<std::string> ports;
    auto add = [&](const std::string &p) {
        if (!p.empty() && std::find(ports.begin(), ports.end(), p) == ports.end()) ports.push_back(p);
    };
    if (const char *env = std::getenv("METER_PORTS")) {
        std::string list = env;
        size_t start = 0;
        for (;;) {
            const size_t colon = list.find(':', start);
            add(list.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
            if (colon == std::string::npos) break;
            start = colon + 1;
        }
    }
    for (const auto &p : hardwarePorts()) add(p);
    return ports;
}

} // namespace win
