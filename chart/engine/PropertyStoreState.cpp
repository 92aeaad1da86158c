// The state block: the whole store as one versioned, checksummed image, written in
// one pass into a block of its size and read back only when it is sound.

#include "chart/engine/PropertyStore.h"
#include "chart/engine/StoreKeys.h"

#include <cmath>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace chart::engine {

using namespace store;

namespace {

// The saved image: magic, version, then sections; a checksum over all of it ends it.
// Version 2 keeps the per-point colours, types and labels as the cells written;
// version 1 held every cell.
constexpr char kMagic[4] = {'S', 'G', 'C', 'E'};
constexpr std::uint32_t kVersion = 2;

// Writes the image at `out`, or only counts its bytes when `out` is null: the image is
// measured first and then written once into a block of its size.
class Writer {
public:
    explicit Writer(unsigned char *out) : out_(out) {}
    std::size_t size() const { return n_; }
    void bytes(const void *p, std::size_t k) {
        if (out_) std::memcpy(out_ + n_, p, k);
        n_ += k;
    }
    void u32(std::uint32_t v) {
        unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        bytes(b, 4);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f64(double v) {
        std::uint64_t b;
        std::memcpy(&b, &v, 8);
        u32(static_cast<std::uint32_t>(b));
        u32(static_cast<std::uint32_t>(b >> 32));
    }
    void f32(float v) {
        std::uint32_t b;
        std::memcpy(&b, &v, 4);
        u32(b);
    }
    void str(std::string_view s) {
        u32(static_cast<std::uint32_t>(s.size()));
        bytes(s.data(), s.size());
    }

private:
    unsigned char *out_;
    std::size_t n_ = 0;
};

class Reader {
public:
    Reader(const unsigned char *d, std::size_t n) : d_(d), n_(n) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ == n_; }
    std::uint32_t u32() {
        if (!need(4)) return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(d_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    double f64() {
        std::uint64_t lo = u32(), hi = u32();
        std::uint64_t b = lo | (hi << 32);
        double v;
        std::memcpy(&v, &b, 8);
        return v;
    }
    float f32() {
        std::uint32_t b = u32();
        float v;
        std::memcpy(&v, &b, 4);
        return v;
    }
    // A text, as a view into the block.
    std::string_view str() {
        std::uint32_t len = u32();
        if (!need(len)) return {};
        std::string_view s(reinterpret_cast<const char *>(d_ + pos_), len);
        pos_ += len;
        return s;
    }
    // A count of items each at least `minBytes` long must fit what is left.
    std::uint32_t count(std::size_t minBytes) {
        std::uint32_t c = u32();
        if (ok_ && minBytes && c > (n_ - pos_) / minBytes) ok_ = false;
        return ok_ ? c : 0;
    }
    void fail() { ok_ = false; }
    std::size_t left() const { return n_ - pos_; }

private:
    bool need(std::size_t k) {
        if (!ok_ || n_ - pos_ < k) {
            ok_ = false;
            return false;
        }
        return true;
    }
    const unsigned char *d_;
    std::size_t n_, pos_ = 0;
    bool ok_ = true;
};

std::uint32_t fnv1a(const unsigned char *d, std::size_t n) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= d[i];
        h *= 16777619u;
    }
    return h;
}

} // namespace

// ---- the state block ----------------------------------------------------------------
//
// magic "SGCE", version, subsets, points, then the sections, each a count and its
// entries, and an FNV-1a checksum of all that comes before it:
//   numbers       key (axis * 100000 + id), f64
//   strings       key, text
//   lists         id, element count, every element (f64)
//   string lists  id, element count, every element (text)
//   grids         id, entry count, entries (row, column, f64)
//   string grids  id, entry count, entries (row, column, text)
//   data arrays   id, type, then every cell (f64, f32) or, for int and text arrays,
//                 the count of cells written and each (cell, value)  [version 1: every
//                 cell of those too]
// Integers are little-endian 32 bits, texts their length and their bytes.

namespace {

// What a property never set to anything is: the parent window, the paint flags and the
// user's zoom (a template saved while zoomed would start every later chart zoomed,
// and a real-time axis never moves while zoomed).
bool transient(std::uint32_t k) {
    switch (k % 100000u) {
        case id::ParentWindow:
        case id::Painting:
        case id::ImageDirty:
        case id::ZoomMode: return true;
        default: return false;
    }
}

// Runs f(id, first key, last key) for each run of keys of one id.
template <class Map, class F> void forEachId(const Map &m, F f) {
    bool open = false;
    int id = 0;
    typename std::remove_cvref_t<decltype(m)>::key_type first = 0, last = 0;
    m.forEach([&](auto k, const auto &) {
        if (open && keyId(k) == id) {
            last = k;
            return;
        }
        if (open) f(id, first, last);
        open = true;
        id = keyId(k);
        first = last = k;
    });
    if (open) f(id, first, last);
}

} // namespace

template <class W> void PropertyStore::write(W &w) const {
    w.bytes(kMagic, 4);
    w.u32(kVersion);
    w.i32(subsets_);
    w.i32(points_);
    std::uint32_t kept = 0;
    numbers_.forEach([&](std::uint32_t k, double) { kept += !transient(k); });
    w.u32(kept);
    numbers_.forEach([&](std::uint32_t k, double v) {
        if (transient(k)) return;
        w.u32(k);
        w.f64(v);
    });
    w.u32(static_cast<std::uint32_t>(strings_.size()));
    strings_.forEach([&](std::uint32_t k, const Text &v) {
        w.u32(k);
        w.str(v.view());
    });
    // Lists hold every element up to the last.
    auto writeLists = [&](const auto &lists, auto writeValue, auto none) {
        std::uint32_t ids = 0;
        forEachId(lists, [&](int, std::uint64_t, std::uint64_t) { ++ids; });
        w.u32(ids);
        forEachId(lists, [&](int id, std::uint64_t, std::uint64_t last) {
            auto count = static_cast<std::uint32_t>(last & 0xFFFFFFFFu) + 1;
            w.i32(id);
            w.u32(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                const auto *v = lists.find(listKey(id, static_cast<int>(i)));
                writeValue(v ? *v : none);
            }
        });
    };
    auto writeGrids = [&](const auto &grids, auto writeValue) {
        std::vector<std::pair<int, std::uint32_t>> ids; // entries of each id, in order
        grids.forEach([&](std::uint64_t k, const auto &) {
            if (ids.empty() || ids.back().first != keyId(k)) ids.emplace_back(keyId(k), 0);
            ++ids.back().second;
        });
        w.u32(static_cast<std::uint32_t>(ids.size()));
        std::size_t at = 0;
        std::uint32_t left = 0;
        grids.forEach([&](std::uint64_t k, const auto &v) {
            if (left == 0) {
                w.i32(ids[at].first);
                w.u32(left = ids[at].second);
                ++at;
            }
            --left;
            w.i32(static_cast<std::int32_t>((k >> 16) & 0xFFFF));
            w.i32(static_cast<std::int32_t>(k & 0xFFFF));
            writeValue(v);
        });
    };
    auto writeNumber = [&](double v) { w.f64(v); };
    auto writeString = [&](const Text &v) { w.str(v.view()); };
    writeLists(arrays_, writeNumber, 0.0);
    writeLists(stringArrays_, writeString, Text());
    writeGrids(arrays2_, writeNumber);
    writeGrids(stringArrays2_, writeString);
    w.u32(static_cast<std::uint32_t>(data_.size()));
    for (auto &[id, a] : data_) {
        w.i32(id);
        w.u32(static_cast<std::uint32_t>(a.type));
        switch (a.type) {
            case ElemType::Double:
                for (double v : a.d) w.f64(v);
                break;
            case ElemType::Single:
                for (float v : a.f) w.f32(v);
                break;
            case ElemType::Int:
                w.u32(static_cast<std::uint32_t>(a.i.size()));
                a.i.forEach([&](std::uint32_t cell, std::int32_t v) {
                    w.u32(cell);
                    w.i32(v);
                });
                break;
            case ElemType::String:
                w.u32(static_cast<std::uint32_t>(a.s.size()));
                a.s.forEach([&](std::uint32_t cell, const Text &v) {
                    w.u32(cell);
                    w.str(v.view());
                });
                break;
        }
    }
}

std::size_t PropertyStore::stateSize() const {
    Writer count(nullptr);
    write(count);
    return count.size() + 4;
}

void PropertyStore::writeState(unsigned char *out) const {
    Writer w(out);
    write(w);
    std::uint32_t sum = fnv1a(out, w.size());
    w.u32(sum);
}

std::vector<unsigned char> PropertyStore::toBytes() const {
    std::vector<unsigned char> out(stateSize());
    writeState(out.data());
    return out;
}

// Reads a block twice: first only to check it (nothing is allocated for it), then to
// build the store from it. What the block makes is bounded by its size: a count of
// entries must fit the bytes left, every entry is kept in about what its bytes take
// (a key and a value; empty texts, unwritten cells, not at all), and the cells of the
// dense data arrays are there in full.
template <bool Build> bool PropertyStore::read(const unsigned char *data, std::size_t size, PropertyStore *into) {
    if (!data || size < 12 || std::memcmp(data, kMagic, 4) != 0) return false;
    std::size_t body = size - 4;
    Reader tail(data + body, 4);
    if (tail.u32() != fnv1a(data, body)) return false;
    Reader r(data + 4, body - 4);
    std::uint32_t version = r.u32();
    if (version != 1 && version != kVersion) return false;
    PropertyStore &s = *into;
    int subsets = r.i32(), points = r.i32();
    if (subsets < 1 || subsets > kMaxSubsets || points < 1 || std::int64_t(subsets) * points > kMaxDataCells)
        return false;
    std::size_t cells = static_cast<std::size_t>(subsets) * points;
    if constexpr (Build) {
        s.numbers_.clear();
        s.strings_.clear();
        s.subsets_ = subsets;
        s.points_ = points;
    }
    bool sawSubsets = false, sawPoints = false;
    for (std::uint32_t n = r.count(12); n-- && r.ok();) {
        std::uint32_t k = r.u32();
        double v = r.f64();
        // Values no setter could have stored mark a damaged block.
        if (std::isnan(v) || (intTyped(static_cast<int>(k % 100000u)) && !fitsInt32(v))) r.fail();
        if (k == id::Subsets) sawSubsets = v == subsets;
        if (k == id::Points) sawPoints = v == points;
        if constexpr (Build) s.numbers_.set(k, v);
    }
    for (std::uint32_t n = r.count(8); n-- && r.ok();) {
        std::uint32_t k = r.u32();
        std::string_view v = r.str();
        if constexpr (Build)
            if (!v.empty()) s.strings_.set(k, Text(v.substr(0, 255)));
    }
    auto readLists = [&](auto &lists, std::uint32_t entrySize, auto readValue, auto keepValue) {
        for (std::uint32_t n = r.count(8); n-- && r.ok();) {
            int id = r.i32();
            std::uint32_t c = r.count(entrySize);
            if (c > kMaxArrayIndex + 1u) r.fail();
            for (std::uint32_t i = 0; i < c && r.ok(); ++i) {
                auto v = readValue(id);
                if constexpr (Build)
                    if (keepValue(v)) lists.set(listKey(id, static_cast<int>(i)), stored(v));
            }
        }
    };
    auto readGrids = [&](auto &grids, std::uint32_t entrySize, auto readValue) {
        for (std::uint32_t n = r.count(8); n-- && r.ok();) {
            int id = r.i32();
            std::uint32_t c = r.count(entrySize);
            for (std::uint32_t i = 0; i < c && r.ok(); ++i) {
                int a = r.i32(), b = r.i32();
                auto v = readValue(-1);
                if (!validIndex(a) || !validIndex(b)) r.fail();
                if constexpr (Build) grids.set(gridKey(id, a, b), stored(v));
            }
        }
    };
    auto readListNumber = [&](int id) {
        double v = r.f64();
        if (intTyped(id) && !fitsInt32(v)) r.fail();
        return v;
    };
    auto readGridNumber = [&](int) {
        double v = r.f64();
        if (!fitsInt32(v)) r.fail();
        return v;
    };
    auto readString = [&](int) { return r.str(); };
    auto always = [](const auto &) { return true; };
    auto text = [](std::string_view v) { return !v.empty(); };
    readLists(s.arrays_, 8, readListNumber, always);
    readLists(s.stringArrays_, 4, readString, text);
    readGrids(s.arrays2_, 16, readGridNumber);
    readGrids(s.stringArrays2_, 12, readString);
    std::vector<int> seen;
    for (std::uint32_t n = r.count(8); n-- && r.ok();) {
        int id = r.i32();
        auto type = static_cast<ElemType>(r.u32());
        if (dataInfo(id).shape != Shape::Data || dataInfo(id).type != type ||
            std::find(seen.begin(), seen.end(), id) != seen.end()) {
            r.fail();
            break;
        }
        seen.push_back(id);
        DataArray a;
        a.type = type;
        if (sparseData(type) && version >= 2) {
            // The cells written, in order.
            std::uint32_t c = r.count(8); // a cell and a value, or a cell and a length
            std::int64_t previous = -1;
            for (std::uint32_t i = 0; i < c && r.ok(); ++i) {
                std::uint32_t cell = r.u32();
                if (cell >= cells || std::int64_t(cell) <= previous) r.fail();
                previous = cell;
                if (type == ElemType::Int) {
                    std::int32_t v = r.i32();
                    if constexpr (Build)
                        if (v != 0 && r.ok()) a.i.set(cell, v);
                } else {
                    std::string_view v = r.str();
                    if constexpr (Build)
                        if (!v.empty() && r.ok()) a.s.set(cell, stored(v));
                }
            }
        } else {
            std::size_t width = type == ElemType::Double ? 8 : 4;
            if (cells > r.left() / width) {
                r.fail();
                break;
            }
            if constexpr (Build) {
                if (type == ElemType::Double)
                    a.d.reserve(cells);
                else if (type == ElemType::Single)
                    a.f.reserve(cells);
            }
            for (std::size_t i = 0; i < cells && r.ok(); ++i) {
                switch (type) {
                    case ElemType::Double: {
                        double v = r.f64();
                        if constexpr (Build) a.d.push_back(v);
                        break;
                    }
                    case ElemType::Single: {
                        float v = r.f32();
                        if constexpr (Build) a.f.push_back(v);
                        break;
                    }
                    case ElemType::Int: {
                        std::int32_t v = r.i32();
                        if constexpr (Build)
                            if (v != 0) a.i.set(static_cast<std::uint32_t>(i), v);
                        break;
                    }
                    case ElemType::String: {
                        std::string_view v = r.str();
                        if constexpr (Build)
                            if (!v.empty()) a.s.set(static_cast<std::uint32_t>(i), stored(v));
                        break;
                    }
                }
            }
        }
        if constexpr (Build) s.data_.emplace(id, std::move(a));
    }
    return r.ok() && r.atEnd() && sawSubsets && sawPoints;
}

bool PropertyStore::fromBytes(const unsigned char *data, std::size_t size) {
    if (!read<false>(data, size, this)) return false;
    PropertyStore s;
    if (!read<true>(data, size, &s)) return false;
    *this = std::move(s);
    touch();
    return true;
}

} // namespace chart::engine
