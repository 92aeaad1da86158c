#include "platform/forms/StringGrid.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QHeaderView>

#include <gtest/gtest.h>

using namespace forms;

namespace {

void mouse(QWidget *w, QEvent::Type type, QPoint at) {
    const QPointF local(at), global(w->mapToGlobal(at));
    QMouseEvent e(type, local, global, Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
void click(QWidget *w, QPoint at) {
    mouse(w, QEvent::MouseButtonPress, at);
    mouse(w, QEvent::MouseButtonRelease, at);
}
void doubleClick(QWidget *w, QPoint at) {
    click(w, at);
    mouse(w, QEvent::MouseButtonDblClick, at);
    mouse(w, QEvent::MouseButtonRelease, at);
}
void key(QWidget *w, int k) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

// The real-time table's grid: 9 columns, one fixed header row, no fixed column.
struct FormsGridTable : ::testing::Test {
    TStringGrid grid;
    void SetUp() override {
        grid.SetColCount(9);
        grid.SetFixedCols(0);
        grid.SetRowCount(2);
        grid.SetDefaultRowHeight(20);
        grid.resize(700, 20 * 11 + 2 * grid.frameWidth()); // header + 10 rows, no horizontal bar
        grid.show();
        QApplication::processEvents();
    }
    // What the poll loop does with each sample.
    void appendRow(const QString &text) {
        if (!grid.Cells(0, 1).isEmpty()) grid.SetRowCount(grid.RowCount() + 1);
        if (grid.VisibleRowCount() < grid.RowCount()) grid.SetTopRow(grid.RowCount() - grid.VisibleRowCount());
        const int r = grid.RowCount() - 1;
        grid.SetCells(0, r, QString::number(r));
        grid.SetCells(3, r, text);
    }
};

TEST_F(FormsGridTable, CellsReadBackAndOutsideIsEmpty) {
    grid.SetCells(0, 0, "NO");
    grid.SetCells(8, 1, "UNIT");
    EXPECT_EQ(grid.Cells(0, 0), "NO");
    EXPECT_EQ(grid.Cells(8, 1), "UNIT");
    EXPECT_EQ(grid.Cells(1, 1), "");
    EXPECT_EQ(grid.Cells(9, 1), "");
    EXPECT_EQ(grid.Cells(0, 2), "");
    EXPECT_EQ(grid.Cells(-1, -1), "");
    grid.SetCells(20, 20, "ignored");
    EXPECT_EQ(grid.RowCount(), 2);
    // The header row is the view's header; a data cell is the model's.
    EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), "NO");
    EXPECT_EQ(grid.model()->index(0, 8).data().toString(), "UNIT");
}

TEST_F(FormsGridTable, ShrinkingDropsRowsAndColumnsGrowingGivesEmptyOnes) {
    grid.SetRowCount(4);
    grid.SetCells(2, 3, "x");
    grid.SetColCount(3);
    grid.SetRowCount(3);
    grid.SetRowCount(5);
    grid.SetColCount(9);
    EXPECT_EQ(grid.Cells(2, 3), "");
    grid.SetRowCount(0);
    EXPECT_EQ(grid.RowCount(), 1); // the fixed header row stays
}

// The first sample fills the fresh grid's empty row; later ones append and keep the
// newest row in view.
TEST_F(FormsGridTable, AppendedRowsScrollTheNewestIntoView) {
    EXPECT_EQ(grid.VisibleRowCount(), 1);
    appendRow("50.1");
    EXPECT_EQ(grid.RowCount(), 2);
    appendRow("50.2");
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cells(3, 2), "50.2");
    EXPECT_EQ(grid.TopRow(), 1);
    for (int i = 3; i <= 25; ++i) appendRow(QString::number(i));
    EXPECT_EQ(grid.RowCount(), 26);
    EXPECT_EQ(grid.VisibleRowCount(), 10);
    EXPECT_EQ(grid.TopRow(), 16);
    EXPECT_EQ(grid.verticalScrollBar()->value(), 15);
    EXPECT_EQ(grid.rowAt(grid.viewport()->height() - 1), 24); // the last model row is on screen
    grid.SetTopRow(1000);
    EXPECT_EQ(grid.TopRow(), 16); // the last page stays full
    grid.SetTopRow(-3);
    EXPECT_EQ(grid.TopRow(), 1);
    // Moves one after another before a paint and after one place the rows alike.
    for (const int top : {5, 8, 3}) {
        grid.SetTopRow(top);
        EXPECT_EQ(grid.rowAt(0), top - 1);
        EXPECT_EQ(grid.verticalScrollBar()->value(), top - 1);
    }
    grid.viewport()->grab();
    grid.SetTopRow(9);
    EXPECT_EQ(grid.rowAt(0), 8);

    // Clearing the table back to its two rows brings the view back to the top, quietly.
    int clicks = 0;
    grid.OnClick = [&](TObject *) { ++clicks; };
    grid.SetTopRow(16);
    grid.SetRow(25);
    clicks = 0;
    grid.SetRowCount(2);
    EXPECT_EQ(grid.TopRow(), 1);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(clicks, 0);
}

// Rows filled while redraw is off read back at once and reach the view in one go.
TEST_F(FormsGridTable, RowsAddedWithoutRedrawReachTheViewWhenItResumes) {
    int inserts = 0;
    QObject::connect(grid.model(), &QAbstractItemModel::rowsInserted, [&] { ++inserts; });
    grid.SetRedraw(false);
    for (int r = 2; r <= 50; ++r) {
        grid.SetRowCount(r + 1);
        grid.SetCells(3, r, QString::number(r));
        QApplication::processEvents();
    }
    EXPECT_EQ(grid.RowCount(), 51);
    EXPECT_EQ(grid.Cells(3, 50), "50");
    EXPECT_EQ(inserts, 0);
    grid.SetRedraw(true);
    EXPECT_EQ(inserts, 1);
    EXPECT_EQ(grid.model()->rowCount(), 50);
    EXPECT_EQ(grid.model()->index(49, 3).data().toString(), "50");

    // Moving to a row the view does not know yet announces the rows first; shrinking
    // drops what the view was never told of as well.
    grid.SetRedraw(false);
    grid.SetRowCount(60);
    grid.SetRow(55);
    EXPECT_EQ(grid.model()->rowCount(), 59);
    EXPECT_EQ(grid.currentIndex().row(), 54);
    grid.SetRowCount(70);
    grid.SetRowCount(20);
    EXPECT_EQ(grid.model()->rowCount(), 19);
    grid.SetRedraw(true);
    EXPECT_EQ(grid.model()->rowCount(), 19);
    EXPECT_EQ(grid.Row(), 19);
}

TEST_F(FormsGridTable, SelectionRowAndColumn) {
    grid.SetRowCount(10);
    grid.SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect);
    grid.SetSelection({1, 5, 8, 5});
    EXPECT_EQ(grid.Selection(), (TGridRect{1, 5, 8, 5}));
    EXPECT_EQ(grid.Row(), 5);
    EXPECT_EQ(grid.Col(), 1);
    // Corners given the wrong way round and outside the grid are put right.
    grid.SetSelection({20, 7, 2, 3});
    EXPECT_EQ(grid.Selection(), (TGridRect{2, 3, 8, 7}));

    grid.SetOptions(grid.Options() | goRowSelect);
    grid.SetRow(4);
    EXPECT_EQ(grid.Selection(), (TGridRect{0, 4, 8, 4}));
}

TEST_F(FormsGridTable, ClicksRaiseOnClickAndSelectCellMayRefuse) {
    grid.SetRowCount(10);
    int clicks = 0, dbl = 0;
    grid.OnClick = [&](TObject *sender) {
        EXPECT_EQ(sender, static_cast<TObject *>(&grid));
        ++clicks;
    };
    grid.OnDblClick = [&](TObject *) { ++dbl; };
    bool allow = true;
    grid.OnSelectCell = [&](TObject *, int, int row, bool &can) { can = allow || row != 6; };

    const QRect cell = grid.visualRect(grid.model()->index(2, 3)); // grid row 3, column 3
    click(grid.viewport(), cell.center());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Col(), 3);
    doubleClick(grid.viewport(), cell.center());
    EXPECT_EQ(dbl, 1);

    allow = false;
    const QRect refused = grid.visualRect(grid.model()->index(5, 3)); // grid row 6
    const int before = clicks;
    click(grid.viewport(), refused.center());
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(clicks, before);

    key(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.Row(), 4);
    key(&grid, Qt::Key_Down);
    key(&grid, Qt::Key_Down); // row 6 refused
    EXPECT_EQ(grid.Row(), 5);
}

TEST(FormsGrid, FixedColumnAndWidths) {
    TStringGrid grid;
    grid.SetColCount(11);
    grid.SetRowCount(1);
    EXPECT_EQ(grid.FixedRows(), 1);
    EXPECT_EQ(grid.FixedCols(), 1);
    grid.SetCells(0, 0, "Ln");
    grid.SetCells(1, 0, " 0");
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.model()->rowCount(), 0);
    EXPECT_EQ(grid.model()->headerData(0, Qt::Horizontal).toString(), " 0");

    grid.SetRowCount(3);
    grid.SetCells(0, 2, "L10");
    EXPECT_EQ(grid.model()->headerData(1, Qt::Vertical).toString(), "L10");

    grid.SetDefaultColWidth(50);
    grid.SetColWidths(2, int(50 * 1.4));
    EXPECT_EQ(grid.ColWidths(2), 70);
    EXPECT_EQ(grid.ColWidths(3), 50);
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(1), 70);
    EXPECT_EQ(grid.ColWidths(99), 0);
}

TEST(FormsGrid, EditingOnlyWithTheOption) {
    TStringGrid grid;
    grid.SetRowCount(3);
    const QModelIndex i = grid.model()->index(0, 0);
    EXPECT_FALSE(grid.model()->flags(i) & Qt::ItemIsEditable);
    grid.SetOptions(grid.Options() | goEditing);
    EXPECT_TRUE(grid.model()->flags(i) & Qt::ItemIsEditable);
    grid.model()->setData(i, "typed");
    EXPECT_EQ(grid.Cells(1, 1), "typed");
}

} // namespace
