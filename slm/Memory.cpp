#include "Memory.h"

#include "DataList.h"
#include "slm/core/FileTransfer.h"
#include "slm/core/Meter.h"
#include "slm/core/MeterLink.h"
#include "slm/core/MeterMemory.h"
#include "Panel.h"
#include "slm/core/Rs232.h"
#include "platform/vb/Interaction.h"

#include <QCloseEvent>
#include <QDate>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace slm {

QPointer<Memory> MemoryForm;

namespace {

// A download is on the stack: the window's unload leaves MemoryOpen to it.
bool downloading = false;

QLabel *valueLabel(const QString &text, QWidget *parent) {
    auto *l = new QLabel(text, parent);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

} // namespace

Memory::Memory(Panel *panel) : QWidget(panel, Qt::Window), panel_(panel) {
    setWindowTitle("Data Logger");
    setObjectName("Memory");

    GridSet = new vb::MSFlexGrid(this);
    GridSet->setObjectName("GridSet");
    Grid = new vb::MSFlexGrid(this);
    Grid->setObjectName("Grid");
    Grid->SetRows(1);
    Grid->SetCols(2);
    Grid->SetFixedCols(0);

    auto *sizeBox = new QGroupBox("Memory Size", this);
    LblSize = valueLabel("64 K", sizeBox);
    (new QVBoxLayout(sizeBox))->addWidget(LblSize);
    auto *remainBox = new QGroupBox("Remained", this);
    LblRemain = valueLabel("", remainBox);
    (new QVBoxLayout(remainBox))->addWidget(LblRemain);
    LblMessage = new QLabel("", this);
    LblMessage->setObjectName("LblMessage");
    LblMessage->setAlignment(Qt::AlignCenter);
    CmdCompare = new QPushButton("Compare", this);

    Grid->setFixedHeight(70);
    for (QWidget *w : std::initializer_list<QWidget *>{sizeBox, remainBox, LblMessage, CmdCompare, Grid})
        w->setFixedWidth(160);
    auto *side = new QVBoxLayout;
    side->addWidget(sizeBox);
    side->addWidget(remainBox);
    side->addWidget(LblMessage);
    side->addStretch();
    side->addWidget(CmdCompare);
    side->addWidget(Grid);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(GridSet);
    layout->addLayout(side);

    GridSet->OnClick = [this] { GridSet_Click(); };
    Form_Load();
}

void Memory::Form_Load() {
    if (panel_) {
        const QRect frame = vb::FormGeometry(panel_);
        vb::MoveForm(this, frame.x() + frame.width(), frame.y());
    }
    GridSet->SetRows(1);
    GridSet->SetCols(3);
    GridSet->SetFixedCols(0);
    GridSet->SetTextMatrix(0, 0, "Set");
    GridSet->SetTextMatrix(0, 1, "Sampling");
    GridSet->SetTextMatrix(0, 2, "Records");
    const QFontMetrics fm(font());
    const char *widths[3] = {" No.S ", " Sampling ", " Records "};
    for (int c = 0; c < 3; ++c) GridSet->SetColWidth(c, vb::PixelsToTwipsX(fm.horizontalAdvance(widths[c])));
    int gridWidth = 0;
    for (int c = 0; c < 3; ++c) gridWidth += GridSet->columnWidth(c);
    GridSet->setFixedWidth(gridWidth + GridSet->frameWidth() * 2 + GridSet->verticalScrollBar()->sizeHint().width());
    resize(sizeHint().width(), 300);
    MemoryOpen = vb::True;
}

void Memory::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    if (!downloading) MemoryOpen = vb::False;
}

void Memory::closeEvent(QCloseEvent *event) {
    Form_Unload();
    event->accept();
    // Handlers of this window may still be waiting on the stack: it goes when they end.
    if (busy_ > 0)
        deleteWhenIdle_ = true;
    else
        deleteLater();
}

namespace {

class Download {
public:
    explicit Download(Panel &panel) : panel_(panel), COM(panel.COM) {}

    void Run() {
        // Size query.
        do {
            if (!send({'G', 0, 0, 0}) || !delay(0.02)) return stopped();
        } while (interfered());
        MemorySize = MemorySizeFromReply(COM.Input());

        // Pointer query, until it is framed.
        QByteArray reply;
        for (;;) {
            flush();
            if (!send({'R', 0, 0, 0x21}) || !delay(0.02)) return stopped();
            bool asked = true;
            while (asked && COM.InBufferCount() < 6) {
                vb::DoEvents(10);
                if (halted()) return stopped();
                asked = !interfered();
            }
            if (!asked || interfered()) continue;
            reply = COM.Input();
            if (IsPointerReply(reply)) break;
            if (!delay(0.5)) return stopped();
        }
        const double p = PointerFromReply(reply);
        const double L = DataLength(p);
        if (L == 0) {
            vb::MsgBox("No Data in Memory", vb::vbCritical);
            if (vb::Ended()) return;
            MemoryOpen = vb::False;
            panel_.Timer1.SetEnabled(true);
            return;
        }

        form_ = new Memory(&panel_);
        MemoryForm = form_;
        form_->show();
        shown_ = true;
        form_->LblSize->setText(vb::CStr(MemorySize) + " K");
        form_->LblRemain->setText(RemainLabel(FormatOneDecimal(RemainingK(MemorySize, p))));
        if (!delay(0.5)) return stopped();

        // The image, requested again until it starts with a set and holds one.
        QByteArray buffer;
        for (;;) {
            buffer.clear();
            flush();
            if (!send({'U', 0, 0, 0}) || !delay(0.2)) return stopped();
            bool again = interfered();
            QElapsedTimer progressShown;
            for (;;) {
                if (again) break;
                buffer += COM.Input();
                const ImageStart head = JudgeImageStart(buffer);
                if (head == ImageStart::Empty || head == ImageStart::Wrong) {
                    again = true;
                    break;
                }
                // Sleep in the event loop while the line brings the next bytes (about 50
                // in 50 ms at 9600 baud; the port's queue holds a second of them). Input
                // ends the sleep at once, so the windows answer as fast as ever.
                vb::DoEvents(buffer.size() >= L ? 0 : 50);
                if (halted()) return stopped();
                if (interfered()) {
                    again = true;
                    break;
                }
                const double shown = std::min<double>(buffer.size(), L);
                // A few times a second is as much as anyone reads; the last one always.
                if (shown == L || !progressShown.isValid() || progressShown.elapsed() >= 200) {
                    form_->LblMessage->setText(FormatOneDecimal(shown / L * 100) + "% Completed");
                    progressShown.start();
                }
                if (shown == L) break;
            }
            if (!again && buffer.size() >= 52) break;
            if (!delay(0.5)) return stopped();
        }

        const std::vector<StoredSet> sets = SplitMemoryImage(buffer);
        for (size_t i = 0; i < sets.size(); ++i) {
            const int k = int(i) + 1;
            DataSets[size_t(k)] = sets[i].Bytes;
            form_->GridSet->AddItem(QString::number(k) + "\t" + QString::number(sets[i].Sampling) + "\t" +
                                    QString::number(sets[i].Records));
        }
        flush();
        panel_.Timer1.SetEnabled(true);
    }

private:
    enum class Why { Ended, Closed, Lost };

    // Whether the download can no longer go on: the program ends (the port is closed
    // then), the window was closed, or the port has vanished.
    bool halted() {
        if (vb::Ended() || !COM.PortOpen())
            why_ = Why::Ended;
        else if (shown_ && (!form_ || form_->Unloaded()))
            why_ = Why::Closed;
        else if (COM.Vanished())
            why_ = Why::Lost;
        else
            return false;
        return true;
    }
    // Another handler, run inside one of the waits, has talked to the meter (every
    // exchange switches the live poll on when it ends): the live poll is held off
    // again and the current request is made anew, so that no foreign byte is taken
    // for the meter's answer.
    bool interfered() {
        if (!panel_.Timer1.Enabled()) return false;
        panel_.Timer1.SetEnabled(false);
        return true;
    }
    bool delay(double seconds) {
        Delay(seconds);
        return !halted();
    }
    bool send(std::initializer_list<int> command) {
        if (!ResyncMeter(COM, 0.2, [this] { return halted(); })) {
            halted();
            return false;
        }
        COM.SetOutput(vb::Bytes(command));
        return true;
    }
    void flush() {
        COM.SetInputLen(0);
        COM.Input();
    }

    // The download ends early: nothing is left waiting and the live poll runs again.
    void stopped() {
        if (why_ == Why::Ended) return;
        const auto windowOpen = [this] { return shown_ && form_ && !form_->Unloaded(); };
        if (why_ == Why::Lost) {
            if (windowOpen()) form_->LblMessage->setText("Connection lost");
            vb::MsgBox("The connection to the meter was lost: the download has stopped.", vb::vbCritical);
            if (vb::Ended()) return;
        } else {
            // A probe stops what the meter may still be sending; the live poll takes
            // its idle answer in its stride.
            COM.SetOutput(QByteArray(1, '\0'));
            flush();
        }
        // Also when the window was closed while the message was up.
        MemoryOpen = windowOpen() ? vb::True : vb::False;
        panel_.Timer1.SetEnabled(true);
    }

    Panel &panel_;
    vb::MSComm &COM;
    QPointer<Memory> form_;
    bool shown_ = false;
    Why why_ = Why::Ended;
};

} // namespace

void MemoryKey(Panel &panel) {
    if (MemoryOpen) return;
    MemoryOpen = vb::True;
    panel.Timer1.SetEnabled(false);
    downloading = true;
    Download(panel).Run();
    downloading = false;
}

namespace {

const char *const damagedSet =
    "There could be some error while reading(or recording) this set.\rPlease clear the EEPROM or try again!";

// The set's range and weightings through the live-frame decoders. The live state is
// not touched: a recording or list running beside the decode compares the live state
// with its own copy and would end on the set's values. What the set does not name
// (a missing byte, range codes 6 and 7) is the live setting.
struct SetSettings {
    QString TimeWeighting, FreqWeighting;
    double RangeTop, RangeBottom;
};
SetSettings DecodeSettings(const DecodedSet &set) {
    SetSettings out{TimeWeighting, FreqWeighting, RangeTop, RangeBottom};
    if (set.RangeCode >= 0) {
        int status = set.RangeCode;
        const RangeStatus range = DecodeRange(status);
        if (range.Top) out.RangeTop = *range.Top;
        if (range.Bottom) out.RangeBottom = *range.Bottom;
    }
    if (set.Weighting >= 0) {
        int status = set.Weighting;
        const ModeStatus mode = DecodeMode(status);
        out.TimeWeighting = mode.TimeWeighting;
        out.FreqWeighting = mode.FreqWeighting;
    }
    return out;
}

} // namespace

void Memory::GridSet_Click() {
    // The caption row holds no set.
    if (GridSet->Rows() <= 1 || GridSet->Row() < 1) return;
    ++busy_;
    decodeSet();
    --busy_;
    if (deleteWhenIdle_ && busy_ == 0) deleteLater();
}

void Memory::decodeSet() {
    QPointer<Panel> panel = panel_;
    if (panel) panel->Timer1.SetEnabled(false);
    const auto livePollOn = [&] {
        if (panel && !vb::Ended()) panel->Timer1.SetEnabled(true);
    };
    if (DataListVisible()) UnloadDataList();

    GridSet->SetCol(0);
    const double n = vb::Val(GridSet->Text());
    GridSet->SetCol(1);
    const double sampling = vb::Val(GridSet->Text());
    const QByteArray set = n >= 0 && n < double(DataSets.size()) ? DataSets[size_t(n)] : QByteArray();
    const DecodedSet decoded = DecodeDataSet(set, sampling, QDate::currentDate().year());
    const int r = int(decoded.Records.size());

    QPointer<DataList> list = DataListForm();
    list->show();
    for (int i = 0; i < 3; ++i) list->GridN(i)->SetRows(1);
    if (decoded.HeaderDamaged) {
        vb::MsgBox(damagedSet, vb::vbOKOnly);
        if (!list || !list->isVisible() || vb::Ended()) return livePollOn();
    }
    list->LblMessage->SetFloodType(1);
    const SetSettings settings = DecodeSettings(decoded);

    const QString caption = list->windowTitle();
    // The window stays live while it fills, without a round of events per record: the
    // progress and the events come every few milliseconds.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (int i = 1; i <= r; ++i) {
        const DecodedRecord &record = decoded.Records[size_t(i - 1)];
        if (record.Damaged) {
            vb::MsgBox(damagedSet, vb::vbOKOnly);
            if (!list || !list->isVisible() || vb::Ended()) return livePollOn();
        }
        list->GridN(0)->AddItem(QString::number(i));
        list->GridN(1)->AddItem(record.Stamp);
        list->GridN(2)->AddItem(record.Level);
        if (i == r || sinceEvents.elapsed() >= 30) {
            list->LblMessage->SetFloodPercent(int(double(i) / r * 100));
            list->setWindowTitle(QString::number(i) + " Records Completed");
            vb::DoEvents();
            sinceEvents.restart();
            // Closed meanwhile (or started afresh by another click): this decode ends.
            if (!list || !list->isVisible() || vb::Ended()) return livePollOn();
        }
    }
    list->setWindowTitle(caption);
    list->TxtLn->setText(SettingsText(settings.TimeWeighting, settings.FreqWeighting, settings.RangeBottom,
                                      settings.RangeTop, SettingsSeparator));
    list->TxtMax->setText(decoded.MaxText());
    list->TxtMin->setText(decoded.MinText());
    list->LblMessage->SetFloodType(0);
    list->LblMessage->SetCaption(QString::number(r) + " in No." + vb::CStr(n) + " Set");
    livePollOn();
}

} // namespace slm
