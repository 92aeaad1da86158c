#include "hygro/UDataLogger.h"

#include "hygro/UGraph.h"
#include "hygro/UList.h"
#include "hygro/UMain.h"
#include "hygro/UScope.h"
#include "hygro/core/ChartMaths.h"

#include "chart/SciGraphCtl.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Exceptions.h"
#include "platform/forms/StringGrid.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace hygro {

LoggerImage Downloaded;
int &SetCount = Downloaded.setCount;
std::vector<uint8_t> &MemoryImage = Downloaded.bytes;
std::vector<QDateTime> &SetStartTimes = Downloaded.sets.startTimes;
std::vector<int> &SetRates = Downloaded.sets.rates;
std::vector<int> &SetRecordCounts = Downloaded.sets.recordCounts;
std::vector<char> &SetUnitLetters = Downloaded.sets.unitLetters;
std::vector<int> &SetStartOffsets = Downloaded.sets.startOffsets;
std::vector<int> &SetEndOffsets = Downloaded.sets.endOffsets;
bool DownloadBusy = false;
unsigned char LoggerCommand = 0;

QPointer<TfrmDataLogger> frmDataLogger;

void ResetLoggerState() {
    Downloaded = LoggerImage();
    DownloadBusy = false;
    LoggerCommand = 0;
}

namespace {

const QColor BarBlue(0, 0, 255);
const QColor PanelYellow(255, 255, 0), PanelFuchsia(255, 0, 255), PanelAqua(0, 255, 255);

QLabel *captionBar(const QString &text, QWidget *parent) {
    auto *bar = new QLabel(text, parent);
    bar->setAutoFillBackground(true);
    bar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    bar->setContentsMargins(4, 1, 4, 1);
    QFont f = bar->font();
    f.setBold(true);
    bar->setFont(f);
    bar->setFixedHeight(bar->sizeHint().height());
    bar->setCursor(Qt::PointingHandCursor);
    return bar;
}

QLabel *extremePanel(const QColor &text, int tag, QWidget *parent) {
    auto *panel = new QLabel(parent);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, text);
    panel->setPalette(pal);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    f.setBold(true);
    panel->setFont(f);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignCenter);
    panel->setMinimumHeight(22);
    panel->setProperty("Tag", tag);
    panel->setCursor(Qt::PointingHandCursor);
    return panel;
}

// The degree glyphs beside the temperature panels, in the reading's colour.
QPixmap unitGlyph(QChar letter, const QColor &colour) {
    QPixmap pm(26, 22);
    pm.fill(Qt::black);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(3, 3, 5, 5));
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(16);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(9, 1, 17, 20), Qt::AlignLeft | Qt::AlignVCenter, QString(letter));
    return pm;
}

} // namespace

TfrmDataLogger::TfrmDataLogger(QWidget *owner) : TMdiChild(owner) {
    SetCaption(QStringLiteral("DataLogger"));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setChildrenCollapsible(false);
    outer->addWidget(Splitter1);

    // Left column: the set list and the extreme panels.
    auto *left = new QWidget(Splitter1);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    StaticText1 = captionBar(QStringLiteral("Data Sets"), left);
    leftLayout->addWidget(StaticText1);
    Splitter2 = new QSplitter(Qt::Vertical, left);
    Splitter2->setChildrenCollapsible(false);
    leftLayout->addWidget(Splitter2);
    Grid2 = new forms::TStringGrid(Splitter2);
    Panel4 = new QWidget(Splitter2);
    auto *panels = new QGridLayout(Panel4);
    panels->setContentsMargins(4, 4, 4, 4);
    panels->setHorizontalSpacing(4);
    panels->setVerticalSpacing(3);

    imgT1C = unitGlyph(QLatin1Char('C'), PanelFuchsia);
    imgT1F = unitGlyph(QLatin1Char('F'), PanelFuchsia);
    imgT2C = unitGlyph(QLatin1Char('C'), PanelAqua);
    imgT2F = unitGlyph(QLatin1Char('F'), PanelAqua);

    struct Row {
        QLabel **caption;
        const char *text;
        QLabel **panel;
        QColor colour;
        QLabel **picture;
    };
    const Row rows[6] = {
        {&RHMAX, "RH MAX", &lblRHMAX, PanelYellow, nullptr},    {&RHMIN, "RH MIN", &lblRHMIN, PanelYellow, nullptr},
        {&T1MAX, "T1 MAX", &lblT1MAX, PanelFuchsia, &imgT1Max}, {&T1MIN, "T1 MIN", &lblT1MIN, PanelFuchsia, &imgT1Min},
        {&T2MAX, "T2 MAX", &lblT2MAX, PanelAqua, &imgT2Max},    {&T2MIN, "T2 MIN", &lblT2MIN, PanelAqua, &imgT2Min},
    };
    for (int i = 0; i < 6; ++i) {
        const Row &r = rows[i];
        *r.caption = new QLabel(QString::fromLatin1(r.text), Panel4);
        panels->addWidget(*r.caption, i, 0);
        *r.panel = extremePanel(r.colour, i + 1, Panel4);
        (*r.panel)->installEventFilter(this);
        panels->addWidget(*r.panel, i, 1);
        QLabel *unit = nullptr;
        if (r.picture) {
            unit = *r.picture = new QLabel(Panel4);
            unit->setPixmap(i < 4 ? imgT1C : imgT2C);
        } else {
            unit = new QLabel(QStringLiteral("%RH"), Panel4);
        }
        unit->setFixedWidth(30);
        panels->addWidget(unit, i, 2);
    }
    panels->setColumnStretch(1, 1);
    panels->setRowStretch(6, 1);

    // Right part: the chart above the record table.
    Splitter3 = new QSplitter(Qt::Vertical, Splitter1);
    Splitter3->setChildrenCollapsible(false);
    auto *chartBox = new QWidget(Splitter3);
    auto *chartLayout = new QVBoxLayout(chartBox);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->setSpacing(0);
    StaticText3 = captionBar(QStringLiteral("Graph"), chartBox);
    chartLayout->addWidget(StaticText3);
    SciGraph1 = new SciGraph(chartBox);
    ApplyStoredChartSettings(SciGraph1);
    SciGraph1->Loaded();
    chartLayout->addWidget(SciGraph1);
    auto *tableBox = new QWidget(Splitter3);
    auto *tableLayout = new QVBoxLayout(tableBox);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    tableLayout->setSpacing(0);
    StaticText4 = captionBar(QStringLiteral("Tabular"), tableBox);
    tableLayout->addWidget(StaticText4);
    Grid1 = new forms::TStringGrid(tableBox);
    Grid1->setToolTip(QStringLiteral("click to position this data on graph"));
    tableLayout->addWidget(Grid1);

    // The set list and the chart keep their heights; the panels and the table take the rest.
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    Splitter3->setStretchFactor(0, 0);
    Splitter3->setStretchFactor(1, 1);

    for (QLabel *bar : {StaticText1, StaticText3, StaticText4}) bar->installEventFilter(this);
    Grid1->OnClick = [this](forms::TObject *) { RunHandler([this] { Grid1Click(); }); };
    Grid2->OnClick = [this](forms::TObject *) { RunHandler([this] { Grid2Click(); }); };
    SciGraph1->OnClick = [this](forms::TObject *) { RunHandler([this] { SciGraph1Click(); }); };
    SciGraph1->OnDataHotSpot = [this](forms::TObject *sender, int dbl, int subset, int point) {
        RunHandler([&] { SciGraph1DataHotSpot(sender, dbl, subset, point); });
    };
    SciGraph1->OnCustomizeDlg = [this](forms::TObject *sender) { RunHandler([&] { SciGraph1CustomizeDlg(sender); }); };

    HighlightCaptionBar(0);
    RunHandler([this] { FormCreate(); });
}

TfrmDataLogger::~TfrmDataLogger() {
    if (frmDataLogger == this) frmDataLogger = nullptr;
}

void TfrmDataLogger::FormCreate() {
    const QStringList setHeaders{"Set", "DATE", "TIME", "Rate", "Nums"};
    Grid2->SetColCount(setHeaders.size());
    Grid2->SetFixedCols(0);
    Grid2->SetFixedRows(1);
    Grid2->SetOptions(forms::goFixedVertLine | forms::goFixedHorzLine | forms::goVertLine | forms::goHorzLine |
                      forms::goColSizing | forms::goRowSelect);
    for (int c = 0; c < setHeaders.size(); ++c) Grid2->SetCells(c, 0, setHeaders[c]);
    const double setWidths[4] = {0.4, 0.7, 1.2, 0.6};
    for (int c = 0; c < 4; ++c) Grid2->SetColWidths(c, int(Grid1->DefaultColWidth() * setWidths[c]));
    const QStringList usualSet[5] = {{"99"}, {WidestShortDate()}, {"00:00:00"}, {"00:05"}, {"65535"}};
    for (int c = 0; c < 5; ++c) FitColumn(Grid2, c, QStringList(usualSet[c]) << setHeaders[c]);
    Grid2->SetRowCount(2);
    for (int c = 0; c < Grid2->ColCount(); ++c) Grid2->SetCells(c, 1, QString());

    Grid1->SetColCount(TableColumnCount);
    Grid1->SetFixedCols(0);
    Grid1->SetFixedRows(1);
    Grid1->SetOptions(forms::goFixedVertLine | forms::goFixedHorzLine | forms::goVertLine | forms::goHorzLine |
                      forms::goColSizing | forms::goRowSelect);
    SetTableColumnWidths(Grid1, QStringLiteral("65535"), QStringLiteral("Humidity"));
    if (frmMain) frmMain->SetupChart(SciGraph1, 4, 0, 0, MeterModel);

    const ModelTraits *logger = FindLogger(MeterModel);
    const bool oneTemperature = logger && logger->temperatures == 1;
    T1MAX->setText(oneTemperature ? QStringLiteral("T MAX") : QStringLiteral("T1 MAX"));
    T1MIN->setText(oneTemperature ? QStringLiteral("T MIN") : QStringLiteral("T1 MIN"));
    for (QWidget *w : std::initializer_list<QWidget *>{lblT2MAX, lblT2MIN, T2MAX, T2MIN, imgT2Max, imgT2Min})
        w->setVisible(!oneTemperature);

    Grid1->SetFixedColor(0xFFFFFF);
    const bool three = logger && logger->temperatures == 2;
    QStringList headers{"NO", "DATE", "TIME", "Humidity", "UNIT"};
    for (const char *h : TemperatureHeaders(three ? 2 : 1)) headers << QString::fromLatin1(h);
    for (int c = 0; c < TableColumnCount; ++c) Grid1->SetCells(c, 0, headers[c]);
    Grid1->SetRowCount(2);
    for (int c = 0; c < TableColumnCount; ++c) Grid1->SetCells(c, 1, QString());

    const QScreen *screen = QGuiApplication::primaryScreen();
    const int screenHeight = screen ? screen->geometry().height() : 0;
    const int bars = StaticText3->height() + StaticText4->height();
    int setList = 230, chart = 223;
    if (screenHeight == 480) {
        setList = 143;
        chart = 182;
    } else if (screenHeight == 728) {
        setList = 300;
        chart = std::max(50, height() - bars - 300);
    }
    Splitter2->setSizes({setList, 400});
    Splitter3->setSizes({StaticText3->height() + chart, 400});
    Splitter1->setSizes({233, 700});
}

// ---- caption bars, clicks -------------------------------------------------------

void TfrmDataLogger::HighlightCaptionBar(int bar) {
    const QPalette base = QApplication::palette();
    for (QLabel *l : {StaticText1, StaticText3, StaticText4}) {
        QPalette p = l->palette();
        p.setColor(QPalette::Window, base.color(QPalette::Button));
        p.setColor(QPalette::WindowText, base.color(QPalette::WindowText));
        l->setPalette(p);
    }
    QLabel *chosen = bar == 1 ? StaticText1 : bar == 3 ? StaticText3 : bar == 4 ? StaticText4 : nullptr;
    if (!chosen) return;
    QPalette p = chosen->palette();
    p.setColor(QPalette::Window, BarBlue);
    p.setColor(QPalette::WindowText, Qt::white);
    chosen->setPalette(p);
}

bool TfrmDataLogger::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == StaticText1)
            RunHandler([this] { StaticText1Click(); });
        else if (watched == StaticText3)
            RunHandler([this] { StaticText3Click(); });
        else if (watched == StaticText4)
            RunHandler([this] { StaticText4Click(); });
        else if (auto *panel = qobject_cast<QLabel *>(watched); panel && panel->property("Tag").isValid())
            RunHandler([this, panel] { lblRHMAXClick(panel); });
    }
    return TMdiChild::eventFilter(watched, event);
}

void TfrmDataLogger::StaticText1Click() { HighlightCaptionBar(1); }
void TfrmDataLogger::StaticText3Click() { HighlightCaptionBar(3); }
void TfrmDataLogger::SciGraph1Click() { HighlightCaptionBar(3); }
void TfrmDataLogger::StaticText4Click() { HighlightCaptionBar(4); }

void TfrmDataLogger::Grid1Click() {
    HighlightCaptionBar(4);
    ShowRowAnnotation(Grid1->Row() - 1);
}

void TfrmDataLogger::Grid2Click() {
    const int set = Grid2->Row() - 1;
    if (set < 0 || set >= SetCount) return;
    DecodeDataSet(set);
}

void TfrmDataLogger::lblRHMAXClick(QLabel *Sender) {
    const int tag = Sender ? Sender->property("Tag").toInt() : 0;
    jumpToRow(tag >= 1 && tag <= 6 ? ExtremeRows[size_t(tag - 1)] : 1);
}

void TfrmDataLogger::SciGraph1DataHotSpot(forms::TObject *, int, int, int PointIndex) { jumpToRow(PointIndex + 1); }

void TfrmDataLogger::jumpToRow(int row) {
    // A point or a row outside the table (the empty chart's points) has no record.
    if (row < 1 || row >= Grid1->RowCount()) return;
    Grid1->SetSelection({1, row, Grid1->ColCount() - 1, row});
    const int visible = Grid1->VisibleRowCount();
    if (row <= visible) {
        Grid1->SetTopRow(1);
    } else {
        const bool below = row >= Grid1->TopRow() + visible;
        Grid1->SetTopRow(row - visible / 2);
        if (below) Grid1->viewport()->update();
    }
    ShowRowAnnotation(row - 1);
}

void TfrmDataLogger::FormActivate() {
    if (!frmMain) return;
    frmMain->btnOutputGraph->setEnabled(false);
    frmMain->Graph1->setEnabled(true);
}

void TfrmDataLogger::FormCloseQuery(bool &CanClose) {
    CanClose = true;
    if (!LoggerDataUnsaved) return;
    const int answer =
        forms::MessageDlg(QStringLiteral("Save DataLogger Data ?"), forms::mtConfirmation, forms::mbYesNoCancel);
    if (answer == forms::mrCancel) {
        CanClose = false;
        return;
    }
    if (answer != forms::mrYes || !frmMain) return;
    // The save takes the active window's table: this one, whichever window was active
    // when the question came (the main window asks every child before it closes).
    if (Frame() && Frame()->mdiArea()) Frame()->mdiArea()->setActiveSubWindow(Frame());
    if (!frmMain->mnuSaveClick()) {
        // Not saved (dialog cancelled, file not created): the window and the question stay.
        LoggerDataUnsaved = true;
        CanClose = false;
    }
}

void TfrmDataLogger::FormClose() {
    if (frmDataLogger == this) frmDataLogger = nullptr;
}

// ---- decoding a set ---------------------------------------------------------------

void TfrmDataLogger::DecodeDataSet(int set) {
    if (set < 0 || set >= SetCount || size_t(set) >= SetRecordCounts.size()) return;
    const int n = SetRecordCounts[size_t(set)];
    const int interval = SetRates[size_t(set)];
    const QDateTime start = SetStartTimes[size_t(set)];
    const QChar unit = QLatin1Char(SetUnitLetters[size_t(set)]);
    const ModelTraits *logger = FindLogger(MeterModel);
    const bool three = logger && logger->temperatures == 2;

    {
        TfrmScope progress;
        progress.setWindowTitle(QStringLiteral("data decoding progress"));
        progress.SText1->setText(QStringLiteral("Now is decoding data,please wait !"));
        progress.SText1->setFixedWidth(300);
        progress.SText1->show();
        progress.Progress1->setRange(0, n);
        progress.Progress1->setValue(0);
        progress.Progress1->show();
        // Modal, so that no command starts while the table is half filled.
        progress.setWindowModality(Qt::ApplicationModal);
        progress.show();
        QCoreApplication::processEvents();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct RestoreCursor {
            ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
        } restoreCursor;
        Grid1->hide();

        Grid1->SetRowCount(2);
        Grid1->SetRowCount(n + 1);
        if (frmMain)
            frmMain->SetupChart(SciGraph1, n, DateTimeToDays(start.addSecs(qint64(n) * interval)),
                                DateTimeToDays(start), MeterModel);

        const DecodedSet decoded = DecodeImageSet(Downloaded, set, RecordStride, three);
        ExtremeRows.fill(1);
        const QLocale locale = QLocale::system();
        const QString unitText(unit), humidityUnit = QString::fromLatin1(HumidityUnit);
        const int step = std::max(1, n / 100); // the bar moves by whole per cents
        for (size_t k = 0; k < decoded.records.size(); ++k) {
            if (k % size_t(step) == 0) progress.Progress1->setValue(int(k));
            const DecodedRecord &rec = decoded.records[k];
            const int row = int(k) + 1;
            Grid1->SetCells(colNo, row, QString::number(row));
            Grid1->SetCells(colDate, row, locale.toString(rec.time.date(), QLocale::ShortFormat));
            Grid1->SetCells(colTime, row, rec.time.toString(QStringLiteral("hh:mm:ss")));
            Grid1->SetCells(colHumidity, row, rec.readings[0].text);
            Grid1->SetCells(colHumidityUnit, row, humidityUnit);
            Grid1->SetCells(colT1, row, rec.readings[1].text);
            Grid1->SetCells(colT1Unit, row, unitText);
            if (three) {
                Grid1->SetCells(colT2, row, rec.readings[2].text);
                Grid1->SetCells(colT2Unit, row, unitText);
            }
            const double x = DateTimeToDays(rec.time);
            for (int s = 0; s < (three ? 3 : 2); ++s) {
                SciGraph1->SetXDataII(s, int(k), x);
                SciGraph1->SetYData(s, int(k), rec.readings[size_t(s)].value);
            }
        }
        const LoggerExtreme &rh = decoded.extremes[0], &t1 = decoded.extremes[1], &t2 = decoded.extremes[2];
        ExtremeRows = {rh.maxRow, rh.minRow, t1.maxRow, t1.minRow, t2.maxRow, t2.minRow};

        Grid1->show();
        SciGraph1->SetShowVertLineAnnotations(true);

        const bool fahrenheit = unit == QLatin1Char('F');
        imgT1Max->setPixmap(fahrenheit ? imgT1F : imgT1C);
        imgT1Min->setPixmap(fahrenheit ? imgT1F : imgT1C);
        imgT2Max->setPixmap(fahrenheit ? imgT2F : imgT2C);
        imgT2Min->setPixmap(fahrenheit ? imgT2F : imgT2C);

        auto caption = [](const QDateTime &t, float v) {
            return t.toString(QStringLiteral("hh:mm:ss")) + QLatin1Char('\t') + QString::number(double(v), 'f', 1);
        };
        const std::pair<QLabel *, QLabel *> panels[3] = {
            {lblRHMAX, lblRHMIN}, {lblT1MAX, lblT1MIN}, {lblT2MAX, lblT2MIN}};
        for (size_t j = 0; j < 3; ++j) {
            const LoggerExtreme &e = decoded.extremes[j];
            if (!e.seen) continue;
            panels[j].first->setText(caption(e.maxTime, e.max));
            panels[j].second->setText(caption(e.minTime, e.min));
        }

        const AxisRange axis = LoggerTemperatureAxis(decoded);
        SciGraph1->SetWorkingAxis(1);
        SciGraph1->SetManualMaxY(axis.top);
        SciGraph1->SetManualMinY(axis.bottom);
    }

    ShowRowAnnotation(0);
    TfrmMain::ApplyChart(SciGraph1);
    SciGraph1->SetSGactions(sgUndoZoom);
}

void TfrmDataLogger::ShowRowAnnotation(int record) {
    const int row = record + 1;
    if (record < 0 || row >= Grid1->RowCount() || record >= SciGraph1->Points()) return;
    const ModelTraits *logger = FindLogger(MeterModel);
    MarkChartRow(SciGraph1, Grid1, row, RowMarkColor(SciGraph1), logger && logger->temperatures == 2);
}

void TfrmDataLogger::SciGraph1CustomizeDlg(forms::TObject *) {
    if (frmMain) frmMain->ChartCustomized(SciGraph1);
}

} // namespace hygro
