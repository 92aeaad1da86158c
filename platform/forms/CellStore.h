#pragma once
// Compact storage for the cells of a large text grid: all rows live in one byte arena,
// each row one record of its cells, a cell of Latin-1 text as its bytes and any other
// text as UTF-16. A row of the real-time table (nine short cells) costs about sixty
// bytes instead of a string object and a heap block per cell.
//
// Rows are written where they lie when they are the last record of the arena (the
// newest row, filled cell by cell, rewrites itself in place); any other rewritten row
// moves to the end, and the arena is compacted once more than half of it is stale.
// Pure logic, no Qt widgets; not thread-safe.

#include <QString>

#include <cstdint>
#include <vector>

namespace forms {

class CellStore {
public:
    explicit CellStore(int rows = 0, int cols = 0);

    int rows() const { return int(rowAt_.size()); }
    int cols() const { return cols_; }

    // New rows are empty; dropped rows are gone. Fewer columns drop the cells beyond.
    void setRows(int rows);
    void setCols(int cols);

    // Cells outside the grid read as empty.
    QString cell(int col, int row) const;
    // False (and nothing stored) when the cell lies outside the grid or already holds
    // exactly this text.
    bool setCell(int col, int row, const QString &text);
    // Every cell empty; the row and column counts stay.
    void clear();

    // Bytes held for the cells, the row index included; for benchmarks and tests.
    size_t bytesHeld() const;

private:
    static constexpr uint64_t Empty = ~uint64_t(0);
    static constexpr size_t MaxVarint = 10;

    // Size in bytes of the record starting at `p`, and where cell `col` of it begins
    // (nullptr when the record has fewer cells).
    static size_t recordSize(const unsigned char *p);
    static const unsigned char *findCell(const unsigned char *p, int col);
    void putRow(int row, const unsigned char *record, size_t size);
    void compactIfStale();

    std::vector<uint64_t> rowAt_; // offset of each row's record, or Empty
    std::vector<unsigned char> arena_;
    size_t live_ = 0;  // bytes of the arena that rows still point to
    int tailRow_ = -1; // the row whose record ends the arena, if any
    int cols_ = 0;
    std::vector<unsigned char> scratch_;
    std::vector<size_t> scratchStarts_;
};

} // namespace forms
