#include "hygro/core/LoggerTransfer.h"

#include <algorithm>
#include <cmath>

namespace hygro {

long long LoggerLineMs(int baud, int bytes) {
    const double perByte = 10000.0 / (baud > 0 ? baud : 9600);
    return std::max<long long>(1, std::llround(perByte * bytes));
}

DecodedSet DecodeImageSet(const LoggerImage &image, int set, int stride, bool threeReadings) {
    const LoggerSetTable &t = image.sets;
    const size_t s = size_t(set);
    if (set < 0 || set >= image.setCount || s >= t.recordCounts.size() || s >= t.startOffsets.size() ||
        s >= t.endOffsets.size() || s >= t.startTimes.size() || s >= t.rates.size())
        return {};
    return DecodeLoggerSet(image.bytes.data(), image.bytes.size(), t.startOffsets[s], t.endOffsets[s],
                           t.recordCounts[s], stride, threeReadings, t.startTimes[s], t.rates[s]);
}

LoggerTransfer::LoggerTransfer(bool streamMode, int baud, long long nowMs)
    : stream_(streamMode), baud_(baud), last_(nowMs) {}

void LoggerTransfer::receive(const uint8_t *data, size_t size, long long nowMs) {
    if (!data || size == 0 || finished_) return;
    if (!stream_) {
        pending_.insert(pending_.end(), data, data + size);
        return;
    }
    if (!totalKnown_) {
        pending_.insert(pending_.end(), data, data + size);
        if (pending_.size() < size_t(LoggerHeaderSize)) return;
        header_ = *ParseLoggerHeader(pending_.data(), pending_.size());
        if (const int bad = CheckStreamLength(header_.lastPos)) {
            finished_ = true;
            result_ = bad;
            return;
        }
        totalKnown_ = true;
        total_ = header_.lastPos - (LoggerHeaderSize - 1);
        barMaximum_ = int(total_);
        image_.reserve(size_t(total_));
        // What came with the header is the first data.
        std::vector<uint8_t> rest(pending_.begin() + LoggerHeaderSize, pending_.end());
        pending_.clear();
        last_ = nowMs;
        if (!rest.empty()) receive(rest.data(), rest.size(), nowMs);
        return;
    }
    // Bytes beyond the announced length are dropped.
    const long long keep = std::min<long long>((long long)size, std::max<long long>(0, total_ - count_));
    image_.insert(image_.end(), data, data + keep);
    count_ += (long long)size;
    last_ = nowMs;
}

LoggerStep LoggerTransfer::finish(int result) {
    finished_ = true;
    result_ = result;
    LoggerStep s;
    s.kind = LoggerStep::Finish;
    s.result = result;
    return s;
}

LoggerStep LoggerTransfer::next(long long nowMs) {
    if (finished_) return finish(result_);
    return stream_ ? nextStream(nowMs) : nextBlock(nowMs);
}

LoggerStep LoggerTransfer::nextStream(long long nowMs) {
    const long long quiet = nowMs - last_;
    LoggerStep s;
    if (!totalKnown_) {
        if (quiet > LoggerSilenceMs) return finish(lrNoHeader);
        s.waitMs = std::min(LoggerSilenceMs + 1 - quiet, LoggerLineMs(baud_, LoggerHeaderSize - int(pending_.size())));
        return s;
    }
    if (count_ >= total_) return finish(0);
    if (quiet > LoggerSilenceMs) return finish(lrIncomplete);
    // Until a chunk's worth can be there, or until the silence ends it.
    s.waitMs = std::min(LoggerSilenceMs + 1 - quiet,
                        LoggerLineMs(baud_, int(std::min<long long>(total_ - count_, LoggerStreamChunk))));
    return s;
}

LoggerStep LoggerTransfer::nextBlock(long long nowMs) {
    LoggerStep s;
    if (nowMs - last_ >= LoggerSilenceMs) return finish(0);
    if (total_ > LoggerMaxImage || errors_ > LoggerMaxBlockErrors) {
        finished_ = true;
        s.kind = LoggerStep::Send;
        s.command = 'Q';
        return s;
    }
    if (pending_.size() >= size_t(LoggerBlockSize)) {
        const uint8_t *block = pending_.data();
        s.kind = LoggerStep::Send;
        if (BlockChecksum(block) == block[LoggerBlockData]) {
            image_.insert(image_.end(), block, block + LoggerBlockData);
            s.command = 'y';
        } else {
            errors_ += 1;
            s.command = 'n';
        }
        pending_.erase(pending_.begin(), pending_.begin() + LoggerBlockSize);
        if (!totalKnown_ && image_.size() >= size_t(LoggerBlockData)) {
            const LoggerHeader h = *ParseLoggerHeader(image_.data(), image_.size());
            total_ = BlockExpectedLength(h.lastPos);
            barMaximum_ = int(std::min<long long>(h.lastPos + 1LL, INT32_MAX));
            totalKnown_ = true;
        }
        last_ = nowMs;
        answered_ = true;
        return s;
    }
    const long long quiet = nowMs - last_;
    if (!pending_.empty() && quiet > LoggerPartialBlockMs) {
        pending_.clear();
        errors_ += 1;
        last_ = nowMs;
        answered_ = true;
        s.kind = LoggerStep::Send;
        s.command = 'n';
        return s;
    }
    // Until the rest of a block can be there (right after an answer, its byte on the
    // way to the meter counts too), or until a deadline.
    const int missing = LoggerBlockSize - int(pending_.size()) + (answered_ ? 1 : 0);
    s.waitMs = std::min(LoggerSilenceMs - quiet, LoggerLineMs(baud_, missing));
    answered_ = false;
    if (!pending_.empty()) s.waitMs = std::min(s.waitMs, LoggerPartialBlockMs + 1 - quiet);
    return s;
}

long long LoggerTransfer::progress() const { return stream_ ? std::min(count_, total_) : (long long)image_.size(); }

int LoggerTransfer::takeImage(int stride, const QDateTime &now, LoggerImage &out) {
    LoggerImage taken;
    if (stream_) {
        if (const int bad = CheckStreamSetCount(header_.setCount)) return bad;
        taken.setCount = header_.setCount;
        if (const int bad = SplitLoggerSets(image_.data(), image_.size(), taken.setCount, stride, now, taken.sets))
            return bad;
        taken.bytes = std::move(image_);
    } else {
        if (const int bad = CheckBlockImage(image_.data(), image_.size())) return bad;
        taken.setCount = ParseLoggerHeader(image_.data(), image_.size())->setCount;
        if (const int bad = SplitLoggerSets(image_.data() + LoggerHeaderSize, image_.size() - LoggerHeaderSize,
                                            taken.setCount, stride, now, taken.sets))
            return bad;
        taken.bytes.assign(image_.begin() + LoggerHeaderSize, image_.end());
        image_.clear();
    }
    out = std::move(taken);
    return lrSuccess;
}

} // namespace hygro
