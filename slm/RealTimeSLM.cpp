#include "RealTimeSLM.h"

#include "LevelAxis.h"

#include "slm/core/FileTransfer.h"
#include "slm/core/Meter.h"
#include "Panel.h"
#include "ToolbarIcons.h"
#include "platform/forms/Printer.h"
#include "platform/vb/Interaction.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include <cmath>

namespace slm {

RealTimeSLM *RealTimeSLMForm = nullptr;

namespace {

constexpr std::int32_t black = 0x000000;
constexpr std::int32_t white = 0xFFFFFF;
// The smallest outer size of the window, in twips.
constexpr int minWidthTwips = 5355;
constexpr int minHeightTwips = 5865;
// The design-time outer size, in twips: wide enough for a few minutes of samples.
constexpr int widthTwips = 8400;

// RangeTop is unset (NaN) until the meter's first frame; two unset ranges are the same.
bool sameRange(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

} // namespace

RealTimeSLM::RealTimeSLM() : Timer1(this, 1000), Canvas(this) {
    RealTimeSLMForm = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle("Real Time Graph");
    buildForm();
    Timer1.OnTimer = [this] { Timer1_Timer(); };
    Form_Load();
}

RealTimeSLM::~RealTimeSLM() {
    Timer1.SetEnabled(false);
    if (RealTimeSLMForm == this) RealTimeSLMForm = nullptr;
}

QAction *RealTimeSLM::addButton(const QString &key) {
    QAction *a = Toolbar1->addAction(ToolbarIcon(key), key);
    a->setToolTip(key);
    connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    return a;
}

void RealTimeSLM::buildForm() {
    QFont font("Times New Roman");
    font.setPointSize(8);
    setFont(font);
    Canvas.Font = font;

    // The toolbar lies over the top of the picture, as an aligned control does: hiding
    // it to print leaves the picture as it is.
    Toolbar1 = new QToolBar(this);
    Toolbar1->setMovable(false);
    // Small enough to leave the "SPL" heading below it uncovered.
    Toolbar1->setIconSize(QSize(18, 18));
    Toolbar1->setAutoFillBackground(true);
    addButton("Limit");
    addButton("Print");
    Toolbar1->adjustSize();

    PMessage = new QFrame(this);
    PMessage->setFrameShape(QFrame::Panel);
    PMessage->setFrameShadow(QFrame::Raised);
    PMessage->setAutoFillBackground(true);
    auto *g = new QGridLayout(PMessage);
    g->setContentsMargins(8, 6, 8, 6);
    TxtMax = new QLineEdit(PMessage);
    TxtMin = new QLineEdit(PMessage);
    TxtCounts = new QLineEdit(PMessage);
    const char *captions[3] = {"Max", "Min", "Counts"};
    QLineEdit *fields[3] = {TxtMax, TxtMin, TxtCounts};
    for (int i = 0; i < 3; ++i) {
        g->addWidget(new QLabel(captions[i], PMessage), i, 0);
        fields[i]->setMaximumWidth(80);
        fields[i]->installEventFilter(this);
        g->addWidget(fields[i], i, 1);
    }
    CmdOK = new QPushButton("OK", PMessage);
    CmdOK->setAutoDefault(false);
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    g->addWidget(CmdOK, 3, 0, 1, 2);
    PMessage->adjustSize();
    PMessage->hide();

    resize(vb::TwipsToPixelsX(widthTwips), vb::TwipsToPixelsY(minHeightTwips));
}

void RealTimeSLM::computeGeometry() {
    ChartLeft = 60;
    ChartWidth = StripChartWidth(Canvas.ScaleWidth());
    ChartHeight = Canvas.ScaleHeight() - 100;
}

void RealTimeSLM::Form_Load() {
    // The chart's numbers (a 60-unit margin for the scale labels, 27 below the base for
    // the time marks, one unit per sample) are pixels of the window: measured in twips,
    // the labels would fall under the plotting area and the marks below the window.
    Canvas.SetScaleMode(vb::vbPixels);
    const int top = PanelForm ? PanelForm->frameGeometry().height() : 0;
    vb::MoveForm(this, 0, top);
    GridColour = vb::QBColor(7);
    // Before the meter's first frame the range is unknown: the bar's stored 130 / 70.
    ChartMax = std::isnan(RangeTop) ? 130 : RangeTop;
    ChartMin = std::isnan(RangeBottom) ? 70 : RangeBottom;
    computeGeometry();
    SweepStep = LoadSweepStep(LeqArmed, LeqPeriod, ChartWidth);
}

void RealTimeSLM::Form_Resize() {
    Canvas.Cls();
    GridColour = vb::QBColor(7);
    computeGeometry();
    Timer1.SetEnabled(false);
    PMessage->hide();
    Canvas.Cls();

    // The outer size never goes below the minimum; the change comes back as a resize.
    // (A resize may run the handler again inside this call: the sizes are read afresh.)
    const int minW = vb::TwipsToPixelsX(minWidthTwips), minH = vb::TwipsToPixelsY(minHeightTwips);
    if (frameGeometry().width() < minW) resize(minW - (frameGeometry().width() - width()), height());
    if (frameGeometry().height() < minH) resize(width(), minH - (frameGeometry().height() - height()));
    computeGeometry();

    ChartBase = Canvas.ScaleHeight() - 27;
    DrawLevelAxis(Canvas, ChartLeft, ChartBase, ChartWidth, ChartHeight, ChartMin, ChartMax, true);
    LastX = 0;
    SweepX = -SweepStep;
    gridDrawn_ = false;
    Timer1.SetEnabled(true);
}

void RealTimeSLM::Form_Unload() { Timer1.SetEnabled(false); }

void RealTimeSLM::Timer1_Timer() {
    if (!sameRange(RangeTop, GraphRangeTop)) {
        close();
        return;
    }
    if (!GraphShown) return;

    SweepX += SweepStep;
    if (SweepX >= ChartWidth + 2) SweepX = 0;
    const double ahead = ChartLeft + SweepX + 2;
    Canvas.FilledBox(ahead, ChartBase + 3, ahead + SweepStep, ChartBase - ChartHeight - 5, white);

    // The grid lies under the trace: drawn whole over the fresh frame, then only into
    // the strip just erased, so that it never covers a level lying on a grid line.
    if (gridDrawn_) Canvas.SetClip(ahead, ChartBase + 3, ahead + SweepStep, ChartBase - ChartHeight - 5);
    Canvas.Line(ChartLeft - 2, ChartBase - ChartHeight / 2, ChartLeft + ChartWidth + 2, ChartBase - ChartHeight / 2,
                GridColour);
    Canvas.DrawStyle = vb::vbDot;
    for (int k : {1, 7, 6, 5, 8, 3, 2}) {
        const double y = ChartBase - k * ChartHeight / 8;
        Canvas.Line(ChartLeft, y, ChartLeft + ChartWidth, y, GridColour);
    }
    Canvas.DrawStyle = vb::vbSolid;
    Canvas.ClearClip();
    gridDrawn_ = true;

    ShownLevel = PanelForm ? vb::Val(PanelForm->LblValue->text()) : 0;
    const double y = ChartBase - TraceHeight(ShownLevel, ChartMin, ChartMax, ChartHeight);
    if (LastX != 0 && SweepX != 0) Canvas.Line(LastX, LastY, LastX + SweepStep, y, black);
    LastY = y;
    LastX = ChartLeft + SweepX;
    Canvas.ForeColor = black;

    const double x = ChartLeft + SweepX;
    if (TimeMarkDue(SweepX, SweepStep, ChartWidth)) {
        Canvas.DrawStyle = vb::vbDot;
        Canvas.Line(x, ChartBase, x, ChartBase - ChartHeight - 10, GridColour);
        Canvas.DrawStyle = vb::vbSolid;
        MarkText = vb::Format(QDateTime::currentDateTime(), "hh:mm:ss");
        // Centred on the mark, and its box erases exactly where it goes, so that the
        // label before leaves nothing behind.
        const double w = Canvas.TextWidth(MarkText) / 2;
        Canvas.FilledBox(x - w, ChartBase + 10, x + w, ChartBase + 10 + Canvas.TextHeight(MarkText), white);
        Canvas.ForeColor = black;
        Canvas.CurrentX = x - w;
        Canvas.CurrentY = ChartBase + 10;
        Canvas.Print(MarkText);
    } else if (QuarterTickDue(SweepX, SweepStep, ChartWidth)) {
        Canvas.Line(x, ChartBase - 3.8 * ChartHeight / 8, x, ChartBase - 4.2 * ChartHeight / 8, GridColour);
    }
}

void RealTimeSLM::Toolbar1_ButtonClick(const QString &key) {
    if (key == "Limit") {
        Timer1.SetEnabled(false);
        PMessage->move(int(ChartLeft) + 10, Toolbar1->height() + 4);
        PMessage->show();
        PMessage->raise();
        TxtCounts->setText(vb::CStr(vb::RoundHalfEven(ChartWidth / SweepStep)));
        TxtMax->setText(vb::CStr(ChartMax));
        TxtMin->setText(vb::CStr(ChartMin));
    } else if (key == "Print") {
        Toolbar1->hide();
        // A cancelled dialog prints nothing.
        if (Cmd.ShowPrinter()) {
            try {
                vb::PrintForm(this);
            } catch (const forms::EPrinter &e) {
                vb::MsgBox(e.Message() + "\r\nThe chart was not printed.", vb::vbCritical);
            }
        }
        Toolbar1->show();
    }
}

void RealTimeSLM::CmdOK_Click() {
    const double max = vb::Val(TxtMax->text()), min = vb::Val(TxtMin->text());
    if (max > 130 || min < 30 || max <= min) {
        vb::MsgBox("30 <= Value <= 130, try again!", vb::vbCritical);
        return;
    }
    ChartMax = max;
    ChartMin = min;
    const double counts = vb::Val(TxtCounts->text());
    if (counts > 864000 || counts < 10) {
        vb::MsgBox("10 <= Counts <= 864000, try again!", vb::vbCritical);
        return;
    }
    SweepStep = ChartWidth / counts;
    Form_Resize();
}

void RealTimeSLM::paintEvent(QPaintEvent *event) {
    QPainter p(this);
    Canvas.Paint(p, event->rect());
}

void RealTimeSLM::resizeEvent(QResizeEvent *) {
    Canvas.Resized();
    Toolbar1->setGeometry(0, 0, width(), Toolbar1->sizeHint().height());
    Form_Resize();
}

void RealTimeSLM::closeEvent(QCloseEvent *event) {
    if (!unloaded_) {
        unloaded_ = true;
        Form_Unload();
        if (RealTimeSLMForm == this) RealTimeSLMForm = nullptr;
    }
    event->accept();
}

bool RealTimeSLM::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::KeyPress || (watched != TxtMax && watched != TxtMin && watched != TxtCounts))
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (watched == TxtCounts)
            CmdOK_Click();
        else if (watched == TxtMax)
            TxtMin->setFocus();
        else
            TxtCounts->setFocus();
        return true;
    }
    // Keys that type no character (arrows, Delete, Home) and shortcuts (Ctrl+A, Ctrl+C,
    // Ctrl+V, Ctrl+Z) edit the field and keep working; only typed characters are checked.
    const QString text = key->text();
    if (text.isEmpty() || key->key() == Qt::Key_Backspace) return false;
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return false;
    const QChar c = text.at(0);
    if (!c.isPrint()) return false;
    const bool digit = c >= '0' && c <= '9';
    const bool sign = (c == '-' || c == '.') && watched != TxtCounts;
    return !(digit || sign);
}

RealTimeSLM *LoadRealTimeSLM() {
    if (!RealTimeSLMForm) new RealTimeSLM;
    return RealTimeSLMForm;
}

bool RealTimeSLMVisible() { return RealTimeSLMForm && RealTimeSLMForm->isVisible(); }

void UnloadRealTimeSLM() {
    if (RealTimeSLMForm) RealTimeSLMForm->close();
}

} // namespace slm
