#include "CellStore.h"

#include <algorithm>
#include <cstring>

namespace forms {

// Record of a row: varint cell count, then each cell as varint (length << 1 | wide)
// followed by its length in bytes (Latin-1) or in UTF-16 units (wide, two bytes each,
// not aligned: copied, never cast). Trailing empty cells are not stored.

namespace {

using Bytes = std::vector<unsigned char>;

size_t putVarint(unsigned char *out, uint64_t v) {
    size_t n = 0;
    while (v >= 0x80) {
        out[n++] = static_cast<unsigned char>(v | 0x80);
        v >>= 7;
    }
    out[n++] = static_cast<unsigned char>(v);
    return n;
}

void putVarint(Bytes &out, uint64_t v) {
    unsigned char b[10];
    out.insert(out.end(), b, b + putVarint(b, v));
}

uint64_t getVarint(const unsigned char *&p) {
    uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char b = *p++;
        v |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80)) return v;
    }
}

// Bytes of the cell's text after its header, from the header value.
size_t payloadSize(uint64_t header) { return size_t(header >> 1) * (header & 1 ? 2 : 1); }

const unsigned char *skipCell(const unsigned char *p) {
    const uint64_t h = getVarint(p);
    return p + payloadSize(h);
}

bool isLatin1(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() > 0xFF) return false;
    return true;
}

void putCell(Bytes &out, QStringView text) {
    const bool wide = !isLatin1(text);
    putVarint(out, uint64_t(text.size()) << 1 | (wide ? 1 : 0));
    if (wide) {
        const size_t at = out.size();
        out.resize(at + size_t(text.size()) * 2);
        std::memcpy(out.data() + at, text.utf16(), size_t(text.size()) * 2);
    } else {
        for (const QChar c : text) out.push_back(static_cast<unsigned char>(c.unicode()));
    }
}

QString readCell(const unsigned char *p) {
    const uint64_t h = getVarint(p);
    const qsizetype len = qsizetype(h >> 1);
    if (!(h & 1)) return QString::fromLatin1(reinterpret_cast<const char *>(p), len);
    QString s(len, Qt::Uninitialized);
    std::memcpy(s.data(), p, size_t(len) * 2);
    return s;
}

bool cellEquals(const unsigned char *p, QStringView text) {
    const uint64_t h = getVarint(p);
    if (qsizetype(h >> 1) != text.size()) return false;
    if (h & 1) return std::memcmp(p, text.utf16(), size_t(text.size()) * 2) == 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].unicode() != p[i]) return false;
    return true;
}

} // namespace

CellStore::CellStore(int rows, int cols) : rowAt_(size_t(std::max(0, rows)), Empty), cols_(std::max(0, cols)) {}

size_t CellStore::recordSize(const unsigned char *p) {
    const unsigned char *q = p;
    for (uint64_t n = getVarint(q); n > 0; --n) q = skipCell(q);
    return size_t(q - p);
}

const unsigned char *CellStore::findCell(const unsigned char *p, int col) {
    const uint64_t n = getVarint(p);
    if (uint64_t(col) >= n) return nullptr;
    for (int c = 0; c < col; ++c) p = skipCell(p);
    return p;
}

QString CellStore::cell(int col, int row) const {
    if (row < 0 || row >= rows() || col < 0 || col >= cols_) return {};
    const uint64_t at = rowAt_[size_t(row)];
    if (at == Empty) return {};
    const unsigned char *p = findCell(arena_.data() + at, col);
    return p ? readCell(p) : QString();
}

bool CellStore::setCell(int col, int row, const QString &text) {
    if (row < 0 || row >= rows() || col < 0 || col >= cols_) return false;
    const uint64_t at = rowAt_[size_t(row)];
    const unsigned char *rec = at == Empty ? nullptr : arena_.data() + at;
    const unsigned char *p = rec;
    const uint64_t n = rec ? getVarint(p) : 0;
    // p: the first cell of the old record.
    if (uint64_t(col) < n) {
        const unsigned char *c = p;
        for (int i = 0; i < col; ++i) c = skipCell(c);
        if (cellEquals(c, text)) return false;
    } else if (text.isEmpty()) {
        return false;
    } else if ((at == Empty || row == tailRow_) && col < 0x7F) {
        // A new last cell of the newest record (or of a new record): the record grows
        // where it lies, empty cells before the new one included.
        size_t added = arena_.size();
        if (at == Empty) {
            rowAt_[size_t(row)] = arena_.size();
            arena_.push_back(0);
            tailRow_ = row;
        }
        arena_[size_t(rowAt_[size_t(row)])] = static_cast<unsigned char>(col + 1); // a one-byte count
        arena_.resize(arena_.size() + size_t(uint64_t(col) - n), 0);
        putCell(arena_, text);
        live_ += arena_.size() - added;
        return true;
    }

    // The new record: the old cells before `col` as they are, the new cell, the old
    // cells after it; trailing empty cells dropped. Built after room for the count.
    Bytes &out = scratch_;
    out.assign(MaxVarint, 0);
    std::vector<size_t> &starts = scratchStarts_;
    starts.clear();
    const uint64_t count = std::max<uint64_t>(n, uint64_t(col) + 1);
    const unsigned char *c = p;
    for (uint64_t i = 0; i < count; ++i) {
        starts.push_back(out.size());
        const unsigned char *next = i < n ? skipCell(c) : c;
        if (i == uint64_t(col))
            putCell(out, text);
        else if (i < n)
            out.insert(out.end(), c, next);
        else
            out.push_back(0); // an empty cell before the new one
        c = next;
    }
    size_t keep = starts.size();
    while (keep > 0 && out[starts[keep - 1]] == 0) --keep;
    if (keep == 0) {
        putRow(row, nullptr, 0);
        return true;
    }
    out.resize(keep < starts.size() ? starts[keep] : out.size());
    unsigned char head[MaxVarint];
    const size_t headSize = putVarint(head, keep);
    std::memcpy(out.data() + MaxVarint - headSize, head, headSize);
    putRow(row, out.data() + MaxVarint - headSize, out.size() - (MaxVarint - headSize));
    return true;
}

void CellStore::putRow(int row, const unsigned char *record, size_t size) {
    uint64_t &at = rowAt_[size_t(row)];
    if (at != Empty) {
        const size_t old = recordSize(arena_.data() + at);
        live_ -= old;
        // The newest record is rewritten where it lies.
        if (at + old == arena_.size()) arena_.resize(size_t(at));
        at = Empty;
    }
    if (size > 0) {
        at = arena_.size();
        arena_.insert(arena_.end(), record, record + size);
        live_ += size;
        tailRow_ = row;
    } else if (tailRow_ == row) {
        tailRow_ = -1;
    }
    compactIfStale();
}

void CellStore::compactIfStale() {
    const size_t stale = arena_.size() - live_;
    if (live_ == 0) {
        // Nothing left: give the memory back.
        Bytes().swap(arena_);
        tailRow_ = -1;
        return;
    }
    if (stale <= live_ || stale < 4096) return;
    Bytes next;
    next.reserve(live_ + live_ / 2);
    tailRow_ = -1;
    for (size_t r = 0; r < rowAt_.size(); ++r) {
        uint64_t &at = rowAt_[r];
        if (at == Empty) continue;
        const unsigned char *p = arena_.data() + at;
        const size_t size = recordSize(p);
        at = next.size();
        next.insert(next.end(), p, p + size);
        tailRow_ = int(r);
    }
    arena_.swap(next);
}

void CellStore::setRows(int rows) {
    rows = std::max(0, rows);
    if (rows < this->rows()) {
        for (size_t r = size_t(rows); r < rowAt_.size(); ++r)
            if (rowAt_[r] != Empty) live_ -= recordSize(arena_.data() + rowAt_[r]);
        rowAt_.resize(size_t(rows));
        if (tailRow_ >= rows) tailRow_ = -1;
        if (rowAt_.capacity() > 4 * rowAt_.size() + 1024) rowAt_.shrink_to_fit();
        compactIfStale();
    } else {
        rowAt_.resize(size_t(rows), Empty);
    }
}

void CellStore::setCols(int cols) {
    cols = std::max(0, cols);
    if (cols < cols_) {
        // Cells beyond the new count must not come back when columns are added again.
        Bytes next;
        Bytes record;
        tailRow_ = -1;
        for (size_t r = 0; r < rowAt_.size(); ++r) {
            uint64_t &at = rowAt_[r];
            if (at == Empty) continue;
            tailRow_ = int(r);
            const unsigned char *p = arena_.data() + at;
            const unsigned char *q = p;
            const uint64_t n = getVarint(q);
            if (n <= uint64_t(cols)) {
                at = next.size();
                next.insert(next.end(), p, p + recordSize(p));
                continue;
            }
            std::vector<const unsigned char *> starts;
            for (int c = 0; c <= cols; ++c) {
                starts.push_back(q);
                q = skipCell(q);
            }
            int keep = cols;
            while (keep > 0 && *starts[size_t(keep - 1)] == 0) --keep;
            if (keep == 0) {
                at = Empty;
                if (tailRow_ == int(r)) tailRow_ = -1;
                continue;
            }
            record.clear();
            putVarint(record, uint64_t(keep));
            record.insert(record.end(), starts[0], starts[size_t(keep)]);
            at = next.size();
            next.insert(next.end(), record.begin(), record.end());
        }
        arena_.swap(next);
        live_ = arena_.size();
    }
    cols_ = cols;
}

void CellStore::clear() {
    std::fill(rowAt_.begin(), rowAt_.end(), Empty);
    tailRow_ = -1;
    Bytes().swap(arena_);
    live_ = 0;
}

size_t CellStore::bytesHeld() const {
    return rowAt_.capacity() * sizeof(uint64_t) + arena_.capacity() + scratch_.capacity();
}

} // namespace forms
