#pragma once
// The chart control's property catalogue: every property written once, as
//   X(name, engine id, family, type, mark)
// family  Prop    read-write scalar: integer (#7/#8), floating (#3/#4) or string (#9/#10) by type
//         Array   one index, elements through #5/#6
//         Array2  two indexes [subset, point], elements through #50/#51
//         Get     read-only scalar through #8
//         GetCoeff read-only [i, j], element i * 10 + j through #6
// type    bool, int, TColor, double, float (a single), QString or an enumeration type
// mark    R  the setter calls ResetandInvalidate (re-render at design time)
//         N  it does not
//         RawColor  a colour handed over as it is, without ColorToRGB
// The accessors of SciGraph are generated from these lists (SciGraphCtl.h).

#include <cstddef>
#include <string_view>

#include "chart/SciGraphEnums.h"

// Published: the form designer shows them and a stored form carries them.
#define SCIGRAPH_PUBLISHED(X)                                                                                          \
    X(PrepareImages, 2155, Prop, bool, N)                                                                              \
    X(AllowCustomization, 2165, Prop, bool, N)                                                                         \
    X(AllowExporting, 2170, Prop, bool, N)                                                                             \
    X(AllowMaximization, 2175, Prop, bool, N)                                                                          \
    X(AllowPopup, 2180, Prop, bool, N)                                                                                 \
    X(MainTitleBold, 2450, Prop, bool, R)                                                                              \
    X(MainTitleItalic, 2455, Prop, bool, R)                                                                            \
    X(MainTitleUnderline, 2460, Prop, bool, R)                                                                         \
    X(SubTitleBold, 2490, Prop, bool, R)                                                                               \
    X(SubTitleItalic, 2495, Prop, bool, R)                                                                             \
    X(SubTitleUnderline, 2500, Prop, bool, R)                                                                          \
    X(LabelBold, 2530, Prop, bool, R)                                                                                  \
    X(LabelItalic, 2535, Prop, bool, R)                                                                                \
    X(LabelUnderline, 2540, Prop, bool, R)                                                                             \
    X(GridInFront, 3110, Prop, bool, R)                                                                                \
    X(NoScrollingSubsetControl, 3065, Prop, bool, N)                                                                   \
    X(GraphDataLabels, 3630, Prop, bool, R)                                                                            \
    X(MonoWithSymbols, 2145, Prop, bool, R)                                                                            \
    X(ThreeDDialogs, 2160, Prop, bool, N)                                                                              \
    X(AllowSubsetHotSpots, 2600, Prop, bool, N)                                                                        \
    X(AllowGraphHotSpots, 3205, Prop, bool, N)                                                                         \
    X(AllowDataHotSpots, 3210, Prop, bool, N)                                                                          \
    X(AllowCoordPrompting, 3200, Prop, bool, N)                                                                        \
    X(MarkDataPoints, 3215, Prop, bool, R)                                                                             \
    X(AllowPlotCustomization, 3260, Prop, bool, N)                                                                     \
    X(AllowBubble, 3640, Prop, bool, N)                                                                                \
    X(AllowBestFitCurve, 3272, Prop, bool, N)                                                                          \
    X(AllowSpline, 3274, Prop, bool, N)                                                                                \
    X(NegativeFromXAxis, 3261, Prop, bool, N)                                                                          \
    X(ManualXAxisTicknLine, 3644, Prop, bool, R)                                                                       \
    X(ManualYAxisTicknLine, 3262, Prop, bool, R)                                                                       \
    X(ManualRYAxisTicknLine, 3265, Prop, bool, R)                                                                      \
    X(AllowLine, 3279, Prop, bool, N)                                                                                  \
    X(AllowStick, 3648, Prop, bool, N)                                                                                 \
    X(AllowBar, 3022, Prop, bool, N)                                                                                   \
    X(AllowPoint, 3280, Prop, bool, N)                                                                                 \
    X(AllowArea, 3254, Prop, bool, N)                                                                                  \
    X(AllowBestFitLine, 3281, Prop, bool, N)                                                                           \
    X(ForceRightYAxis, 3286, Prop, bool, R)                                                                            \
    X(AllowPointsPlusLine, 3287, Prop, bool, N)                                                                        \
    X(AllowPointsPlusSpline, 3288, Prop, bool, N)                                                                      \
    X(ScrollingHorzZoom, 3652, Prop, bool, N)                                                                          \
    X(CursorPromptTracking, 2621, Prop, bool, N)                                                                       \
    X(MouseCursorControl, 2622, Prop, bool, N)                                                                         \
    X(ShowAnnotations, 3290, Prop, bool, N)                                                                            \
    X(AllowGraphAnnotHotSpots, 3229, Prop, bool, N)                                                                    \
    X(AllowAnnotationControl, 2623, Prop, bool, N)                                                                     \
    X(AnnotationsInFront, 3208, Prop, bool, N)                                                                         \
    X(NoRandomPointsToExport, 3653, Prop, bool, N)                                                                     \
    X(XAxisVertNumbering, 3654, Prop, bool, N)                                                                         \
    X(ShowGraphAnnotations, 3223, Prop, bool, N)                                                                       \
    X(ShowXAxisAnnotations, 3224, Prop, bool, N)                                                                       \
    X(ShowYAxisAnnotations, 3226, Prop, bool, N)                                                                       \
    X(ShowHorzLineAnnotations, 3227, Prop, bool, N)                                                                    \
    X(ShowVertLineAnnotations, 3228, Prop, bool, N)                                                                    \
    X(AllowXAxisAnnotHotSpots, 3231, Prop, bool, N)                                                                    \
    X(AllowYAxisAnnotHotSpots, 3232, Prop, bool, N)                                                                    \
    X(AllowHorzLineAnnotHotSpots, 3233, Prop, bool, N)                                                                 \
    X(AllowVertLineAnnotHotSpots, 3234, Prop, bool, N)                                                                 \
    X(VertOrient90Degrees, 3257, Prop, bool, R)                                                                        \
    X(LogScaleExpLabels, 3009, Prop, bool, R)                                                                          \
    X(ManualTXAxisTicknLine, 3669, Prop, bool, R)                                                                      \
    X(ForceTopXAxis, 3672, Prop, bool, R)                                                                              \
    X(XAxisOnTop, 3673, Prop, bool, R)                                                                                 \
    X(YAxisOnRight, 3026, Prop, bool, R)                                                                               \
    X(FocalRect, 2632, Prop, bool, N)                                                                                  \
    X(InvertedYAxis, 3033, Prop, bool, R)                                                                              \
    X(InvertedRYAxis, 3034, Prop, bool, R)                                                                             \
    X(InvertedXAxis, 3674, Prop, bool, R)                                                                              \
    X(InvertedTXAxis, 3675, Prop, bool, R)                                                                             \
    X(YAxisLongTicks, 3043, Prop, bool, R)                                                                             \
    X(RYAxisLongTicks, 3044, Prop, bool, R)                                                                            \
    X(XAxisLongTicks, 3078, Prop, bool, R)                                                                             \
    X(TXAxisLongTicks, 3079, Prop, bool, R)                                                                            \
    X(AllowOleExport, 2638, Prop, bool, R)                                                                             \
    X(NoCustomParms, 2921, Prop, bool, R)                                                                              \
    X(NoHelp, 2922, Prop, bool, R)                                                                                     \
    X(AllowTitleHotSpots, 2924, Prop, bool, R)                                                                         \
    X(AllowSubTitleHotSpots, 2925, Prop, bool, R)                                                                      \
    X(AllowBottomTitleHotSpots, 2926, Prop, bool, R)                                                                   \
    X(AllowJpegOutput, 2928, Prop, bool, R)                                                                            \
    X(NoHiddenLinesInArea, 3061, Prop, bool, R)                                                                        \
    X(SpecificPlotModeColor, 3062, Prop, bool, R)                                                                      \
    X(NullDataGaps, 3066, Prop, bool, R)                                                                               \
    X(AllowStep, 3067, Prop, bool, N)                                                                                  \
    X(ScrollingVertZoom, 3069, Prop, bool, R)                                                                          \
    X(AllowAxisLabelHotSpots, 3083, Prop, bool, R)                                                                     \
    X(AllowAxisHotSpots, 3084, Prop, bool, R)                                                                          \
    X(BestFitFix, 3087, Prop, bool, R)                                                                                 \
    X(AllowRibbon, 3091, Prop, bool, R)                                                                                \
    X(NoGridLineMultiples, 3092, Prop, bool, R)                                                                        \
    X(AllowContourLines, 3680, Prop, bool, R)                                                                          \
    X(AllowContourColors, 3681, Prop, bool, R)                                                                         \
    X(SpecialDateTimeMode, 3687, Prop, bool, R)                                                                        \
    X(AllowPage1, 2930, Prop, bool, N)                                                                                 \
    X(AllowPage2, 2931, Prop, bool, N)                                                                                 \
    X(AllowSubsetsPage, 2932, Prop, bool, N)                                                                           \
    X(AllowFontPage, 2934, Prop, bool, N)                                                                              \
    X(AllowColorPage, 2935, Prop, bool, N)                                                                             \
    X(AllowStylePage, 2936, Prop, bool, N)                                                                             \
    X(AllowAxisPage, 2937, Prop, bool, N)                                                                              \
    X(ModalDialogs, 2978, Prop, bool, N)                                                                               \
    X(ModelessOnTop, 2979, Prop, bool, N)                                                                              \
    X(ModelessAutoClose, 2980, Prop, bool, N)                                                                          \
    X(SimpleLineLegend, 2973, Prop, bool, R)                                                                           \
    X(SimplePointLegend, 2974, Prop, bool, R)                                                                          \
    X(AllowGridNumberHotSpotsY, 3122, Prop, bool, N)                                                                   \
    X(AllowGridNumberHotSpotsX, 3692, Prop, bool, N)                                                                   \
    X(FixedFonts, 2938, Prop, bool, R)                                                                                 \
    X(ShowLegend, 2666, Prop, bool, R)                                                                                 \
    X(BitmapGradientMode, 2703, Prop, bool, R)                                                                         \
    X(PngIsTransparent, 2683, Prop, bool, N)                                                                           \
    X(PngIsInterlaced, 2685, Prop, bool, N)                                                                            \
    X(Subsets, 2115, Prop, int, R)                                                                                     \
    X(Points, 2120, Prop, int, R)                                                                                      \
    X(ScrollingSubsets, 3070, Prop, int, R)                                                                            \
    X(GraphAnnotationTextSize, 3242, Prop, int, N)                                                                     \
    X(CursorPageAmount, 3211, Prop, int, N)                                                                            \
    X(AxesAnnotationTextSize, 3243, Prop, int, N)                                                                      \
    X(LineAnnotationTextSize, 3244, Prop, int, N)                                                                      \
    X(DataHotSpotLimit, 3251, Prop, int, N)                                                                            \
    X(HourGlassThreshold, 3252, Prop, int, N)                                                                          \
    X(LogicalLimit, 3064, Prop, int, R)                                                                                \
    X(ThreeDThreshold, 3076, Prop, int, R)                                                                             \
    X(LogTickThreshold, 3101, Prop, int, R)                                                                            \
    X(AutoMinMaxPadding, 3063, Prop, int, R)                                                                           \
    X(ContourLineLabelDensity, 3686, Prop, int, R)                                                                     \
    X(MaxDataPrecision, 2431, Prop, int, R)                                                                            \
    X(ImageAdjustLeft, 2982, Prop, int, R)                                                                             \
    X(ImageAdjustRight, 2983, Prop, int, R)                                                                            \
    X(ImageAdjustTop, 2984, Prop, int, R)                                                                              \
    X(ImageAdjustBottom, 2985, Prop, int, R)                                                                           \
    X(ViewingStyle, 2230, Prop, eViewingStyle, R)                                                                      \
    X(DataPrecision, 2425, Prop, eDataPrecision, R)                                                                    \
    X(AllowUserInterface, 2185, Prop, eAllowUserInterface, N)                                                          \
    X(FontSize, 2435, Prop, eFontSize, R)                                                                              \
    X(VBoundaryTypes, 3010, Prop, eVBoundaryTypes, R)                                                                  \
    X(XAxisScaleControl, 3610, Prop, eAxisScaleControl, R)                                                             \
    X(YAxisScaleControl, 3045, Prop, eAxisScaleControl, R)                                                             \
    X(PlottingMethod, 3090, Prop, ePlottingMethod, R)                                                                  \
    X(GridLineControl, 3100, Prop, eGridLineControl, R)                                                                \
    X(DataShadows, 2240, Prop, eDataShadows, R)                                                                        \
    X(DefOrientation, 2150, Prop, eDefOrientation, N)                                                                  \
    X(ManualScaleControlY, 3050, Prop, eManualScaleControl, R)                                                         \
    X(ManualScaleControlX, 3615, Prop, eManualScaleControl, R)                                                         \
    X(RYAxisScaleControl, 3230, Prop, eAxisScaleControl, R)                                                            \
    X(ManualScaleControlRY, 3240, Prop, eManualScaleControl, R)                                                        \
    X(BubbleSize, 3641, Prop, eBubbleSize, R)                                                                          \
    X(SpecificPlotMode, 3021, Prop, eSpecificPlotMode, R)                                                              \
    X(PointSize, 3269, Prop, ePointSize, R)                                                                            \
    X(BestFitDegree, 3273, Prop, eBestFitDegree, R)                                                                    \
    X(CurveGranularity, 3275, Prop, eCurveGranularity, R)                                                              \
    X(AllowDataLabels, 3642, Prop, eAllowDataLabels, R)                                                                \
    X(AllowZooming, 3282, Prop, eAllowZooming, N)                                                                      \
    X(SymbolFrequency, 3289, Prop, eSymbolFrequency, R)                                                                \
    X(CursorMode, 2617, Prop, eCursorMode, R)                                                                          \
    X(CursorPromptStyle, 2620, Prop, eCursorPromptStyle, R)                                                            \
    X(ZoomInterfaceOnly, 3247, Prop, eZoomInterfaceOnly, N)                                                            \
    X(PlottingMethodII, 3011, Prop, ePlottingMethodII, R)                                                              \
    X(TXAxisScaleControl, 3662, Prop, eAxisScaleControl, R)                                                            \
    X(ManualScaleControlTX, 3664, Prop, eManualScaleControl, R)                                                        \
    X(ShowYAxis, 3027, Prop, eShowAxis, R)                                                                             \
    X(ShowRYAxis, 3028, Prop, eShowAxis, R)                                                                            \
    X(ShowXAxis, 3029, Prop, eShowAxis, R)                                                                             \
    X(ShowTXAxis, 3676, Prop, eShowAxis, R)                                                                            \
    X(GridStyle, 3032, Prop, eGridStyle, R)                                                                            \
    X(MultiAxesSeparators, 3046, Prop, eMultiAxesSeparators, N)                                                        \
    X(HotSpotSize, 3081, Prop, eHotSpotSize, R)                                                                        \
    X(SpecialScalingY, 3093, Prop, eSpecialScaling, R)                                                                 \
    X(SpecialScalingRY, 3094, Prop, eSpecialScaling, R)                                                                \
    X(LegendLocation, 3082, Prop, eLegendLocation, R)                                                                  \
    X(ManualScaleControlZ, 3684, Prop, eManualScaleControl, R)                                                         \
    X(MinimumPointSize, 3102, Prop, eMinimumPointSize, R)                                                              \
    X(TickStyle, 3158, Prop, eTickStyle, R)                                                                            \
    X(ZoomStyle, 3154, Prop, eZoomStyle, N)                                                                            \
    X(BorderTypes, 2943, Prop, eTABorders, R)                                                                          \
    X(ShowTickMarkY, 3106, Prop, eShowTickMarks, R)                                                                    \
    X(ShowTickMarkRY, 3107, Prop, eShowTickMarks, R)                                                                   \
    X(ShowTickMarkX, 3108, Prop, eShowTickMarks, R)                                                                    \
    X(ShowTickMarkTX, 3689, Prop, eShowTickMarks, R)                                                                   \
    X(DeskGradientStyle, 2689, Prop, eGradientStyle, R)                                                                \
    X(DeskBmpStyle, 2691, Prop, eBitmapStyle, R)                                                                       \
    X(GraphGradientStyle, 2694, Prop, eGradientStyle, R)                                                               \
    X(GraphBmpStyle, 2696, Prop, eBitmapStyle, R)                                                                      \
    X(QuickStyle, 2672, Prop, eQuickStyle, R)                                                                          \
    X(PrintStyleControl, 2705, Prop, ePrintStyleControl, N)                                                            \
    X(GraphForeColor, 2335, Prop, TColor, R)                                                                           \
    X(GraphBackColor, 2340, Prop, TColor, R)                                                                           \
    X(DeskColor, 2320, Prop, TColor, R)                                                                                \
    X(TextColor, 2325, Prop, TColor, R)                                                                                \
    X(ShadowColor, 2330, Prop, TColor, R)                                                                              \
    X(YAxisColor, 3036, Prop, TColor, R)                                                                               \
    X(RYAxisColor, 3037, Prop, TColor, R)                                                                              \
    X(XAxisColor, 3038, Prop, TColor, R)                                                                               \
    X(TXAxisColor, 3677, Prop, TColor, R)                                                                              \
    X(BoxPlotColor, 3088, Prop, TColor, R)                                                                             \
    X(TickColor, 3159, Prop, TColor, R)                                                                                \
    X(BarBorderColor, 3116, Prop, TColor, R)                                                                           \
    X(HatchBackColor, 2941, Prop, TColor, R)                                                                           \
    X(DeskGradientStart, 2687, Prop, TColor, R)                                                                        \
    X(DeskGradientEnd, 2688, Prop, TColor, R)                                                                          \
    X(GraphGradientStart, 2692, Prop, TColor, R)                                                                       \
    X(GraphGradientEnd, 2693, Prop, TColor, R)                                                                         \
    X(PngTransparentColor, 2684, Prop, TColor, N)                                                                      \
    X(UpperBoundValue, 3015, Prop, double, R)                                                                          \
    X(LowerBoundValue, 3020, Prop, double, R)                                                                          \
    X(ManualMinY, 3055, Prop, double, R)                                                                               \
    X(ManualMaxY, 3060, Prop, double, R)                                                                               \
    X(ManualMinX, 3620, Prop, double, R)                                                                               \
    X(ManualMaxX, 3625, Prop, double, R)                                                                               \
    X(ManualMinRY, 3245, Prop, double, R)                                                                              \
    X(ManualMaxRY, 3250, Prop, double, R)                                                                              \
    X(ManualXAxisTick, 3645, Prop, double, R)                                                                          \
    X(ManualXAxisLine, 3646, Prop, double, R)                                                                          \
    X(ManualYAxisTick, 3263, Prop, double, R)                                                                          \
    X(ManualYAxisLine, 3264, Prop, double, R)                                                                          \
    X(ManualRYAxisTick, 3266, Prop, double, R)                                                                         \
    X(ManualRYAxisLine, 3267, Prop, double, R)                                                                         \
    X(NullDataValueX, 3656, Prop, double, R)                                                                           \
    X(NullDataValueY, 3268, Prop, double, R)                                                                           \
    X(LineGapThreshold, 3212, Prop, double, R)                                                                         \
    X(BarWidth, 3019, Prop, double, R)                                                                                 \
    X(ManualMinTX, 3665, Prop, double, R)                                                                              \
    X(ManualMaxTX, 3666, Prop, double, R)                                                                              \
    X(ManualTXAxisTick, 3670, Prop, double, R)                                                                         \
    X(ManualTXAxisLine, 3671, Prop, double, R)                                                                         \
    X(ZoomMinRY, 3073, Prop, double, N)                                                                                \
    X(ZoomMaxRY, 3074, Prop, double, N)                                                                                \
    X(StartTime, 3098, Prop, double, N)                                                                                \
    X(EndTime, 3099, Prop, double, N)                                                                                  \
    X(ManualMinZ, 3682, Prop, double, R)                                                                               \
    X(ManualMaxZ, 3683, Prop, double, R)                                                                               \
    X(ManualZAxisLine, 3685, Prop, double, R)                                                                          \
    X(FontSizeGlobalCntl, 2634, Prop, float, R)                                                                        \
    X(FontSizeTitleCntl, 2635, Prop, float, R)                                                                         \
    X(FontSizeLegendCntl, 3042, Prop, float, R)                                                                        \
    X(FontSizeMSCntl, 2945, Prop, float, R)                                                                            \
    X(FontSizeMBCntl, 2946, Prop, float, R)                                                                            \
    X(FontSizeGNCntl, 2947, Prop, float, R)                                                                            \
    X(FontSizeCPCntl, 2948, Prop, float, N)                                                                            \
    X(FontSizeALCntl, 2949, Prop, float, R)                                                                            \
    X(GridAspect, 3124, Prop, float, R)                                                                                \
    X(MainTitle, 2105, Prop, QString, R)                                                                               \
    X(SubTitle, 2110, Prop, QString, R)                                                                                \
    X(MainTitleFont, 2445, Prop, QString, R)                                                                           \
    X(SubTitleFont, 2485, Prop, QString, R)                                                                            \
    X(LabelFont, 2525, Prop, QString, R)                                                                               \
    X(XAxisLabel, 3000, Prop, QString, R)                                                                              \
    X(YAxisLabel, 3005, Prop, QString, R)                                                                              \
    X(UpperBoundText, 3025, Prop, QString, R)                                                                          \
    X(LowerBoundText, 3030, Prop, QString, R)                                                                          \
    X(RYAxisLabel, 3255, Prop, QString, R)                                                                             \
    X(TXAxisLabel, 3667, Prop, QString, R)                                                                             \
    X(LeftMargin, 3052, Prop, QString, R)                                                                              \
    X(TopMargin, 3053, Prop, QString, R)                                                                               \
    X(RightMargin, 3054, Prop, QString, R)                                                                             \
    X(BottomMargin, 3056, Prop, QString, R)                                                                            \
    X(HelpFileName, 2923, Prop, QString, R)                                                                            \
    X(AxisFormatY, 3071, Prop, QString, R)                                                                             \
    X(AxisFormatRY, 3072, Prop, QString, R)                                                                            \
    X(AxisFormatX, 3678, Prop, QString, R)                                                                             \
    X(AxisFormatTX, 3679, Prop, QString, R)                                                                            \
    X(DeskBmpFilename, 2690, Prop, QString, R)                                                                         \
    X(GraphBmpFilename, 2695, Prop, QString, R)

// Public only: set and read at run time.
#define SCIGRAPH_PUBLIC(X)                                                                                             \
    X(TreatCompsAsNormal, 3120, Prop, bool, R)                                                                         \
    X(ZoomMode, 3283, Prop, bool, N)                                                                                   \
    X(AllowDebugOutput, 2629, Prop, bool, N)                                                                           \
    X(UsingXDataII, 3016, Prop, bool, N)                                                                               \
    X(UsingYDataII, 3017, Prop, bool, N)                                                                               \
    X(SubsetByPoint, 2636, Prop, bool, N)                                                                              \
    X(AutoScaleData, 3057, Prop, bool, R)                                                                              \
    X(Custom, 2225, Prop, bool, R)                                                                                     \
    X(CacheBmp, 2574, Prop, bool, R)                                                                                   \
    X(CustomGridNumbersY, 3160, Prop, bool, N)                                                                         \
    X(CustomGridNumbersRY, 3161, Prop, bool, N)                                                                        \
    X(CustomGridNumbersX, 3163, Prop, bool, N)                                                                         \
    X(CustomGridNumbersTX, 3695, Prop, bool, N)                                                                        \
    X(FloatingBars, 3151, Prop, bool, N)                                                                               \
    X(DisableSortPlotMethods, 3147, Prop, bool, N)                                                                     \
    X(TAHeaderColumn, 2958, Prop, bool, N)                                                                             \
    X(ShowTableAnnotation, 2968, Prop, bool, N)                                                                        \
    X(DisableSymbolFix, 2972, Prop, bool, N)                                                                           \
    X(FixedLineThickness, 3140, Prop, bool, N)                                                                         \
    X(FixedSPMWidth, 3141, Prop, bool, N)                                                                              \
    X(DisableClipping, 2944, Prop, bool, N)                                                                            \
    X(DateTimeShowSeconds, 3129, Prop, bool, N)                                                                        \
    X(TriangleAnnotationAdj, 3126, Prop, bool, N)                                                                      \
    X(VGNAxisLabelLocation, 3121, Prop, bool, N)                                                                       \
    X(YAxisVertGridNumbers, 3113, Prop, bool, N)                                                                       \
    X(DayLightSavings, 3112, Prop, bool, N)                                                                            \
    X(ContourStyleLegend, 3690, Prop, bool, R)                                                                         \
    X(MultiAxesSizing, 3111, Prop, bool, N)                                                                            \
    X(SeparatorMenu, 2654, Prop, bool, N)                                                                              \
    X(ShowAllTableAnnotations, 2665, Prop, bool, N)                                                                    \
    X(bStop, 2677, Prop, bool, N)                                                                                      \
    X(ScrollingScaleControl, 3175, Prop, bool, N)                                                                      \
    X(YAxisWholeNumbers, 3179, Prop, bool, N)                                                                          \
    X(RYAxisWholeNumbers, 3180, Prop, bool, N)                                                                         \
    X(XAxisWholeNumbers, 3181, Prop, bool, N)                                                                          \
    X(TXAxisWholeNumbers, 3182, Prop, bool, N)                                                                         \
    X(DarkTextInset, 2123, Prop, bool, N)                                                                              \
    X(LineShadows, 3177, Prop, bool, N)                                                                                \
    X(ScaleForXData, 3605, Prop, int, R)                                                                               \
    X(ScaleForYData, 3040, Prop, int, R)                                                                               \
    X(ComparisonSubsets, 3130, Prop, int, R)                                                                           \
    X(RYAxisComparisonSubsets, 3225, Prop, int, R)                                                                     \
    X(ScaleForRYData, 3256, Prop, int, R)                                                                              \
    X(CursorSubset, 2618, Prop, int, N)                                                                                \
    X(CursorPoint, 2619, Prop, int, N)                                                                                 \
    X(VertScrollPos, 2628, Prop, int, N)                                                                               \
    X(HorzScrollPos, 3253, Prop, int, N)                                                                               \
    X(WorkingAxis, 3006, Prop, int, N)                                                                                 \
    X(TXAxisComparisonSubsets, 3661, Prop, int, R)                                                                     \
    X(ScaleForTXData, 3668, Prop, int, R)                                                                              \
    X(ZoomMinAxis, 3047, Prop, int, N)                                                                                 \
    X(ZoomMaxAxis, 3048, Prop, int, N)                                                                                 \
    X(ArrowCursor, 2917, Prop, int, R)                                                                                 \
    X(HandCursor, 2919, Prop, int, R)                                                                                  \
    X(ZoomCursor, 2918, Prop, int, R)                                                                                  \
    X(NoDropCursor, 2920, Prop, int, R)                                                                                \
    X(MultiAxisSeparatorSize, 3153, Prop, int, N)                                                                      \
    X(WorkingTable, 2977, Prop, int, N)                                                                                \
    X(TARows, 2951, Prop, int, N)                                                                                      \
    X(TAColumns, 2952, Prop, int, N)                                                                                   \
    X(TAHeaderRows, 2957, Prop, int, N)                                                                                \
    X(TATextSize, 2965, Prop, int, N)                                                                                  \
    X(Delimiter, 2950, Prop, int, N)                                                                                   \
    X(AxisSizeY, 3143, Prop, int, N)                                                                                   \
    X(AxisLocationY, 3144, Prop, int, N)                                                                               \
    X(AxisSizeRY, 3145, Prop, int, N)                                                                                  \
    X(AxisLocationRY, 3146, Prop, int, N)                                                                              \
    X(SizeNSCursor, 2939, Prop, int, N)                                                                                \
    X(SpeedBoost, 3104, Prop, int, N)                                                                                  \
    X(OHLCMinWidth, 3109, Prop, int, N)                                                                                \
    X(JpgQuality, 2686, Prop, int, N)                                                                                  \
    X(SBCode, 2106, Prop, int, N)                                                                                      \
    X(SBPos, 2107, Prop, int, N)                                                                                       \
    X(GraphAnnotTextDodge, 2322, Prop, int, N)                                                                         \
    X(YAxisLineLimit, 3183, Prop, int, N)                                                                              \
    X(RYAxisLineLimit, 3184, Prop, int, N)                                                                             \
    X(XAxisLineLimit, 3185, Prop, int, N)                                                                              \
    X(TXAxisLineLimit, 3186, Prop, int, N)                                                                             \
    X(GradientBars, 3178, Prop, int, N)                                                                                \
    X(DateTimeMode, 3018, Prop, eDateTimeMode, R)                                                                      \
    X(CursorPromptLocation, 3152, Prop, eCursorPromptLocation, N)                                                      \
    X(LegendStyle, 2975, Prop, eLegendStyle, R)                                                                        \
    X(MultiAxisStyle, 3149, Prop, eMultiAxisStyle, N)                                                                  \
    X(TAHeaderOrientation, 2960, Prop, eTAHeaderOrientation, N)                                                        \
    X(TALocation, 2961, Prop, eTALocation, N)                                                                          \
    X(TABorder, 2962, Prop, eTABorders, N)                                                                             \
    X(TAAxisLocation, 2966, Prop, eTAAxisLocation, N)                                                                  \
    X(YearMonthDayPrompt, 3133, Prop, eYearMonthDayPrompt, N)                                                          \
    X(TimeLabelType, 3134, Prop, eTimeLabelType, N)                                                                    \
    X(DayLabelType, 3135, Prop, eDayLabelType, N)                                                                      \
    X(MonthLabelType, 3136, Prop, eMonthLabelType, N)                                                                  \
    X(YearLabelType, 3137, Prop, eYearLabelType, N)                                                                    \
    X(ViewingStyleMenu, 2640, Prop, eMenuControl, N)                                                                   \
    X(FontSizeMenu, 2641, Prop, eMenuControl, N)                                                                       \
    X(DataPrecisionMenu, 2642, Prop, eMenuControl, N)                                                                  \
    X(DataShadowMenu, 2643, Prop, eMenuControl, N)                                                                     \
    X(MaximizeMenu, 2655, Prop, eMenuControl, N)                                                                       \
    X(CustomizeDialogMenu, 2656, Prop, eMenuControl, N)                                                                \
    X(ExportDialogMenu, 2657, Prop, eMenuControl, N)                                                                   \
    X(HelpMenu, 2658, Prop, eMenuControl, N)                                                                           \
    X(BorderTypeMenu, 2659, Prop, eMenuControl, N)                                                                     \
    X(ShowLegendMenu, 2660, Prop, eMenuControl, N)                                                                     \
    X(LegendLocationMenu, 2661, Prop, eMenuControl, N)                                                                 \
    X(ShowTableAnnotationsMenu, 2662, Prop, eMenuControl, N)                                                           \
    X(MultiAxisStyleMenu, 2663, Prop, eMenuControl, N)                                                                 \
    X(FixedFontMenu, 2664, Prop, eMenuControl, N)                                                                      \
    X(GridLineMenu, 3164, Prop, eMenuControl, N)                                                                       \
    X(PlotMethodMenu, 3165, Prop, eMenuControl, N)                                                                     \
    X(GridInFrontMenu, 3166, Prop, eMenuControl, N)                                                                    \
    X(TreatComparisonsMenu, 3167, Prop, eMenuControl, N)                                                               \
    X(MarkDataPointsMenu, 3168, Prop, eMenuControl, N)                                                                 \
    X(ShowAnnotationsMenu, 3169, Prop, eMenuControl, N)                                                                \
    X(UndoZoomMenu, 3170, Prop, eMenuControl, N)                                                                       \
    X(IncludeDataLabelsMenu, 3696, Prop, eMenuControl, N)                                                              \
    X(BitmapGradientMenu, 2702, Prop, eMenuControl, N)                                                                 \
    X(HideIntersectingText, 2678, Prop, eHideIntersectingText, N)                                                      \
    X(LongYAxisTickMenu, 2673, Prop, eMenuControl, N)                                                                  \
    X(LongXAxisTickMenu, 2674, Prop, eMenuControl, N)                                                                  \
    X(QuickStyleMenu, 2671, Prop, eMenuControl, N)                                                                     \
    X(ExportTypeDef, 2108, Prop, eExportTypeDef, N)                                                                    \
    X(ExportDestDef, 2109, Prop, eExportDestDef, N)                                                                    \
    X(ExportSizeDef, 2112, Prop, eExportSizeDef, N)                                                                    \
    X(GraphAnnotMoveable, 2324, Prop, eGraphAnnotMoveable, N)                                                          \
    X(MouseWheelFunction, 2127, Prop, eMouseWheelFunction, N)                                                          \
    X(TextShadows, 2122, Prop, eTextShadows, N)                                                                        \
    X(TABackColor, 2963, Prop, TColor, N)                                                                              \
    X(TAForeColor, 2964, Prop, TColor, N)                                                                              \
    X(MonoGraphForeColor, 2265, Prop, TColor, N)                                                                       \
    X(MonoGraphBackColor, 2270, Prop, TColor, N)                                                                       \
    X(MonoDeskColor, 2250, Prop, TColor, N)                                                                            \
    X(MonoTextColor, 2255, Prop, TColor, N)                                                                            \
    X(MonoShadowColor, 2260, Prop, TColor, N)                                                                          \
    X(GraphAnnotBackColor, 3176, Prop, TColor, N)                                                                      \
    X(ZoomMinX, 3248, Prop, double, N)                                                                                 \
    X(ZoomMaxX, 3249, Prop, double, N)                                                                                 \
    X(ZoomMinY, 3284, Prop, double, N)                                                                                 \
    X(ZoomMaxY, 3285, Prop, double, N)                                                                                 \
    X(LeftEdgeSpacing, 3117, Prop, double, R)                                                                          \
    X(RightEdgeSpacing, 3118, Prop, double, R)                                                                         \
    X(AxisNumberSpacing, 3119, Prop, double, R)                                                                        \
    X(ZoomMinTX, 3697, Prop, double, N)                                                                                \
    X(ZoomMaxTX, 3698, Prop, double, N)                                                                                \
    X(AxisTickSpacing, 3171, Prop, double, N)                                                                          \
    X(XAxisNumberSpacing, 3172, Prop, double, N)                                                                       \
    X(XAxisTickSpacing, 3173, Prop, double, N)                                                                         \
    X(GraphAnnotationSizeCntl, 3174, Prop, double, N)                                                                  \
    X(DashLineThickness, 3142, Prop, float, N)                                                                         \
    X(TAFont, 2970, Prop, QString, N)                                                                                  \
    X(ScaleSymbols, 2986, Prop, QString, N)                                                                            \
    X(ExportFileDef, 2111, Prop, QString, N)                                                                           \
    X(ExportUnitXDef, 2113, Prop, QString, N)                                                                          \
    X(ExportUnitYDef, 2114, Prop, QString, N)

// Array elements [index] and [subset, point]; never re-rendered.
#define SCIGRAPH_ARRAYS(X)                                                                                             \
    X(HorzLineAnnotHotSpot, 3138, Array, bool, N)                                                                      \
    X(VertLineAnnotHotSpot, 3139, Array, bool, N)                                                                      \
    X(SubsetObstacles, 2323, Array, bool, N)                                                                           \
    X(RandomSubsetsToGraph, 3080, Array, int, N)                                                                       \
    X(SubsetPointTypes, 3270, Array, int, N)                                                                           \
    X(SubsetLineTypes, 3271, Array, int, N)                                                                            \
    X(HorzLineAnnotationType, 3216, Array, int, N)                                                                     \
    X(VertLineAnnotationType, 3221, Array, int, N)                                                                     \
    X(GraphAnnotationType, 3246, Array, int, N)                                                                        \
    X(SubsetsToLegend, 2624, Array, int, N)                                                                            \
    X(LegendAnnotationType, 2625, Array, int, N)                                                                       \
    X(MultiAxesSubsets, 3001, Array, int, N)                                                                           \
    X(GraphAnnotationAxis, 3002, Array, int, N)                                                                        \
    X(HorzLineAnnotationAxis, 3003, Array, int, N)                                                                     \
    X(LegendAnnotationAxis, 3008, Array, int, N)                                                                       \
    X(OverlapMultiAxes, 3059, Array, int, N)                                                                           \
    X(SubsetDegree, 3068, Array, int, N)                                                                               \
    X(GraphAnnotationHotSpot, 3089, Array, int, N)                                                                     \
    X(SubsetForPointTypes, 3157, Array, int, N)                                                                        \
    X(SubsetForPointColors, 3155, Array, int, N)                                                                       \
    X(TAColumnWidth, 2959, Array, int, N)                                                                              \
    X(PlottingMethods, 3103, Array, int, N)                                                                            \
    X(GraphAnnotTextLocation, 2321, Array, int, N)                                                                     \
    X(SubsetColors, 2190, Array, TColor, N)                                                                            \
    X(HorzLineAnnotationColor, 3217, Array, TColor, N)                                                                 \
    X(VertLineAnnotationColor, 3222, Array, TColor, N)                                                                 \
    X(GraphAnnotationColor, 3236, Array, TColor, N)                                                                    \
    X(XAxisAnnotationColor, 3237, Array, TColor, N)                                                                    \
    X(YAxisAnnotationColor, 3238, Array, TColor, N)                                                                    \
    X(LegendAnnotationColor, 2627, Array, TColor, N)                                                                   \
    X(SubsetShades, 2195, Array, TColor, N)                                                                            \
    X(GraphAnnotationX, 3291, Array, double, N)                                                                        \
    X(GraphAnnotationY, 3292, Array, double, N)                                                                        \
    X(XAxisAnnotation, 3297, Array, double, N)                                                                         \
    X(YAxisAnnotation, 3299, Array, double, N)                                                                         \
    X(HorzLineAnnotation, 3213, Array, double, N)                                                                      \
    X(VertLineAnnotation, 3218, Array, double, N)                                                                      \
    X(GridHotSpotValue, 3123, Array, double, N)                                                                        \
    X(MultiAxesProportions, 3007, Array, float, N)                                                                     \
    X(SubsetLabels, 2125, Array, QString, N)                                                                           \
    X(PointLabels, 2130, Array, QString, N)                                                                            \
    X(GraphAnnotationText, 3293, Array, QString, N)                                                                    \
    X(XAxisAnnotationText, 3298, Array, QString, N)                                                                    \
    X(YAxisAnnotationText, 3201, Array, QString, N)                                                                    \
    X(HorzLineAnnotationText, 3214, Array, QString, N)                                                                 \
    X(VertLineAnnotationText, 3219, Array, QString, N)                                                                 \
    X(LegendAnnotationText, 2626, Array, QString, N)                                                                   \
    X(MultiSubTitles, 2630, Array, QString, N)                                                                         \
    X(MultiBottomTitles, 2631, Array, QString, N)                                                                      \
    X(ContourLabels, 3691, Array, QString, N)                                                                          \
    X(CustomMenuText, 2670, Array, QString, N)                                                                         \
    X(CustomMenuLocation, 2669, Array, eCustomMenuLocation, N)                                                         \
    X(SubsetHatch, 2940, Array, eHatchType, N)                                                                         \
    X(TAHotSpot, 2956, Array2, bool, N)                                                                                \
    X(PointTypes, 3156, Array2, int, N)                                                                                \
    X(TAType, 2953, Array2, int, N)                                                                                    \
    X(PointColors, 3258, Array2, TColor, RawColor)                                                                     \
    X(TAColor, 2955, Array2, TColor, N)                                                                                \
    X(YDataII, 3014, Array2, double, N)                                                                                \
    X(XDataII, 3013, Array2, double, N)                                                                                \
    X(XData, 2135, Array2, float, N)                                                                                   \
    X(YData, 2140, Array2, float, N)                                                                                   \
    X(ZData, 2900, Array2, float, N)                                                                                   \
    X(DataPointLabels, 3643, Array2, QString, N)                                                                       \
    X(TAText, 2954, Array2, QString, N)                                                                                \
    X(TAFonts, 2971, Array2, QString, N)                                                                               \
    X(CustomMenu, 2667, Array2, eCustomMenu, N)                                                                        \
    X(CustomMenuState, 2668, Array2, eCustomMenuState, N)                                                              \
    X(PointHatch, 3114, Array2, eHatchType, N)                                                                         \
    X(TAJustification, 2969, Array2, eTAJustification, N)

// Read-only values of the engine.
#define SCIGRAPH_READONLY(X)                                                                                           \
    X(ObjectType, 2100, Get, int, N)                                                                                   \
    X(Painting, 2916, Get, bool, N)                                                                                    \
    X(DialogResult, 2981, Get, int, N)                                                                                 \
    X(BestFitCoeffs, 3058, GetCoeff, double, N)

namespace scigraph {

enum class Group { Published, Public, ReadOnly, Array };
enum class Family { Prop, Array, Array2, Get, GetCoeff };
enum class Kind { Bool, Int, Enum, Color, Double, Single, String };
enum class Mark { N, R, RawColor };

struct PropertyInfo {
    const char *name;
    int id;
    Group group;
    Family family;
    Kind kind;
    const char *type;
    Mark mark;
};

// Name of the command property and its three argument fields: they belong to the
// control itself, not to an engine property.
inline constexpr const char *kCommandFields[] = {"SGactions", "SGnarg1", "SGnarg2", "SGstrarg1"};

extern const PropertyInfo kProperties[];
extern const std::size_t kPropertyCount;

// The entry of a property by name, or nullptr.
const PropertyInfo *findProperty(std::string_view name);

// Enumeration values to engine codes and back. An enumeration passes its ordinal
// unchanged, but for the three translated types; for those an engine code outside the
// translation reads as ordinal 0.
template <class E> constexpr int enumToEngine(E value) { return int(value); }
template <class E> constexpr E enumFromEngine(int code) { return E(static_cast<unsigned char>(code)); }
template <> int enumToEngine(ePlottingMethod value);
template <> ePlottingMethod enumFromEngine(int code);
template <> int enumToEngine(ePlottingMethodII value);
template <> ePlottingMethodII enumFromEngine(int code);
template <> int enumToEngine(eTALocation value);
template <> eTALocation enumFromEngine(int code);

} // namespace scigraph
