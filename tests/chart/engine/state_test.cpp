// Saving and loading the whole state of an object as a block.

#include "ChartFixture.h"
#include "chart/engine/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace fixture;
using chart::engine::Engine;

namespace {

std::vector<unsigned char> save(HWND h) {
    HGLOBAL block = nullptr;
    std::uint32_t size = 0;
    EXPECT_EQ(chart::ceSaveState(h, &block, &size), 1);
    EXPECT_EQ(GlobalSize(block), size);
    auto *p = static_cast<unsigned char *>(GlobalLock(block));
    std::vector<unsigned char> bytes(p, p + size);
    GlobalUnlock(block);
    GlobalFree(block);
    return bytes;
}

int load(HWND h, const std::vector<unsigned char> &bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty()) std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    int r = chart::ceLoadState(h, &block);
    GlobalFree(block);
    return r;
}

// The block's own trailer: FNV-1a over everything before it.
void reseal(std::vector<unsigned char> &b) {
    std::uint32_t v = 2166136261u;
    for (std::size_t i = 0; i + 4 < b.size(); ++i) {
        v ^= b[i];
        v *= 16777619u;
    }
    for (int i = 0; i < 4; ++i) b[b.size() - 4 + i] = static_cast<unsigned char>(v >> (8 * i));
}

} // namespace

TEST(ChartState, SavedStateLoadedIntoAFreshObjectDrawsTheSamePicture) {
    Parent parent;
    HWND a = humidityChart(parent.hwnd);
    chart::ceSetInt(a, 3090, 17); // points plus line
    setElemInt(a, 3271, 1, 5);    // a medium line
    chart::ceResetImage(a, 0, 0);
    std::vector<unsigned char> block = save(a);

    RECT r{0, 0, 800, 400};
    HWND b = chart::ceCreate(chart::kNewObject, 0, &r, parent.hwnd, 100);
    ASSERT_EQ(load(b, block), 1);
    chart::ceReinitialize(b);
    chart::ceResetImage(b, 0, 0);
    EXPECT_EQ(replay(a), replay(b));
    EXPECT_EQ(save(b), block);
    // The loaded object still talks to its own parent.
    EXPECT_EQ(chart::ceGetInt(b, 2915), handleToInt(parent.hwnd));
    chart::ceDestroy(a);
    chart::ceDestroy(b);
}

TEST(ChartState, DamagedBlocksAreRefusedWhole) {
    Parent parent;
    HWND source = humidityChart(parent.hwnd, 30);
    std::vector<unsigned char> good = save(source);
    chart::ceDestroy(source);

    RECT r{0, 0, 400, 300};
    HWND h = chart::ceCreate(chart::kNewObject, 0, &r, nullptr, 1);
    setStr(h, 2105, "Mine");
    chart::ceSetInt(h, 2115, 2);
    std::vector<unsigned char> before = save(h);

    std::vector<std::vector<unsigned char>> bad;
    for (std::size_t n : {std::size_t(0), std::size_t(3), std::size_t(11), std::size_t(12), good.size() / 2,
                          good.size() - 5, good.size() - 1})
        bad.emplace_back(good.begin(), good.begin() + n); // truncated
    std::vector<unsigned char> longer = good;
    longer.push_back(0);
    bad.push_back(longer);
    std::vector<unsigned char> otherVersion = good;
    otherVersion[4] = 9;
    reseal(otherVersion);
    bad.push_back(otherVersion);
    std::vector<unsigned char> flipped = good;
    flipped[good.size() / 3] ^= 0x40;
    bad.push_back(flipped);
    // A count that claims more than the block holds, with a valid trailer.
    std::vector<unsigned char> huge = good;
    huge[16] = 0xFF, huge[17] = 0xFF, huge[18] = 0xFF, huge[19] = 0x7F;
    reseal(huge);
    bad.push_back(huge);
    // A number no setter could have stored, with a valid trailer: the scalars follow
    // the header as (id, double) pairs.
    for (auto [id, value] : {std::pair{3006u, 1e300}, std::pair{3620u, std::nan("")}}) {
        std::vector<unsigned char> odd = good;
        for (std::size_t at = 20; at + 12 <= odd.size(); at += 12) {
            std::uint32_t key;
            std::memcpy(&key, &odd[at], 4);
            if (key == id) {
                std::memcpy(&odd[at + 4], &value, 8);
                break;
            }
        }
        EXPECT_NE(odd, good) << id;
        reseal(odd);
        bad.push_back(odd);
    }
    std::vector<unsigned char> garbage(4096);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<unsigned char>(i * 131 + 7);
    bad.push_back(garbage);

    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_EQ(load(h, bad[i]), 0) << "case " << i;
        EXPECT_EQ(save(h), before) << "case " << i;
    }
    HGLOBAL none = nullptr;
    EXPECT_EQ(chart::ceLoadState(h, &none), 0);
    EXPECT_EQ(chart::ceLoadState(h, nullptr), 0);
    EXPECT_EQ(load(h, good), 1);
    chart::ceDestroy(h);
}

TEST(ChartState, AZoomedChartSavesItsSettingsNotItsZoom) {
    Parent parent;
    HWND a = humidityChart(parent.hwnd);
    QImage unzoomed = replay(a);
    chart::ceSetInt(a, 3283, 1); // zoomed by the user
    setDouble(a, 3248, kDay0 + 10.2 / 24);
    setDouble(a, 3249, kDay0 + 10.4 / 24);
    std::vector<unsigned char> block = save(a);
    RECT r{0, 0, 800, 400};
    HWND b = chart::ceCreate(chart::kNewObject, 0, &r, parent.hwnd, 100);
    ASSERT_EQ(load(b, block), 1);
    EXPECT_EQ(chart::ceGetInt(b, 3283), 0);
    chart::ceResetImage(b, 0, 0);
    EXPECT_EQ(replay(b), unzoomed);
    chart::ceDestroy(a);
    chart::ceDestroy(b);
}

TEST(ChartState, ALoadedStateIsNotUndoneAsACustomisation) {
    Parent parent;
    HWND a = humidityChart(parent.hwnd);
    HWND b = humidityChart(parent.hwnd);
    setStr(b, 2105, "From the template");
    std::vector<unsigned char> block = save(b);

    // A user's change on the dialog, then a template loaded over it.
    Engine::find(a)->applyCustomString(2105, "Typed by the user");
    ASSERT_EQ(load(a, block), 1);
    chart::ceReinitCustoms(a);
    char buf[256];
    chart::ceGetString(a, 2105, buf);
    EXPECT_STREQ(buf, "From the template");
    chart::ceDestroy(a);
    chart::ceDestroy(b);
}
