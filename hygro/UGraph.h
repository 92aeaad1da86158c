#pragma once
// Unit UGraph: a chart window. With the caption "Real Time Graph" it is the real-time
// chart that the poll loop fills; otherwise it holds a chart drawn from the table
// window of the same caption, and a click on a point marks the row there.

#include "hygro/MdiChild.h"
#include "hygro/UMain.h"

#include <cstdint>

namespace forms {
class TObject;
class TStringGrid;
} // namespace forms

namespace hygro {

inline const QString RealTimeGraphCaption = QStringLiteral("Real Time Graph");

class TfrmGraph : public TMdiChild, public TChartForm {
public:
    explicit TfrmGraph(const QString &caption = RealTimeGraphCaption);

    void SciGraph1DataHotSpot(forms::TObject *Sender, int DblClick, int SubsetIndex, int PointIndex);
    void SciGraph1CustomizeDlg(forms::TObject *Sender);
    // Bound to no event.
    void SciGraph1MouseMove() {}

    // The stored client size.
    QSize sizeHint() const override { return QSize(516, 385); }

protected:
    void FormCloseQuery(bool &CanClose) override;
    void FormClose() override;
    void FormActivate() override;

private:
    bool isRealTime() const { return Caption() == RealTimeGraphCaption; }
};

// The chart most recently drawn from a table.
extern QPointer<TfrmGraph> frmGraph;

// The chart's stored settings that SetupChart leaves alone, the same on every chart
// window; set before the control is loaded.
void ApplyStoredChartSettings(SciGraph *c);

// Marks table row `row` on `chart` (annotation 0, replacing the previous mark) at the
// row's time, labelled with the row's time and readings, T1 and T2 when
// `twoTemperatures`, else T; then applies the chart.
void MarkChartRow(SciGraph *chart, forms::TStringGrid *grid, int row, std::int32_t color, bool twoTemperatures);
// The same, with two temperatures when the row holds a T2.
void MarkChartRow(SciGraph *chart, forms::TStringGrid *grid, int row, std::int32_t color);

// The colour of a row's mark: black, but white on a black graph (the default), where a
// black line would not be seen at all.
std::int32_t RowMarkColor(const SciGraph *chart);

} // namespace hygro
