// A chart state block as a template file brings it: loaded into a fresh chart, which
// then draws a frame. The block's checksum is made to fit first, so that the mutations
// reach the loader's sections instead of stopping at the trailer.

#include "FuzzSupport.h"

#include "chart/ChartEngineApi.h"

#include <vector>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzzing::startApplication();
    return 0;
}

namespace {

std::uint32_t fnv1a(const uint8_t *p, size_t n) {
    std::uint32_t v = 2166136261u;
    for (size_t i = 0; i < n; ++i) {
        v ^= p[i];
        v *= 16777619u;
    }
    return v;
}

// Subsets x points beyond this make a frame take seconds: the fuzzer would stall on
// them. Their memory and time are the benchmarks' to measure.
constexpr std::int64_t kMaxCells = 1 << 16;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 16) return 0;
    std::vector<uint8_t> block(data, data + size);
    std::int32_t subsets = 0, points = 0;
    std::memcpy(&subsets, &block[8], 4);
    std::memcpy(&points, &block[12], 4);
    if (subsets > 0 && points > 0 && std::int64_t(subsets) * points > kMaxCells) return 0;
    const std::uint32_t sum = fnv1a(block.data(), size - 4);
    std::memcpy(&block[size - 4], &sum, 4);

    const RECT r{0, 0, 240, 160};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 1);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, block.size());
    std::memcpy(GlobalLock(g), block.data(), block.size());
    GlobalUnlock(g);
    if (chart::ceLoadState(h, &g)) {
        chart::ceSetInt(h, chart::kIdPrepareImages, 1);
        chart::ceResetImage(h, 0, 0);
        (void)chart::ceGetMetafile(h);
    }
    GlobalFree(g);
    chart::ceDestroy(h);
    return 0;
}
