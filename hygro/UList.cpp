#include "hygro/UList.h"

#include "hygro/UGraph.h"
#include "hygro/UMain.h"

#include "platform/forms/Dialogs.h"
#include "platform/forms/StringGrid.h"
#include "platform/forms/WinControl.h"

#include <QGuiApplication>
#include <QScreen>
#include <QToolButton>
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>

namespace hygro {

QPointer<TfrmList> frmList;

namespace {
const QString RealTimeCaption = QStringLiteral("Real Time Tabular");
}

TfrmList::TfrmList(const QString &caption) {
    SetCaption(caption);
    SetInitialFrameSize(QSize(508, 360));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Grid1 = new forms::TStringGrid(this);
    layout->addWidget(Grid1);
    Grid1->SetColCount(TableColumnCount);
    Grid1->SetFixedCols(0);
    Grid1->SetRowCount(2);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    Grid1->setFont(font);
    Grid1->SetOptions(forms::goFixedVertLine | forms::goFixedHorzLine | forms::goVertLine | forms::goHorzLine |
                      forms::goRangeSelect | forms::goColSizing | forms::goRowSelect);
    Grid1->OnClick = [this](forms::TObject *) { RunHandler([this] { Grid1Click(); }); };
}

bool TfrmList::isRealTime() const { return Caption() == RealTimeCaption; }

void TfrmList::showEvent(QShowEvent *e) {
    TMdiChild::showEvent(e);
    if (shown_) return;
    shown_ = true;
    RunHandler([this] { FormShow(); });
}

void TfrmList::FormShow() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    Grid1->SetDefaultRowHeight(screen && screen->geometry().width() > 480 ? 20 : 16);
    const QStringList headers{"NO", "DATE", "TIME", "HUMIDITY", "UNIT"};
    for (int c = 0; c < headers.size(); ++c) Grid1->SetCells(c, 0, headers[c]);
    const double factors[9] = {0.8, 1.4, 1.3, 1.0, 0.6, 1.0, 0.8, 0.9, 0.8};
    for (int c = 0; c < 9; ++c) Grid1->SetColWidths(c, int(Grid1->DefaultColWidth() * factors[c]));
    Grid1->SetFixedColor(0xFFFFFF);
}

void TfrmList::FormActivate() {
    if (!frmMain) return;
    frmMain->btnOutputGraph->setEnabled(true);
    frmMain->Graph1->setEnabled(false);
}

void TfrmList::FormClose() {
    if (isRealTime() && RealTimeList == this) RealTimeList = nullptr;
}

void TfrmList::FormCloseQuery(bool &CanClose) {
    CanClose = true;
    if (!isRealTime()) return;
    WaitWhile([] { return TimerBusy; });
    if (!RowsAdded) return;
    const int answer = forms::MessageDlg(QStringLiteral("Save changes to Real Time Tabular"), forms::mtConfirmation,
                                         forms::mbYesNoCancel);
    if (answer == forms::mrCancel) {
        CanClose = false;
        return;
    }
    if (answer == forms::mrYes && frmMain) {
        SaveRealTimeList = true;
        // Not saved (dialog cancelled, file not created): the rows stay.
        if (!frmMain->mnuSaveClick()) {
            CanClose = false;
            return;
        }
    }
    Running = false;
    if (frmMain) {
        frmMain->btnRun->setIcon(frmMain->imgRun);
        frmMain->btnRun->setProperty("Tag", 1);
        frmMain->btnStop->setEnabled(false);
        frmMain->btnRun->setEnabled(true);
        frmMain->mnuRun->setText(QStringLiteral("Run"));
        frmMain->mnuStop->setEnabled(false);
    }
}

void TfrmList::Grid1Click() {
    if (!frmMain) return;
    auto *list = dynamic_cast<TfrmList *>(frmMain->ActiveMDIChild());
    if (!list || list == RealTimeList) return;
    for (QMdiSubWindow *w : frmMain->MDIChildren()) {
        auto *graph = dynamic_cast<TfrmGraph *>(w->widget());
        if (!graph || graph->Caption() != list->Caption()) continue;
        MarkChartRow(graph->SciGraph1, list->Grid1, list->Grid1->Selection().Top, RowMarkColor(graph->SciGraph1));
        return;
    }
}

} // namespace hygro
