// The chart control's property calls with any id, index and value, as a program (or
// a template it applies) could make them, followed by a frame when the first byte is
// odd: a frame costs a hundred times the calls, and the calls alone find the store's
// faults sooner.

#include "FuzzSupport.h"

#include "chart/ChartEngineApi.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzzing::startApplication();
    return 0;
}

namespace {

constexpr int kSubsets = 2115, kPoints = 2120;
// Data sizes beyond this make a frame take seconds; the benchmarks measure those.
constexpr std::int32_t kMaxSide = 256;

std::int32_t bounded(int id, std::int32_t v) {
    if (id == kSubsets || id == kPoints) return std::clamp(v % (kMaxSide + 1), std::int32_t(-1), kMaxSide);
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzing::Input in(data, size);
    const bool frame = in.byte() & 1;
    const RECT r{0, 0, 240, 160};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 1);
    chart::ceSetInt(h, 2155, 1);
    chart::ceSetInt(h, kSubsets, 2);
    chart::ceSetInt(h, kPoints, 8);
    // Room for any value or record a call may read or write.
    alignas(8) unsigned char buf[4096];
    for (int ops = 0; in.left() && ops < 64; ++ops) {
        const uint8_t kind = in.byte();
        const int id = 2000 + in.take<uint16_t>() % 2100;
        const int index = in.take<int16_t>();
        const int index2 = in.take<int16_t>();
        std::memset(buf, 0, sizeof buf);
        switch (kind % 9) {
            case 0: chart::ceSetInt(h, id, bounded(id, in.take<std::int32_t>())); break;
            case 1: {
                const double v = in.take<double>();
                if (id == kSubsets || id == kPoints) break; // sizes go through ceSetInt
                std::memcpy(buf, &v, sizeof v);
                chart::ceSetMem(h, id, buf, 0);
                break;
            }
            case 2: {
                const std::string s = in.bytes(in.byte() % 300);
                std::memcpy(buf, s.data(), s.size());
                chart::ceSetString(h, id, reinterpret_cast<const char *>(buf));
                break;
            }
            case 3: {
                const std::string s = in.bytes(in.byte() % 40);
                std::memcpy(buf, s.data(), s.size());
                chart::ceSetElem(h, id, index, buf);
                break;
            }
            case 4: {
                const std::string s = in.bytes(8);
                std::memcpy(buf, s.data(), s.size());
                chart::ceSetElem2(h, id, index, index2, buf);
                break;
            }
            case 5: chart::ceGetMem(h, id, buf); break;
            case 6: chart::ceGetElem(h, id, index, buf); break;
            case 7: chart::ceGetElem2(h, id, index, index2, buf); break;
            default: {
                char text[256];
                chart::ceGetString(h, id, text);
                (void)chart::ceGetInt(h, id);
                break;
            }
        }
    }
    if (frame) {
        chart::ceResetImage(h, 0, 0);
        (void)chart::ceGetMetafile(h);
    }
    chart::ceDestroy(h);
    return 0;
}
