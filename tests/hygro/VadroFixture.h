#pragma once
// Runs Vadro's main form in the test process against simulated meters.

#include "hygro/HygroSim.h"

#include "hygro/UList.h"
#include "hygro/UMain.h"
#include "hygro/UPanel.h"
#include "hygro/UScope.h"

#include "platform/forms/Dialogs.h"
#include "platform/forms/StringGrid.h"
#include "platform/win/Registry.h"
#include "serial/ComPort.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QAction>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

namespace hygrotest {

using namespace std::chrono_literals;

// The main form on the ports given, shown (so the search has run).
inline std::unique_ptr<hygro::TfrmMain> startVadro(const QStringList &ports) {
    setenv("METER_PORTS", ports.join(QLatin1Char(':')).toLocal8Bit().constData(), 1);
    forms::DialogScript().reset();
    // Under a real X server too, a dialog the test did not answer never blocks it.
    forms::DialogScript().setStrict(true);
    auto main = std::make_unique<hygro::TfrmMain>();
    main->resize(1024, 700);
    main->show();
    return main;
}

// Stops the poll timer, so that a test runs the ticks itself.
inline void manualTicks(hygro::TfrmMain &main) { main.MainTimer->stop(); }

// One poll tick, then waits for the meter's answer (or `wait` when none is expected).
inline bool tickAndWaitForFrame(hygro::TfrmMain &main, std::chrono::milliseconds wait = 2000ms) {
    main.MainTimerTimer();
    return testsupport::waitUntil([] { return hygro::FrameReceived; }, wait);
}

// Answers the next modal range dialog with `answer` (run before the command that shows it).
inline void answerScope(const std::function<void(hygro::TfrmScope &)> &answer) {
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        auto *scope = dynamic_cast<hygro::TfrmScope *>(QApplication::activeModalWidget());
        if (!scope) return;
        poll->stop();
        poll->deleteLater();
        answer(*scope);
    });
    poll->start();
}

inline int registryInt(const QString &name, int fallback = -1) {
    win::TRegistry reg;
    reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
    if (!reg.OpenKey(QStringLiteral("\\SOFTWARE\\Vadro"), false)) return fallback;
    try {
        return reg.ReadInteger(name);
    } catch (...) {
        return fallback;
    }
}

inline QStringList gridRow(forms::TStringGrid *g, int row) {
    QStringList cells;
    for (int c = 0; c < g->ColCount(); ++c) cells << g->Cells(c, row);
    return cells;
}

// The texts that `g` shows cut at its column widths: cells of the first `rows` data
// rows as its cells are painted (inside a margin), headers by their header's own
// measure; each as "column:text".
inline QStringList cutTexts(forms::TStringGrid *g, int rows = 50) {
    QStringList cut;
    const int margin = g->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, g) + 1;
    const QFontMetrics fm(g->font());
    for (int c = 0; c < g->ColCount(); ++c) {
        const QString header = g->Cells(c, 0);
        if (!header.isEmpty() && g->horizontalHeader()->sectionSizeHint(c) > g->columnWidth(c))
            cut << QStringLiteral("%1:%2").arg(c).arg(header);
        for (int r = 1; r < std::min(g->RowCount(), rows + 1); ++r) {
            const QString text = g->Cells(c, r);
            if (fm.horizontalAdvance(text) > g->columnWidth(c) - 1 - 2 * margin)
                cut << QStringLiteral("%1:%2").arg(c).arg(text);
        }
    }
    cut.removeDuplicates();
    return cut;
}

} // namespace hygrotest
