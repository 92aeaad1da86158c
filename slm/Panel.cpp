#include "Panel.h"

#include "slm/core/FileTransfer.h"
#include "Ln.h"
#include "LnGraph.h"
#include "List.h"
#include "Memory.h"
#include "slm/core/Meter.h"
#include "slm/core/MeterLink.h"
#include "RealTimeSLM.h"
#include "slm/core/Rs232.h"
#include "ToolbarIcons.h"
#include "platform/comm/Comm.h"
#include "platform/vb/Interaction.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace slm {

Panel *PanelForm = nullptr;

namespace {

const char *const caption = "Panel   V7.0";

struct ButtonSpec {
    const char *key;
    const char *tip;
};
// Collection order, as ToolbarButtonIndex names it.
const ButtonSpec toolbarSpec[ToolbarButtonCount] = {
    {"Save", "Save As"},
    {"Open", "Open File"},
    {"Sampling", "Sampling Rate"},
    {"List", "List Display"},
    {"Graph", "Graphic Display"},
    {"Run", "Start ( Leq/SEL )"},
    {"Stop", "Stop ( Leq/SEL )"},
    {"Pause", "Pause ( Leq/SEL )"},
    {"AC", "A / C"},
    {"FSI", "Fast / Slow"},
    {"Up", "Level Up"},
    {"Down", "Level Down"},
    {"RTC", "Set Meter Time to System (PC) Time"},
    {"REC", "Save Data to Meter"},
    {"Memory", "Data Logger"},
    {"StopRec", "Stop Recording"},
    {"Save1", "Save As"},
    {"Erase", "Erase Memory"},
};

// The display's glass, as the style sheet's #Display background has it.
const QColor glassColour(0xb9, 0xc7, 0xa3);

// A live readout fills its own place with the glass before its text: the styled
// display, plate and window beneath it (gradients, rounded borders) are then not
// painted again for every frame that changes it.
void paintsItsGlass(QWidget *w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, glassColour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// A row of live readouts, placed by a layout of its own that is installed on no
// widget: a readout's size hint moves with its text, and in an installed layout every
// new text would lay the whole window out again, frame after frame. The row is laid
// out when it is resized; its size hint is the layout's.
class ReadoutRow : public QWidget {
public:
    ReadoutRow(QWidget *parent, int spacing) : QWidget(parent) {
        row_.setContentsMargins(0, 0, 0, 0);
        row_.setSpacing(spacing);
    }
    QHBoxLayout &row() { return row_; }
    QSize sizeHint() const override { return row_.sizeHint(); }
    QSize minimumSizeHint() const override { return row_.minimumSize(); }

protected:
    void resizeEvent(QResizeEvent *) override { row_.setGeometry(rect()); }

private:
    QHBoxLayout row_;
};

QLabel *annunciator(const QString &text, QWidget *parent) {
    auto *l = new QLabel(text, parent);
    l->setObjectName("annunciator");
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(44);
    return l;
}

// Asks for the period "hh:nn:ss" until the answer holds one; nullopt when the prompt
// is cancelled or the program ends.
std::optional<LeqPeriodText> askPeriod() {
    for (;;) {
        const QString answer = vb::InputBox("Set up the willing time period to launch. \r\n (hh:nn:ss) ",
                                            "Set up the willing time period", "00:00:10");
        if (answer.isEmpty()) return std::nullopt;
        if (auto period = ParsePeriod(answer)) return period;
        vb::MsgBox("Invalid, comply with the data format properly\r\n", vb::vbCritical);
        if (vb::Ended()) return std::nullopt;
    }
}

} // namespace

bool ToolbarButton::Enabled() const { return Action && Action->isEnabled(); }
void ToolbarButton::SetEnabled(bool on) const {
    if (Action) Action->setEnabled(on);
}

Panel::Panel() : Timer1(this, 10), Timer2(this, 980) {
    setWindowTitle(caption);
    buildForm();
    Timer1.OnTimer = [this] { Timer1_Timer(); };
    Timer2.OnTimer = [this] { Timer2_Timer(); };
    // Enabled in the window's description: it runs from the moment the window loads.
    Timer2.SetEnabled(true);
}

Panel::~Panel() {
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    if (PanelForm == this) PanelForm = nullptr;
}

void Panel::buildForm() {
    setObjectName("Panel");
    setStyleSheet("#Panel { background: #3b4046; }"
                  "#FrontPlate { background: qlineargradient(x1:0,y1:0,x2:0,y2:1, stop:0 #596069, stop:1 #3a3f45);"
                  "  border: 2px solid #22262a; border-radius: 14px; }"
                  "#Display { background: #b9c7a3; border: 3px solid #1e2124; border-radius: 6px; }"
                  "#Display QLabel { color: #1d2416; font-family: 'DejaVu Sans Mono'; }"
                  "#annunciator { font: bold 10pt 'DejaVu Sans Mono'; }"
                  "#LblValue { font: bold 44pt 'DejaVu Sans Mono'; }"
                  "#Sub { font: 8pt 'DejaVu Sans Mono'; color: #3c4a30; }"
                  "#LblCOM { color: #f2d479; font: bold 10pt 'Liberation Sans'; }"
                  "#Brand { color: #e8ecef; font: bold italic 13pt 'Liberation Sans'; }"
                  "#Caption { color: #d0d6dc; font: 8pt 'Liberation Sans'; }"
                  "QPushButton#Key { background: qlineargradient(x1:0,y1:0,x2:0,y2:1, stop:0 #e9ecef, stop:1 #b7bdc4);"
                  "  border: 1px solid #1f2326; border-radius: 6px; min-height: 34px; font: bold 8pt 'Liberation "
                  "Sans'; color: #15181b; }"
                  "QPushButton#Key:pressed { background: #9aa1a9; }");

    buildToolbar();

    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(10, 8, 10, 10);
    auto *plate = new QWidget(central);
    plate->setObjectName("FrontPlate");
    plate->setAttribute(Qt::WA_StyledBackground);
    auto *plateLayout = new QVBoxLayout(plate);
    plateLayout->setContentsMargins(16, 10, 16, 14);

    auto *top = new QHBoxLayout;
    auto *brand = new QLabel("Integrating Sound Level Meter", plate);
    brand->setObjectName("Brand");
    LblCOM = new QLabel("No COM", plate);
    LblCOM->setObjectName("LblCOM");
    LblCOM->setCursor(Qt::PointingHandCursor);
    LblCOM->installEventFilter(this);
    top->addWidget(brand);
    top->addStretch();
    top->addWidget(LblCOM);
    plateLayout->addLayout(top);
    plateLayout->addWidget(buildDisplay());
    plateLayout->addWidget(buildRecordRow());
    plateLayout->addWidget(buildKeys());
    outer->addWidget(plate);
    setCentralWidget(central);

    // The reading is of a fixed size that holds the widest one, in the font the style
    // sheet gives it: a new text then lays nothing out again, where a label that may
    // grow has the whole window laid out again for it.
    LblValue->ensurePolished();
    const QFontMetrics valueMetrics(LblValue->font());
    LblValue->setFixedSize(std::max(LblValue->minimumWidth(), valueMetrics.horizontalAdvance("888.8") + 8),
                           std::max(LblValue->minimumHeight(), valueMetrics.height()));
}

QWidget *Panel::buildDisplay() {
    auto *display = new QWidget;
    display->setObjectName("Display");
    display->setAttribute(Qt::WA_StyledBackground);
    auto *g = new QVBoxLayout(display);
    g->setContentsMargins(12, 8, 12, 8);

    auto *ann = new QHBoxLayout;
    LblOver = annunciator("OVER", display);
    LblUnder = annunciator("UNDER", display);
    LblFast = annunciator("FAST", display);
    LblSlow = annunciator("SLOW", display);
    LblIMP = annunciator("IMP", display);
    LblA = annunciator("A", display);
    LblC = annunciator("C", display);
    LblPause = annunciator("PAUSE", display);
    LblRun = annunciator("RUN", display);
    LblStop = annunciator("STOP", display);
    for (QLabel *l : {LblOver, LblUnder, LblFast, LblSlow, LblIMP, LblA, LblC, LblPause, LblRun, LblStop}) {
        // Hidden annunciators keep their place, as on the meter's glass.
        QSizePolicy p = l->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        l->setSizePolicy(p);
        ann->addWidget(l);
        l->hide();
    }
    g->addLayout(ann);

    auto *valueRow = new QHBoxLayout;
    LblValue = new QLabel("", display);
    LblValue->setObjectName("LblValue");
    LblValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LblValue->setMinimumWidth(260);
    LblValue->setMinimumHeight(72);
    auto *unit = new QLabel("dB", display);
    unit->setStyleSheet("font: bold 16pt 'DejaVu Sans Mono';");
    valueRow->addStretch();
    valueRow->addWidget(LblValue);
    valueRow->addWidget(unit, 0, Qt::AlignBottom);
    valueRow->addSpacing(20);
    g->addLayout(valueRow);

    auto *bar = new QHBoxLayout;
    LblBarMin = new QLabel("70", display);
    LblBarMax = new QLabel("130", display);
    // The bar's rounded corners show what lies beneath it: glass of its own.
    auto *barGlass = new QWidget(display);
    paintsItsGlass(barGlass);
    auto *barGlassLayout = new QHBoxLayout(barGlass);
    barGlassLayout->setContentsMargins(0, 0, 0, 0);
    SoundBar = new LevelBar(barGlass);
    SoundBar->setRange(700, 1300);
    SoundBar->setValue(700);
    barGlassLayout->addWidget(SoundBar);
    bar->addWidget(LblBarMin);
    bar->addWidget(barGlass, 1);
    bar->addWidget(LblBarMax);
    g->addLayout(bar);

    auto *subs = new ReadoutRow(display, g->spacing());
    LblNo = new QLabel("0", subs);
    LblNo->setObjectName("Sub");
    subs->row().addWidget(LblNo);
    for (size_t i = 0; i < L.size(); ++i) {
        L[i] = new QLabel("0", subs);
        L[i]->setObjectName("Sub");
        L[i]->setAlignment(Qt::AlignRight);
        subs->row().addWidget(L[i], 1);
    }
    g->addWidget(subs);
    for (QLabel *l : {LblValue, LblBarMin, LblBarMax, LblNo}) paintsItsGlass(l);
    for (QLabel *l : L) paintsItsGlass(l);
    return display;
}

QWidget *Panel::buildKeys() {
    auto *keys = new QWidget;
    auto *g = new QGridLayout(keys);
    g->setContentsMargins(0, 10, 0, 0);
    g->setHorizontalSpacing(10);
    g->setVerticalSpacing(6);
    struct K {
        QPushButton **button;
        const char *caption;
        void (Panel::*handler)();
    };
    const K spec[10] = {
        {&BtnCA, "A / C", &Panel::BtnCA_Click},
        {&BtnFastSlow, "Fast/Slow/Imp", &Panel::BtnFastSlow_Click},
        {&BtnLeq, "Leq SEL SPL", &Panel::BtnLeq_Click},
        {&BtnMax, "Max Min Inst", &Panel::BtnMax_Click},
        {&BtnPlayPause, "Run Pause Stop", &Panel::BtnPlayPause_Click},
        {&BtnRecord, "Record Erase", &Panel::BtnRecord_Click},
        {&BtnDate, "Date Time", &Panel::BtnDate_Click},
        {&BtnInteg, "Integ Time", &Panel::BtnInteg_Click},
        {&BtnUp, "Up", &Panel::BtnUp_Click},
        {&BtnDown, "Down", &Panel::BtnDown_Click},
    };
    for (int i = 0; i < 10; ++i) {
        auto *b = new QPushButton(spec[i].caption, keys);
        b->setObjectName("Key");
        b->setFocusPolicy(Qt::NoFocus);
        *spec[i].button = b;
        auto handler = spec[i].handler;
        connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
        g->addWidget(b, i / 5, i % 5);
    }

    auto *memRow = new QHBoxLayout;
    CmdL = new QPushButton("Leq", keys);
    CmdR = new QPushButton("Read", keys);
    auto *romCaption = new QLabel("Memory (x64K):", keys);
    romCaption->setObjectName("Caption");
    LblRomSize = new QLabel("", keys);
    LblRomSize->setObjectName("Caption");
    LblRomSize->setMinimumWidth(30);
    TxtSize = new QLineEdit(keys);
    TxtSize->setMaximumWidth(60);
    connect(CmdL, &QPushButton::clicked, this, [this] { CmdL_Click(); });
    connect(CmdR, &QPushButton::clicked, this, [this] { CmdR_Click(); });
    // Change, as the runtime raises it: on every edit by the user.
    connect(TxtSize, &QLineEdit::textEdited, this, [this] { TxtSize_Change(); });
    memRow->addWidget(CmdL);
    memRow->addStretch();
    memRow->addWidget(romCaption);
    memRow->addWidget(LblRomSize);
    memRow->addWidget(CmdR);
    memRow->addWidget(TxtSize);
    g->addLayout(memRow, 2, 0, 1, 5);
    return keys;
}

void Panel::buildToolbar() {
    Toolbar1 = new QToolBar(this);
    Toolbar1->setMovable(false);
    Toolbar1->setIconSize(QSize(24, 24));
    addToolBar(Toolbar1);
    buttons_.reserve(ToolbarButtonCount);
    for (int i = 0; i < ToolbarButtonCount; ++i) {
        ToolbarButton b;
        b.Key = toolbarSpec[i].key;
        b.ToolTipText = toolbarSpec[i].tip;
        b.Action = Toolbar1->addAction(ToolbarIcon(b.Key), b.Key);
        b.Action->setToolTip(b.ToolTipText);
        buttons_.push_back(b);
    }
    for (size_t i = 0; i < buttons_.size(); ++i)
        connect(buttons_[i].Action, &QAction::triggered, this, [this, i] { Toolbar1_ButtonClick(buttons_[i]); });
    // The picture holders and the commands whose windows are not in this program yet
    // stay disabled, so that a click visibly does nothing.
    for (int i : {tbStopRec, tbSave1, tbErase}) Buttons(i).SetEnabled(false);
    // No Leq/SEL period yet: only Run can be pressed.
    Buttons(tbStop).SetEnabled(false);
    Buttons(tbPause).SetEnabled(false);
}

double Panel::SoundBarMin() const { return barMin_; }
double Panel::SoundBarMax() const { return barMax_; }
double Panel::SoundBarValue() const { return barValue_; }

void Panel::setBar(double min, double max, double value) {
    barMin_ = min;
    barMax_ = max;
    barValue_ = value;
    SoundBar->setRange(int(std::lround(min * 10)), int(std::lround(max * 10)));
    SoundBar->setValue(int(std::lround(value * 10)));
}

bool Panel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == LblCOM && event->type() == QEvent::MouseButtonRelease) {
        LblCOM_Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Panel::Form_Load() {
    try {
        vb::MoveForm(this, 0, 0);
        COM.SetCommPort(PortNumber);
        COM.SetSettings("9600,n,8,1");
        if (!COM.PortOpen()) COM.SetPortOpen(true);
        LblCOM->setText("COM" + QString::number(PortNumber));
        FileRecording = vb::False;
        SamplingTime = 1;
        CmdStart = vb::Bytes({'A', 0, 0, 0});
        const QDateTime now = QDateTime::currentDateTime();
        StampText = vb::Format(now, "yyyy/mm/dd") + " " + vb::Format(now, "hh:mm:ss");
        MemoryOpen = vb::False;
        LeqArmed = false;
        SubLevels.fill(0);
        SizeQueryPending = vb::True;
        Timer1.SetEnabled(true);
    } catch (const vb::RuntimeError &e) {
        QString text = "No device found, try again!";
        // A port that is listed but would not open: say why, below the usual text.
        if (PortNumber >= 1 && size_t(PortNumber) <= win::EnumSerialPorts().size() && !COM.PortOpen())
            text += "\n\n" + e.Description();
        vb::MsgBox(text, vb::vbCritical);
        vb::End();
    }
}

void Panel::Form_Unload() {
    Timer1.SetEnabled(false);
    if (COM.PortOpen()) COM.SetPortOpen(false);
    vb::End();
}

void Panel::closeEvent(QCloseEvent *event) {
    if (!unloading_) {
        unloading_ = true;
        Form_Unload();
    }
    event->accept();
}

void Panel::LblCOM_Click() {
    if (windowTitle().contains("080814"))
        setWindowTitle(caption);
    else
        setWindowTitle(QString(caption) + "   080814");
}

void Panel::Timer1_Timer() {
    if (!COM.PortOpen()) return;
    QByteArray frame;
    for (;;) {
        int count = 0;
        COM.SetInputLen(0);
        COM.Input();
        do {
            Delay(0.01);
            if (vb::Ended() || !COM.PortOpen()) return;
            ++count;
        } while (COM.InBufferCount() < 6 && count < 20);
        if (count >= 20) {
            COM.Input();
            NoDataRoutine();
            return;
        }
        frame = vb::RightB(COM.Input(), 6);
        // The idle frame is framed too, but it answers another reader's probe inside
        // this wait and carries no reading.
        if (IsFramed(frame) && frame != IdleFrame()) break;
    }

    if (SizeQueryPending) {
        if (!SendMeterCommand(COM, vb::Bytes({'G', 0, 0, 0}))) return;
        Delay(0.02);
        // Closing the window inside the wait closes the port.
        if (vb::Ended()) return;
        MemorySize = MemorySizeFromReply(COM.Input());
        SizeQueryPending = vb::False;
    }

    int s1 = quint8(frame[1]), s2 = quint8(frame[2]);
    AssignMeterState(DecodeRange(s1));
    AssignMeterState(DecodeMode(s2));
    AssignMeterState(DecodeLevel(quint8(frame[3]), quint8(frame[4])));

    // Until the first frame with a range, the bar keeps its stored 70 ... 130.
    const double top = std::isnan(RangeTop) ? 130 : RangeTop;
    const double bottom = std::isnan(RangeBottom) ? 70 : RangeBottom;
    showNumber(LblBarMax, top);
    showNumber(LblBarMin, bottom);
    Buttons(tbUp).SetEnabled(RangeTop != 130);
    Buttons(tbDown).SetEnabled(RangeBottom != 30);
    setBar(bottom, top, BarValue(vb::Val(LevelText), top, bottom));

    LblOver->setVisible(OverFlag != 0);
    LblSlow->setVisible(SlowFlag);
    LblFast->setVisible(FastFlag);
    LblPause->setVisible(PauseFlag);
    LblUnder->setVisible(UnderFlag != 0);
    LblC->setVisible(WeightCFlag != 0);
    LblA->setVisible(LblC->isHidden());
    LblIMP->setVisible(ImpFlag);
    LblRun->setVisible(false);
    LblStop->setVisible(false);

    LblNo->setText(QString::number(SubIndex));
    for (size_t i = 0; i < L.size(); ++i) showNumber(L[i], SubLevels[i]);

    if (SubIndex == 7) {
        if (auto mean = RunMeanText(SubLevels)) LblValue->setText(*mean);
        SubLevels.fill(0);
    }
}

void Panel::showNumber(QLabel *label, double value) {
    auto it = std::find_if(shownNumbers_.begin(), shownNumbers_.end(), [&](const auto &e) { return e.first == label; });
    if (it == shownNumbers_.end()) it = shownNumbers_.insert(it, {label, std::nan("")});
    // The same number as last time: nothing else writes these readouts.
    if (it->second == value) return;
    it->second = value;
    label->setText(vb::CStr(value));
}

void Panel::NoDataRoutine() {
    LblCOM->setText("No COM");
    LblValue->setText("");
    SubLevels.fill(0);
    if (ListShown) UnloadList();
    if (GraphShown) UnloadRealTimeSLM();
    if (!ResyncMeter(COM, 0.02)) return;
    COM.SetOutput(CmdStart);
    LblCOM->setText("COM" + QString::number(PortNumber));
}

Panel::PollHold::PollHold(Panel &panel) : panel_(panel) {
    ++panel_.pollHolds_;
    panel_.Timer1.SetEnabled(false);
}

Panel::PollHold::~PollHold() {
    // A program that ends leaves the poll off.
    if (--panel_.pollHolds_ == 0 && !vb::Ended()) panel_.Timer1.SetEnabled(true);
}

void Panel::MeterKey(int code) {
    const PollHold hold(*this);
    SendMeterCommand(COM, vb::Bytes({'K', 0, 0, code}));
}

void Panel::BtnCA_Click() { MeterKey(1); }
void Panel::BtnFastSlow_Click() { MeterKey(2); }
void Panel::BtnLeq_Click() { MeterKey(3); }
void Panel::BtnMax_Click() { MeterKey(4); }
void Panel::BtnPlayPause_Click() { MeterKey(5); }
void Panel::BtnRecord_Click() { MeterKey(6); }
void Panel::BtnDate_Click() { MeterKey(7); }
void Panel::BtnInteg_Click() { MeterKey(8); }
void Panel::BtnUp_Click() { MeterKey(9); }
void Panel::BtnDown_Click() { MeterKey(10); }

void Panel::CmdL_Click() {
    const auto period = askPeriod();
    if (!period) return;
    LeqPeriod = period->Total();
    LeqArmed = !LeqArmed;
}

void Panel::CmdR_Click() {
    const PollHold hold(*this);
    QByteArray reply;
    for (;;) {
        if (!SendMeterCommand(COM, vb::Bytes({'G', 0, 0, 0}))) return;
        Delay(0.02);
        if (vb::Ended()) return;
        reply = COM.Input();
        if (IsFramed(reply)) break;
    }
    const int n = quint8(reply[4]);
    MemorySize = n * 64.0;
    LblRomSize->setText(QString::number(n));
}

void Panel::TxtSize_Change() {
    // A key typed while the size goes out only changes the text: the exchange under way
    // sends what the box holds when it sends. One nested inside it would send first and
    // be overwritten by the older value, and would switch the poll on under the
    // handshake that is still waiting.
    if (sizeSending_) return;
    // One byte carries the size: other values are not sent.
    const auto size = [this] { return vb::RoundHalfEven(vb::Val(TxtSize->text())); };
    if (size() < 0 || size() > 255) return;
    sizeSending_ = true;
    const PollHold hold(*this);
    if (!ResyncMeter(COM)) return;
    const double n = size();
    if (n >= 0 && n <= 255) COM.SetOutput(vb::Bytes({'G', 0, 1, int(n)}));
    sizeSending_ = false;
}

void Panel::RtcKey() {
    const PollHold hold(*this);
    // One reading of the clock for all six fields: read one by one they could straddle
    // midnight and set the meter a day wrong.
    const QDateTime now = QDateTime::currentDateTime();
    if (!SendMeterCommand(COM, SetDateCommand(now))) return;
    Delay(0.02);
    if (vb::Ended()) return;
    SendMeterCommand(COM, SetTimeCommand(now));
}

void Panel::GraphKey() {
    if (RealTimeSLMVisible()) return;
    GraphRangeTop = RangeTop;
    LoadRealTimeSLM()->show();
    GraphShown = vb::True;
}

void Panel::RunKey() {
    if (!PauseFlag) {
        const auto period = askPeriod();
        if (!period) return;
        LeqPeriod = period->Total();
        LeqStart = std::floor(vb::SecondsOfDay());

        // Each window starts afresh.
        if (ListVisible()) UnloadList();
        if (LnVisible()) UnloadLn();
        // The fresh list takes the settings it is fed under, as the List key gives them:
        // with stale copies the first sample would close it again.
        StartListFeed();
        ListForm()->show();
        LnForm()->show();
        LeqArmed = true;
        vb::MoveForm(this, 0, 0);
        UnloadRealTimeSLM();
        GraphRangeTop = RangeTop;
        LoadRealTimeSLM()->show();
        UnloadLnGraph();
        LoadLnGraph()->show();
    } else if (RealTimeSLMForm && !RealTimeSLMForm->PMessage->isVisible()) {
        // A paused strip chart resumes with the list (an open Limit panel keeps it
        // stopped until OK).
        RealTimeSLMForm->Timer1.SetEnabled(true);
    }
    PauseFlag = false;
    ListShown = vb::True;
    GraphShown = vb::True;
    Buttons(tbRun).SetEnabled(false);
    Buttons(tbStop).SetEnabled(true);
    Buttons(tbPause).SetEnabled(true);
}

void Panel::StopKey() {
    LeqPeriod = 0;
    LeqArmed = false;
    PauseFlag = false;
    ListShown = vb::False;
    GraphShown = vb::False;
    // Only a loaded strip chart has a timer to stop; naming it must not load it.
    if (RealTimeSLMForm) RealTimeSLMForm->Timer1.SetEnabled(false);
    Buttons(tbRun).SetEnabled(true);
    Buttons(tbStop).SetEnabled(false);
    Buttons(tbPause).SetEnabled(false);
}

void Panel::PauseKey() {
    PauseFlag = true;
    ListShown = vb::False;
    GraphShown = vb::False;
    if (RealTimeSLMForm) RealTimeSLMForm->Timer1.SetEnabled(false);
    Buttons(tbRun).SetEnabled(true);
    Buttons(tbStop).SetEnabled(true);
    Buttons(tbPause).SetEnabled(false);
}

void Panel::Toolbar1_ButtonClick(const ToolbarButton &Button) {
    const QString &key = Button.Key;
    if (key == "Save") return SaveKey();
    if (key == "Open") return OpenKey();
    if (key == "Sampling") return SamplingKey();
    if (key == "List") return ListKey();
    if (key == "Graph") return GraphKey();
    if (key == "Run") return RunKey();
    if (key == "Stop") return StopKey();
    if (key == "Pause") return PauseKey();
    if (key == "AC") return MeterKey(1);
    if (key == "FSI") return MeterKey(2);
    if (key == "Up") return MeterKey(9);
    if (key == "Down") return MeterKey(10);
    if (key == "RTC") return RtcKey();
    if (key == "REC") return MeterKey(6);
    if (key == "Memory") return MemoryKey(*this);
    // "StopRec", "Save1", "Erase": picture holders without an action.
}

} // namespace slm
