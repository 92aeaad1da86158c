#include "SlmMeter.h"

#include <algorithm>
#include <cmath>

namespace slmsim {

int fromBcd(int b) { return (b >> 4) * 10 + (b & 0x0F); }
int toBcd(int v) { return ((v / 10) % 10) << 4 | (v % 10); }

SlmMeter::SlmMeter() = default;

std::time_t SlmMeter::meterTime() const { return std::time(nullptr) + clockOffset; }

void SlmMeter::receive(const Bytes &in, Bytes &out, const std::function<void(const Bytes &)> &log) {
    for (std::uint8_t b : in) {
        if (pending_.empty()) {
            if (b == 0x00) {
                log(Bytes{0x00});
                // A probe stops whatever the meter was sending.
                download_.clear();
                downloadSent_ = 0;
                if (streaming_) resume_ = true;
                streaming_ = false;
                answer({0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x03}, out, false);
                continue;
            }
            if (!((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))) {
                log(Bytes{b}); // stray byte, ignored
                continue;
            }
        }
        pending_.push_back(b);
        if (pending_.size() == 4) {
            log(pending_);
            Bytes cmd;
            cmd.swap(pending_);
            command(cmd, out);
        }
    }
}

void SlmMeter::command(const Bytes &c, Bytes &out) {
    const auto resume = [this] {
        if (resume_) streaming_ = true;
        resume_ = false;
    };
    switch (c[0]) {
        case 'A':
            streaming_ = true;
            resume_ = false;
            break;
        case 'K':
            key(c[3]);
            resume();
            break;
        case 'G':
            if (c[2] == 1) {
                memoryBlocks = c[3];
                resume();
            } else {
                answer({0x02, 0x1B, 0x1B, 0x1B, std::uint8_t(memoryBlocks), 0x03}, out, true);
            }
            break;
        case 'R': {
            std::time_t t = meterTime();
            std::tm tm{};
            localtime_r(&t, &tm);
            if (c[3] == 0x21) {
                const std::uint32_t p = pointer();
                Bytes frame{0x02, 0xAA, std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p), 0x03};
                if (mis.badPointer > 0) {
                    --mis.badPointer;
                    frame.front() = 0x55;
                    frame.back() = 0x55;
                }
                answer(frame, out, true);
            } else if (c[3] == 0x23)
                answer({0x02, 0xAA, 0x00, std::uint8_t(samplingTime >> 8), std::uint8_t(samplingTime & 0xFF), 0x03},
                       out, true);
            else if (c[3] == 0x80)
                answer({0x02, 0xAA, std::uint8_t(toBcd(tm.tm_year % 100)), std::uint8_t(toBcd(tm.tm_mon + 1)),
                        std::uint8_t(toBcd(tm.tm_mday)), 0x03},
                       out, true);
            else if (c[3] == 0x83)
                answer({0x02, 0xAA, std::uint8_t(toBcd(tm.tm_hour)), std::uint8_t(toBcd(tm.tm_min)),
                        std::uint8_t(toBcd(tm.tm_sec)), 0x03},
                       out, true);
            break;
        }
        case 'W':
            setDate(fromBcd(c[1]), fromBcd(c[2]), fromBcd(c[3]));
            resume();
            break;
        case 'X':
            setTime(fromBcd(c[1]), fromBcd(c[2]), fromBcd(c[3]));
            resume();
            break;
        case 'U':
            if (mis.silentImage > 0) {
                --mis.silentImage;
                break;
            }
            if (mis.silent) break;
            download_.clear();
            downloadSent_ = 0;
            ++downloads_;
            download_.push_back(0x02);
            download_.insert(download_.end(), memory_.begin(), memory_.end());
            download_.push_back(0x03);
            if (mis.unmarkedImage > 0) {
                --mis.unmarkedImage;
                download_[1] = 0xFF;
            }
            break;
        case 'Z':
            samplingTime = c[2] << 8 | c[3];
            resume();
            break;
        default: break; // unknown commands are ignored, as the meter does
    }
}

void SlmMeter::answer(Bytes frame, Bytes &out, bool query) {
    if (mis.silent) return;
    if (mis.garbage) {
        for (auto &b : frame) b = std::uint8_t((random_ = random_ * 1103515245u + 12345u) >> 16);
    } else if (query && mis.badReplies > 0) {
        --mis.badReplies;
        // Clock and pointer replies are judged by their AA byte, the others by framing.
        if (frame[1] == 0xAA) {
            frame[1] = 0x55;
        } else {
            frame.front() = 0x55;
            frame.back() = 0x55;
        }
    }
    out.insert(out.end(), frame.begin(), frame.end());
}

Bytes EncodeSet(const StoredSetSpec &spec) {
    Bytes b{0x00,
            0x55,
            0xAA,
            0x00,
            std::uint8_t(spec.sampling >> 8),
            std::uint8_t(spec.sampling),
            std::uint8_t(spec.rangeCode),
            std::uint8_t(spec.flags),
            0x00,
            0x00};
    std::tm tm{};
    localtime_r(&spec.start, &tm);
    for (int v : {tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec})
        b.push_back(std::uint8_t(toBcd(v)));
    b.resize(50, 0x00);
    for (int i = 0; i < spec.records; ++i) {
        double level;
        if (!spec.levels.empty())
            level = spec.levels[size_t(i) % spec.levels.size()];
        else
            level = 62.0 + 9.0 * std::sin(i / 25.0) + double(i * 7919 % 13) / 10.0;
        const int tenths = std::clamp(int(std::lround(level * 10)), 0, 0xFFFF);
        b.push_back(std::uint8_t(tenths >> 8));
        b.push_back(std::uint8_t(tenths));
    }
    return b;
}

void SlmMeter::storeSets(const std::vector<StoredSetSpec> &sets) {
    memory_.clear();
    for (const StoredSetSpec &spec : sets) {
        const Bytes b = EncodeSet(spec);
        memory_.insert(memory_.end(), b.begin(), b.end());
    }
}

void SlmMeter::key(int code) {
    switch (code) {
        case 1: weightC = !weightC; break;
        case 2: timeWeighting = (timeWeighting + 1) % 3; break;
        case 6: recording = !recording; break;
        case 9:
            if (rangeCode < 5) ++rangeCode;
            break;
        case 10:
            if (rangeCode > 0) --rangeCode;
            break;
        default: break; // Leq, Max, Run, Date, Integ: shown only on the meter itself
    }
}

void SlmMeter::setDate(int yy, int mm, int dd) {
    std::time_t t = meterTime();
    std::tm tm{};
    localtime_r(&t, &tm);
    tm.tm_year = 100 + yy;
    tm.tm_mon = mm - 1;
    tm.tm_mday = dd;
    tm.tm_isdst = -1;
    clockOffset = std::mktime(&tm) - std::time(nullptr);
}

void SlmMeter::setTime(int hh, int nn, int ss) {
    std::time_t t = meterTime();
    std::tm tm{};
    localtime_r(&t, &tm);
    tm.tm_hour = hh;
    tm.tm_min = nn;
    tm.tm_sec = ss;
    tm.tm_isdst = -1;
    clockOffset = std::mktime(&tm) - std::time(nullptr);
}

int SlmMeter::subIndexAt(std::int64_t ms) const { return int((ms / std::max(1, subFrameMs)) % 8); }

double SlmMeter::levelAt(std::int64_t ms) const {
    const std::int64_t slot = ms / std::max(1, subFrameMs);
    double level;
    if (steadyLevel >= 0)
        level = steadyLevel;
    else if (!levels.empty())
        level = levels[size_t(slot % std::int64_t(levels.size()))];
    else {
        // A room with some traffic outside: slow swell plus a little flicker.
        const double t = double(slot) * subFrameMs / 1000.0;
        level = 58.0 + 7.0 * std::sin(t / 6.0) + 2.5 * std::sin(t * 1.7) + double(slot * 7919 % 11) / 10.0;
    }
    if (weightC && steadyLevel < 0 && levels.empty()) level += 1.5;
    return level;
}

Bytes SlmMeter::liveFrame(std::int64_t ms) {
    if (!streaming_ || mis.silent) return {};
    int index = subIndexAt(ms);
    std::int64_t at = ms;
    if (index == mis.missSubFrame) {
        // The meter skipped this update: the previous one goes out again.
        at = ms - subFrameMs;
        index = (index + 7) % 8;
    }
    const double level = levelAt(at);
    const int tenths = std::clamp(int(std::lround(level * 10)), 0, 0xFFFF);
    const int top = 80 + 10 * rangeCode;
    const bool over = tenths > top * 10, under = tenths < (top - 60) * 10;
    Bytes f{0x02,
            std::uint8_t(index << 4 | rangeCode),
            std::uint8_t(timeWeighting | (weightC ? 0x20 : 0) | (over ? 0x40 : 0) | (under ? 0x80 : 0)),
            std::uint8_t(tenths >> 8),
            std::uint8_t(tenths & 0xFF),
            0x03};
    if (mis.garbage) {
        for (auto &b : f) b = std::uint8_t((random_ = random_ * 1103515245u + 12345u) >> 16);
    } else if (mis.badFraming) {
        f.front() = 0x03;
        f.back() = 0x02;
    }
    return f;
}

} // namespace slmsim
