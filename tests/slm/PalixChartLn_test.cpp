// The percentile windows Ln and LnGraph: headings, placement, save and print.

#include "platform/forms/Dialogs.h"
#include "platform/forms/Printer.h"
#include "slm/FileTransfer.h"
#include "slm/LnGraph.h"
#include "slm/Meter.h"
#include "slm/Panel.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPointer>

#include <chrono>

using namespace slm;
using namespace std::chrono_literals;

namespace {

TEST(LnGraphWindow, EmptyChartAtTheTopLeft) {
    QPointer<LnGraph> g = LoadLnGraph();
    g->show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return g->isVisible(); }));
    EXPECT_EQ(g->windowTitle(), "Percentile Sound Level (Y axis - Percent   X axis - dB)");
    EXPECT_EQ(g->frameGeometry().topLeft(), QPoint(0, 0));
    UnloadLnGraph();
    ASSERT_TRUE(testsupport::waitUntil([&] { return g.isNull(); }));
}

} // namespace
