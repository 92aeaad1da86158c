#include "hygro/UList.h"

#include "hygro/UGraph.h"
#include "hygro/UMain.h"

#include "platform/forms/Dialogs.h"
#include "platform/forms/StringGrid.h"
#include "platform/forms/WinControl.h"

#include <QDate>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QToolButton>
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>

#include <algorithm>

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

void FitColumn(forms::TStringGrid *grid, int col, const QStringList &texts) {
    const QStyle *style = grid->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const QFontMetrics cells(grid->font());
    QHeaderView *header = grid->horizontalHeader();
    // Measured as the header measures its sections: in bold, as a highlighted one shows.
    QFont bold = header->font();
    bold.setBold(true);
    QStyleOptionHeader option;
    option.initFrom(header);
    option.fontMetrics = QFontMetrics(bold);
    int width = grid->ColWidths(col);
    for (const QString &t : texts) {
        // One pixel more for the grid line each cell gives up.
        width = std::max(width, cells.horizontalAdvance(t) + 2 * margin + 1);
        option.text = t;
        width = std::max(width,
                         header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width());
    }
    grid->SetColWidths(col, width);
}

QString WidestShortDate() { return QLocale::system().toString(QDate(2026, 12, 28), QLocale::ShortFormat); }

void SetTableColumnWidths(forms::TStringGrid *grid, const QString &widestNumber, const QString &humidityHeader) {
    const double factors[9] = {0.8, 1.4, 1.3, 1.0, 0.6, 1.0, 0.8, 0.9, 0.8};
    for (int c = 0; c < 9; ++c) grid->SetColWidths(c, int(grid->DefaultColWidth() * factors[c]));
    // Every header a model gives and the widest usual cell.
    const QString reading = QStringLiteral("-201.0");
    const QStringList usual[9] = {
        {"NO", widestNumber}, {"DATE", WidestShortDate()},    {"TIME", "00:00:00"}, {humidityHeader, "100.0"},
        {"UNIT", "%RH"},      {"Temperature", "T1", reading}, {"UNIT", "C"},        {"T2", reading},
        {"UNIT", "C"}};
    for (int c = 0; c < 9; ++c) FitColumn(grid, c, usual[c]);
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
    // Row numbers up to a week of rows at rate 1.
    SetTableColumnWidths(Grid1, QStringLiteral("999999"), QStringLiteral("HUMIDITY"));
    Grid1->SetFixedColor(0xFFFFFF);
    fitWidthToColumns();
}

void TfrmList::fitWidthToColumns() {
    QMdiSubWindow *frame = Frame();
    if (!frame) return;
    int columns = 0;
    for (int c = 0; c < Grid1->ColCount(); ++c) columns += Grid1->ColWidths(c);
    // Room for the scroll bar that the rows bring soon.
    const int scrollBar = Grid1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Grid1);
    const int frameEdges = 2 * frame->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, frame);
    const int need = columns + 2 * Grid1->frameWidth() + scrollBar + frameEdges;
    if (frame->width() < need) frame->resize(need, frame->height());
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
