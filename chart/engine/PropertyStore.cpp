#include "chart/engine/PropertyStore.h"
#include "chart/engine/StoreKeys.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string_view>
#include <type_traits>

namespace chart::engine {

using namespace store;

namespace {

const std::set<int> &doubleScalars() {
    static const std::set<int> s = {3015, 3020, 3055, 3060, 3620, 3625, 3245, 3250, 3645, 3646, 3263, 3264, 3266, 3267,
                                    3656, 3268, 3212, 3019, 3665, 3666, 3670, 3671, 3073, 3074, 3098, 3099, 3682, 3683,
                                    3685, 3248, 3249, 3284, 3285, 3117, 3118, 3119, 3697, 3698, 3171, 3172, 3173, 3174};
    return s;
}
const std::set<int> &singleScalars() {
    static const std::set<int> s = {2634, 2635, 3042, 2945, 2946, 2947, 2948, 2949, 3124, 3142};
    return s;
}
const std::set<int> &stringScalars() {
    static const std::set<int> s = {2105, 2110, 2445, 2485, 2525, 3000, 3005, 3025, 3030, 3255, 3667, 3052, 3053, 3054,
                                    3056, 2923, 3071, 3072, 3678, 3679, 2690, 2695, 2970, 2986, 2111, 2113, 2114};
    return s;
}
// 3058: the best-fit coefficients, read as [i * 10 + j].
const std::set<int> &doubleArrays() {
    static const std::set<int> s = {3291, 3292, 3297, 3299, 3213, 3218, 3123, 3058};
    return s;
}
const std::set<int> &singleArrays() {
    static const std::set<int> s = {3007};
    return s;
}
const std::set<int> &stringArrays() {
    static const std::set<int> s = {2125, 2130, 3293, 3298, 3201, 3214, 3219, 2626, 2630, 2631, 3691, 2670};
    return s;
}
const std::set<int> &intArrays() {
    static const std::set<int> s = {3138, 3139, 2323, 3080, 3270, 3271, 3216, 3221, 3246, 2624, 2625,
                                    3001, 3002, 3003, 3008, 3059, 3068, 3089, 3157, 3155, 2959, 3103,
                                    2321, 2190, 3217, 3222, 3236, 3237, 3238, 2627, 2195, 2669, 2940};
    return s;
}
const std::set<int> &arrays2() {
    static const std::set<int> s = {2956, 2953, 2955, 2954, 2971, 2667, 2668, 2969};
    return s;
}
const std::set<int> &stringArrays2() {
    static const std::set<int> s = {2954, 2971};
    return s;
}

const std::set<int> &axisScoped() {
    static const std::set<int> s = {id::YAxisLabel,
                                    id::YAxisColor,
                                    id::YAxisScaleControl,
                                    id::ManualScaleControlY,
                                    id::ManualMinY,
                                    id::ManualMaxY,
                                    id::ManualYAxisTicknLine,
                                    id::ManualYAxisTick,
                                    id::ManualYAxisLine,
                                    id::ShowYAxis,
                                    id::InvertedYAxis,
                                    id::AxisFormatY,
                                    id::ShowTickMarkY,
                                    3043 /*YAxisLongTicks*/,
                                    id::YAxisWholeNumbers,
                                    3093 /*SpecialScalingY*/,
                                    3160 /*CustomGridNumbersY*/,
                                    id::ZoomMinY,
                                    id::ZoomMaxY};
    return s;
}

} // namespace

PropInfo propInfo(int id) {
    PropInfo d = dataInfo(id);
    if (d.shape == Shape::Data) return d;
    if (doubleScalars().count(id)) return {Shape::Scalar, ElemType::Double};
    if (singleScalars().count(id)) return {Shape::Scalar, ElemType::Single};
    if (stringScalars().count(id)) return {Shape::Scalar, ElemType::String};
    if (doubleArrays().count(id)) return {Shape::Array1, ElemType::Double};
    if (singleArrays().count(id)) return {Shape::Array1, ElemType::Single};
    if (stringArrays().count(id)) return {Shape::Array1, ElemType::String};
    if (intArrays().count(id)) return {Shape::Array1, ElemType::Int};
    if (arrays2().count(id)) return {Shape::Array2, stringArrays2().count(id) ? ElemType::String : ElemType::Int};
    return {Shape::Scalar, ElemType::Int};
}

bool isAxisScoped(int id) { return axisScoped().count(id) != 0; }

namespace {

// Elements of one id in a list map: its highest index + 1.
template <class Map> int listCount(const Map &m, int id) {
    std::uint64_t k = 0;
    if (m.lastAtMost(listKey(id, 0xFFFF), k) && keyId(k) == id) return static_cast<int>(k & 0xFFFFFFFFu) + 1;
    return 0;
}

} // namespace

PropertyStore::PropertyStore() { resetToDefaults(); }

void PropertyStore::touch() {
    static std::uint64_t last = 0;
    revision_ = ++last;
}

PropertyStore PropertyStore::withoutData() const {
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

void PropertyStore::resetToDefaults() {
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
        {id::ObjectType, 304},
        {id::Subsets, 1},
        {id::Points, 10},
        {id::DeskColor, 0xC0C0C0},
        {id::GraphBackColor, 0xFFFFFF},
        {id::GraphForeColor, 0},
        {id::TextColor, 0},
        {id::ShadowColor, 0x808080},
        {id::MonoDeskColor, 0xFFFFFF},
        {id::MonoGraphBackColor, 0xFFFFFF},
        {id::MonoGraphForeColor, 0},
        {id::MonoTextColor, 0},
        {id::FontSize, 1},
        {id::AllowPopup, 1},
        {id::AllowCustomization, 1},
        {id::AllowExporting, 1},
        {id::AllowMaximization, 1},
        {id::AllowUserInterface, 1},
        {id::ShowLegend, 1},
        {id::DataPrecision, 2},
        {id::NullDataValueY, -1e300},
        {id::NullDataValueX, -1e300},
        {id::ShowAnnotations, 1},
        {id::ShowVertLineAnnotations, 1},
        {id::ShowHorzLineAnnotations, 1},
        {id::ShowGraphAnnotations, 1},
        {id::LineAnnotationTextSize, 100},
        {id::GraphAnnotationTextSize, 100},
        {id::BorderTypes, 0},
        {id::AllowDataHotSpots, 0},
        {id::FontSizeGlobalCntl, 1.0},
        {id::MultiAxisSeparatorSize, 100},
    };
    for (auto [k, v] : defaults) numbers_.set(static_cast<std::uint32_t>(k), v);
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

std::uint32_t PropertyStore::key(int id) const {
    int axis = 0;
    if (isAxisScoped(id)) {
        const double *w = numbers_.find(id::WorkingAxis);
        if (w && *w >= 0 && *w < kMaxAxes) axis = static_cast<int>(*w);
    }
    return static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id);
}

bool PropertyStore::setNumber(int id, double v) {
    // No property has a meaning for NaN; an integer one keeps its value when the
    // number does not fit it.
    if (std::isnan(v) || (intTyped(id) && !fitsInt32(v))) return false;
    if (id == id::WorkingAxis && (v < 0 || v >= kMaxAxes))
        return false; // an axis that cannot exist: keep writing to the current one
    // The paint flags change with every paint and are nothing a picture shows.
    if (id != id::ImageDirty && id != id::Painting) touch();
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

double PropertyStore::number(int id) const {
    const double *v = numbers_.find(key(id));
    return v ? *v : 0.0;
}

std::int32_t PropertyStore::integer(int id) const {
    double v = number(id);
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(v);
}

void PropertyStore::setString(int id, std::string v) {
    touch();
    if (v.size() > 255) v.resize(255);
    // An empty text reads as one never set.
    if (v.empty())
        strings_.erase(key(id));
    else
        strings_.set(key(id), Text(v));
}

std::string PropertyStore::string(int id) const {
    const Text *v = strings_.find(key(id));
    return v ? v->str() : std::string();
}

bool PropertyStore::axisHas(int id, int axis) const {
    std::uint32_t k = static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id);
    return numbers_.contains(k) || strings_.contains(k);
}

double PropertyStore::axisNumber(int id, int axis) const {
    if (!isAxisScoped(id) || axis < 0 || axis >= kMaxAxes) return number(id);
    const double *v = numbers_.find(static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id));
    return v ? *v : 0.0;
}

bool PropertyStore::setAxisNumber(int id, int axis, double v) {
    if (!isAxisScoped(id) || axis < 0 || axis >= kMaxAxes || std::isnan(v) || (intTyped(id) && !fitsInt32(v)))
        return false;
    touch();
    numbers_.set(static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id), v);
    return true;
}

std::string PropertyStore::axisString(int id, int axis) const {
    if (!isAxisScoped(id) || axis < 0 || axis >= kMaxAxes) return string(id);
    const Text *v = strings_.find(static_cast<std::uint32_t>(axis) * 100000u + static_cast<std::uint32_t>(id));
    return v ? v->str() : std::string();
}

bool PropertyStore::setElem(int id, int index, double v) {
    if (!validIndex(index) || (intTyped(id) && !fitsInt32(v))) return false;
    touch();
    arrays_.set(listKey(id, index), v);
    return true;
}

bool PropertyStore::setElemString(int id, int index, std::string v) {
    if (!validIndex(index)) return false;
    touch();
    if (v.size() > 255) v.resize(255);
    if (v.empty())
        stringArrays_.erase(listKey(id, index));
    else
        stringArrays_.set(listKey(id, index), Text(v));
    return true;
}

bool PropertyStore::elem(int id, int index, double &v) const {
    if (!validIndex(index) || index >= listCount(arrays_, id)) return false;
    const double *e = arrays_.find(listKey(id, index));
    v = e ? *e : 0.0;
    return true;
}

bool PropertyStore::elemString(int id, int index, std::string &v) const {
    if (!validIndex(index) || index >= listCount(stringArrays_, id)) return false;
    const Text *e = stringArrays_.find(listKey(id, index));
    v = e ? e->str() : std::string();
    return true;
}

int PropertyStore::elemCount(int id) const {
    int n = listCount(arrays_, id);
    return n > 0 ? n : listCount(stringArrays_, id);
}

PropertyStore::DataArray *PropertyStore::dataFor(int id, bool create) {
    auto it = data_.find(id);
    if (it != data_.end()) return &it->second;
    if (!create) return nullptr;
    DataArray a;
    a.type = dataInfo(id).type;
    std::size_t n = static_cast<std::size_t>(subsets_) * static_cast<std::size_t>(points_);
    if (a.type == ElemType::Double)
        a.d.assign(n, 0.0);
    else if (a.type == ElemType::Single)
        a.f.assign(n, 0.0f);
    return &data_.emplace(id, std::move(a)).first->second;
}

const PropertyStore::DataArray *PropertyStore::dataFor(int id) const {
    auto it = data_.find(id);
    return it == data_.end() ? nullptr : &it->second;
}

bool PropertyStore::setElem2(int id, int i, int j, double v) {
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_) return false;
        if (dataInfo(id).type == ElemType::Int && !fitsInt32(v)) return false;
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
    if (!validIndex(i) || !validIndex(j) || !fitsInt32(v)) return false;
    touch();
    arrays2_.set(gridKey(id, i, j), v);
    return true;
}

bool PropertyStore::setElem2String(int id, int i, int j, std::string v) {
    if (v.size() > 255) v.resize(255);
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_ || dataInfo(id).type != ElemType::String) return false;
        auto k = static_cast<std::uint32_t>(static_cast<std::size_t>(i) * points_ + j);
        if (v.empty()) {
            if (DataArray *a = dataFor(id, false)) a->s.erase(k);
        } else {
            dataFor(id, true)->s.set(k, Text(v));
        }
        return true;
    }
    if (!validIndex(i) || !validIndex(j)) return false;
    touch();
    stringArrays2_.set(gridKey(id, i, j), Text(v));
    return true;
}

bool PropertyStore::elem2(int id, int i, int j, double &v) const {
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_) return false;
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
    if (!validIndex(i) || !validIndex(j)) return false;
    const double *e = arrays2_.find(gridKey(id, i, j));
    if (!e) return false;
    v = *e;
    return true;
}

bool PropertyStore::elem2String(int id, int i, int j, std::string &v) const {
    if (dataInfo(id).shape == Shape::Data) {
        if (i < 0 || j < 0 || i >= subsets_ || j >= points_ || dataInfo(id).type != ElemType::String) return false;
        const DataArray *a = dataFor(id);
        const Text *e = a ? a->s.find(static_cast<std::uint32_t>(static_cast<std::size_t>(i) * points_ + j)) : nullptr;
        v = e ? e->str() : std::string();
        return true;
    }
    if (!validIndex(i) || !validIndex(j)) return false;
    const Text *e = stringArrays2_.find(gridKey(id, i, j));
    if (!e) return false;
    v = e->str();
    return true;
}

const double *PropertyStore::dataDoubles(int id, int subset) const {
    const DataArray *a = dataFor(id);
    if (!a || a->type != ElemType::Double || subset < 0 || subset >= subsets_) return nullptr;
    return a->d.data() + static_cast<std::size_t>(subset) * points_;
}

const float *PropertyStore::dataSingles(int id, int subset) const {
    const DataArray *a = dataFor(id);
    if (!a || a->type != ElemType::Single || subset < 0 || subset >= subsets_) return nullptr;
    return a->f.data() + static_cast<std::size_t>(subset) * points_;
}

void PropertyStore::resizeData(int subsets, int points) {
    auto keep = [&](std::uint32_t cell, std::uint32_t &moved) {
        std::uint32_t s = cell / static_cast<std::uint32_t>(points_), p = cell % static_cast<std::uint32_t>(points_);
        if (s >= static_cast<std::uint32_t>(subsets) || p >= static_cast<std::uint32_t>(points)) return false;
        moved = s * static_cast<std::uint32_t>(points) + p;
        return true;
    };
    for (auto &[id, a] : data_) {
        auto move = [&](auto &v, auto fill) {
            std::remove_reference_t<decltype(v)> n(static_cast<std::size_t>(subsets) * points, fill);
            for (int s = 0; s < std::min(subsets, subsets_); ++s)
                for (int p = 0; p < std::min(points, points_); ++p)
                    n[static_cast<std::size_t>(s) * points + p] =
                        std::move(v[static_cast<std::size_t>(s) * points_ + p]);
            v = std::move(n);
        };
        // Cells keep their order: subset, then point.
        auto moveCells = [&](auto &cells) {
            std::remove_reference_t<decltype(cells)> n;
            cells.forEach([&](std::uint32_t cell, const auto &v) {
                std::uint32_t to;
                if (keep(cell, to)) n.set(to, v);
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
template <class T> void shiftVector(std::vector<T> &v, int subsets, int points, const T *values) {
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

void PropertyStore::shiftData(int id, const double *values) {
    if (!values || dataInfo(id).shape != Shape::Data || sparseData(dataInfo(id).type)) return;
    DataArray *a = dataFor(id, true);
    if (a->type == ElemType::Double) {
        shiftVector(a->d, subsets_, points_, values);
    } else if (a->type == ElemType::Single) {
        std::vector<float> f(values, values + static_cast<std::size_t>(subsets_) * 100);
        shiftVector(a->f, subsets_, points_, f.data());
    }
}

void PropertyStore::shiftData(int id, const float *values) {
    if (!values || dataInfo(id).shape != Shape::Data || sparseData(dataInfo(id).type)) return;
    DataArray *a = dataFor(id, true);
    if (a->type == ElemType::Single) {
        shiftVector(a->f, subsets_, points_, values);
    } else if (a->type == ElemType::Double) {
        std::vector<double> d(values, values + static_cast<std::size_t>(subsets_) * 100);
        shiftVector(a->d, subsets_, points_, d.data());
    }
}

bool PropertyStore::operator==(const PropertyStore &o) const {
    return numbers_ == o.numbers_ && strings_ == o.strings_ && arrays_ == o.arrays_ &&
           stringArrays_ == o.stringArrays_ && arrays2_ == o.arrays2_ && stringArrays2_ == o.stringArrays2_ &&
           data_ == o.data_ && subsets_ == o.subsets_ && points_ == o.points_;
}

} // namespace chart::engine
