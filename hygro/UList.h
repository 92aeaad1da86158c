#pragma once
// Unit UList: a table window. With the caption "Real Time Tabular" it is the
// real-time table that the poll loop fills; otherwise it holds a table read from a file.

#include "hygro/MdiChild.h"

namespace forms {
class TStringGrid;
}

namespace hygro {

class TfrmList : public TMdiChild {
public:
    explicit TfrmList(const QString &caption);

    forms::TStringGrid *Grid1 = nullptr;
    int Tag = 1;

    void FormShow();
    void Grid1Click();

protected:
    void FormCloseQuery(bool &CanClose) override;
    void FormClose() override;
    void FormActivate() override;
    void showEvent(QShowEvent *e) override;

private:
    bool isRealTime() const;
    // Widens the window where its columns would reach past its right edge.
    void fitWidthToColumns();
    bool shown_ = false;
};

// Widens column `col` of `grid` where one of `texts` would be cut, in a cell or in the
// header, so that each shows whole.
void FitColumn(forms::TStringGrid *grid, int col, const QStringList &texts);
// A date in the system's short format at its usual widest (two-digit day and month).
QString WidestShortDate();
// The table's nine columns at their design widths (fractions of the default), each then
// widened to its headers and its widest usual cell; `widestNumber` is the widest row
// number expected, `humidityHeader` the humidity column's header.
void SetTableColumnWidths(forms::TStringGrid *grid, const QString &widestNumber, const QString &humidityHeader);

// The table window most recently opened from a file.
extern QPointer<TfrmList> frmList;

} // namespace hygro
