#include "ListPlot.h"

#include "LevelAxis.h"

#include "FileList.h"
#include "slm/core/FileTransfer.h"
#include "FileTransferForms.h"
#include "Panel.h"
#include "ToolbarIcons.h"
#include "platform/forms/Graphics.h"
#include "platform/forms/Printer.h"
#include "platform/vb/Interaction.h"
#include "platform/vb/Printer.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace slm {

namespace {
ListPlot *instance = nullptr;
constexpr std::int32_t black = 0x000000;
} // namespace

ListPlot *ListPlotForm() {
    if (!instance) instance = new ListPlot;
    return instance;
}
bool ListPlotLoaded() { return instance != nullptr; }
bool ListPlotVisible() { return instance && instance->isVisible(); }
void UnloadListPlot() {
    if (instance) instance->close();
}

PlotSurface::PlotSurface(QWidget *parent) : QWidget(parent), Canvas(this) { setAttribute(Qt::WA_OpaquePaintEvent); }

void PlotSurface::paintEvent(QPaintEvent *event) {
    QPainter p(this);
    Canvas.Paint(p, event->rect());
}

void PlotSurface::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    Canvas.Resized();
    if (OnResize) OnResize();
}

ListPlot::ListPlot() : Timer1(this, 1000) {
    setWindowTitle("Plot File ");
    setAttribute(Qt::WA_DeleteOnClose);
    forms::InstallFontSubstitutions();
    setFont(QFont("Times New Roman", 9));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Toolbar1 = new QToolBar(this);
    Toolbar1->setIconSize(QSize(24, 24));
    for (const char *key : {"Limit", "Print"}) {
        QAction *a = Toolbar1->addAction(ToolbarIcon(key), key);
        a->setToolTip(key);
        connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }
    Surface = new PlotSurface(this);
    // The chart's margins and offsets are screen pixels: in twips the value labels
    // would fall under the chart and the record numbers below the window's edge.
    Canvas().SetScaleMode(vb::vbPixels);
    Canvas().Font = font();
    layout->addWidget(Toolbar1);
    layout->addWidget(Surface, 1);

    PMessage = new QFrame(Surface);
    PMessage->setFrameShape(QFrame::Panel);
    PMessage->setFrameShadow(QFrame::Raised);
    PMessage->setAutoFillBackground(true);
    auto *pm = new QGridLayout(PMessage);
    auto *value = new QGroupBox("Value", PMessage);
    auto *records = new QGroupBox("Records", PMessage);
    auto *vl = new QGridLayout(value);
    auto *rl = new QGridLayout(records);
    TxtT1 = new QLineEdit(value);
    TxtT2 = new QLineEdit(value);
    TxtR1 = new QLineEdit(records);
    TxtR2 = new QLineEdit(records);
    vl->addWidget(new QLabel("Min", value), 0, 0);
    vl->addWidget(TxtT1, 0, 1);
    vl->addWidget(new QLabel("Max", value), 1, 0);
    vl->addWidget(TxtT2, 1, 1);
    rl->addWidget(new QLabel("From", records), 0, 0);
    rl->addWidget(TxtR1, 0, 1);
    rl->addWidget(new QLabel("To", records), 1, 0);
    rl->addWidget(TxtR2, 1, 1);
    CmdOK = new QPushButton("OK", PMessage);
    pm->addWidget(value, 0, 0);
    pm->addWidget(records, 0, 1);
    pm->addWidget(CmdOK, 1, 0, 1, 2, Qt::AlignRight);
    PMessage->adjustSize();
    PMessage->move(70, 10);
    PMessage->hide();
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    Timer1.OnTimer = [this] { Timer1_Timer(); };
    Form_Load();
    Surface->OnResize = [this] { Form_Resize(); };
}

ListPlot::~ListPlot() {
    Surface->OnResize = nullptr;
    if (instance == this) instance = nullptr;
}

void ListPlot::Form_Load() {
    resize(vb::TwipsToPixelsX(9000), vb::TwipsToPixelsY(6600));
    if (PanelForm) {
        const QRect panel = PanelForm->frameGeometry();
        vb::MoveForm(this, panel.x() + panel.width(), 0);
    }
    GridColour = 7;
    TxtT1->setText(vb::CStr(PlotLow));
    TxtT2->setText(vb::CStr(PlotHigh));
    TxtR1->setText("1");
    TxtR2->setText(vb::CStr(PlotCount));
}

void ListPlot::Form_Unload() {
    Timer1.SetEnabled(false);
    if (instance == this) instance = nullptr;
}

void ListPlot::closeEvent(QCloseEvent *event) {
    Form_Unload();
    event->accept();
}

void ListPlot::Form_Resize() {
    ++generation_;
    CurveDrawn = false;
    vb::FormCanvas &c = Canvas();
    c.Cls();
    GridColour = 7;

    // The outer size (title bar and borders included) is at least 5355 x 5865 twips.
    const QRect outer = frameGeometry();
    const int extraW = std::max(0, outer.width() - width()), extraH = std::max(0, outer.height() - height());
    const int minW = vb::TwipsToPixelsX(PlotMinWidth) - extraW, minH = vb::TwipsToPixelsY(PlotMinHeight) - extraH;
    setMinimumSize(minW, minH);
    if (width() < minW || height() < minH) {
        resize(std::max(width(), minW), std::max(height(), minH));
        return; // the new size raises a new resize
    }

    Geometry = PlotGeometry::Of(c.ScaleWidth(), c.ScaleHeight(), PlotSpan);
    const PlotGeometry &g = Geometry;
    PMessage->hide();
    c.Cls();

    const double left = g.ChartLeft, base = g.ChartBase, height = g.ChartHeight, width = g.ChartWidth;
    const PlotRange range = PlotRange::Of(PlotLow, PlotHigh);
    DrawLevelAxis(c, left, base, width, height, range.Low, range.High, false);
    LastX = 0;
    SweepX = -g.SweepStep;
    Timer1.SetEnabled(true);
}

void ListPlot::Timer1_Timer() {
    // One shot; a resize while the curve is drawn arms it again for the new frame. The
    // curve is drawn after the tick: the window may close inside its events, timer and
    // all.
    Timer1.SetEnabled(false);
    QMetaObject::invokeMethod(
        this, [this] { PlotRecords(this, FileListLoaded() ? FileListForm()->GridN(2) : nullptr); },
        Qt::QueuedConnection);
}

void ListPlot::Toolbar1_ButtonClick(const QString &key) {
    if (key == "Limit") {
        PMessage->show();
        PMessage->raise();
    } else if (key == "Print") {
        try {
            QPointer<ListPlot> self(this);
            if (!Cmd.ShowPrinter() || !self) return; // cancelled: nothing printed
            vb::PrintForm(Surface);
        } catch (const forms::EPrinter &e) {
            vb::MsgBox(e.Message() + "\r\nThe plot was not printed.", vb::vbCritical);
        }
    }
}

void ListPlot::CmdOK_Click() {
    const double lo = vb::Val(TxtT1->text()), hi = vb::Val(TxtT2->text());
    const double first = vb::Val(TxtR1->text()), last = vb::Val(TxtR2->text());
    if (lo < PlotBottom || lo >= hi || hi > PlotTop) {
        vb::MsgBox("Invalid, " + vb::CStr(PlotBottom) + " <= Value <= " + vb::CStr(PlotTop), vb::vbCritical);
        return;
    }
    if (first <= 0 || first >= last || last > PlotCount) {
        vb::MsgBox("Invalid, 0 <= Records <= " + vb::CStr(PlotCount), vb::vbCritical);
        return;
    }
    PlotLow = lo;
    PlotHigh = hi;
    PlotFirst = first;
    PlotLast = last;
    PlotSpan = last - first + 1;
    PMessage->hide();
    Form_Resize();
}

namespace {

// The curve through the records that fall in one pixel column, drawn as the lines
// through its first, lowest, highest and last point in their order: they cover the
// same pixels as a line to every point, for a fraction of the lines.
class ColumnCurve {
public:
    explicit ColumnCurve(vb::FormCanvas &c) : c_(c) {}

    void Add(double x, double y) {
        const int column = c_.PixelX(x);
        if (count_ > 0 && column != column_) Flush();
        const Point p{x, y, count_++};
        if (p.index == 0) {
            column_ = column;
            first_ = low_ = high_ = p;
        }
        // The first of equal extremes: a line's last pixel is left to the next line, and
        // only an extreme reached before the column's last point starts one.
        if (y < low_.y) low_ = p;
        if (y > high_.y) high_ = p;
        last_ = p;
    }
    // Draws what is pending, before anything is drawn over the curve.
    void Flush() {
        if (count_ == 0) return;
        Point kept[4] = {first_, low_, high_, last_};
        std::sort(std::begin(kept), std::end(kept), [](const Point &a, const Point &b) { return a.index < b.index; });
        for (int i = 0; i < 4; ++i) {
            if (i > 0 && kept[i].index == kept[i - 1].index) continue;
            if (havePrevious_) c_.Line(previous_.x, previous_.y, kept[i].x, kept[i].y, 0x000000);
            previous_ = kept[i];
            havePrevious_ = true;
        }
        count_ = 0;
    }

private:
    struct Point {
        double x, y;
        int index;
    };
    vb::FormCanvas &c_;
    int column_ = 0, count_ = 0;
    Point first_{}, low_{}, high_{}, last_{}, previous_{};
    bool havePrevious_ = false;
};

} // namespace

void PlotRecords(ListPlot *frm, vb::MSFlexGrid *grid) {
    QPointer<ListPlot> plot(frm);
    QPointer<vb::MSFlexGrid> rows(grid);
    if (!frm) return;
    const int generation = frm->Generation();
    const QString caption = frm->windowTitle();
    vb::FormCanvas &c = frm->Canvas();
    try {
        const PlotGeometry g = PlotGeometry::Of(c.ScaleWidth(), c.ScaleHeight(), PlotSpan);
        const double left = g.ChartLeft, base = g.ChartBase, height = g.ChartHeight, width = g.ChartWidth;
        const PlotRange range = PlotRange::Of(PlotLow, PlotHigh);
        const std::int32_t gridColour = vb::QBColor(frm->GridColour);
        frm->SweepX = -g.SweepStep;
        frm->LastX = 0;
        c.Line(left - 2, base - height / 2, left + width + 2, base - height / 2, gridColour);
        c.DrawStyle = vb::vbDot;
        for (int k : {1, 7, 6, 5, 8, 3, 2})
            c.Line(left, base - k * height / 8, left + width, base - k * height / 8, gridColour);
        c.DrawStyle = vb::vbSolid;
        if (!rows) throw vb::RuntimeError(91, "Object variable or With block variable not set");

        const auto span = std::int64_t(PlotSpan);
        CaptionProgress progress(frm, " Records Completed");
        ColumnCurve curve(c);
        // Each record is read from its cell; the grid's current row moves only to the
        // marked records and the last one (moving it costs more than drawing).
        const int col = rows->Col();
        int row = 0;
        for (double r = PlotFirst; r <= PlotLast; r += 1) {
            if (!rows) throw vb::RuntimeError(91, "Object variable or With block variable not set");
            row = int(vb::RoundHalfEven(r));
            if (!progress.Step(std::int64_t(r))) return;
            if (!rows) throw vb::RuntimeError(91, "Object variable or With block variable not set");
            // Redrawn meanwhile: the new frame's own tick draws its curve.
            if (plot->Generation() != generation) return;
            frm->SweepX += g.SweepStep;
            const double v = vb::Val(rows->TextMatrix(row, col));
            double h;
            if (v > range.High)
                h = height + 5;
            else if (v < range.Low)
                h = -3;
            else
                h = (v - range.Low) / (range.High - range.Low) * height;
            const double x = left + frm->SweepX;
            curve.Add(x, base - h);
            frm->LastY = base - h;
            frm->LastX = x;
            c.ForeColor = black;

            const auto n = std::int64_t(r - PlotFirst + 1);
            bool mark = n == 1, tick = false;
            for (int k = 1; k <= 5 && !mark; ++k) mark = n == k * span / 5;
            for (int k = 1; k <= 10 && !mark && !tick; ++k) tick = n == k * span / 10;
            if (mark || tick) curve.Flush(); // the curve after this record is drawn over the mark
            if (mark) {
                rows->SetRow(row);
                c.DrawStyle = vb::vbDot;
                c.Line(x, base, x, base - height - 10, gridColour);
                c.DrawStyle = vb::vbSolid;
                const QString number = QString::number(rows->Row());
                c.ForeColor = black;
                c.CurrentX = x - c.TextWidth(number);
                c.CurrentY = base + 10;
                c.Print(number);
            } else if (tick) {
                c.Line(x, base - 4.2 * height / 8, x, base - 3.8 * height / 8, gridColour);
            }
        }
        curve.Flush();
        if (row > 0) rows->SetRow(row);
        frm->setWindowTitle(caption);
        frm->CurveDrawn = true;
    } catch (const vb::RuntimeError &) {
        if (plot && plot->isVisible()) plot->hide();
    }
}

} // namespace slm
