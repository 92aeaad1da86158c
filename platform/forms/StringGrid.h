#pragma once
// The class library's string grid over Qt model/view: a QTableView on a model that
// keeps the cells in compact storage (CellStore), so appending a row costs O(1)
// amortised, a row of short cells some tens of bytes, and no widget exists per row or
// cell. GUI thread only.
//
// Coordinates are those of the class library: columns and rows counted from 0 across
// the whole grid, fixed rows and columns included. The fixed area is shown as the
// view's headers, so FixedRows and FixedCols are 0 or 1 (larger values are taken as 1):
// row 0 is the header row when FixedRows is 1, column 0 the header column when
// FixedCols is 1. Their cells are set and read like any other.
//
// Events: OnClick after the current cell changes by a mouse click, the keyboard or
// SetRow/SetCol (as the class library does); OnDblClick on a double click; OnSelectCell
// before the current cell moves by mouse or keyboard, with the right to refuse it.
// The grid's font is the widget's (setFont).

#include "Component.h"

#include <QFont>
#include <QString>
#include <QTableView>

#include <cstdint>
#include <memory>
#include <vector>

namespace forms {

struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TGridRect &) const = default;
};

enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0,
    goFixedHorzLine = 1u << 1,
    goVertLine = 1u << 2,
    goHorzLine = 1u << 3,
    goRangeSelect = 1u << 4,
    goDrawFocusSelected = 1u << 5,
    goRowSizing = 1u << 6,
    goColSizing = 1u << 7,
    goRowMoving = 1u << 8,
    goColMoving = 1u << 9,
    goEditing = 1u << 10,
    goTabs = 1u << 11,
    goRowSelect = 1u << 12,
    goAlwaysShowEditor = 1u << 13,
    goThumbTracking = 1u << 14,
};
using TGridOptions = unsigned;

using TSelectCellEvent = TEvent<TObject *, int /*ACol*/, int /*ARow*/, bool & /*CanSelect*/>;

class StringGridModel;

class TStringGrid : public QTableView, public TObject {
public:
    explicit TStringGrid(QWidget *parent = nullptr);
    ~TStringGrid() override;

    // Cells outside the grid read as empty; writes outside it are ignored.
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString &text);

    int RowCount() const;
    // At least FixedRows (and at least 1); rows beyond the new count are dropped, new
    // rows are empty. Columns likewise with FixedCols.
    void SetRowCount(int rows);
    int ColCount() const;
    void SetColCount(int cols);
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int n);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int n);

    int DefaultColWidth() const { return defaultColWidth_; }
    void SetDefaultColWidth(int w);
    int ColWidths(int col) const;
    void SetColWidths(int col, int w);
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int h);

    // First scrollable row shown (>= FixedRows).
    int TopRow() const;
    // Clamped so that the last page stays full.
    void SetTopRow(int row);
    // Scrollable rows that are fully visible, at most RowCount - TopRow.
    int VisibleRowCount() const;

    int Row() const { return row_; }
    void SetRow(int row);
    int Col() const { return col_; }
    void SetCol(int col);
    // The selected block; a single cell is {Col, Row, Col, Row}. Setting it makes its
    // top-left cell the current one (no OnClick).
    TGridRect Selection() const;
    void SetSelection(const TGridRect &r);

    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions o);

    // Off: no painting, and rows added reach the view only when redraw is on again, in
    // one go (the class library's WM_SETREDRAW), so that filling a grid row by row
    // while events are processed costs the view no work for each row. Every other
    // member reads the grid's own contents at once.
    void SetRedraw(bool on);

    std::int32_t FixedColor() const { return fixedColor_; }
    void SetFixedColor(std::int32_t bgr);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TSelectCellEvent OnSelectCell;

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void paintEvent(QPaintEvent *e) override;

private:
    QModelIndex toIndex(int col, int row) const;
    bool canSelect(int col, int row);
    void moveCurrent(int col, int row, bool click);
    void applyOptions();
    void applyFixed();
    void applyColWidths();

    std::unique_ptr<StringGridModel> model_;
    int fixedRows_ = 1;
    int fixedCols_ = 1;
    int defaultColWidth_ = 64;
    int defaultRowHeight_ = 24;
    int row_ = 1;
    int col_ = 1;
    TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    std::int32_t fixedColor_ = 0xC0C0C0;
    std::vector<int> colWidths_; // -1 = default
    int topRow_ = 1;
    int capacity() const;
    void applyTopRow();
    bool pressValid_ = false;
    bool settingCurrent_ = false;
    bool userMove_ = false;
    bool movedSincePaint_ = false;
    bool redraw_ = true;
};

} // namespace forms
