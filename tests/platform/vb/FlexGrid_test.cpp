// The flex grid: cells by row and column with the fixed row as the header, rows
// appended in batches that reach the view later, the top row and its Scroll event,
// column widths in twips, and the runtime's errors for cells outside the grid.

#include "platform/vb/FlexGrid.h"
#include "platform/vb/Runtime.h"
#include "support/FormsSupport.h"
#include "support/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <QHeaderView>

using namespace std::chrono_literals;
using testsupport::errorOf;

namespace {

TEST(FlexGrid, CellsRowsAndErrors) {
    vb::MSFlexGrid g;
    g.SetCols(3);
    g.SetFixedCols(0);
    g.SetRows(1);
    g.SetTextMatrix(0, 0, "No.s");
    g.AddItem("1\t2026/12/09 08:58:07\t85.3\t");
    g.AddItem("2\tonly two");
    EXPECT_EQ(g.Rows(), 3);
    EXPECT_EQ(g.TextMatrix(1, 2), "85.3");
    EXPECT_EQ(g.TextMatrix(2, 1), "only two");
    EXPECT_EQ(g.TextMatrix(2, 2), "");
    EXPECT_EQ(g.model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "No.s");
    EXPECT_EQ(errorOf([&] { g.TextMatrix(3, 0); }), 381);
    EXPECT_EQ(errorOf([&] { g.TextMatrix(0, 3); }), 381);
    EXPECT_EQ(errorOf([&] { g.SetRow(3); }), 30009);
    g.SetRow(2);
    g.SetCol(1);
    EXPECT_EQ(g.Text(), "only two");
    g.SetRows(2); // the current row follows
    EXPECT_EQ(g.Row(), 1);
    EXPECT_EQ(g.Rows(), 2);
    g.SetRows(0); // never below the fixed row
    EXPECT_EQ(g.Rows(), 1);
    EXPECT_EQ(g.TextMatrix(0, 0), "No.s");
    g.SetColWidth(1, 1440);
    EXPECT_EQ(g.ColWidth(1), 1440);
    EXPECT_EQ(g.horizontalHeader()->sectionSize(1), vb::TwipsToPixelsX(1440));
}

TEST(FlexGrid, AppendedRowsReachTheViewInOneBatch) {
    vb::MSFlexGrid g;
    g.SetCols(1);
    g.SetFixedCols(0);
    g.SetRows(1);
    g.resize(200, 300);
    g.show();
    int inserts = 0;
    QObject::connect(g.model(), &QAbstractItemModel::rowsInserted, [&] { ++inserts; });
    for (int i = 1; i <= 5000; ++i) g.AddItem(QString::number(i));
    EXPECT_EQ(g.Rows(), 5001);
    EXPECT_EQ(g.TextMatrix(5000, 0), "5000");
    EXPECT_EQ(g.model()->rowCount(), 0);
    EXPECT_TRUE(testsupport::waitUntil([&] { return g.model()->rowCount() == 5000; }));
    EXPECT_EQ(inserts, 1);
}

TEST(FlexGrid, TopRowIsClampedAndRaisesScroll) {
    vb::MSFlexGrid g;
    g.SetCols(1);
    g.SetFixedCols(0);
    g.SetRows(1);
    g.resize(200, 2 * g.frameWidth() + g.horizontalHeader()->height() + 10 * g.verticalHeader()->defaultSectionSize());
    g.show();
    QCoreApplication::sendPostedEvents(); // laid out and shown before the rows come
    QCoreApplication::processEvents();
    int scrolls = 0;
    g.OnScroll = [&] { ++scrolls; };
    for (int i = 1; i <= 100; ++i) g.AddItem(QString::number(i));
    g.SetTopRow(40);
    EXPECT_EQ(g.TopRow(), 40);
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(g.rowAt(0), 39); // the view shows it
    g.SetTopRow(40);
    EXPECT_EQ(scrolls, 1); // no change, no event
    g.SetTopRow(100);      // the last page stays full
    EXPECT_EQ(g.TopRow(), 101 - 10);
    EXPECT_EQ(errorOf([&] { g.SetTopRow(101); }), 30009);
    g.SetRows(5); // all rows fit again
    EXPECT_EQ(g.TopRow(), 1);
}

} // namespace
