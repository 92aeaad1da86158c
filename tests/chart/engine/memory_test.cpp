// What one chart, saving its state and loading a state block cost in memory: the bytes
// this test program allocates are counted, so that a chart at the bounds of its data
// and a hostile block can be weighed.

#include "ChartFixture.h"
#include "chart/engine/PropertyStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<std::size_t> liveBytes{0}, peakBytes{0};

void *counted(std::size_t n) {
    auto *p = static_cast<std::size_t *>(std::malloc(n + 16));
    if (!p) throw std::bad_alloc();
    *p = n;
    std::size_t now = liveBytes += n;
    for (std::size_t peak = peakBytes; now > peak && !peakBytes.compare_exchange_weak(peak, now);)
        ;
    return reinterpret_cast<char *>(p) + 16;
}

void uncounted(void *q) {
    if (!q) return;
    auto *p = reinterpret_cast<std::size_t *>(static_cast<char *>(q) - 16);
    liveBytes -= *p;
    std::free(p);
}

// Bytes allocated and not freed while f runs, and the most held at once above where it
// began.
struct Weight {
    std::ptrdiff_t kept;
    std::size_t peak;
};
template <class F> Weight weigh(F f) {
    std::size_t before = liveBytes;
    peakBytes = before;
    f();
    return {static_cast<std::ptrdiff_t>(liveBytes) - static_cast<std::ptrdiff_t>(before), peakBytes - before};
}

std::vector<unsigned char> save(HWND h) {
    HGLOBAL block = nullptr;
    std::uint32_t size = 0;
    chart::ceSaveState(h, &block, &size);
    auto *p = static_cast<unsigned char *>(GlobalLock(block));
    std::vector<unsigned char> out(p, p + size);
    GlobalUnlock(block);
    GlobalFree(block);
    return out;
}

HGLOBAL globalBlock(const std::vector<unsigned char> &bytes) {
    HGLOBAL block = GlobalAlloc(0, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

HWND newChart() {
    RECT r{0, 0, 400, 300};
    return chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 1);
}

// A state block of the first version, in which every cell of a data array is there.
std::vector<unsigned char> versionOneBlock(int subsets, int points, int dataId, std::uint32_t type) {
    std::vector<unsigned char> b{'S', 'G', 'C', 'E'};
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto f64 = [&](double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        u32(static_cast<std::uint32_t>(bits));
        u32(static_cast<std::uint32_t>(bits >> 32));
    };
    u32(1);
    u32(subsets);
    u32(points);
    u32(2); // numbers
    u32(2115);
    f64(subsets);
    u32(2120);
    f64(points);
    for (int section = 0; section < 5; ++section) // strings, lists, string lists, grids, string grids
        u32(0);
    u32(1); // one data array, every cell 0 or empty
    u32(dataId);
    u32(type);
    for (std::int64_t c = 0; c < std::int64_t(subsets) * points; ++c) u32(0);
    std::uint32_t h = 2166136261u;
    for (unsigned char c : b) h = (h ^ c) * 16777619u;
    u32(h);
    return b;
}

} // namespace

void *operator new(std::size_t n) { return counted(n); }
void *operator new[](std::size_t n) { return counted(n); }
void operator delete(void *p) noexcept { uncounted(p); }
void operator delete[](void *p) noexcept { uncounted(p); }
void operator delete(void *p, std::size_t) noexcept { uncounted(p); }
void operator delete[](void *p, std::size_t) noexcept { uncounted(p); }

// Per-point labels and colours hold what was written: one label on two million points
// is one label, in the chart and in its saved state.
TEST(ChartMemory, PerPointLabelsAndColoursHoldWhatWasWritten) {
    // The count sees what the engine allocates.
    ASSERT_GE(weigh([] { std::vector<char> v(1 << 20); }).peak, 1u << 20);
    HWND h = newChart();
    chart::ceSetInt(h, 2115, 2);
    chart::ceSetInt(h, 2120, 1'000'000);
    std::int32_t colour = 0x00FF00;
    Weight w = weigh([&] {
        EXPECT_EQ(chart::ceSetElem2(h, 3643, 1, 999'999, "last"), 1); // DataPointLabels
        EXPECT_EQ(chart::ceSetElem2(h, 3258, 0, 5, &colour), 1);      // PointColors
    });
    EXPECT_LT(w.peak, 64u * 1024) << "writing one label and one colour";
    std::vector<unsigned char> block;
    w = weigh([&] { block = save(h); });
    EXPECT_LT(block.size(), 64u * 1024);
    EXPECT_LT(w.peak, 2 * block.size() + 64 * 1024);

    HWND other = newChart();
    HGLOBAL g = globalBlock(block);
    ASSERT_EQ(chart::ceLoadState(other, &g), 1);
    GlobalFree(g);
    char text[256] = "unchanged";
    EXPECT_EQ(chart::ceGetElem2(other, 3643, 1, 999'999, text), 1);
    EXPECT_STREQ(text, "last");
    EXPECT_EQ(chart::ceGetElem2(other, 3643, 0, 999'999, text), 1);
    EXPECT_STREQ(text, "");
    std::int32_t c = -1;
    EXPECT_EQ(chart::ceGetElem2(other, 3258, 0, 5, &c), 1);
    EXPECT_EQ(c, 0x00FF00);
    EXPECT_EQ(chart::ceGetElem2(other, 3258, 1, 5, &c), 1);
    EXPECT_EQ(c, 0);
    // Written empty, a label is gone again.
    EXPECT_EQ(chart::ceSetElem2(other, 3643, 1, 999'999, ""), 1);
    EXPECT_LT(save(other).size(), block.size());
    chart::ceDestroy(other);
    chart::ceDestroy(h);
}

// Saving measures the state and writes it once into a block of its size.
TEST(ChartMemory, SavingTakesTheBlockAndLittleMore) {
    HWND h = newChart();
    chart::ceSetInt(h, 2115, 1);
    chart::ceSetInt(h, 2120, 500'000);
    chart::ceSetInt(h, 3016, 1);
    for (int i = 0; i < 500'000; ++i) {
        double x = i;
        float y = static_cast<float>(i % 100);
        chart::ceSetElem2(h, 3013, 0, i, &x);
        chart::ceSetElem2(h, 2140, 0, i, &y);
    }
    HGLOBAL block = nullptr;
    std::uint32_t size = 0;
    Weight w = weigh([&] { ASSERT_EQ(chart::ceSaveState(h, &block, &size), 1); });
    EXPECT_GT(size, 6'000'000u);
    EXPECT_LT(w.peak, size + 256u * 1024);
    // Loading it makes about what the chart holds.
    HWND other = newChart();
    w = weigh([&] { EXPECT_EQ(chart::ceLoadState(other, &block), 1); });
    EXPECT_LT(w.peak, size + 256u * 1024);
    GlobalFree(block);
    chart::ceDestroy(other);
    chart::ceDestroy(h);
}

// A block makes at most a few times its own size in memory, whatever it holds: cells
// of a first-version block that are empty, many short texts, long lists of them.
TEST(ChartMemory, ALoadedBlockCostsAFewTimesItsSize) {
    struct Case {
        const char *what;
        std::vector<unsigned char> block;
    };
    std::vector<Case> cases;
    cases.push_back({"a million empty labels", versionOneBlock(2, 500'000, 3643, 3)});
    cases.push_back({"a million zero colours", versionOneBlock(2, 500'000, 3258, 0)});
    {
        HWND h = newChart();
        for (int id = 100000; id < 400000; ++id) // short texts of ids nothing knows
            chart::ceSetString(h, id, "x");
        cases.push_back({"300 000 one-character texts", save(h)});
        chart::ceDestroy(h);
    }
    {
        HWND h = newChart();
        for (int id : {2125, 2130, 3293, 3298, 3201, 3214, 3219, 2626, 2630, 2631, 3691, 2670})
            for (int i = 0; i < 10000; ++i) fixture::setElemStr(h, id, i, "y");
        cases.push_back({"text lists of one character each", save(h)});
        chart::ceDestroy(h);
    }
    {
        HWND h = newChart();
        for (int i = 0; i < 300; ++i)
            for (int j = 0; j < 300; ++j) chart::ceSetElem2(h, 2954, i, j, "z"); // a text grid
        cases.push_back({"a text grid", save(h)});
        chart::ceDestroy(h);
    }
    for (const Case &c : cases) {
        HWND h = newChart();
        HGLOBAL g = globalBlock(c.block);
        int ok = 0;
        Weight w = weigh([&] { ok = chart::ceLoadState(h, &g); });
        GlobalFree(g);
        EXPECT_EQ(ok, 1) << c.what;
        EXPECT_LT(w.peak, 4 * c.block.size() + 256 * 1024) << c.what << ": " << c.block.size() << " bytes";
        chart::ceDestroy(h);
    }
}

// A block of more subsets than a chart may hold is refused, as a setter refuses them.
TEST(ChartMemory, ABlockOfMoreSubsetsThanAChartHoldsIsRefused) {
    for (int subsets : {chart::engine::kMaxSubsets, chart::engine::kMaxSubsets + 1}) {
        HWND h = newChart();
        HGLOBAL g = globalBlock(versionOneBlock(subsets, 1, 2140, 2));
        EXPECT_EQ(chart::ceLoadState(h, &g), subsets <= chart::engine::kMaxSubsets) << subsets;
        GlobalFree(g);
        EXPECT_EQ(chart::ceGetInt(h, 2115), subsets <= chart::engine::kMaxSubsets ? subsets : 1);
        chart::ceDestroy(h);
    }
}
