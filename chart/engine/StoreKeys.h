#pragma once
// How the property store keys and keeps its values, shared by the store and its state
// block.

#include "chart/engine/PropertyStore.h"

#include <cstdint>
#include <string_view>

namespace chart::engine::store {

// Data arrays: [subset, point], sized by Subsets x Points.
inline PropInfo dataInfo(int id) {
    switch (id) {
        case id::XData:
        case id::YData:
        case id::ZData: return {Shape::Data, ElemType::Single};
        case id::XDataII:
        case id::YDataII: return {Shape::Data, ElemType::Double};
        case id::PointColors:
        case id::PointTypes:
        case 3114: return {Shape::Data, ElemType::Int};
        case id::DataPointLabels: return {Shape::Data, ElemType::String};
        default: return {Shape::Scalar, ElemType::Int};
    }
}

inline bool validIndex(int i) { return i >= 0 && i <= kMaxArrayIndex; }

// An integer property holds nothing an int32 cannot: what it is read as, drawn with
// and indexed by.
inline bool fitsInt32(double v) { return v >= -2147483648.0 && v <= 2147483647.0; }
inline bool intTyped(int id) { return propInfo(id).type == ElemType::Int; }

// Keys of list elements: id and index; of grid elements: id, row and column (indexes
// are at most kMaxArrayIndex, below 2^16).
inline std::uint64_t listKey(int id, int index) {
    return std::uint64_t(std::uint32_t(id)) << 32 | std::uint32_t(index);
}
inline std::uint64_t gridKey(int id, int i, int j) {
    return std::uint64_t(std::uint32_t(id)) << 32 | std::uint64_t(std::uint32_t(i)) << 16 | std::uint32_t(j);
}
inline int keyId(std::uint64_t k) { return static_cast<int>(static_cast<std::uint32_t>(k >> 32)); }
inline bool sparseData(ElemType t) { return t == ElemType::Int || t == ElemType::String; }

// A value as the store keeps it: a number as it is, a text (as a setter would) cut to
// 255 characters.
inline double stored(double v) { return v; }
inline Text stored(std::string_view v) { return Text(v.substr(0, 255)); }

} // namespace chart::engine::store
