#include "hygro/UMain.h"

#include "hygro/UAbout.h"
#include "hygro/UDataLogger.h"
#include "hygro/UGraph.h"
#include "hygro/UList.h"
#include "hygro/UPanel.h"
#include "hygro/core/RateEditor.h"

#include "platform/forms/Application.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/StringGrid.h"
#include "platform/forms/Strings.h"
#include "platform/forms/Sync.h"
#include "platform/win/Registry.h"
#include "platform/win/Win32.h"
#include "serial/ComPort.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

static void initVadroResources() { Q_INIT_RESOURCE(Vadro); }

namespace hygro {

int MeterModel = 0;
int RegModel = 585;
int RealTimeRate = 2;
int RecordStride = 0;
std::array<QImage, 16> LcdMainBitmaps;
std::array<QImage, 16> LcdSubBitmaps;
QPointer<TfrmList> RealTimeList;
QPointer<TfrmGraph> RealTimeGraph;
double GraphWindow = 0, GraphScrollStep = 0;
QRect GraphRect, ListRect;

bool LinkUp = false;
int IdentByte = 0;
bool FrameReceived = false;
int MissedPolls = 0;
int TicksSinceSample = 0;
bool TimerBusy = false;
bool RxBusy = false;
bool Key0Down = false, Key4Down = false;
int Key0HoldTicks = 0, Key4HoldTicks = 0;
bool FirstTick = true;
std::string RxBuffer;
bool MaxMinBlinkPhase = false, RecBlinkPhase = false;
MeterDisplayState Display;
bool Running = false;
bool RowsAdded = false;
bool SaveRealTimeList = false;
bool LoggerDataUnsaved = false;
int GraphPointCount = 0;

TfrmMain *frmMain = nullptr;

namespace {

const QString RegistryKey = QStringLiteral("\\SOFTWARE\\Vadro");
// A program run starts from these values; a second main form in one process (the
// tests make several) starts from them too.
void resetUnitState() {
    MeterModel = 0;
    RegModel = 585;
    RealTimeRate = 2;
    RecordStride = 0;
    GraphWindow = GraphScrollStep = 0;
    GraphRect = ListRect = QRect();
    LinkUp = false;
    IdentByte = 0;
    FrameReceived = false;
    MissedPolls = 0;
    TicksSinceSample = 0;
    TimerBusy = RxBusy = false;
    Key0Down = Key4Down = false;
    Key0HoldTicks = Key4HoldTicks = 0;
    FirstTick = true;
    RxBuffer.clear();
    MaxMinBlinkPhase = RecBlinkPhase = false;
    Display = MeterDisplayState();
    Running = RowsAdded = SaveRealTimeList = LoggerDataUnsaved = false;
    GraphPointCount = 0;
    KeySent = false;
    KeyCommand = 0;
    ResetLoggerState();
}

QIcon printerIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
    p.setBrush(QColor(0x90, 0x98, 0xa0));
    p.drawRect(1, 6, 13, 6);
    p.setBrush(Qt::white);
    p.drawRect(4, 10, 7, 5);
    p.setPen(QColor(0x20, 0xa0, 0x20));
    p.drawPoint(12, 8);
    return QIcon(pm);
}

// The style's help icon is missing on some platforms (a red cross in its place).
QIcon helpIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x6f, 0xb8));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    return QIcon(pm);
}

QToolButton *toolButton(QToolBar *bar, const QIcon &icon, const QString &hint) {
    auto *b = new QToolButton(bar);
    b->setIcon(icon);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    bar->addWidget(b);
    return b;
}

void closePort(serial::TComPort *port) {
    try {
        port->SetActive(false);
    } catch (const forms::Exception &) {
        // A port that vanished closes anyway; nothing is left to tell.
    }
}

int buttonTag(const QToolButton *b) { return b->property("Tag").toInt(); }

} // namespace

unsigned Delay(unsigned ms) {
    const win::DWORD start = win::GetTickCount();
    for (;;) {
        const unsigned elapsed = win::GetTickCount() - start; // unsigned: a wrap does no harm
        if (elapsed > ms) return elapsed;
        QEventLoop loop;
        QTimer::singleShot(int(std::min(ms - elapsed + 1, 50u)), &loop, &QEventLoop::quit);
        loop.exec();
    }
}

TfrmMain::TfrmMain() {
    initVadroResources();
    resetUnitState();
    frmMain = this;
    setWindowTitle(QStringLiteral("Corvale for Humidity and Temperature Meter"));
    setWindowIcon(ProgramIcon());

    Comm1 = std::make_unique<serial::TComPort>(nullptr);
    Comm1->SetBaudRate(serial::br9600);
    Comm1->SetDataBits(serial::db8);
    Comm1->SetParity(serial::paNone);
    Comm1->SetStopBits(serial::sb1);
    Comm1->SetOnRxChar(forms::Bind(this, &TfrmMain::Comm1RxChar));

    MainTimer = new QTimer(this);
    MainTimer->setInterval(1000);
    connect(MainTimer, &QTimer::timeout, this, [this] { RunHandler([this] { MainTimerTimer(); }); });

    // The MDI client has no frame edge and no scroll bars of its own.
    MdiArea = new QMdiArea(this);
    MdiArea->setFrameShape(QFrame::NoFrame);
    MdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MdiArea->setBackground(QColor(0x80, 0x80, 0x80));
    setCentralWidget(MdiArea);

    SaveDialog1 = std::make_unique<forms::TSaveDialog>();
    SaveDialog1->DefaultExt = QStringLiteral("csv");
    SaveDialog1->Filter = QStringLiteral(
        "TXT File(seperated by tab)[*.txt]|*.txt|CSV File(seperated by comma )[*.csv]|*.csv|All Files[*.*]|*.*");
    SaveDialog1->Options = forms::ofOverwritePrompt | forms::ofHideReadOnly;
    OpenDialog1 = std::make_unique<forms::TOpenDialog>();
    OpenDialog1->Filter = QStringLiteral(
        "TXT Files (seperated by tab)[*.txt]|*.txt|CSV Files (seperated by comma)[*.csv]|*.csv|All Files [*.*]|*.*");
    PrintDialog1 = std::make_unique<forms::TPrintDialog>();
    PrinterSetupDialog1 = std::make_unique<forms::TPrinterSetupDialog>();

    buildMenus();
    buildToolBar();

    statusPanels_[0] = new QLabel(this);
    statusPanels_[1] = new QLabel(this);
    for (QLabel *l : statusPanels_) {
        l->setMinimumWidth(50);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(l);
    }

    FormCreate();
}

TfrmMain::~TfrmMain() {
    MainTimer->stop();
    // The children go before the port they may still reach through frmMain.
    delete MdiArea;
    MdiArea = nullptr;
    if (Comm1->Active()) closePort(Comm1.get());
    Comm1.reset();
    if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::buildMenus() {
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    Open1 = file->addAction(QStringLiteral("&Open"), this, [this] { RunHandler([this] { Open1Click(); }); });
    mnuSave = file->addAction(QStringLiteral("&Save"), this, [this] { RunHandler([this] { mnuSaveClick(); }); });
    mnuPrint = file->addAction(QStringLiteral("&Print"), this, [this] { RunHandler([this] { btnPrintClick(); }); });
    mnuPrinterSetup = file->addAction(QStringLiteral("Printer Setup"), this,
                                      [this] { RunHandler([this] { mnuPrinterSetupClick(); }); });
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"), this, [this] { RunHandler([this] { Exit1Click(); }); });

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    Clear1 = edit->addAction(QStringLiteral("&Clear Real Time Tabular and Graph"), this,
                             [this] { RunHandler([this] { Clear1Click(); }); });

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    mnuPanel = view->addAction(QStringLiteral("&Panle"), this, [this] { RunHandler([this] { mnuPanelClick(); }); });
    RealTimeGraph1 = view->addAction(QStringLiteral("&Real-Time Graph"), this,
                                     [this] { RunHandler([this] { RealTimeGraph1Click(); }); });
    RealTimeTabular1 = view->addAction(QStringLiteral("Real-Time &Tabular"), this,
                                       [this] { RunHandler([this] { RealTimeTabular1Click(); }); });

    QMenu *realTime = menuBar()->addMenu(QStringLiteral("&Real Time Data"));
    mnuRun = realTime->addAction(QStringLiteral("&Run"), this, [this] { RunHandler([this] { btnRunClick(); }); });
    mnuStop = realTime->addAction(QStringLiteral("&Stop"), this, [this] { RunHandler([this] { btnStopClick(); }); });
    mnuRun->setEnabled(false);
    mnuStop->setEnabled(false);

    QMenu *option = menuBar()->addMenu(QStringLiteral("&Option"));
    QMenu *graph = option->addMenu(QStringLiteral("&Graph"));
    Graph1 = graph->menuAction();
    Scale1 = graph->addAction(QStringLiteral("&Humidity Scale"));
    Scale1->setObjectName(QStringLiteral("Scale1"));
    TemperatureScale1 = graph->addAction(QStringLiteral("&Temperature Scale"));
    TemperatureScale1->setObjectName(QStringLiteral("TemperatureScale1"));
    for (QAction *a : {Scale1, TemperatureScale1})
        connect(a, &QAction::triggered, this, [this, a] { RunHandler([this, a] { Scale1Click(a); }); });

    // Shown by model (ApplyModel).
    LoadData1 =
        menuBar()->addAction(QStringLiteral("&DataLogger"), this, [this] { RunHandler([this] { LoadData1Click(); }); });
    LoadData1->setVisible(false);

    QMenu *window = menuBar()->addMenu(QStringLiteral("&Window"));
    Title1 = window->addAction(QStringLiteral("&Tile"), this, [this] { RunHandler([this] { Title1Click(); }); });
    Cascade1 = window->addAction(QStringLiteral("&Cascade"), this, [this] { RunHandler([this] { Cascade1Click(); }); });
    ArrangeIcons1 = window->addAction(QStringLiteral("&ArrangeIcons"), this,
                                      [this] { RunHandler([this] { ArrangeIcons1Click(); }); });
    QAction *separator = window->addSeparator();
    // The window menu lists the children, as an MDI parent's does.
    connect(window, &QMenu::aboutToShow, this, [this, window, separator] {
        const QList<QAction *> actions = window->actions();
        for (int i = int(actions.indexOf(separator)) + 1; i < actions.size(); ++i) {
            window->removeAction(actions[i]);
            actions[i]->deleteLater();
        }
        int n = 1;
        for (QMdiSubWindow *w : MdiArea->subWindowList()) {
            QAction *a = window->addAction(QStringLiteral("&%1 %2").arg(n++).arg(w->windowTitle()));
            a->setCheckable(true);
            a->setChecked(w == MdiArea->currentSubWindow());
            connect(a, &QAction::triggered, this, [this, w] { MdiArea->setActiveSubWindow(w); });
        }
    });

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    Content1 = help->addAction(QStringLiteral("&Content"), this, [this] { RunHandler([this] { Content1Click(); }); });
    AboutCorvale1 = help->addAction(QStringLiteral("&About Corvale "), this,
                                    [this] { RunHandler([this] { AboutCorvale1Click(); }); });
}

void TfrmMain::buildToolBar() {
    QToolBar *bar = addToolBar(QStringLiteral("Tools"));
    bar->setMovable(false);
    bar->setIconSize(QSize(20, 20));
    QStyle *s = style();
    imgRun = s->standardIcon(QStyle::SP_MediaPlay);
    imgPause = s->standardIcon(QStyle::SP_MediaPause);

    btnOpen = toolButton(bar, s->standardIcon(QStyle::SP_DialogOpenButton), QStringLiteral("Open"));
    connect(btnOpen, &QToolButton::clicked, this, [this] { RunHandler([this] { Open1Click(); }); });
    btnSave = toolButton(bar, s->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Save"));
    connect(btnSave, &QToolButton::clicked, this, [this] { RunHandler([this] { mnuSaveClick(); }); });
    btnPrint = toolButton(bar, printerIcon(), QStringLiteral("Print"));
    connect(btnPrint, &QToolButton::clicked, this, [this] { RunHandler([this] { btnPrintClick(); }); });
    bar->addSeparator();
    btnRun = toolButton(bar, imgRun, QStringLiteral("Real Time Graph and Tabular "));
    btnRun->setProperty("Tag", 1);
    btnRun->setEnabled(false);
    btnRun->installEventFilter(this);
    connect(btnRun, &QToolButton::clicked, this, [this] { RunHandler([this] { btnRunClick(); }); });
    btnStop =
        toolButton(bar, s->standardIcon(QStyle::SP_MediaStop), QStringLiteral("Stop Real Time Graph and Tabular"));
    btnStop->setEnabled(false);
    connect(btnStop, &QToolButton::clicked, this, [this] { RunHandler([this] { btnStopClick(); }); });
    bar->addSeparator();
    buildChartCommands(bar);
    bar->addSeparator();
    btnHelp = toolButton(bar, helpIcon(), QStringLiteral("Help"));
    connect(btnHelp, &QToolButton::clicked, this, [this] { RunHandler([this] { Content1Click(); }); });
    bar->addSeparator();

    ComboBoxDeviceName = new QComboBox(bar);
    ComboBoxDeviceName->setMinimumContentsLength(12);
    ComboBoxDeviceName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    bar->addWidget(ComboBoxDeviceName);
    // OnChange is the user's choice, not a selection made by the program.
    connect(ComboBoxDeviceName, &QComboBox::activated, this,
            [this](int) { RunHandler([this] { ComboBoxDeviceNameChange(); }); });
    bar->addSeparator();

    auto *rateLabel = new QLabel(QStringLiteral("Real Time Sampling Rate"), bar);
    rateLabel->setContentsMargins(6, 0, 4, 0);
    bar->addWidget(rateLabel);
    MaskEdit1 = new QLineEdit(bar);
    MaskEdit1->setInputMask(QStringLiteral("  99 : 99  ;_"));
    MaskEdit1->setToolTip(QStringLiteral("Editor for Real Time Sampling Rate"));
    MaskEdit1->setFixedWidth(MaskEdit1->fontMetrics().horizontalAdvance(QStringLiteral("  00 : 00  ")) + 16);
    bar->addWidget(MaskEdit1);
    connect(MaskEdit1, &QLineEdit::textChanged, this, [this] { RunHandler([this] { MaskEdit1Change(); }); });
}

QString TfrmMain::StatusText(int panel) const { return statusPanels_[panel]->text(); }

void TfrmMain::SetStatusText(int panel, const QString &text) {
    QLabel *l = statusPanels_[panel];
    // Long reasons in panel 0 are cut at the window's edge rather than squeezing the
    // link text beside them; the status bar's tip holds them whole.
    if (panel == 0) l->setMaximumWidth(std::max(50, width() - 200));
    l->setText(text);
}

QString TfrmMain::ProgramFolder() { return QCoreApplication::applicationDirPath() + QLatin1Char('/'); }

QWidget *TfrmMain::ActiveMDIChild() const {
    QMdiSubWindow *w = MdiArea ? MdiArea->currentSubWindow() : nullptr;
    return w ? w->widget() : nullptr;
}

QList<QMdiSubWindow *> TfrmMain::MDIChildren() const {
    QList<QMdiSubWindow *> list = MdiArea ? MdiArea->subWindowList(QMdiArea::StackingOrder) : QList<QMdiSubWindow *>();
    std::reverse(list.begin(), list.end());
    return list;
}

// ---- creation, showing, closing ---------------------------------------------------

void TfrmMain::FormCreate() {
    for (int n = 0; n < 16; ++n) {
        LcdMainBitmaps[size_t(n)] = QImage(QStringLiteral(":/LCDM%1").arg(n));
        LcdSubBitmaps[size_t(n)] = QImage(QStringLiteral(":/LCDS%1").arg(n));
    }

    {
        win::TRegistry reg;
        reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
        reg.OpenKey(RegistryKey, true);
        try {
            RealTimeRate = reg.ReadInteger(QStringLiteral("RealTimeRate"));
        } catch (...) {
            RealTimeRate = 2;
        }
        try {
            RegModel = reg.ReadInteger(QStringLiteral("RegModel"));
        } catch (...) {
            RegModel = 585;
        }
    }

    forms::TStringList ports;
    Comm1->EnumComPorts(&ports);
    ComboBoxDeviceName->addItems(ports.List());
    ComboBoxDeviceName->setCurrentIndex(0);
    Comm1->SetDeviceName(DevicePrefix + ComboBoxDeviceName->currentText());
}

void TfrmMain::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    RunHandler([this] { FormShow(); });
}

void TfrmMain::FormShow() {
    if (RealTimeRate == 0) RealTimeRate = 2;
    {
        editorUpdating_ = true;
        MaskEdit1->setText(RateEditorText(RealTimeRate));
        editorUpdating_ = false;
    }
    if (frmAbout) frmAbout->SetProgress(QStringLiteral("Initializing COM Port ...."));
    SearchMeter();
    // Closed while the search waited: nothing more starts, and the port that the
    // search opened again is closed.
    if (closing_) {
        closePort(Comm1.get());
        return;
    }

    frmPanel = new TfrmPanel();
    frmPanel->Show(MdiArea);

    btnRun->setEnabled(true);
    mnuRun->setEnabled(true);

    RealTimeGraph = createRealTimeGraph();
    RealTimeList = createRealTimeList();

    if (!LinkUp) {
        btnRun->setEnabled(false);
        mnuRun->setEnabled(false);
    }
    ApplyModel();
    GraphWindow = GraphScrollStep = RealTimeRate * 100.0 / 86400.0;
    prepareRealTimeGraph();

    const QScreen *screen = QGuiApplication::primaryScreen();
    const bool small = screen && screen->geometry().height() == 480;
    const int graphHeight = small ? 170 : 427;
    const int listHeight = small ? 170 : 221;
    frmPanel->SetBounds(0, 0, frmPanel->Bounds().width(), frmPanel->Bounds().height());
    const int left = frmPanel->Bounds().width();
    if (RealTimeGraph) {
        RealTimeGraph->SetBounds(left, 0, RealTimeGraph->Bounds().width(), graphHeight);
        GraphRect = RealTimeGraph->Bounds();
    }
    RealTimeList->SetBounds(left, graphHeight, RealTimeList->Bounds().width(), listHeight);
    ListRect = RealTimeList->Bounds();

    if (frmAbout) {
        frmAbout->SetProgress(QString());
        frmAbout->close();
    }
    MainTimer->start();
}

void TfrmMain::ApplyModel() {
    if (MeterModel != 0)
        RegModel = MeterModel;
    else
        MeterModel = RegModel;

    const ModelTraits *model = FindModel(MeterModel);
    const bool known = model != nullptr;
    if (frmPanel && known) {
        const QString path = ProgramFolder() + QStringLiteral("RESOURCE/") + QLatin1String(model->panelPicture);
        QPixmap picture;
        if (!QFileInfo::exists(path) || !picture.load(path))
            throw forms::Exception(QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(path));
        frmPanel->SetPicture(picture);
    }
    if (!known) {
        LoadData1->setVisible(false);
        return;
    }
    if (RealTimeList) setModelHeaders(RealTimeList);
    RecordStride = model->recordStride;
    LoadData1->setVisible(model->logger);
}

void TfrmMain::closeEvent(QCloseEvent *event) {
    if (closing_) {
        event->accept();
        return;
    }
    // The children are asked first, as an MDI parent does; one that refuses keeps
    // the program open with every window as it was. They are not closed: they go
    // with the main form.
    // A question lets events through; a window may go meanwhile.
    QList<QPointer<QMdiSubWindow>> frames;
    for (QMdiSubWindow *w : MdiArea->subWindowList()) frames << w;
    for (const QPointer<QMdiSubWindow> &w : frames) {
        auto *child = w ? dynamic_cast<TMdiChild *>(w->widget()) : nullptr;
        if (child && !child->CloseQuery()) {
            event->ignore();
            return;
        }
    }
    bool canClose = false;
    RunHandler([&] { canClose = FormCloseQuery(); });
    if (!canClose) {
        event->ignore();
        return;
    }
    closing_ = true;
    RunHandler([this] { FormClose(); });
    event->accept();
}

bool TfrmMain::FormCloseQuery() {
    MainTimer->stop();
    WaitWhile([] { return TimerBusy || RxBusy; });
    closePort(Comm1.get());
    return true;
}

void TfrmMain::FormClose() {
    for (QImage &p : LcdMainBitmaps) p = QImage();
    for (QImage &p : LcdSubBitmaps) p = QImage();
    win::TRegistry reg;
    reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
    reg.OpenKey(RegistryKey, true);
    try {
        reg.WriteInteger(QStringLiteral("RealTimeRate"), RealTimeRate);
    } catch (...) {
        // Not stored: the next start reads the default, as the user was never told otherwise.
    }
    try {
        reg.WriteInteger(QStringLiteral("RegModel"), RegModel);
    } catch (...) {
        // Not stored: the next start reads the default, as the user was never told otherwise.
    }
}

// ---- commands -----------------------------------------------------------------------

void TfrmMain::btnRunClick() {
    runRealTimeGraph();
    if (RealTimeList) {
        RealTimeList->Restore();
    } else {
        RealTimeList = createRealTimeList();
        setModelHeaders(RealTimeList);
        RealTimeList->SetBounds(ListRect.x(), ListRect.y(), ListRect.width(), ListRect.height());
    }
    if (Running) {
        Running = false;
        btnRun->setIcon(imgRun);
        btnRun->setProperty("Tag", 1);
        mnuRun->setText(QStringLiteral("Run"));
        return;
    }
    resumeRealTimeGraph();
    Running = true;
    btnRun->setIcon(imgPause);
    btnRun->setProperty("Tag", 0);
    mnuRun->setText(QStringLiteral("Pause"));
    mnuStop->setEnabled(true);
    btnStop->setEnabled(true);
}

void TfrmMain::btnStopClick() {
    WaitWhile([] { return TimerBusy; });
    if (RowsAdded) {
        const int answer = forms::MessageDlg(QStringLiteral("Save changes to Real Time Tabular"), forms::mtConfirmation,
                                             forms::mbYesNoCancel);
        if (answer == forms::mrCancel) return;
        if (answer == forms::mrYes) {
            SaveRealTimeList = true;
            if (!mnuSaveClick()) return; // not saved: keep recording and the rows
        }
    }
    Running = false;
    RowsAdded = false;
    btnRun->setIcon(imgRun);
    btnRun->setProperty("Tag", 1);
    mnuRun->setText(QStringLiteral("Run"));
    btnRun->setEnabled(LinkUp);
    mnuRun->setEnabled(LinkUp);
    btnStop->setEnabled(false);
    mnuStop->setEnabled(false);
}

void TfrmMain::Clear1Click() {
    if (RealTimeList) {
        forms::TStringGrid *g = RealTimeList->Grid1;
        g->SetRowCount(2);
        for (int c = 0; c < g->ColCount(); ++c) g->SetCells(c, 1, QString());
    }
    clearRealTimeGraph();
}

void TfrmMain::MaskEdit1Change() {
    if (editorUpdating_) return;
    // The text as the masked editor has it: a position not typed yet is a blank, so
    // one deleted digit of "05" reads " 5", not a text that is no number.
    const RateEdit edit = ParseRateEditor(MaskEdit1->displayText().replace(QLatin1Char('_'), QLatin1Char(' ')));
    RealTimeRate = edit.rate;
    if (edit.corrected) {
        editorUpdating_ = true;
        const int cursor = MaskEdit1->cursorPosition();
        MaskEdit1->setText(QStringLiteral("  ") + edit.minutes + QStringLiteral(" : ") + edit.seconds +
                           QStringLiteral("  "));
        MaskEdit1->setCursorPosition(cursor);
        editorUpdating_ = false;
    }
}

void TfrmMain::mnuPanelClick() {
    if (frmPanel) {
        frmPanel->BringToFront();
        return;
    }
    frmPanel = new TfrmPanel();
    frmPanel->Show(MdiArea);
    ApplyModel();
}

void TfrmMain::RealTimeGraph1Click() {
    // Asked for by name: it comes to the front, unlike the restore of Run.
    if (RealTimeGraph) {
        RealTimeGraph->BringToFront();
        return;
    }
    GraphPointCount = 0;
    RealTimeGraph = createRealTimeGraph();
    prepareRealTimeGraph();
}

void TfrmMain::RealTimeTabular1Click() {
    if (RealTimeList) {
        RealTimeList->BringToFront();
        return;
    }
    RealTimeList = createRealTimeList();
    setModelHeaders(RealTimeList);
}

void TfrmMain::Title1Click() { MdiArea->tileSubWindows(); }
void TfrmMain::Cascade1Click() { MdiArea->cascadeSubWindows(); }

void TfrmMain::ArrangeIcons1Click() {
    // Minimised children line up along the bottom of the client area.
    int x = 0;
    for (QMdiSubWindow *w : MdiArea->subWindowList()) {
        if (!w->isMinimized()) continue;
        w->move(x, MdiArea->height() - w->height());
        x += w->width();
    }
}

void TfrmMain::Content1Click() {
    forms::ShowMessage(QStringLiteral("Please see ") + ProgramFolder() + QStringLiteral("VadroHelp.Doc") +
                       QStringLiteral(" or VadroHelp.html"));
}

void TfrmMain::AboutCorvale1Click() {
    TfrmAbout box;
    frmAbout = &box;
    struct Forget {
        ~Forget() { frmAbout = nullptr; }
    } forget;
    box.exec();
}

void TfrmMain::Exit1Click() { close(); }

void TfrmMain::btnRunMouseMove() {
    btnRun->setToolTip(buttonTag(btnRun) == 1 ? QStringLiteral("Start Real Time Graph and Tabular")
                                              : QStringLiteral("Pause Real Time Graph and Tabular"));
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event) {
    if (watched == btnRun && (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)) btnRunMouseMove();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace hygro
