#pragma once
// The flex grid of the forms runtime as Palix uses it: Rows, Cols, FixedRows,
// TextMatrix, Row, Text, TopRow, ColWidth (twips), AddItem, ScrollBars, the Scroll and
// Click events, over Qt model/view. GUI thread only.
//
// Rows and columns count from 0 across the whole grid, the fixed ones included. A fixed
// row (FixedRows 0 or 1) is shown as the view's column header, a fixed column
// (FixedCols 0 or 1) as its row header; their cells are set and read like any other.
//
// Rows appended with AddItem or SetRows reach the view in batches, when the event loop
// next runs (or when the grid is asked about what the view shows), so that filling a
// grid with hundreds of thousands of rows costs the cells and not a view update each.
// Every property reads the grid's own contents at once.
//
// Out-of-range arguments raise the runtime's errors: 381 "Subscript out of range"
// (TextMatrix, ColWidth), 30009 "Invalid Row value", 30010 "Invalid Col value".

#include "Runtime.h"

#include <QString>
#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

namespace vb {

constexpr int flexScrollBarNone = 0;
constexpr int flexScrollBarHorizontal = 1;
constexpr int flexScrollBarVertical = 2;
constexpr int flexScrollBarBoth = 3;

class FlexGridModel;

class MSFlexGrid : public QTableView {
public:
    explicit MSFlexGrid(QWidget *parent = nullptr);
    ~MSFlexGrid() override;

    int Rows() const;
    // At least FixedRows; rows beyond the new count are dropped, new rows are empty.
    void SetRows(int rows);
    int Cols() const;
    void SetCols(int cols);
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int n);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int n);

    QString TextMatrix(int row, int col) const;
    void SetTextMatrix(int row, int col, const QString &text);

    // The current cell; Text reads and writes it.
    int Row() const { return row_; }
    void SetRow(int row);
    int Col() const { return col_; }
    void SetCol(int col);
    QString Text() const;
    void SetText(const QString &text);

    // The first scrollable row shown; clamped so that the last page stays full.
    int TopRow() const { return topRow_; }
    void SetTopRow(int row);

    // Twips.
    int ColWidth(int col) const;
    void SetColWidth(int col, int twips);

    // Appends a row whose cells are the TAB-separated parts of `item`.
    void AddItem(const QString &item);
    // Empties every cell; the row and column counts stay.
    void Clear();

    int ScrollBars() const { return scrollBars_; }
    void SetScrollBars(int bars);

    // Raised when the top row changes, by the user or by the code.
    std::function<void()> OnScroll;
    // Raised when the user clicks a cell, once Row and Col have moved to it.
    std::function<void()> OnClick;

    // Announces the rows added since the last batch to the view now.
    void Flush();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    void checkRow(int row) const;
    void checkCol(int col) const;
    void scheduleFlush();
    void applyTopRow();
    void applyHeaders();
    int capacity() const;
    void setTop(int row);

    std::unique_ptr<FlexGridModel> model_;
    std::vector<int> colTwips_; // -1: the default width
    int fixedRows_ = 1;
    int fixedCols_ = 1;
    int row_ = 1;
    int col_ = 1;
    int topRow_ = 1;
    int scrollBars_ = flexScrollBarBoth;
    bool flushQueued_ = false;
    bool applyingTop_ = false;
    QWidget *corner_ = nullptr;
};

} // namespace vb
