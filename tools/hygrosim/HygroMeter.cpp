#include "tools/hygrosim/HygroMeter.h"

#include "hygro/core/ModelTraits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace hygrosim {

Meter meter;
Behaviour behaviour;
Memory memory;
std::vector<uint8_t> image;
BlockTransfer transfer;
std::mt19937 rng(12345);

const hygro::ModelTraits &traits() { return *hygro::FindModel(meter.model); }

bool threeReadings() { return traits().temperatures == 2; }

void drift() {
    if (behaviour.fixed) return;
    std::normal_distribution<double> step(0.0, 0.15);
    meter.rh = std::clamp(meter.rh + step(rng), 20.0, 95.0);
    meter.t1 = std::clamp(meter.t1 + step(rng) * 0.5, -10.0, 45.0);
    meter.t2 = std::clamp(meter.t2 + step(rng) * 0.5, -10.0, 45.0);
}

std::vector<uint8_t> frame() {
    uint8_t a = uint8_t(meter.recordMode & 3);
    if (meter.hold) a |= 0x04;
    if (meter.fahrenheit) a |= 0x08;
    if (meter.logging) a |= 0x10;
    switch (traits().modeKey) {
        case hygro::ModeKey::ClockFormat:
            if (meter.clockHm) a |= 0x20;
            break;
        case hygro::ModeKey::Rel:
            if (meter.rel) a |= 0x20;
            break;
        case hygro::ModeKey::TimeMode:
            if (meter.timeMode) a |= 0x20;
            break;
    }
    if (meter.autoOff) a |= 0x40;
    if (meter.lowBattery) a |= 0x80;

    auto unit = [](double c) { return meter.fahrenheit ? c * 9.0 / 5.0 + 32.0 : c; };
    double values[3] = {meter.rh, unit(meter.t1), threeReadings() ? unit(meter.t2) : 0.0};
    uint8_t b = 0;
    if (meter.logging && traits().logger) b |= 0x01;
    const uint8_t overBits[3] = {0x40, 0x10, 0x04}, negBits[3] = {0x80, 0x20, 0x08};
    uint16_t counts[3];
    for (int k = 0; k < 3; ++k) {
        double v = values[k];
        if (v < 0) b |= negBits[k];
        if ((k == 0 && (v < 0 || v > 100)) || (k > 0 && (v < -200 || v > 2000))) b |= overBits[k];
        counts[k] = uint16_t(std::min(65535.0, std::round(std::fabs(v) * 10.0)));
    }
    if (traits().thirdRow == hygro::ThirdRow::Clock) {
        time_t now = time(nullptr);
        tm t{};
        localtime_r(&now, &t);
        counts[2] = meter.clockHm ? uint16_t(t.tm_hour << 8 | t.tm_min) : uint16_t(t.tm_min << 8 | t.tm_sec);
    }
    std::vector<uint8_t> f{0x02, a, b};
    for (uint16_t c : counts) {
        f.push_back(uint8_t(c >> 8));
        f.push_back(uint8_t(c & 0xFF));
    }
    f.push_back(0x03);
    return f;
}

void pressKey(char key) {
    const hygro::ModelTraits &m = traits();
    switch (key) {
        case 'M': meter.recordMode = meter.recordMode == 3 ? 1 : meter.recordMode + 1; break;
        case 'N': meter.recordMode = 0; break;
        case 'H': meter.hold = !meter.hold; break;
        default:
            // The keys that differ by model do what the model's key of that letter does.
            if (key == m.unitKey.command) {
                meter.fahrenheit = !meter.fahrenheit;
            } else if (key == m.thirdKey.command) {
                if (m.logger)
                    meter.logging = !meter.logging;
                else
                    meter.recordMode = 0, meter.hold = false;
            } else if (key == m.fourthKey.command) {
                switch (m.modeKey) {
                    case hygro::ModeKey::ClockFormat: meter.clockHm = !meter.clockHm; break;
                    case hygro::ModeKey::Rel: meter.rel = !meter.rel; break;
                    case hygro::ModeKey::TimeMode: meter.timeMode = !meter.timeMode; break;
                }
            } else if (m.fourthKeyHoldCommand && key == m.fourthKeyHoldCommand) {
                meter.autoOff = !meter.autoOff;
            }
            break;
    }
}

int recordStride() { return memory.stride ? memory.stride : traits().recordStride; }

void put16(std::vector<uint8_t> &b, int v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v & 0xFF));
}

// A logged reading: tenths, the sign in the top bit.
int logged(double v) {
    const int tenths = std::min(0x7FFF, int(std::lround(std::fabs(v) * 10.0)));
    return v < 0 ? 0x8000 | tenths : tenths;
}

void buildImage() {
    image.assign(256, 0);
    const int stride = recordStride();
    std::vector<uint8_t> data;
    const int sets = memory.empty ? 0 : memory.sets;
    for (int s = 0; s < sets; ++s) {
        // Set s starts on 2 March 2026 + s days at 08:00.
        tm t{};
        t.tm_year = 126;
        t.tm_mon = 2;
        t.tm_mday = 2 + s;
        t.tm_hour = 8;
        t.tm_isdst = -1;
        mktime(&t);
        const size_t at = data.size();
        data.insert(data.end(), {0xA5, 0x5A, 0, uint8_t(t.tm_year - 100), uint8_t(t.tm_mon + 1), uint8_t(t.tm_mday),
                                 uint8_t(t.tm_hour), uint8_t(t.tm_min), uint8_t(t.tm_sec)});
        if (memory.badDate == s + 1) data[at + 4] = 13;
        put16(data, memory.rate);
        data.push_back(memory.fahrenheit ? 0x08 : 0x00);
        put16(data, memory.countBeyond == s + 1 ? memory.records + 1000 : memory.records);
        auto unit = [](double c) { return memory.fahrenheit ? c * 9.0 / 5.0 + 32.0 : c; };
        for (int k = 0; k < memory.records; ++k) {
            const double rh = 55 + 20 * std::sin(k / 23.0 + s);
            const double t1 = 22 + 5 * std::sin(k / 31.0 + 2 * s);
            const double t2 = 8 + 14 * std::sin(k / 19.0 + s); // goes below zero
            put16(data, logged(rh));
            put16(data, logged(unit(t1)));
            if (stride >= 6) put16(data, logged(unit(t2)));
            for (int extra = 6; extra < stride; ++extra) data.push_back(0);
        }
        data.push_back(0x5A);
        data.push_back(0xA5);
    }
    image.insert(image.end(), data.begin(), data.end());
    if (memory.padTo > int(image.size())) image.resize(size_t(memory.padTo), 0xFF);
    const int setCount = memory.headerSets >= 0 ? memory.headerSets : sets;
    const int last = memory.headerLast >= 0 ? memory.headerLast : int(image.size()) - 1;
    image[1] = uint8_t(setCount >> 8);
    image[2] = uint8_t(setCount);
    image[3] = uint8_t(last >> 16);
    image[4] = uint8_t(last >> 8);
    image[5] = uint8_t(last);
}

size_t blockCount() { return (image.size() + 63) / 64; }

void sendBlock() {
    const size_t from = size_t(transfer.block) * 64;
    if (memory.stallAt >= 0 && from + 64 > size_t(memory.stallAt)) return; // silence from here on
    std::vector<uint8_t> b(image.begin() + long(from), image.begin() + long(std::min(from + 64, image.size())));
    b.resize(64, 0xFF);
    unsigned sum = 0;
    for (uint8_t x : b) sum += x;
    uint8_t checksum = uint8_t(sum);
    transfer.sends += 1;
    if (transfer.block == memory.alwaysBadChecksum || (transfer.block == memory.badChecksum && transfer.sends == 1))
        checksum ^= 0x5A;
    b.push_back(checksum);
    if (transfer.block == memory.partialBlock && transfer.sends == 1) b.resize(30);
    send(b);
}

void startMemoryTransfer() {
    if (meter.ident == 13) {
        transfer.active = false;
        size_t n = image.size();
        if (memory.stallAt >= 0) n = std::min(n, size_t(memory.stallAt));
        send({image.begin(), image.begin() + long(n)});
        return;
    }
    transfer = BlockTransfer{true, 0, 0};
    sendBlock();
}

// Block mode: the PC's answer to the block last sent.
bool blockAnswer(uint8_t byte) {
    if (!transfer.active) return false;
    if (byte == 'y') {
        if (size_t(transfer.block) + 1 >= blockCount()) {
            transfer.active = false; // that was the last: the meter falls silent
        } else {
            transfer.block += 1;
            transfer.sends = 0;
            sendBlock();
        }
    } else if (byte == 'n') {
        sendBlock();
    } else if (byte == 'Q') {
        transfer.active = false;
        dropQueued();
    } else {
        return false;
    }
    return true;
}

void answer(uint8_t byte) {
    if (behaviour.silent) return;
    if (blockAnswer(byte)) return;
    if (byte == 'P' && traits().logger) {
        startMemoryTransfer();
    } else if (byte == 'K') {
        std::string code = std::to_string(meter.model);
        send({uint8_t(code[0]), uint8_t(code[1]), uint8_t(code[2]), uint8_t(meter.ident)});
    } else if (byte == 'A') {
        drift();
        send(frame());
    } else {
        pressKey(char(byte));
    }
}

int memoryOption(const std::string &name, const char *next) {
    if (name == "--logger-fahrenheit") return memory.fahrenheit = true, 1;
    if (name == "--empty-memory") return memory.empty = true, 1;
    int *field = nullptr;
    int low = -1, high = 1 << 24, mask = 0;
    if (name == "--sets")
        field = &memory.sets, low = 0, high = 65535;
    else if (name == "--records")
        field = &memory.records, low = 0, high = 65535;
    else if (name == "--rate")
        field = &memory.rate, low = 0, high = 65535;
    else if (name == "--stride")
        field = &memory.stride, low = 4, high = 6;
    else if (name == "--bad-date")
        field = &memory.badDate;
    else if (name == "--pad-to")
        field = &memory.padTo, low = 0;
    else if (name == "--bad-checksum")
        field = &memory.badChecksum;
    else if (name == "--always-bad-checksum")
        field = &memory.alwaysBadChecksum;
    else if (name == "--partial-block")
        field = &memory.partialBlock;
    else if (name == "--stall-at")
        field = &memory.stallAt;
    else if (name == "--header-sets")
        field = &memory.headerSets, mask = 0xFFFF;
    else if (name == "--header-last")
        field = &memory.headerLast, mask = 0xFFFFFF;
    else if (name == "--count-beyond")
        field = &memory.countBeyond;
    else
        return 0;
    char *end = nullptr;
    const long v = next ? std::strtol(next, &end, 0) : 0;
    if (!next || !*next || *end || v < low || v > high || (name == "--stride" && v == 5)) {
        fprintf(stderr, "hygrosim: %s needs a number%s\n", name.c_str(), name == "--stride" ? " (4 or 6)" : "");
        return -1;
    }
    *field = mask ? int(v) & mask : int(v);
    return 2;
}

} // namespace hygrosim
