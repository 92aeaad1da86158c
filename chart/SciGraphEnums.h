#pragma once
// The chart control's enumeration types. Each is one byte; members count from 0 in
// the order listed, and the ordinal is what a property hands to the engine (apart from
// the three translated types, see SciGraphCatalog.h). The members live at namespace
// scope, as the form code writes them bare (`sgBar`, `sgSerialDateTime`).

#include <array>
#include <cstddef>

// X(type, members...)
#define SCIGRAPH_ENUMS(X)                                                                                              \
    X(eViewingStyle, sgColor, sgMonochrome, sgMonoPlusSymbols)                                                         \
    X(eDataPrecision, sgNoDecimals, sgOneDecimal, sgTwoDecimals, sgThreeDecimals)                                      \
    X(eFontSize, sgLarge, sgMedium, sgSmall)                                                                           \
    X(eVBoundaryTypes, sgNone, sgUpper, sgLower, sgUpperPlusLower)                                                     \
    X(eAxisScaleControl, sgAuto, sgLinear, sgLog)                                                                      \
    X(ePlottingMethod, sgLine, sgPoint, sgStick, sgPointsPlusBFL, sgPointsPlusBFC, sgPointsPlusSpline, sgSpline,       \
      sgBubble, sgPointsPlusLine, sgArea, sgBar, sgSpecificPlotMode, sgStep, sgRibbon, sgContourLines,                 \
      sgContourColors)                                                                                                 \
    X(eGridLineControl, sgYPlusXAxis, sgYAxis, sgXAxis, sgNoGrid)                                                      \
    X(eDefOrientation, sgDriverDefault, sgLandscape, sgPortrait)                                                       \
    X(eManualScaleControl, sgAutoScale, sgManualMin, sgManualMax, sgManualMinAndMax)                                   \
    X(eBubbleSize, sgSmallBubbles, sgMediumBubbles, sgLargeBubbles)                                                    \
    X(eSpecificPlotMode, sgNormal, sgHighLowBar, sgHighLowLine, sgHighLowClose, sgOpenHighLowClose, sgBoxPlot)         \
    X(ePointSize, sgSmallPoints, sgMediumPoints, sgLargePoints, sgMicroPoints)                                         \
    X(eBestFitDegree, sgDegree2, sgDegree3, sgDegree4)                                                                 \
    X(eCurveGranularity, sgCoarseLines, sgMediumLines, sgFineLines)                                                    \
    X(eAllowDataLabels, sgNoDataLabels, sgDataValues, sgPointLabels, sgDataPointLabels)                                \
    X(eAllowZooming, sgNoZooming, sgHorzZooming, sgVertZooming, sgHorzPlusVertZooming)                                 \
    X(eSymbolFrequency, sgTwentyFourPercent, sgTwentyTwoPrecent, sgTwentyPercent, sgEighteenPercent, sgSixteenPercent, \
      sgFourteenPercent, sgTwelvePercent, sgTenPercent, sgEightPercent, sgSixPercent)                                  \
    X(eSGactions, sgReinitAndReset, sgReinitialize, sgResetImage, sgInvalidateImage, sgMaximize, sgCustomize,          \
      sgExportDialog, sgTextExportDialog, sgPrintDialog, sgColorDialog, sgFontDialog, sgPopupMenu, sgMetaToClip,       \
      sgMetaToFile, sgBmpToClip, sgBmpToFile, sgOleToClip, sgReinitCustoms, sgPrintGraph, sgUndoZoom, sgReset,         \
      sgJpegToClip, sgJpegToFile, sgPngToClip, sgPngToFile)                                                            \
    X(eCursorMode, sgNoCursor, sgVertLine, sgCrossHair, sgInvertedRect, sgFloatingY, sgFloatingXY, sgFloatingXOnly,    \
      sgFloatingYOnly)                                                                                                 \
    X(eCursorPromptStyle, sgNoPrompt, sgXValue, sgYValue, sgXandYValue)                                                \
    X(eZoomInterfaceOnly, sgNormalZooming, sgRectangleSelector, sgLineSelector)                                        \
    X(eDateTimeMode, sgNumericXData, sgSerialDateTime, sgAltDateTime)                                                  \
    X(ePlottingMethodII, sgLine2, sgPoint2, sgPointsPlusBFL2, sgPointsPlusBFC2, sgPointsPlusSpline2, sgSpline2,        \
      sgPointsPlusLine2, sgStep2, sgRibbon2)                                                                           \
    X(eShowAxis, sgGridPlusAxisLabels, sgAxisLabels, sgGridLabels, sgNoLabels, sgAxisLabelsOnly, sgEmpty)              \
    X(eGridStyle, sgThin, sgThick, sgDot, sgDash, sgPixel)                                                             \
    X(eMultiAxesSeparators, sgNoSeparator, sgThinLine, sgMediumLine, sgThickLine, sgThickPlusTicks)                    \
    X(eLegendLocation, sgLegendTop, sgLegendBottom, sgLegendLeft, sgLegendRight)                                       \
    X(eSpecialScaling, sgNoSpecialScaling, sgFinancialScaling)                                                         \
    X(eHotSpotSize, sgSmallHotSpots, sgMediumHotSpots, sgLargeHotSpots)                                                \
    X(eDataShadows, sgNo3D, sgWithShadows, sgWithThreeD)                                                               \
    X(eAllowUserInterface, sgNoInterface, sgAllInterface, sgNoKeyboard, sgNoMouse)                                     \
    X(eMinimumPointSize, sgNoMPS, sgSmallMPS, sgMediumMPS, sgLargeMPS)                                                 \
    X(eTickStyle, sgMatchGridStyle, sgThickTick, sgDotTick, sgDashTick, sgPixelTick, sgThinTick)                       \
    X(eZoomStyle, sgFramed, sgRO2NOT)                                                                                  \
    X(eCursorPromptLocation, sgTopLeft, sgTopRight)                                                                    \
    X(eLegendStyle, sgTwoLine, sgOneLine, sgInsideAxis, sgTopOfAxis, sgInsideOverlap)                                  \
    X(eMultiAxisStyle, sgGroupAxes, sgSeparateAxes)                                                                    \
    X(eTAHeaderOrientation, sgHorzHeader, sg90DegHeader, sg270DegHeader)                                               \
    X(eTALocation, sgTopCenterDesk, sgTopLeftDesk, sgLeftCenterDesk, sgBottomLeftDesk, sgBottomCenterDesk,             \
      sgBottomRightDesk, sgRightCenterDesk, sgTopRightDesk, sgInsideTopCenter, sgInsideTopLeft, sgInsideLeftCenter,    \
      sgInsideBottomLeft, sgInsideBottomCenter, sgInsideBottomRight, sgInsideRightCenter, sgInsideTopRight,            \
      sgInsideAxis0, sgInsideAxis1, sgInsideAxis2, sgInsideAxis3, sgInsideAxis4, sgInsideAxis5, sgOutsideAxis0,        \
      sgOutsideAxis1, sgOutsideAxis2, sgOutsideAxis3, sgOutsideAxis4, sgOutsideAxis5, sgInsideOverlap0,                \
      sgInsideOverlap1, sgInsideOverlap2, sgInsideOverlap3, sgInsideOverlap4, sgInsideOverlap5)                        \
    X(eTABorders, sgDropShadow, sgSingleLine, sgNoBorder, sgInset)                                                     \
    X(eTAAxisLocation, sgTopFullAxis, sgTopLeftAxis, sgTopCenterAxis, sgTopRightAxis, sgBottomFullAxis,                \
      sgBottomLeftAxis, sgBottomCenterAxis, sgBottomRightAxis)                                                         \
    X(eShowTickMarks, sgTicksInside, sgTicksOutside, sgTicksHide)                                                      \
    X(eMenuControl, sgHideMenu, sgShowMenu, sgGrayMenu)                                                                \
    X(eCustomMenu, sgShowCustomMenu, sgGrayCustomMenu, sgHideCustomMenu)                                               \
    X(eCustomMenuState, sgUnchecked, sgChecked)                                                                        \
    X(eGradientStyle, sgNoGradient, sgVerticalGradient, sgHorizontalGradient)                                          \
    X(eBitmapStyle, sgNoBmp, sgStretchBlt, sgTiledBlt, sgBitBltTopLeft, sgBitBltTopCenter, sgBitBltTopRight,           \
      sgBitBltBottomLeft, sgBitBltBottomCenter, sgBitBltBottomRight, sgBitBltCenter)                                   \
    X(eHideIntersectingText, sgShowText, sgHideText, sgPointerTopRight, sgPointerTopLeft, sgPointerBottomLeft,         \
      sgPointerBottomRight)                                                                                            \
    X(eQuickStyle, sgNoStyle, sgLightInset, sgLightShadow, sgLightLine, sgLightNoBorder, sgMedInset, sgMedShadow,      \
      sgMedLine, sgMedNoBorder, sgDarkInset, sgDarkShadow, sgDarkLine, sgDarkNoBorder)                                 \
    X(eTAJustification, sgLeftJustification, sgCenterJustification, sgRightJustification)                              \
    X(eCustomMenuLocation, sgTopOfMenu, sgAboveSeparator, sgBelowSeparator, sgBottomOfMenu)                            \
    X(eHatchType, sgHorizontalHatch, sgVerticalHatch, sgFDiagonalHatch, sgBDiagonalHatch, sgCrossHatch,                \
      sgDiagonalCrossHatch)                                                                                            \
    X(eYearMonthDayPrompt, sgEnableDateLabel, sgDisableDateLabel)                                                      \
    X(eTimeLabelType, sg12hr_am_pm, sg12hr_no_am_pm, sg24hr)                                                           \
    X(eDayLabelType, sg3CharDay, sg1CharDay, sgNoDay, sgNoDayNumber)                                                   \
    X(eMonthLabelType, sg3CharMonth, sg1CharMonth, sgNoMonth)                                                          \
    X(eYearLabelType, sg4CharYear, sg2CharYear, sgNoYear)                                                              \
    X(ePrintStyleControl, sgNoPrintStyleControl, sgPrintCurrentStyle, sgPrintDefaultMono)                              \
    X(eExportTypeDef, sgExportMetafile, sgExportBmp, sgExportJpeg, sgExportPng, sgExportText)                          \
    X(eExportDestDef, sgExportToClipboard, sgExportToFile, sgExportToPrinter)                                          \
    X(eExportSizeDef, sgExportNoSizeOrPixels, sgExportMillimeters, sgExportInches, sgExportPoints)                     \
    X(eGraphAnnotMoveable, sgNotMoveable, sgPointerMoveable)                                                           \
    X(eMouseWheelFunction, sgMouseWheelVertScroll, sgMouseWheelHorzScroll, sgMouseWheelDisabled)                       \
    X(eTextShadows, sgShadowNoText, sgShadowBoldText, sgShadowAllText)

#define SCIGRAPH_DECLARE_ENUM(T, ...) enum T : unsigned char { __VA_ARGS__ };
SCIGRAPH_ENUMS(SCIGRAPH_DECLARE_ENUM)
#undef SCIGRAPH_DECLARE_ENUM

namespace scigraph {

// Name, member count and the members' names (comma-separated, in ordinal order) of
// every enumeration type, for the property catalogue and its checks.
struct EnumInfo {
    const char *name;
    std::size_t count;
    const char *members;
};

#define SCIGRAPH_ENUM_INFO(T, ...) EnumInfo{#T, std::array{__VA_ARGS__}.size(), #__VA_ARGS__},
inline constexpr EnumInfo kEnums[] = {SCIGRAPH_ENUMS(SCIGRAPH_ENUM_INFO)};
#undef SCIGRAPH_ENUM_INFO

// Member count of each type, for range checks of engine codes.
template <class E> struct EnumSize;
#define SCIGRAPH_ENUM_SIZE(T, ...)                                                                                     \
    template <> struct EnumSize<T> { static constexpr int value = int(std::array{__VA_ARGS__}.size()); };
SCIGRAPH_ENUMS(SCIGRAPH_ENUM_SIZE)
#undef SCIGRAPH_ENUM_SIZE

} // namespace scigraph
