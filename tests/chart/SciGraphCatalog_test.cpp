#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>

#include "chart/SciGraphCatalog.h"
#include "chart/engine/PropertyStore.h"

using namespace scigraph;

namespace {

std::map<std::tuple<Group, Family, Kind>, int> countByShape() {
    std::map<std::tuple<Group, Family, Kind>, int> n;
    for (std::size_t i = 0; i < kPropertyCount; ++i)
        ++n[{kProperties[i].group, kProperties[i].family, kProperties[i].kind}];
    return n;
}

} // namespace

TEST(SciGraphCatalog, GroupsHoldTheListedNumberOfEachType) {
    struct Row {
        Group g;
        Family f;
        Kind k;
        int count;
    };
    const Row rows[] = {
        {Group::Published, Family::Prop, Kind::Bool, 113},    {Group::Published, Family::Prop, Kind::Int, 19},
        {Group::Published, Family::Prop, Kind::Enum, 54},     {Group::Published, Family::Prop, Kind::Color, 18},
        {Group::Published, Family::Prop, Kind::Double, 29},   {Group::Published, Family::Prop, Kind::Single, 9},
        {Group::Published, Family::Prop, Kind::String, 22},   {Group::Public, Family::Prop, Kind::Bool, 38},
        {Group::Public, Family::Prop, Kind::Int, 41},         {Group::Public, Family::Prop, Kind::Enum, 46},
        {Group::Public, Family::Prop, Kind::Color, 8},        {Group::Public, Family::Prop, Kind::Double, 13},
        {Group::Public, Family::Prop, Kind::Single, 1},       {Group::Public, Family::Prop, Kind::String, 5},
        {Group::ReadOnly, Family::Get, Kind::Int, 2},         {Group::ReadOnly, Family::Get, Kind::Bool, 1},
        {Group::ReadOnly, Family::GetCoeff, Kind::Double, 1}, {Group::Array, Family::Array, Kind::Bool, 3},
        {Group::Array, Family::Array, Kind::Int, 20},         {Group::Array, Family::Array, Kind::Color, 8},
        {Group::Array, Family::Array, Kind::Double, 7},       {Group::Array, Family::Array, Kind::Single, 1},
        {Group::Array, Family::Array, Kind::String, 12},      {Group::Array, Family::Array, Kind::Enum, 2},
        {Group::Array, Family::Array2, Kind::Bool, 1},        {Group::Array, Family::Array2, Kind::Int, 2},
        {Group::Array, Family::Array2, Kind::Color, 2},       {Group::Array, Family::Array2, Kind::Double, 2},
        {Group::Array, Family::Array2, Kind::Single, 3},      {Group::Array, Family::Array2, Kind::String, 3},
        {Group::Array, Family::Array2, Kind::Enum, 4},
    };
    auto counts = countByShape();
    int total = 0;
    for (const Row &r : rows) {
        EXPECT_EQ(counts[std::make_tuple(r.g, r.f, r.k)], r.count) << int(r.g) << " " << int(r.f) << " " << int(r.k);
        total += r.count;
    }
    EXPECT_EQ(int(kPropertyCount), total) << "entries outside the listed groups";
    // With the command property and its three argument fields: 494 properties.
    EXPECT_EQ(kPropertyCount + std::size(kCommandFields), 494u);
}

TEST(SciGraphCatalog, NamesAndIdsAreUniqueAndArraysNeverRerender) {
    std::set<std::string> names;
    std::set<int> ids;
    for (std::size_t i = 0; i < kPropertyCount; ++i) {
        const PropertyInfo &p = kProperties[i];
        EXPECT_TRUE(names.insert(p.name).second) << p.name;
        EXPECT_TRUE(ids.insert(p.id).second) << p.name << " " << p.id;
        if (p.group == Group::Array || p.group == Group::ReadOnly) {
            EXPECT_NE(p.mark, Mark::R) << p.name;
        }
        if (p.mark == Mark::RawColor) {
            EXPECT_STREQ(p.name, "PointColors");
        }
    }
}

TEST(SciGraphCatalog, SampleEntries) {
    struct Row {
        const char *name;
        int id;
        Family family;
        const char *type;
        Mark mark;
    };
    const Row rows[] = {
        {"PrepareImages", 2155, Family::Prop, "bool", Mark::N},
        {"AllowCustomization", 2165, Family::Prop, "bool", Mark::N},
        {"MainTitleBold", 2450, Family::Prop, "bool", Mark::R},
        {"PngIsInterlaced", 2685, Family::Prop, "bool", Mark::N},
        {"Subsets", 2115, Family::Prop, "int", Mark::R},
        {"PlottingMethod", 3090, Family::Prop, "ePlottingMethod", Mark::R},
        {"BorderTypes", 2943, Family::Prop, "eTABorders", Mark::R},
        {"PrintStyleControl", 2705, Family::Prop, "ePrintStyleControl", Mark::N},
        {"GraphBackColor", 2340, Family::Prop, "TColor", Mark::R},
        {"PngTransparentColor", 2684, Family::Prop, "TColor", Mark::N},
        {"ManualMinX", 3620, Family::Prop, "double", Mark::R},
        {"FontSizeCPCntl", 2948, Family::Prop, "float", Mark::N},
        {"GraphBmpFilename", 2695, Family::Prop, "QString", Mark::R},
        {"CacheBmp", 2574, Family::Prop, "bool", Mark::R},
        {"LineShadows", 3177, Family::Prop, "bool", Mark::N},
        {"WorkingAxis", 3006, Family::Prop, "int", Mark::N},
        {"DateTimeMode", 3018, Family::Prop, "eDateTimeMode", Mark::R},
        {"TALocation", 2961, Family::Prop, "eTALocation", Mark::N},
        {"TextShadows", 2122, Family::Prop, "eTextShadows", Mark::N},
        {"DashLineThickness", 3142, Family::Prop, "float", Mark::N},
        {"ExportUnitYDef", 2114, Family::Prop, "QString", Mark::N},
        {"DialogResult", 2981, Family::Get, "int", Mark::N},
        {"Painting", 2916, Family::Get, "bool", Mark::N},
        {"BestFitCoeffs", 3058, Family::GetCoeff, "double", Mark::N},
        {"SubsetColors", 2190, Family::Array, "TColor", Mark::N},
        {"MultiAxesProportions", 3007, Family::Array, "float", Mark::N},
        {"SubsetLabels", 2125, Family::Array, "QString", Mark::N},
        {"SubsetHatch", 2940, Family::Array, "eHatchType", Mark::N},
        {"PointColors", 3258, Family::Array2, "TColor", Mark::RawColor},
        {"XDataII", 3013, Family::Array2, "double", Mark::N},
        {"YData", 2140, Family::Array2, "float", Mark::N},
        {"TAJustification", 2969, Family::Array2, "eTAJustification", Mark::N},
    };
    for (const Row &r : rows) {
        const PropertyInfo *p = findProperty(r.name);
        ASSERT_NE(p, nullptr) << r.name;
        EXPECT_EQ(p->id, r.id) << r.name;
        EXPECT_EQ(p->family, r.family) << r.name;
        EXPECT_STREQ(p->type, r.type) << r.name;
        EXPECT_EQ(p->mark, r.mark) << r.name;
    }
    EXPECT_EQ(findProperty("SGactions"), nullptr);
}

// The control hands the engine a pointer to a value of the property's type; the engine
// must read and write that many bytes, in the shape the accessor uses.
TEST(SciGraphCatalog, TheEngineTakesEachPropertyInItsTypeAndShape) {
    using chart::engine::ElemType;
    using chart::engine::Shape;
    for (std::size_t i = 0; i < kPropertyCount; ++i) {
        const PropertyInfo &p = kProperties[i];
        const chart::engine::PropInfo e = chart::engine::propInfo(p.id);
        ElemType type = p.kind == Kind::Double   ? ElemType::Double
                        : p.kind == Kind::Single ? ElemType::Single
                        : p.kind == Kind::String ? ElemType::String
                                                 : ElemType::Int;
        EXPECT_EQ(e.type, type) << p.name;
        switch (p.family) {
            case Family::Prop:
            case Family::Get: EXPECT_EQ(e.shape, Shape::Scalar) << p.name; break;
            case Family::Array:
            case Family::GetCoeff: EXPECT_EQ(e.shape, Shape::Array1) << p.name; break;
            case Family::Array2: EXPECT_TRUE(e.shape == Shape::Array2 || e.shape == Shape::Data) << p.name; break;
        }
    }
}

TEST(SciGraphEnums, SixtyFourOneByteTypesWithTheListedMembers) {
    EXPECT_EQ(std::size(kEnums), 64u);
    std::map<std::string, std::size_t> count;
    for (const EnumInfo &e : kEnums) count[e.name] = e.count;
    EXPECT_EQ(count.size(), 64u);
    EXPECT_EQ(count["eTALocation"], 34u);
    EXPECT_EQ(count["eSGactions"], 25u);
    EXPECT_EQ(count["ePlottingMethod"], 16u);
    EXPECT_EQ(count["eQuickStyle"], 13u);
    EXPECT_EQ(count["eSpecialScaling"], 2u);
    static_assert(sizeof(eSGactions) == 1 && sizeof(eTALocation) == 1 && sizeof(eQuickStyle) == 1);
    // Members keep their spelling and ordinals.
    static_assert(sgTwentyTwoPrecent == 1 && sgRO2NOT == 1);
    static_assert(sgPngToFile == 24 && sgInsideOverlap5 == 33 && sgManualMinAndMax == 3);
    static_assert(sgSerialDateTime == 1 && sgBar == 10 && sg24hr == 2);
    // Every enumeration a property uses is one of them.
    for (std::size_t i = 0; i < kPropertyCount; ++i)
        if (kProperties[i].kind == Kind::Enum) {
            EXPECT_TRUE(count.count(kProperties[i].type)) << kProperties[i].type;
        }
}

TEST(SciGraphEnums, TranslatedTypesMapBothWays) {
    struct Row {
        int ordinal;
        int code;
    };
    const Row plotting[] = {{0, 0},  {1, 2}, {2, 4},  {3, 8},   {4, 13},  {5, 15},  {6, 16},  {7, 12},
                            {8, 17}, {9, 3}, {10, 1}, {11, 11}, {12, 21}, {13, 22}, {14, 23}, {15, 24}};
    for (const Row &r : plotting) {
        EXPECT_EQ(enumToEngine(ePlottingMethod(r.ordinal)), r.code);
        EXPECT_EQ(enumFromEngine<ePlottingMethod>(r.code), r.ordinal);
    }
    const Row plotting2[] = {{0, 0}, {1, 2}, {2, 8}, {3, 13}, {4, 15}, {5, 16}, {6, 17}, {7, 21}, {8, 22}};
    for (const Row &r : plotting2) {
        EXPECT_EQ(enumToEngine(ePlottingMethodII(r.ordinal)), r.code);
        EXPECT_EQ(enumFromEngine<ePlottingMethodII>(r.code), r.ordinal);
    }
    const Row location[] = {{0, 0}, {1, 1}, {15, 15}, {16, 100}, {21, 105}, {22, 200}, {27, 205}};
    for (const Row &r : location) {
        EXPECT_EQ(enumToEngine(eTALocation(r.ordinal)), r.code);
        EXPECT_EQ(enumFromEngine<eTALocation>(r.code), r.ordinal);
    }
    // Members without an engine code, and codes without a member.
    EXPECT_EQ(enumToEngine(sgInsideOverlap0), 0);
    EXPECT_EQ(enumToEngine(sgInsideOverlap5), 0);
    EXPECT_EQ(enumFromEngine<ePlottingMethod>(5), sgLine);
    EXPECT_EQ(enumFromEngine<ePlottingMethodII>(1), sgLine2);
    EXPECT_EQ(enumFromEngine<eTALocation>(16), sgTopCenterDesk);
    EXPECT_EQ(enumFromEngine<eTALocation>(-1), sgTopCenterDesk);
    // Other types pass their ordinal.
    EXPECT_EQ(enumToEngine(sgManualMinAndMax), 3);
    EXPECT_EQ(enumFromEngine<eDateTimeMode>(2), sgAltDateTime);
}
