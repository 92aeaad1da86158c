#pragma once
// Every property of one engine object, by id: scalars (int, double, single, string),
// arrays with one index and with two, and the data arrays sized by Subsets x Points.
// The element type of an id comes from a table; ids outside it are kept as int32
// (arrays) or single (memory calls), the narrowest width, so that a caller's pointer is
// never read or written past a value it could have meant.
//
// Y-axis settings are kept per axis: while WorkingAxis is k they read and write axis k
// (an axis never set reads 0 / empty, its own default).
//
// Threads: a store is written by one thread at a time (its engine's, the GUI thread).
// The const members only read: no cache and no lazy state, so any number of threads
// may read one store at once, as the frame builder's readers do, provided nothing
// writes it meanwhile. The store takes no lock: whoever hands it to readers waits for
// them before the next write (buildFrame joins its readers before it returns).

#include "chart/engine/ChunkMap.h"
#include "chart/engine/Text.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace chart::engine {

enum class ElemType : std::uint8_t { Int, Double, Single, String };
enum class Shape : std::uint8_t { Scalar, Array1, Array2, Data };

struct PropInfo {
    Shape shape;
    ElemType type;
};
// Shape and type of an id as the engine sees it.
PropInfo propInfo(int id);
// Ids kept once per y axis.
bool isAxisScoped(int id);

namespace id {
// Ids the engine acts on (names as the control publishes them).
enum : int {
    ObjectType = 2100,
    MainTitle = 2105,
    SubTitle = 2110,
    Subsets = 2115,
    Points = 2120,
    SubsetLabels = 2125,
    PointLabels = 2130,
    XData = 2135,
    YData = 2140,
    MonoWithSymbols = 2145,
    DefOrientation = 2150,
    PrepareImages = 2155,
    AllowCustomization = 2165,
    AllowExporting = 2170,
    AllowMaximization = 2175,
    AllowPopup = 2180,
    AllowUserInterface = 2185,
    SubsetColors = 2190,
    ViewingStyle = 2230,
    DataShadows = 2240,
    MonoDeskColor = 2250,
    MonoTextColor = 2255,
    MonoGraphForeColor = 2265,
    MonoGraphBackColor = 2270,
    DeskColor = 2320,
    TextColor = 2325,
    ShadowColor = 2330,
    GraphForeColor = 2335,
    GraphBackColor = 2340,
    DataPrecision = 2425,
    FontSize = 2435,
    MainTitleFont = 2445,
    MainTitleBold = 2450,
    MainTitleItalic = 2455,
    MainTitleUnderline = 2460,
    SubTitleFont = 2485,
    SubTitleBold = 2490,
    SubTitleItalic = 2495,
    SubTitleUnderline = 2500,
    LabelFont = 2525,
    LabelBold = 2530,
    LabelItalic = 2535,
    LabelUnderline = 2540,
    CacheBmp = 2574,
    CachedBitmap = 2575,
    MemoryDC = 2580,
    AllowSubsetHotSpots = 2600,
    HotSpot = 2610,
    CursorMode = 2617,
    CursorSubset = 2618,
    CursorPoint = 2619,
    CursorPromptStyle = 2620,
    CursorPromptTracking = 2621,
    MouseCursorControl = 2622,
    MultiSubTitles = 2630,
    MultiBottomTitles = 2631,
    FocalRect = 2632,
    FontSizeGlobalCntl = 2634,
    ClickPoint = 2637,
    ShowLegend = 2666,
    MenuIndex = 2675,
    SubmenuIndex = 2676,
    ZData = 2900,
    ImageDirty = 2905,
    ParentWindow = 2915,
    Painting = 2916,
    BorderTypes = 2943,
    SimpleLineLegend = 2973,
    DialogResult = 2981,
    XAxisLabel = 3000,
    MultiAxesSubsets = 3001,
    YAxisLabel = 3005,
    WorkingAxis = 3006,
    MultiAxesProportions = 3007,
    VBoundaryTypes = 3010,
    PlottingMethodII = 3011,
    XDataII = 3013,
    YDataII = 3014,
    UpperBoundValue = 3015,
    UsingXDataII = 3016,
    UsingYDataII = 3017,
    DateTimeMode = 3018,
    BarWidth = 3019,
    LowerBoundValue = 3020,
    GraphLocation = 3023,
    UpperBoundText = 3025,
    ShowYAxis = 3027,
    ShowXAxis = 3029,
    LowerBoundText = 3030,
    GridStyle = 3032,
    InvertedYAxis = 3033,
    InvertedXAxis = 3674,
    YAxisColor = 3036,
    XAxisColor = 3038,
    YAxisScaleControl = 3045,
    MultiAxesSeparators = 3046,
    ManualScaleControlY = 3050,
    ManualMinY = 3055,
    ManualMaxY = 3060,
    MultiAxisSeparatorSize = 3153,
    PlottingMethod = 3090,
    GridLineControl = 3100,
    PlottingMethods = 3103,
    GridInFront = 3110,
    GridHotSpotValue = 3123,
    DateTimeShowSeconds = 3129,
    GridNumber = 3162,
    ShowAnnotations = 3290,
    AllowGraphHotSpots = 3205,
    AllowDataHotSpots = 3210,
    MarkDataPoints = 3215,
    HorzLineAnnotation = 3213,
    HorzLineAnnotationText = 3214,
    HorzLineAnnotationType = 3216,
    HorzLineAnnotationColor = 3217,
    VertLineAnnotation = 3218,
    VertLineAnnotationText = 3219,
    VertLineAnnotationType = 3221,
    VertLineAnnotationColor = 3222,
    ShowGraphAnnotations = 3223,
    ShowHorzLineAnnotations = 3227,
    ShowVertLineAnnotations = 3228,
    HorzLineAnnotationAxis = 3003,
    GraphAnnotationAxis = 3002,
    LineAnnotationTextSize = 3244,
    GraphAnnotationType = 3246,
    GraphAnnotationTextSize = 3242,
    GraphAnnotationColor = 3236,
    ZoomMinX = 3248,
    ZoomMaxX = 3249,
    ZoomMinY = 3284,
    ZoomMaxY = 3285,
    ZoomMinAxis = 3047,
    ZoomMaxAxis = 3048,
    SubsetPointTypes = 3270,
    SubsetLineTypes = 3271,
    ShiftY = 3276,
    AllowZooming = 3282,
    ZoomMode = 3283,
    ManualMinX = 3620,
    ManualMaxX = 3625,
    ManualScaleControlX = 3615,
    XAxisScaleControl = 3610,
    NullDataValueX = 3656,
    NullDataValueY = 3268,
    NullDataGaps = 3066,
    PointColors = 3258,
    PointTypes = 3156,
    DataPointLabels = 3643,
    PointSize = 3269,
    HotSpotSize = 3081,
    LegendLocation = 3082,
    GraphAnnotationX = 3291,
    GraphAnnotationY = 3292,
    GraphAnnotationText = 3293,
    ShiftX = 3659,
    AllowAnnotationControl = 2623,
    ScrollingHorzZoom = 3652,
    HorzScrollPos = 3253,
    VertScrollPos = 2628,
    CurveGranularity = 3275,
    ExportTypeDef = 2108,
    ExportDestDef = 2109,
    ExportFileDef = 2111,
    ExportSizeDef = 2112,
    MouseWheelFunction = 2127,
    CursorPromptLocation = 3152,
    ZoomStyle = 3154,
    MultiAxisStyle = 3149,
    YAxisOnRight = 3026,
    ManualYAxisTicknLine = 3262,
    ManualYAxisTick = 3263,
    ManualYAxisLine = 3264,
    ManualXAxisTicknLine = 3644,
    ManualXAxisTick = 3645,
    ManualXAxisLine = 3646,
    AxisFormatY = 3071,
    AxisFormatX = 3678,
    ShowTickMarkY = 3106,
    ShowTickMarkX = 3108,
    YAxisWholeNumbers = 3179,
    FixedFonts = 2938,
    TickColor = 3159,
    AllowPlotCustomization = 3260,
};
} // namespace id

constexpr int kMaxAxes = 16;
// Highest index kept for one-index arrays and for each index of two-index arrays that
// are not data arrays; a write past it is ignored.
constexpr int kMaxArrayIndex = 9999;
// Subsets x Points is bounded so that a typo cannot ask for gigabytes.
constexpr std::int64_t kMaxDataCells = 20'000'000;
// Each subset costs a frame its own drawing however few its points: bounded so that a
// frame of any chart the engine holds is drawn in well under a second.
constexpr int kMaxSubsets = 100'000;

class PropertyStore {
public:
    PropertyStore();

    void resetToDefaults();

    // Scalars. number() returns 0 for an id never set and without default. A setter
    // returns false when it refused the value (NaN; a number an integer property cannot
    // hold; an axis, subset or point count that cannot be) and then stores nothing.
    bool setNumber(int id, double v);
    double number(int id) const;
    std::int32_t integer(int id) const;
    void setString(int id, std::string v);
    std::string string(int id) const;
    // Scalar of a given y axis, ignoring WorkingAxis (axis-scoped ids only; others
    // read the plain value).
    double axisNumber(int id, int axis) const;
    std::string axisString(int id, int axis) const;
    bool axisHas(int id, int axis) const;
    bool setAxisNumber(int id, int axis, double v);

    // One-index arrays: false when the index is out of range (nothing stored). Elements
    // below the highest one written read 0 or empty.
    bool setElem(int id, int index, double v);
    bool setElemString(int id, int index, std::string v);
    bool elem(int id, int index, double &v) const;
    bool elemString(int id, int index, std::string &v) const;
    // Number of elements (highest index written + 1; of a string array, the highest
    // holding a text).
    int elemCount(int id) const;

    // Two-index arrays; data arrays are bounded by Subsets x Points. Of the data
    // arrays, the per-point colours, types and labels keep only the cells written (a
    // zero, an empty text reads as never written).
    bool setElem2(int id, int i, int j, double v);
    bool setElem2String(int id, int i, int j, std::string v);
    bool elem2(int id, int i, int j, double &v) const;
    bool elem2String(int id, int i, int j, std::string &v) const;

    int subsets() const { return subsets_; }
    int points() const { return points_; }

    // Direct access for rendering: values of subset s (points() of them), or null when
    // the array was never written.
    const double *dataDoubles(int id, int subset) const;
    const float *dataSingles(int id, int subset) const;

    // The 100-point shift: drop the first 100 points of every subset of the array, move
    // the rest down and put values[s * 100 .. s * 100 + 99] into the last 100 places.
    void shiftData(int id, const double *values);
    void shiftData(int id, const float *values);

    // Versioned binary image of everything: stateSize() bytes, which writeState puts at
    // out. fromBytes refuses (false, store unchanged) anything it did not write, and
    // what it loads takes at most a few times the block's size.
    std::size_t stateSize() const;
    void writeState(unsigned char *out) const;
    std::vector<unsigned char> toBytes() const;
    bool fromBytes(const unsigned char *data, std::size_t size);

    bool operator==(const PropertyStore &o) const;

    // Changes with every write other than to the data arrays and the paint flags (image
    // dirty, painting); equal revisions mean equal properties but for those (a copy
    // keeps its original's until either is written).
    std::uint64_t revision() const { return revision_; }
    // A copy without the data arrays (Subsets and Points stay).
    PropertyStore withoutData() const;

private:
    std::uint32_t key(int id) const;
    void resizeData(int subsets, int points);
    template <class W> void write(W &w) const;
    template <bool Build> static bool read(const unsigned char *data, std::size_t size, PropertyStore *into);

    struct DataArray {
        ElemType type = ElemType::Single;
        std::vector<double> d;
        std::vector<float> f;
        ChunkMap<std::uint32_t, std::int32_t> i; // cells not 0
        ChunkMap<std::uint32_t, Text> s;         // cells not empty
        bool operator==(const DataArray &) const = default;
    };
    DataArray *dataFor(int id, bool create);
    const DataArray *dataFor(int id) const;

    // Lists are keyed by id and index, grids by id, row and column (see the source).
    ChunkMap<std::uint32_t, double> numbers_;
    ChunkMap<std::uint32_t, Text> strings_; // none empty
    ChunkMap<std::uint64_t, double> arrays_;
    ChunkMap<std::uint64_t, Text> stringArrays_; // none empty
    ChunkMap<std::uint64_t, double> arrays2_;
    ChunkMap<std::uint64_t, Text> stringArrays2_;
    std::map<int, DataArray> data_;
    int subsets_ = 1;
    int points_ = 10;
    std::uint64_t revision_ = 0;
    void touch();
};

} // namespace chart::engine
