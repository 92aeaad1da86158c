#include "chart/SciGraphCatalog.h"

#include <QString>

#include "platform/forms/WinControl.h"

namespace scigraph {

namespace {

using forms::TColor;

template <class T> constexpr Kind kindOf() {
    if constexpr (std::is_same_v<T, bool>)
        return Kind::Bool;
    else if constexpr (std::is_same_v<T, int>)
        return Kind::Int;
    else if constexpr (std::is_same_v<T, TColor>)
        return Kind::Color;
    else if constexpr (std::is_same_v<T, double>)
        return Kind::Double;
    else if constexpr (std::is_same_v<T, float>)
        return Kind::Single;
    else if constexpr (std::is_same_v<T, QString>)
        return Kind::String;
    else {
        static_assert(std::is_enum_v<T> && sizeof(T) == 1);
        return Kind::Enum;
    }
}

} // namespace

#define SCIGRAPH_INFO(name, id, family, type, mark)                                                                    \
    PropertyInfo{#name, id, group, Family::family, kindOf<type>(), #type, Mark::mark},

const PropertyInfo kProperties[] = {
#define group Group::Published
    SCIGRAPH_PUBLISHED(SCIGRAPH_INFO)
#undef group
#define group Group::Public
        SCIGRAPH_PUBLIC(SCIGRAPH_INFO)
#undef group
#define group Group::ReadOnly
            SCIGRAPH_READONLY(SCIGRAPH_INFO)
#undef group
#define group Group::Array
                SCIGRAPH_ARRAYS(SCIGRAPH_INFO)
#undef group
};
#undef SCIGRAPH_INFO

const std::size_t kPropertyCount = std::size(kProperties);

const PropertyInfo *findProperty(std::string_view name) {
    for (const PropertyInfo &p : kProperties)
        if (name == p.name) return &p;
    return nullptr;
}

namespace {

constexpr int kPlottingMethodCodes[] = {0, 2, 4, 8, 13, 15, 16, 12, 17, 3, 1, 11, 21, 22, 23, 24};
constexpr int kPlottingMethodIICodes[] = {0, 2, 8, 13, 15, 16, 17, 21, 22};
static_assert(std::size(kPlottingMethodCodes) == EnumSize<ePlottingMethod>::value);
static_assert(std::size(kPlottingMethodIICodes) == EnumSize<ePlottingMethodII>::value);

// Ordinals 0..27 of the table annotation location; the overlap members above have no
// engine code of their own.
constexpr int taLocationCode(int ordinal) {
    if (ordinal <= 15) return ordinal;
    if (ordinal <= 21) return 100 + (ordinal - 16);
    if (ordinal <= 27) return 200 + (ordinal - 22);
    return 0;
}

template <class E, std::size_t N> E lookupOrdinal(const int (&codes)[N], int code) {
    for (std::size_t i = 0; i < N; ++i)
        if (codes[i] == code) return E(i);
    return E(0);
}

} // namespace

template <> int enumToEngine(ePlottingMethod value) {
    return value < std::size(kPlottingMethodCodes) ? kPlottingMethodCodes[value] : 0;
}

template <> ePlottingMethod enumFromEngine(int code) {
    return lookupOrdinal<ePlottingMethod>(kPlottingMethodCodes, code);
}

template <> int enumToEngine(ePlottingMethodII value) {
    return value < std::size(kPlottingMethodIICodes) ? kPlottingMethodIICodes[value] : 0;
}

template <> ePlottingMethodII enumFromEngine(int code) {
    return lookupOrdinal<ePlottingMethodII>(kPlottingMethodIICodes, code);
}

template <> int enumToEngine(eTALocation value) { return taLocationCode(value); }

template <> eTALocation enumFromEngine(int code) {
    for (int i = 0; i <= 27; ++i)
        if (taLocationCode(i) == code) return eTALocation(i);
    return eTALocation(0);
}

} // namespace scigraph
