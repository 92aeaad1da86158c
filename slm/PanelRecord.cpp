// Panel: the sampling tick, PC-side recording to ".slm" files, the live list's feed, and
// the toolbar keys Save, Open, Sampling and List.

#include "Panel.h"

#include "FileList.h"
#include "slm/core/FileTransfer.h"
#include "FileTransferForms.h"
#include "List.h"
#include "slm/core/Meter.h"
#include "slm/core/MeterLink.h"
#include "slm/core/Rs232.h"
#include "SamplingChoice.h"
#include "slm/core/SlmFile.h"
#include "platform/vb/Controls.h"
#include "platform/vb/Interaction.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLocale>
#include <QTimer>

#include <cmath>
#include <optional>

namespace slm {

namespace {

const char *const slmFilter = "All Files (*.slm)|*.slm|All Files (*.*)|*.*|";

// A message that must not hold up the tick that found it.
void sayLater(QObject *context, const QString &text) {
    QTimer::singleShot(0, context, [text] { vb::MsgBox(text, vb::vbCritical); });
}

// An answer to a sampling prompt as a number; nullopt when it is none.
std::optional<double> numberOf(const QString &answer) {
    bool ok = false;
    double v = QLocale::c().toDouble(answer.trimmed(), &ok);
    if (!ok) v = QLocale::system().toDouble(answer.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Asks for a sampling time of 1 to `maxSeconds` seconds, `shown` in the box. Gives the
// answer rounded and held to that range; nullopt when cancelled, when the program
// ends, or for the service word, which shows or hides `secret` instead.
std::optional<double> askSamplingTime(QWidget *secret, double maxSeconds, const QString &shown) {
    const QString answer =
        vb::InputBox("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= " + QString::number(maxSeconds) + " ) ",
                     "Input Sampling Time", shown);
    if (vb::Ended()) return std::nullopt;
    if (answer == "8047Q" || answer == "8047q") {
        secret->setVisible(!secret->isVisible());
        return std::nullopt;
    }
    if (answer.isEmpty()) return std::nullopt;
    const auto v = numberOf(answer);
    if (!v) {
        vb::MsgBox("Invalid, enter the sampling time as a number of seconds", vb::vbCritical);
        return std::nullopt;
    }
    return std::clamp(vb::RoundHalfEven(*v), 1.0, maxSeconds);
}

} // namespace

QWidget *Panel::buildRecordRow() {
    auto *row = new QWidget;
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(4, 4, 4, 0);
    LblRec = new QLabel("Rec", row);
    LblRec->setObjectName("LblRec");
    LblRec->setStyleSheet("#LblRec { color: #ff6b5e; font: bold 10pt 'Liberation Sans'; }");
    LblRec->hide();
    LblCount = new QLabel("", row);
    LblFileName = new QLabel("", row);
    for (QLabel *l : {LblCount, LblFileName}) l->setStyleSheet("color: #e8ecef; font: 9pt 'Liberation Sans';");
    LblCount->setMinimumWidth(60);
    P8593 = new QLabel("8593", row);
    P8593->setStyleSheet("color: #1d2416; background: #f2d479; border-radius: 3px; padding: 0 6px;"
                         "font: bold italic 10pt 'Liberation Sans';");
    P8593->hide();
    h->addWidget(LblRec);
    h->addWidget(LblCount);
    h->addWidget(LblFileName, 1);
    h->addWidget(P8593);
    return row;
}

void Panel::setSaveButton(int pictureOf, const QString &tip) {
    ToolbarButton &save = buttons_.at(0);
    save.Action->setIcon(Buttons(pictureOf).Action->icon());
    save.ToolTipText = tip;
    save.Action->setToolTip(tip);
}

// ---- the sampling tick -------------------------------------------------------------------

void Panel::Timer2_Timer() {
    if (SampleCounter < SamplingTime) {
        SampleCounter += 1;
        return;
    }
    StampText = vb::Format(QDateTime::currentDateTime(), "yyyy/mm/dd hh:nn:ss");
    const QString level = LblValue->text();
    try {
        if (FileRecording) {
            recordSample(level);
        } else {
            LblFileName->setText("");
            LblCount->setText("");
            LblRec->setText("");
            RecordNo = 0;
        }
        if (ListShown) feedList(level);
    } catch (const vb::RuntimeError &) {
        // The counter stays where it is: the next tick takes the sample again.
        return;
    }
    SampleCounter = 1;
}

void Panel::recordFailed(const vb::RuntimeError &e) {
    recordFailing_ = true;
    LblRec->setText("Rec: NOT SAVED (" + e.Description() + ")");
    LblRec->setToolTip("The last sample could not be written to " + RecordFile.Path() +
                       ".\nIt is tried again every second.");
}

void Panel::recordWritten() {
    if (!recordFailing_) return;
    recordFailing_ = false;
    LblRec->setToolTip(QString());
}

void Panel::recordSample(const QString &level) {
    // The number is taken only once its line is in the file, so a failed write leaves
    // no gap in the numbering.
    const auto number = std::int64_t(RecordNo) + 1;
    try {
        RecordFile.WriteLine(SlmRecordLine(number, StampText, level));
    } catch (const vb::RuntimeError &e) {
        recordFailed(e);
        throw;
    }
    recordWritten();
    RecordNo = double(number);
    LblCount->setText(QString::number(number));
    LblRec->setText("Rec");
    TakeExtremes(level, StampText, RecMax, MaxLine, RecMin, MinLine);

    if (!SameRange(RangeTop, RecRangeTop) || TimeWeighting != RecTimeWeighting || FreqWeighting != RecFreqWeighting) {
        FileRecording = vb::False;
        setSaveButton(17, "Save As");
        LblRec->setText("");
        LblCount->setText("");
        RecordNo = 0;
        finishRecording(SettingsText(RecTimeWeighting, RecFreqWeighting, RecRangeTop, SettingsSeparator));
    }

    if (RecordNo != 0 && std::fmod(RecordNo, double(RecordsPerPart)) == 0) {
        finishRecording(SettingsText(RecTimeWeighting, RecFreqWeighting, RecRangeTop, SettingsSeparator));
        FilePartNo += 1;
        // A part's extremes are its own.
        ClearRecordExtremes();
        try {
            RecordFile.Create(SplitPartPath(recordPath_, std::int64_t(FilePartNo)));
        } catch (const vb::RuntimeError &e) {
            // The next record tries to open the part again.
            recordFailed(e);
        }
    }
}

void Panel::finishRecording(const QString &settings) {
    const QString path = RecordFile.Path();
    try {
        RecordFile.Finish(SlmTrailer(settings, MaxLine, MinLine));
    } catch (const vb::RuntimeError &e) {
        sayLater(this, e.Description() + "\r\n" + path +
                           "\r\nThe end of the record file (settings, maximum, minimum) could not be written.");
    }
}

void Panel::feedList(const QString &level) {
    List *list = ListForm();
    list->TxtLn->setText(SettingsText(ListTimeWeighting, ListFreqWeighting, ListRangeTop, SettingsSeparator));
    TakeExtremes(level, StampText, ListMax, ListMaxLine, ListMin, ListMinLine);
    list->TxtMax->setText(ListMaxLine);
    list->TxtMin->setText(ListMinLine);
    ListRows += 1;
    vb::MSFlexGrid *grid = list->Grid;
    grid->AddItem(SlmRecordLine(std::int64_t(ListRows), StampText, level));
    grid->SetRow(grid->Rows() - 1);
    if (grid->Row() > 11) grid->SetTopRow(grid->TopRow() + 1);

    if (!SameRange(RangeTop, ListRangeTop) || TimeWeighting != ListTimeWeighting ||
        FreqWeighting != ListFreqWeighting) {
        ListRows = 0;
        ListShown = vb::False;
        if (ListVisible()) UnloadList();
    }
    if (ListRows != 0 && std::fmod(ListRows, double(RowsPerAutoSave)) == 0) autoSaveList();
}

void Panel::autoSaveList() {
    vb::SetMousePointer(vb::vbHourglass);
    const QString name = QDir::current().filePath(AutoSaveName(QDateTime::currentDateTime()));
    List *list = ListForm();
    const QString caption = list->windowTitle();
    try {
        const vb::MSFlexGrid &grid = *list->Grid;
        // Its texts go without stars.
        SaveGridFile(name,
                     [&](int r) {
                         if (r < grid.Rows()) list->setWindowTitle(QString::number(r) + " Records Completed");
                         return GridRow(grid, r);
                     },
                     {list->TxtLn->text(), list->TxtMax->text(), list->TxtMin->text()});
    } catch (const vb::RuntimeError &e) {
        // The rows stay in the list, which goes on growing until the next auto-save.
        list->setWindowTitle(caption);
        vb::SetMousePointer(vb::vbDefault);
        sayLater(this, e.Description() + "\r\n" + name + "\r\nThe list could not be saved; its rows are kept.");
        return;
    }
    list->setWindowTitle(caption);
    vb::SetMousePointer(vb::vbDefault);
    UnloadList();
    ListForm()->show();
    ClearListExtremes();
    ListShown = vb::True;
}

// ---- toolbar keys ---------------------------------------------------------------------

void Panel::SaveKey() {
    if (LeqArmed) return;
    if (!FileRecording) {
        ShowSaveDialog(Cmd);
        if (!FileChosen) return;
        try {
            RecordFile.Create(FileName);
        } catch (const vb::RuntimeError &e) {
            RecordFile.Close();
            vb::MsgBox(e.Description() + "\r\n" + FileName + "\r\nThe recording was not started.", vb::vbCritical);
            return;
        }
        StartRecordingState();
        recordPath_ = FileName;
        LblFileName->setText(QFileInfo(FileName).fileName());
        setSaveButton(16, "Stop Recording");
        FileRecording = vb::True;
        LblRec->show();
        return;
    }
    FileRecording = vb::False;
    setSaveButton(17, "Save As");
    LblRec->hide();
    LblCount->setText("");
    LblFileName->setText("");
    RecordNo = 0;
    recordWritten();
    const QString path = RecordFile.Path();
    try {
        RecordFile.Finish(
            SlmTrailer(SettingsText(TimeWeighting, FreqWeighting, RecRangeTop, SaveKeySeparator), MaxLine, MinLine));
    } catch (const vb::RuntimeError &e) {
        vb::MsgBox(e.Description() + "\r\n" + path +
                       "\r\nThe end of the record file (settings, maximum, minimum) could not be written.",
                   vb::vbCritical);
    }
    FileChosen = vb::False;
}

void Panel::OpenKey() {
    if (FileRecording) {
        vb::MsgBox("Recording Mode!\n\rPlease stop recording!", vb::vbCritical);
        return;
    }
    Cmd.Filter = slmFilter;
    QString path;
    try {
        if (!Cmd.ShowOpen()) return;
        path = Cmd.FileName;
    } catch (const vb::RuntimeError &) {
        return;
    }
    if (path.isEmpty()) return;
    if (FileListVisible()) UnloadFileList();
    FileList *list = FileListForm();
    if (!list->ReadFile(path)) UnloadFileList();
}

void Panel::SamplingKey() {
    {
        SamplingChoice choice(this);
        choice.exec();
    }
    if (vb::Ended()) return;
    if (UsePcSampling) {
        const auto seconds = askSamplingTime(P8593, 86400, vb::CStr(SamplingTime));
        if (!seconds) return;
        SamplingTime = *seconds;
        SampleCounter = 0;
        return;
    }

    const PollHold hold(*this);
    COM.SetInputLen(0);
    COM.Input();
    if (!ResyncMeter(COM)) return;
    COM.SetOutput(vb::Bytes({'R', 0, 0, 0x23}));
    Delay(0.02);
    if (vb::Ended()) return;
    const QByteArray reply = COM.Input();
    // A reply too short to hold the time leaves the last one known.
    if (reply.size() >= 5) MeterSamplingTime = quint8(reply[3]) * 256 + quint8(reply[4]);
    const auto answer = askSamplingTime(P8593, 65535, MeterSamplingTime > 0 ? vb::CStr(MeterSamplingTime) : QString());
    if (!answer) return;
    const int seconds = int(*answer);
    if (!SendMeterCommand(COM, vb::Bytes({0x5A, 0, seconds / 256, seconds % 256}))) return;
    MeterSamplingTime = seconds;
}

void Panel::ListKey() {
    if (ListVisible()) return;
    StartListFeed();
    List *list = ListForm();
    list->show();
    list->Grid->SetRows(1);
    ListShown = vb::True;
}

} // namespace slm
