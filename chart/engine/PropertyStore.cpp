#include "chart/engine/PropertyStore.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

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
constexpr char kMagic[4] = {'S', 'G', 'C', 'E'};
constexpr std::uint32_t kVersion = 1;

class Writer {
public:
    std::vector<unsigned char> out;
    void u32(std::uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i))); }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f64(double v) { std::uint64_t b; std::memcpy(&b, &v, 8); u32(static_cast<std::uint32_t>(b)); u32(static_cast<std::uint32_t>(b >> 32)); }
    void f32(float v) { std::uint32_t b; std::memcpy(&b, &v, 4); u32(b); }
    void str(const std::string &s) { u32(static_cast<std::uint32_t>(s.size())); out.insert(out.end(), s.begin(), s.end()); }
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
    std::string str()
    {
        std::uint32_t len = u32();
        if (!need(len))
            return {};
        std::string s(reinterpret_cast<const char *>(d_ + pos_), len);
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
        numbers_[static_cast<std::uint32_t>(k)] = v;
    // Popup menu entries start shown.
    for (int menu : {2640, 2641, 2642, 2643, 2655, 2656, 2657, 2658, 2659, 2660, 2661, 2662, 2663,
                     2664, 3164, 3165, 3166, 3167, 3168, 3169, 3170, 3696, 2702, 2673, 2674, 2671})
        numbers_[static_cast<std::uint32_t>(menu)] = 1;
    numbers_[id::ZoomMinAxis] = -1;
    numbers_[id::ZoomMaxAxis] = -1;
    strings_[id::MainTitleFont] = "Arial";
    strings_[id::SubTitleFont] = "Arial";
    strings_[id::LabelFont] = "Arial";
}

std::uint32_t PropertyStore::key(int id) const
{
    int axis = 0;
    if (isAxisScoped(id)) {
        auto it = numbers_.find(id::WorkingAxis);
        if (it != numbers_.end() && it->second >= 0 && it->second < kMaxAxes)
            axis = static_cast<int>(it->second);
    }
    return static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id);
}

void PropertyStore::setNumber(int id, double v)
{
    // The paint flags change with every paint and are nothing a picture shows.
    if (id != id::ImageDirty && id != id::Painting)
        touch();
    // No property has a meaning for NaN; an integer one keeps its value when the
    // number does not fit it.
    if (std::isnan(v) || (intTyped(id) && !fitsInt32(v)))
        return;
    if (id == id::WorkingAxis && (v < 0 || v >= kMaxAxes))
        return; // an axis that cannot exist: keep writing to the current one
    if (id == id::Subsets || id == id::Points) {
        std::int64_t n = static_cast<std::int64_t>(v);
        if (n < 1 || n * (id == id::Subsets ? points_ : subsets_) > kMaxDataCells)
            return;
        numbers_[static_cast<std::uint32_t>(id)] = static_cast<double>(n);
        resizeData(id == id::Subsets ? static_cast<int>(n) : subsets_,
                   id == id::Points ? static_cast<int>(n) : points_);
        return;
    }
    numbers_[key(id)] = v;
}

double PropertyStore::number(int id) const
{
    auto it = numbers_.find(key(id));
    return it == numbers_.end() ? 0.0 : it->second;
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
    strings_[key(id)] = std::move(v);
}

std::string PropertyStore::string(int id) const
{
    auto it = strings_.find(key(id));
    return it == strings_.end() ? std::string() : it->second;
}

bool PropertyStore::axisHas(int id, int axis) const
{
    std::uint32_t k = static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id);
    return numbers_.count(k) || strings_.count(k);
}

double PropertyStore::axisNumber(int id, int axis) const
{
    if (!isAxisScoped(id) || axis < 0 || axis >= kMaxAxes)
        return number(id);
    auto it = numbers_.find(static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id));
    return it == numbers_.end() ? 0.0 : it->second;
}

void PropertyStore::setAxisNumber(int id, int axis, double v)
{
    touch();
    if (!isAxisScoped(id) || axis < 0 || axis >= kMaxAxes)
        return;
    numbers_[static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id)] = v;
}

std::string PropertyStore::axisString(int id, int axis) const
{
    if (!isAxisScoped(id) || axis < 0 || axis >= kMaxAxes)
        return string(id);
    auto it = strings_.find(static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id));
    return it == strings_.end() ? std::string() : it->second;
}

bool PropertyStore::setElem(int id, int index, double v)
{
    touch();
    if (!validIndex(index) || (intTyped(id) && !fitsInt32(v)))
        return false;
    auto &a = arrays_[id];
    if (static_cast<int>(a.size()) <= index)
        a.resize(index + 1, 0.0);
    a[index] = v;
    return true;
}

bool PropertyStore::setElemString(int id, int index, std::string v)
{
    touch();
    if (!validIndex(index))
        return false;
    if (v.size() > 255)
        v.resize(255);
    auto &a = stringArrays_[id];
    if (static_cast<int>(a.size()) <= index)
        a.resize(index + 1);
    a[index] = std::move(v);
    return true;
}

bool PropertyStore::elem(int id, int index, double &v) const
{
    auto it = arrays_.find(id);
    if (it == arrays_.end() || index < 0 || index >= static_cast<int>(it->second.size()))
        return false;
    v = it->second[index];
    return true;
}

bool PropertyStore::elemString(int id, int index, std::string &v) const
{
    auto it = stringArrays_.find(id);
    if (it == stringArrays_.end() || index < 0 || index >= static_cast<int>(it->second.size()))
        return false;
    v = it->second[index];
    return true;
}

int PropertyStore::elemCount(int id) const
{
    auto a = arrays_.find(id);
    if (a != arrays_.end())
        return static_cast<int>(a->second.size());
    auto s = stringArrays_.find(id);
    return s == stringArrays_.end() ? 0 : static_cast<int>(s->second.size());
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
    switch (a.type) {
    case ElemType::Double: a.d.assign(n, 0.0); break;
    case ElemType::Single: a.f.assign(n, 0.0f); break;
    case ElemType::Int: a.i.assign(n, 0); break;
    case ElemType::String: a.s.assign(n, std::string()); break;
    }
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
        DataArray *a = dataFor(id, true);
        std::size_t k = static_cast<std::size_t>(i) * points_ + j;
        switch (a->type) {
        case ElemType::Double: a->d[k] = v; break;
        case ElemType::Single: a->f[k] = static_cast<float>(v); break;
        case ElemType::Int: a->i[k] = static_cast<std::int32_t>(v); break;
        case ElemType::String: return false;
        }
        return true;
    }
    if (!validIndex(i) || !validIndex(j))
        return false;
    touch();
    arrays2_[id][{i, j}] = v;
    return true;
}

bool PropertyStore::setElem2String(int id, int i, int j, std::string v)
{
    if (v.size() > 255)
        v.resize(255);
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_ || dataInfo(id).type != ElemType::String)
            return false;
        dataFor(id, true)->s[static_cast<std::size_t>(i) * points_ + j] = std::move(v);
        return true;
    }
    if (!validIndex(i) || !validIndex(j))
        return false;
    touch();
    stringArrays2_[id][{i, j}] = std::move(v);
    return true;
}

namespace {

// An element of a two-index property that holds no data array; false when never set.
template <typename Grids, typename T>
bool findInGrid(const Grids &grids, int id, int i, int j, T &v)
{
    auto it = grids.find(id);
    if (it == grids.end())
        return false;
    auto e = it->second.find({i, j});
    if (e == it->second.end())
        return false;
    v = e->second;
    return true;
}

} // namespace

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
        case ElemType::Int: v = a->i[k]; return true;
        case ElemType::String: return false;
        }
        return false;
    }
    return findInGrid(arrays2_, id, i, j, v);
}

bool PropertyStore::elem2String(int id, int i, int j, std::string &v) const
{
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_ || dataInfo(id).type != ElemType::String)
            return false;
        const DataArray *a = dataFor(id);
        v = a ? a->s[static_cast<std::size_t>(i) * points_ + j] : std::string();
        return true;
    }
    return findInGrid(stringArrays2_, id, i, j, v);
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
    for (auto &[id, a] : data_) {
        auto move = [&](auto &v, auto fill) {
            std::remove_reference_t<decltype(v)> n(static_cast<std::size_t>(subsets) * points, fill);
            for (int s = 0; s < std::min(subsets, subsets_); ++s)
                for (int p = 0; p < std::min(points, points_); ++p)
                    n[static_cast<std::size_t>(s) * points + p] =
                        std::move(v[static_cast<std::size_t>(s) * points_ + p]);
            v = std::move(n);
        };
        switch (a.type) {
        case ElemType::Double: move(a.d, 0.0); break;
        case ElemType::Single: move(a.f, 0.0f); break;
        case ElemType::Int: move(a.i, std::int32_t(0)); break;
        case ElemType::String: move(a.s, std::string()); break;
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
    if (!values)
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
    if (!values)
        return;
    DataArray *a = dataFor(id, true);
    if (a->type == ElemType::Single) {
        shiftVector(a->f, subsets_, points_, values);
    } else if (a->type == ElemType::Double) {
        std::vector<double> d(values, values + static_cast<std::size_t>(subsets_) * 100);
        shiftVector(a->d, subsets_, points_, d.data());
    }
}

std::vector<unsigned char> PropertyStore::toBytes() const
{
    Writer w;
    w.out.insert(w.out.end(), kMagic, kMagic + 4);
    w.u32(kVersion);
    w.i32(subsets_);
    w.i32(points_);
    // What belongs to this window and this moment rather than to the chart: the parent,
    // the paint flags and the user's zoom (a template saved while zoomed would start
    // every later chart zoomed, and a real-time axis never moves while zoomed).
    auto transient = [](std::uint32_t k) {
        switch (k % 100000u) {
        case id::ParentWindow: case id::Painting: case id::ImageDirty: case id::ZoomMode: return true;
        default: return false;
        }
    };
    std::uint32_t kept = 0;
    for (auto &[k, v] : numbers_)
        kept += !transient(k);
    w.u32(kept);
    for (auto &[k, v] : numbers_) {
        if (transient(k))
            continue;
        w.u32(k);
        w.f64(v);
    }
    w.u32(static_cast<std::uint32_t>(strings_.size()));
    for (auto &[k, v] : strings_) {
        w.u32(k);
        w.str(v);
    }
    // One-index lists and two-index grids share their layout, whatever the value type.
    auto writeLists = [&w](const auto &lists, auto writeValue) {
        w.u32(static_cast<std::uint32_t>(lists.size()));
        for (auto &[id, a] : lists) {
            w.i32(id);
            w.u32(static_cast<std::uint32_t>(a.size()));
            for (auto &v : a)
                writeValue(v);
        }
    };
    auto writeGrids = [&w](const auto &grids, auto writeValue) {
        w.u32(static_cast<std::uint32_t>(grids.size()));
        for (auto &[id, m] : grids) {
            w.i32(id);
            w.u32(static_cast<std::uint32_t>(m.size()));
            for (auto &[ij, v] : m) {
                w.i32(ij.first);
                w.i32(ij.second);
                writeValue(v);
            }
        }
    };
    auto writeNumber = [&w](double v) { w.f64(v); };
    auto writeString = [&w](const auto &v) { w.str(v); };
    writeLists(arrays_, writeNumber);
    writeLists(stringArrays_, writeString);
    writeGrids(arrays2_, writeNumber);
    writeGrids(stringArrays2_, writeString);
    w.u32(static_cast<std::uint32_t>(data_.size()));
    for (auto &[id, a] : data_) {
        w.i32(id);
        w.u32(static_cast<std::uint32_t>(a.type));
        switch (a.type) {
        case ElemType::Double: for (double v : a.d) w.f64(v); break;
        case ElemType::Single: for (float v : a.f) w.f32(v); break;
        case ElemType::Int: for (auto v : a.i) w.i32(v); break;
        case ElemType::String: for (auto &v : a.s) w.str(v); break;
        }
    }
    w.u32(fnv1a(w.out.data(), w.out.size()));
    return std::move(w.out);
}

bool PropertyStore::fromBytes(const unsigned char *data, std::size_t size)
{
    if (!data || size < 12 || std::memcmp(data, kMagic, 4) != 0)
        return false;
    std::size_t body = size - 4;
    Reader tail(data + body, 4);
    if (tail.u32() != fnv1a(data, body))
        return false;
    Reader r(data + 4, body - 4);
    if (r.u32() != kVersion)
        return false;

    PropertyStore s;
    s.numbers_.clear();
    s.strings_.clear();
    int subsets = r.i32(), points = r.i32();
    if (subsets < 1 || points < 1 || std::int64_t(subsets) * points > kMaxDataCells)
        return false;
    s.subsets_ = subsets;
    s.points_ = points;
    std::size_t cells = static_cast<std::size_t>(subsets) * points;

    for (std::uint32_t n = r.count(12); n--;) {
        std::uint32_t k = r.u32();
        s.numbers_[k] = r.f64();
    }
    for (std::uint32_t n = r.count(8); n--;) {
        std::uint32_t k = r.u32();
        s.strings_[k] = r.str();
    }
    // The smallest size of one entry bounds each count by the bytes left.
    auto readLists = [&r](auto &lists, std::uint32_t entrySize, auto readValue) {
        for (std::uint32_t n = r.count(8); n--;) {
            int id = r.i32();
            std::uint32_t c = r.count(entrySize);
            if (c > kMaxArrayIndex + 1u)
                r.fail();
            auto &a = lists[id];
            for (std::uint32_t i = 0; i < c && r.ok(); ++i)
                a.push_back(readValue());
        }
    };
    auto readGrids = [&r](auto &grids, std::uint32_t entrySize, auto readValue) {
        for (std::uint32_t n = r.count(8); n--;) {
            int id = r.i32();
            std::uint32_t c = r.count(entrySize);
            auto &m = grids[id];
            for (std::uint32_t i = 0; i < c && r.ok(); ++i) {
                int a = r.i32(), b = r.i32();
                auto v = readValue();
                if (!validIndex(a) || !validIndex(b))
                    r.fail();
                m[{a, b}] = std::move(v);
            }
        }
    };
    auto readNumber = [&r] { return r.f64(); };
    auto readString = [&r] { return r.str(); };
    readLists(s.arrays_, 8, readNumber);
    readLists(s.stringArrays_, 4, readString);
    readGrids(s.arrays2_, 16, readNumber);
    readGrids(s.stringArrays2_, 12, readString);
    for (std::uint32_t n = r.count(8); n-- && r.ok();) {
        int id = r.i32();
        auto type = static_cast<ElemType>(r.u32());
        if (dataInfo(id).shape != Shape::Data || dataInfo(id).type != type) {
            r.fail();
            break;
        }
        DataArray a;
        a.type = type;
        std::size_t width = type == ElemType::Double ? 8 : 4;
        if (cells > r.left() / width) {
            r.fail();
            break;
        }
        switch (type) {
        case ElemType::Double: a.d.reserve(cells); for (std::size_t i = 0; i < cells && r.ok(); ++i) a.d.push_back(r.f64()); break;
        case ElemType::Single: a.f.reserve(cells); for (std::size_t i = 0; i < cells && r.ok(); ++i) a.f.push_back(r.f32()); break;
        case ElemType::Int: a.i.reserve(cells); for (std::size_t i = 0; i < cells && r.ok(); ++i) a.i.push_back(r.i32()); break;
        case ElemType::String: for (std::size_t i = 0; i < cells && r.ok(); ++i) a.s.push_back(r.str()); break;
        }
        s.data_.emplace(id, std::move(a));
    }
    if (!r.ok() || !r.atEnd())
        return false;
    if (s.numbers_[id::Subsets] != subsets || s.numbers_[id::Points] != points)
        return false;
    // Values no setter could have stored mark a damaged block.
    for (auto &[k, v] : s.numbers_)
        if (std::isnan(v) || (intTyped(static_cast<int>(k % 100000u)) && !fitsInt32(v)))
            return false;
    for (auto &[id, a] : s.arrays_)
        if (intTyped(id) && !std::all_of(a.begin(), a.end(), fitsInt32))
            return false;
    for (auto &[id, m] : s.arrays2_)
        for (auto &[ij, v] : m)
            if (!fitsInt32(v))
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
