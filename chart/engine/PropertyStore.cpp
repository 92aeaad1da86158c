#include "chart/engine/PropertyStore.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string_view>
#include <type_traits>

namespace chart::engine {

namespace {

const std::set<int> &doubleScalars()
{
    static const std::set<int> s = {
        3015, 3020, 3055, 3060, 3620, 3625, 3245, 3250, 3645, 3646, 3263, 3264, 3266, 3267, 3656,
        3268, 3212, 3019, 3665, 3666, 3670, 3671, 3073, 3074, 3098, 3099, 3682, 3683, 3685, 3248,
        3249, 3284, 3285, 3117, 3118, 3119, 3697, 3698, 3171, 3172, 3173, 3174};
    return s;
}
const std::set<int> &singleScalars()
{
    static const std::set<int> s = {2634, 2635, 3042, 2945, 2946, 2947, 2948, 2949, 3124, 3142};
    return s;
}
const std::set<int> &stringScalars()
{
    static const std::set<int> s = {2105, 2110, 2445, 2485, 2525, 3000, 3005, 3025, 3030,
                                    3255, 3667, 3052, 3053, 3054, 3056, 2923, 3071, 3072,
                                    3678, 3679, 2690, 2695, 2970, 2986, 2111, 2113, 2114};
    return s;
}
// 3058: the best-fit coefficients, read as [i * 10 + j].
const std::set<int> &doubleArrays() { static const std::set<int> s = {3291, 3292, 3297, 3299, 3213, 3218, 3123, 3058}; return s; }
const std::set<int> &singleArrays() { static const std::set<int> s = {3007}; return s; }
const std::set<int> &stringArrays()
{
    static const std::set<int> s = {2125, 2130, 3293, 3298, 3201, 3214, 3219, 2626, 2630, 2631, 3691, 2670};
    return s;
}
const std::set<int> &intArrays()
{
    static const std::set<int> s = {3138, 3139, 2323, 3080, 3270, 3271, 3216, 3221, 3246, 2624,
                                    2625, 3001, 3002, 3003, 3008, 3059, 3068, 3089, 3157, 3155,
                                    2959, 3103, 2321, 2190, 3217, 3222, 3236, 3237, 3238, 2627,
                                    2195, 2669, 2940};
    return s;
}
const std::set<int> &arrays2()
{
    static const std::set<int> s = {2956, 2953, 2955, 2954, 2971, 2667, 2668, 2969};
    return s;
}
const std::set<int> &stringArrays2() { static const std::set<int> s = {2954, 2971}; return s; }
// Data arrays: [subset, point], sized by Subsets x Points.
PropInfo dataInfo(int id)
{
    switch (id) {
    case id::XData: case id::YData: case id::ZData: return {Shape::Data, ElemType::Single};
    case id::XDataII: case id::YDataII: return {Shape::Data, ElemType::Double};
    case id::PointColors: case id::PointTypes: case 3114: return {Shape::Data, ElemType::Int};
    case id::DataPointLabels: return {Shape::Data, ElemType::String};
    default: return {Shape::Scalar, ElemType::Int};
    }
}

const std::set<int> &axisScoped()
{
    static const std::set<int> s = {
        id::YAxisLabel, id::YAxisColor, id::YAxisScaleControl, id::ManualScaleControlY,
        id::ManualMinY, id::ManualMaxY, id::ManualYAxisTicknLine, id::ManualYAxisTick,
        id::ManualYAxisLine, id::ShowYAxis, id::InvertedYAxis, id::AxisFormatY,
        id::ShowTickMarkY, 3043 /*YAxisLongTicks*/, id::YAxisWholeNumbers, 3093 /*SpecialScalingY*/,
        3160 /*CustomGridNumbersY*/, id::ZoomMinY, id::ZoomMaxY};
    return s;
}

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
    void bytes(const void *p, std::size_t k)
    {
        if (out_)
            std::memcpy(out_ + n_, p, k);
        n_ += k;
    }
    void u32(std::uint32_t v)
    {
        unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        bytes(b, 4);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f64(double v) { std::uint64_t b; std::memcpy(&b, &v, 8); u32(static_cast<std::uint32_t>(b)); u32(static_cast<std::uint32_t>(b >> 32)); }
    void f32(float v) { std::uint32_t b; std::memcpy(&b, &v, 4); u32(b); }
    void str(std::string_view s) { u32(static_cast<std::uint32_t>(s.size())); bytes(s.data(), s.size()); }

private:
    unsigned char *out_;
    std::size_t n_ = 0;
};

class Reader {
public:
    Reader(const unsigned char *d, std::size_t n) : d_(d), n_(n) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ == n_; }
    std::uint32_t u32()
    {
        if (!need(4))
            return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(d_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    double f64()
    {
        std::uint64_t lo = u32(), hi = u32();
        std::uint64_t b = lo | (hi << 32);
        double v;
        std::memcpy(&v, &b, 8);
        return v;
    }
    float f32() { std::uint32_t b = u32(); float v; std::memcpy(&v, &b, 4); return v; }
    // A text, as a view into the block.
    std::string_view str()
    {
        std::uint32_t len = u32();
        if (!need(len))
            return {};
        std::string_view s(reinterpret_cast<const char *>(d_ + pos_), len);
        pos_ += len;
        return s;
    }
    // A count of items each at least `minBytes` long must fit what is left.
    std::uint32_t count(std::size_t minBytes)
    {
        std::uint32_t c = u32();
        if (ok_ && minBytes && c > (n_ - pos_) / minBytes)
            ok_ = false;
        return ok_ ? c : 0;
    }
    void fail() { ok_ = false; }
    std::size_t left() const { return n_ - pos_; }

private:
    bool need(std::size_t k)
    {
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

std::uint32_t fnv1a(const unsigned char *d, std::size_t n)
{
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= d[i];
        h *= 16777619u;
    }
    return h;
}

bool validIndex(int i) { return i >= 0 && i <= kMaxArrayIndex; }

} // namespace

PropInfo propInfo(int id)
{
    PropInfo d = dataInfo(id);
    if (d.shape == Shape::Data)
        return d;
    if (doubleScalars().count(id))
        return {Shape::Scalar, ElemType::Double};
    if (singleScalars().count(id))
        return {Shape::Scalar, ElemType::Single};
    if (stringScalars().count(id))
        return {Shape::Scalar, ElemType::String};
    if (doubleArrays().count(id))
        return {Shape::Array1, ElemType::Double};
    if (singleArrays().count(id))
        return {Shape::Array1, ElemType::Single};
    if (stringArrays().count(id))
        return {Shape::Array1, ElemType::String};
    if (intArrays().count(id))
        return {Shape::Array1, ElemType::Int};
    if (arrays2().count(id))
        return {Shape::Array2, stringArrays2().count(id) ? ElemType::String : ElemType::Int};
    return {Shape::Scalar, ElemType::Int};
}

bool isAxisScoped(int id) { return axisScoped().count(id) != 0; }

namespace {

// An integer property holds nothing an int32 cannot: what it is read as, drawn with
// and indexed by.
bool fitsInt32(double v) { return v >= -2147483648.0 && v <= 2147483647.0; }
bool intTyped(int id) { return propInfo(id).type == ElemType::Int; }

// Keys of list elements: id and index; of grid elements: id, row and column (indexes
// are at most kMaxArrayIndex, below 2^16).
std::uint64_t listKey(int id, int index) { return std::uint64_t(std::uint32_t(id)) << 32 | std::uint32_t(index); }
std::uint64_t gridKey(int id, int i, int j)
{
    return std::uint64_t(std::uint32_t(id)) << 32 | std::uint64_t(std::uint32_t(i)) << 16 | std::uint32_t(j);
}
int keyId(std::uint64_t k) { return static_cast<int>(static_cast<std::uint32_t>(k >> 32)); }
bool sparseData(ElemType t) { return t == ElemType::Int || t == ElemType::String; }

// A value as the store keeps it: a number as it is, a text (as a setter would) cut to
// 255 characters.
double stored(double v) { return v; }
Text stored(std::string_view v) { return Text(v.substr(0, 255)); }

// Elements of one id in a list map: its highest index + 1.
template <class Map> int listCount(const Map &m, int id)
{
    std::uint64_t k = 0;
    if (m.lastAtMost(listKey(id, 0xFFFF), k) && keyId(k) == id)
        return static_cast<int>(k & 0xFFFFFFFFu) + 1;
    return 0;
}

} // namespace

PropertyStore::PropertyStore() { resetToDefaults(); }

void PropertyStore::touch()
{
    static std::uint64_t last = 0;
    revision_ = ++last;
}

PropertyStore PropertyStore::withoutData() const
{
    PropertyStore c;
    c.numbers_ = numbers_;
    c.strings_ = strings_;
    c.arrays_ = arrays_;
    c.stringArrays_ = stringArrays_;
    c.arrays2_ = arrays2_;
    c.stringArrays2_ = stringArrays2_;
    c.subsets_ = subsets_;
    c.points_ = points_;
    c.revision_ = revision_;
    return c;
}

void PropertyStore::resetToDefaults()
{
    touch();
    numbers_.clear();
    strings_.clear();
    arrays_.clear();
    stringArrays_.clear();
    arrays2_.clear();
    stringArrays2_.clear();
    data_.clear();
    subsets_ = 1;
    points_ = 10;
    const std::pair<int, double> defaults[] = {
        {id::ObjectType, 304},          {id::Subsets, 1},
        {id::Points, 10},               {id::DeskColor, 0xC0C0C0},
        {id::GraphBackColor, 0xFFFFFF}, {id::GraphForeColor, 0},
        {id::TextColor, 0},             {id::ShadowColor, 0x808080},
        {id::MonoDeskColor, 0xFFFFFF},  {id::MonoGraphBackColor, 0xFFFFFF},
        {id::MonoGraphForeColor, 0},    {id::MonoTextColor, 0},
        {id::FontSize, 1},              {id::AllowPopup, 1},
        {id::AllowCustomization, 1},    {id::AllowExporting, 1},
        {id::AllowMaximization, 1},     {id::AllowUserInterface, 1},
        {id::ShowLegend, 1},            {id::DataPrecision, 2},
        {id::NullDataValueY, -1e300},   {id::NullDataValueX, -1e300},
        {id::ShowAnnotations, 1},       {id::ShowVertLineAnnotations, 1},
        {id::ShowHorzLineAnnotations, 1}, {id::ShowGraphAnnotations, 1},
        {id::LineAnnotationTextSize, 100}, {id::GraphAnnotationTextSize, 100},
        {id::BorderTypes, 0},           {id::AllowDataHotSpots, 0},
        {id::FontSizeGlobalCntl, 1.0},  {id::MultiAxisSeparatorSize, 100},
    };
    for (auto [k, v] : defaults)
        numbers_.set(static_cast<std::uint32_t>(k), v);
    // Popup menu entries start shown.
    for (int menu : {2640, 2641, 2642, 2643, 2655, 2656, 2657, 2658, 2659, 2660, 2661, 2662, 2663,
                     2664, 3164, 3165, 3166, 3167, 3168, 3169, 3170, 3696, 2702, 2673, 2674, 2671})
        numbers_.set(static_cast<std::uint32_t>(menu), 1);
    numbers_.set(id::ZoomMinAxis, -1);
    numbers_.set(id::ZoomMaxAxis, -1);
    strings_.set(id::MainTitleFont, Text("Arial"));
    strings_.set(id::SubTitleFont, Text("Arial"));
    strings_.set(id::LabelFont, Text("Arial"));
}

std::uint32_t PropertyStore::key(int id) const
{
    int axis = 0;
    if (isAxisScoped(id)) {
        const double *w = numbers_.find(id::WorkingAxis);
        if (w && *w >= 0 && *w < kMaxAxes)
            axis = static_cast<int>(*w);
    }
    return static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id);
}

bool PropertyStore::setNumber(int id, double v)
{
    // No property has a meaning for NaN; an integer one keeps its value when the
    // number does not fit it.
    if (std::isnan(v) || (intTyped(id) && !fitsInt32(v)))
        return false;
    if (id == id::WorkingAxis && (v < 0 || v >= kMaxAxes))
        return false; // an axis that cannot exist: keep writing to the current one
    // The paint flags change with every paint and are nothing a picture shows.
    if (id != id::ImageDirty && id != id::Painting)
        touch();
    if (id == id::Subsets || id == id::Points) {
        std::int64_t n = static_cast<std::int64_t>(v);
        if (n < 1 || n * (id == id::Subsets ? points_ : subsets_) > kMaxDataCells ||
            (id == id::Subsets && n > kMaxSubsets))
            return false;
        numbers_.set(static_cast<std::uint32_t>(id), static_cast<double>(n));
        resizeData(id == id::Subsets ? static_cast<int>(n) : subsets_,
                   id == id::Points ? static_cast<int>(n) : points_);
        return true;
    }
    numbers_.set(key(id), v);
    return true;
}

double PropertyStore::number(int id) const
{
    const double *v = numbers_.find(key(id));
    return v ? *v : 0.0;
}

std::int32_t PropertyStore::integer(int id) const
{
    double v = number(id);
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<std::int32_t>(v);
}

void PropertyStore::setString(int id, std::string v)
{
    touch();
    if (v.size() > 255)
        v.resize(255);
    // An empty text reads as one never set.
    if (v.empty())
        strings_.erase(key(id));
    else
        strings_.set(key(id), Text(v));
}

std::string PropertyStore::string(int id) const
{
    const Text *v = strings_.find(key(id));
    return v ? v->str() : std::string();
}

bool PropertyStore::axisHas(int id, int axis) const
{
    std::uint32_t k = static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id);
    return numbers_.contains(k) || strings_.contains(k);
}

double PropertyStore::axisNumber(int id, int axis) const
{
    if (!isAxisScoped(id) || axis < 0 || axis >= kMaxAxes)
        return number(id);
    const double *v = numbers_.find(static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id));
    return v ? *v : 0.0;
}

bool PropertyStore::setAxisNumber(int id, int axis, double v)
{
    if (!isAxisScoped(id) || axis < 0 || axis >= kMaxAxes || std::isnan(v) || (intTyped(id) && !fitsInt32(v)))
        return false;
    touch();
    numbers_.set(static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id), v);
    return true;
}

std::string PropertyStore::axisString(int id, int axis) const
{
    if (!isAxisScoped(id) || axis < 0 || axis >= kMaxAxes)
        return string(id);
    const Text *v = strings_.find(static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id));
    return v ? v->str() : std::string();
}

bool PropertyStore::setElem(int id, int index, double v)
{
    if (!validIndex(index) || (intTyped(id) && !fitsInt32(v)))
        return false;
    touch();
    arrays_.set(listKey(id, index), v);
    return true;
}

bool PropertyStore::setElemString(int id, int index, std::string v)
{
    if (!validIndex(index))
        return false;
    touch();
    if (v.size() > 255)
        v.resize(255);
    if (v.empty())
        stringArrays_.erase(listKey(id, index));
    else
        stringArrays_.set(listKey(id, index), Text(v));
    return true;
}

bool PropertyStore::elem(int id, int index, double &v) const
{
    if (!validIndex(index) || index >= listCount(arrays_, id))
        return false;
    const double *e = arrays_.find(listKey(id, index));
    v = e ? *e : 0.0;
    return true;
}

bool PropertyStore::elemString(int id, int index, std::string &v) const
{
    if (!validIndex(index) || index >= listCount(stringArrays_, id))
        return false;
    const Text *e = stringArrays_.find(listKey(id, index));
    v = e ? e->str() : std::string();
    return true;
}

int PropertyStore::elemCount(int id) const
{
    int n = listCount(arrays_, id);
    return n > 0 ? n : listCount(stringArrays_, id);
}

PropertyStore::DataArray *PropertyStore::dataFor(int id, bool create)
{
    auto it = data_.find(id);
    if (it != data_.end())
        return &it->second;
    if (!create)
        return nullptr;
    DataArray a;
    a.type = dataInfo(id).type;
    std::size_t n = static_cast<std::size_t>(subsets_) * static_cast<std::size_t>(points_);
    if (a.type == ElemType::Double)
        a.d.assign(n, 0.0);
    else if (a.type == ElemType::Single)
        a.f.assign(n, 0.0f);
    return &data_.emplace(id, std::move(a)).first->second;
}

const PropertyStore::DataArray *PropertyStore::dataFor(int id) const
{
    auto it = data_.find(id);
    return it == data_.end() ? nullptr : &it->second;
}

bool PropertyStore::setElem2(int id, int i, int j, double v)
{
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_)
            return false;
        if (dataInfo(id).type == ElemType::Int && !fitsInt32(v))
            return false;
        DataArray *a = dataFor(id, true);
        std::size_t k = static_cast<std::size_t>(i) * points_ + j;
        switch (a->type) {
        case ElemType::Double: a->d[k] = v; break;
        case ElemType::Single: a->f[k] = static_cast<float>(v); break;
        case ElemType::Int:
            if (v == 0)
                a->i.erase(static_cast<std::uint32_t>(k));
            else
                a->i.set(static_cast<std::uint32_t>(k), static_cast<std::int32_t>(v));
            break;
        case ElemType::String: return false;
        }
        return true;
    }
    if (!validIndex(i) || !validIndex(j) || !fitsInt32(v))
        return false;
    touch();
    arrays2_.set(gridKey(id, i, j), v);
    return true;
}

bool PropertyStore::setElem2String(int id, int i, int j, std::string v)
{
    if (v.size() > 255)
        v.resize(255);
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_ || dataInfo(id).type != ElemType::String)
            return false;
        auto k = static_cast<std::uint32_t>(static_cast<std::size_t>(i) * points_ + j);
        if (v.empty()) {
            if (DataArray *a = dataFor(id, false))
                a->s.erase(k);
        } else {
            dataFor(id, true)->s.set(k, Text(v));
        }
        return true;
    }
    if (!validIndex(i) || !validIndex(j))
        return false;
    touch();
    stringArrays2_.set(gridKey(id, i, j), Text(v));
    return true;
}

bool PropertyStore::elem2(int id, int i, int j, double &v) const
{
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_)
            return false;
        const DataArray *a = dataFor(id);
        std::size_t k = static_cast<std::size_t>(i) * points_ + j;
        if (!a) {
            v = 0;
            return true;
        }
        switch (a->type) {
        case ElemType::Double: v = a->d[k]; return true;
        case ElemType::Single: v = a->f[k]; return true;
        case ElemType::Int: {
            const std::int32_t *e = a->i.find(static_cast<std::uint32_t>(k));
            v = e ? *e : 0;
            return true;
        }
        case ElemType::String: return false;
        }
        return false;
    }
    if (!validIndex(i) || !validIndex(j))
        return false;
    const double *e = arrays2_.find(gridKey(id, i, j));
    if (!e)
        return false;
    v = *e;
    return true;
}

bool PropertyStore::elem2String(int id, int i, int j, std::string &v) const
{
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_ || dataInfo(id).type != ElemType::String)
            return false;
        const DataArray *a = dataFor(id);
        const Text *e = a ? a->s.find(static_cast<std::uint32_t>(static_cast<std::size_t>(i) * points_ + j)) : nullptr;
        v = e ? e->str() : std::string();
        return true;
    }
    if (!validIndex(i) || !validIndex(j))
        return false;
    const Text *e = stringArrays2_.find(gridKey(id, i, j));
    if (!e)
        return false;
    v = e->str();
    return true;
}

const double *PropertyStore::dataDoubles(int id, int subset) const
{
    const DataArray *a = dataFor(id);
    if (!a || a->type != ElemType::Double || subset < 0 || subset >= subsets_)
        return nullptr;
    return a->d.data() + static_cast<std::size_t>(subset) * points_;
}

const float *PropertyStore::dataSingles(int id, int subset) const
{
    const DataArray *a = dataFor(id);
    if (!a || a->type != ElemType::Single || subset < 0 || subset >= subsets_)
        return nullptr;
    return a->f.data() + static_cast<std::size_t>(subset) * points_;
}

void PropertyStore::resizeData(int subsets, int points)
{
    auto keep = [&](std::uint32_t cell, std::uint32_t &moved) {
        std::uint32_t s = cell / static_cast<std::uint32_t>(points_), p = cell % static_cast<std::uint32_t>(points_);
        if (s >= static_cast<std::uint32_t>(subsets) || p >= static_cast<std::uint32_t>(points))
            return false;
        moved = s * static_cast<std::uint32_t>(points) + p;
        return true;
    };
    for (auto &[id, a] : data_) {
        auto move = [&](auto &v, auto fill) {
            std::remove_reference_t<decltype(v)> n(static_cast<std::size_t>(subsets) * points, fill);
            for (int s = 0; s < std::min(subsets, subsets_); ++s)
                for (int p = 0; p < std::min(points, points_); ++p)
                    n[static_cast<std::size_t>(s) * points + p] = std::move(v[static_cast<std::size_t>(s) * points_ + p]);
            v = std::move(n);
        };
        // Cells keep their order: subset, then point.
        auto moveCells = [&](auto &cells) {
            std::remove_reference_t<decltype(cells)> n;
            cells.forEach([&](std::uint32_t cell, const auto &v) {
                std::uint32_t to;
                if (keep(cell, to))
                    n.set(to, v);
            });
            cells = std::move(n);
        };
        switch (a.type) {
        case ElemType::Double: move(a.d, 0.0); break;
        case ElemType::Single: move(a.f, 0.0f); break;
        case ElemType::Int: moveCells(a.i); break;
        case ElemType::String: moveCells(a.s); break;
        }
    }
    subsets_ = subsets;
    points_ = points;
}

namespace {
template <class T> void shiftVector(std::vector<T> &v, int subsets, int points, const T *values)
{
    for (int s = 0; s < subsets; ++s) {
        T *row = v.data() + static_cast<std::size_t>(s) * points;
        const T *src = values + static_cast<std::size_t>(s) * 100;
        if (points > 100) {
            std::move(row + 100, row + points, row);
            std::copy(src, src + 100, row + points - 100);
        } else {
            // Fewer points than the shift: only the newest of the given values remain.
            std::copy(src + (100 - points), src + 100, row);
        }
    }
}
} // namespace

void PropertyStore::shiftData(int id, const double *values)
{
    if (!values || dataInfo(id).shape != Shape::Data || sparseData(dataInfo(id).type))
        return;
    DataArray *a = dataFor(id, true);
    if (a->type == ElemType::Double) {
        shiftVector(a->d, subsets_, points_, values);
    } else if (a->type == ElemType::Single) {
        std::vector<float> f(values, values + static_cast<std::size_t>(subsets_) * 100);
        shiftVector(a->f, subsets_, points_, f.data());
    }
}

void PropertyStore::shiftData(int id, const float *values)
{
    if (!values || dataInfo(id).shape != Shape::Data || sparseData(dataInfo(id).type))
        return;
    DataArray *a = dataFor(id, true);
    if (a->type == ElemType::Single) {
        shiftVector(a->f, subsets_, points_, values);
    } else if (a->type == ElemType::Double) {
        std::vector<double> d(values, values + static_cast<std::size_t>(subsets_) * 100);
        shiftVector(a->d, subsets_, points_, d.data());
    }
}

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
bool transient(std::uint32_t k)
{
    switch (k % 100000u) {
    case id::ParentWindow: case id::Painting: case id::ImageDirty: case id::ZoomMode: return true;
    default: return false;
    }
}

// Runs f(id, first key, last key) for each run of keys of one id.
template <class Map, class F> void forEachId(const Map &m, F f)
{
    bool open = false;
    int id = 0;
    typename std::remove_cvref_t<decltype(m)>::key_type first = 0, last = 0;
    m.forEach([&](auto k, const auto &) {
        if (open && keyId(k) == id) {
            last = k;
            return;
        }
        if (open)
            f(id, first, last);
        open = true;
        id = keyId(k);
        first = last = k;
    });
    if (open)
        f(id, first, last);
}

} // namespace

template <class W> void PropertyStore::write(W &w) const
{
    w.bytes(kMagic, 4);
    w.u32(kVersion);
    w.i32(subsets_);
    w.i32(points_);
    std::uint32_t kept = 0;
    numbers_.forEach([&](std::uint32_t k, double) { kept += !transient(k); });
    w.u32(kept);
    numbers_.forEach([&](std::uint32_t k, double v) {
        if (transient(k))
            return;
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
            if (ids.empty() || ids.back().first != keyId(k))
                ids.emplace_back(keyId(k), 0);
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
        case ElemType::Double: for (double v : a.d) w.f64(v); break;
        case ElemType::Single: for (float v : a.f) w.f32(v); break;
        case ElemType::Int:
            w.u32(static_cast<std::uint32_t>(a.i.size()));
            a.i.forEach([&](std::uint32_t cell, std::int32_t v) { w.u32(cell); w.i32(v); });
            break;
        case ElemType::String:
            w.u32(static_cast<std::uint32_t>(a.s.size()));
            a.s.forEach([&](std::uint32_t cell, const Text &v) { w.u32(cell); w.str(v.view()); });
            break;
        }
    }
}

std::size_t PropertyStore::stateSize() const
{
    Writer count(nullptr);
    write(count);
    return count.size() + 4;
}

void PropertyStore::writeState(unsigned char *out) const
{
    Writer w(out);
    write(w);
    std::uint32_t sum = fnv1a(out, w.size());
    w.u32(sum);
}

std::vector<unsigned char> PropertyStore::toBytes() const
{
    std::vector<unsigned char> out(stateSize());
    writeState(out.data());
    return out;
}

// Reads a block twice: first only to check it (nothing is allocated for it), then to
// build the store from it. What the block makes is bounded by its size: a count of
// entries must fit the bytes left, every entry is kept in about what its bytes take
// (a key and a value; empty texts, unwritten cells, not at all), and the cells of the
// dense data arrays are there in full.
template <bool Build> bool PropertyStore::read(const unsigned char *data, std::size_t size, PropertyStore *into)
{
    if (!data || size < 12 || std::memcmp(data, kMagic, 4) != 0)
        return false;
    std::size_t body = size - 4;
    Reader tail(data + body, 4);
    if (tail.u32() != fnv1a(data, body))
        return false;
    Reader r(data + 4, body - 4);
    std::uint32_t version = r.u32();
    if (version != 1 && version != kVersion)
        return false;
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
        if (std::isnan(v) || (intTyped(static_cast<int>(k % 100000u)) && !fitsInt32(v)))
            r.fail();
        if (k == id::Subsets)
            sawSubsets = v == subsets;
        if (k == id::Points)
            sawPoints = v == points;
        if constexpr (Build)
            s.numbers_.set(k, v);
    }
    for (std::uint32_t n = r.count(8); n-- && r.ok();) {
        std::uint32_t k = r.u32();
        std::string_view v = r.str();
        if constexpr (Build)
            if (!v.empty())
                s.strings_.set(k, Text(v.substr(0, 255)));
    }
    auto readLists = [&](auto &lists, std::uint32_t entrySize, auto readValue, auto keepValue) {
        for (std::uint32_t n = r.count(8); n-- && r.ok();) {
            int id = r.i32();
            std::uint32_t c = r.count(entrySize);
            if (c > kMaxArrayIndex + 1u)
                r.fail();
            for (std::uint32_t i = 0; i < c && r.ok(); ++i) {
                auto v = readValue(id);
                if constexpr (Build)
                    if (keepValue(v))
                        lists.set(listKey(id, static_cast<int>(i)), stored(v));
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
                if (!validIndex(a) || !validIndex(b))
                    r.fail();
                if constexpr (Build)
                    grids.set(gridKey(id, a, b), stored(v));
            }
        }
    };
    auto readListNumber = [&](int id) {
        double v = r.f64();
        if (intTyped(id) && !fitsInt32(v))
            r.fail();
        return v;
    };
    auto readGridNumber = [&](int) {
        double v = r.f64();
        if (!fitsInt32(v))
            r.fail();
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
                if (cell >= cells || std::int64_t(cell) <= previous)
                    r.fail();
                previous = cell;
                if (type == ElemType::Int) {
                    std::int32_t v = r.i32();
                    if constexpr (Build)
                        if (v != 0 && r.ok())
                            a.i.set(cell, v);
                } else {
                    std::string_view v = r.str();
                    if constexpr (Build)
                        if (!v.empty() && r.ok())
                            a.s.set(cell, stored(v));
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
                case ElemType::Double: { double v = r.f64(); if constexpr (Build) a.d.push_back(v); break; }
                case ElemType::Single: { float v = r.f32(); if constexpr (Build) a.f.push_back(v); break; }
                case ElemType::Int: {
                    std::int32_t v = r.i32();
                    if constexpr (Build)
                        if (v != 0)
                            a.i.set(static_cast<std::uint32_t>(i), v);
                    break;
                }
                case ElemType::String: {
                    std::string_view v = r.str();
                    if constexpr (Build)
                        if (!v.empty())
                            a.s.set(static_cast<std::uint32_t>(i), stored(v));
                    break;
                }
                }
            }
        }
        if constexpr (Build)
            s.data_.emplace(id, std::move(a));
    }
    return r.ok() && r.atEnd() && sawSubsets && sawPoints;
}

bool PropertyStore::fromBytes(const unsigned char *data, std::size_t size)
{
    if (!read<false>(data, size, this))
        return false;
    PropertyStore s;
    if (!read<true>(data, size, &s))
        return false;
    *this = std::move(s);
    touch();
    return true;
}

bool PropertyStore::operator==(const PropertyStore &o) const
{
    return numbers_ == o.numbers_ && strings_ == o.strings_ && arrays_ == o.arrays_ &&
           stringArrays_ == o.stringArrays_ && arrays2_ == o.arrays2_ &&
           stringArrays2_ == o.stringArrays2_ && data_ == o.data_ && subsets_ == o.subsets_ &&
           points_ == o.points_;
}

} // namespace chart::engine
