#include "DataList.h"

#include "slm/core/FileTransfer.h"
#include "slm/core/SlmFile.h"
#include "platform/vb/Interaction.h"

#include <QCloseEvent>
#include <QPointer>

namespace slm {

namespace {
DataList *instance = nullptr;
}

DataList *DataListForm() {
    if (!instance) instance = new DataList;
    return instance;
}
bool DataListLoaded() { return instance != nullptr; }
bool DataListVisible() { return instance && instance->isVisible(); }
void UnloadDataList() {
    if (instance) instance->close();
}

DataList::DataList() : RecordGrids("Data List") {
    addButton("Save", "Save As");
    addButton("Print", "Print");
    LblMessage = new vb::SSPanel(" Data List", this);
    layout_->insertWidget(1, LblMessage);
    Form_Load();
    resize(width(), height() + LblMessage->sizeHint().height());
}

DataList::~DataList() {
    if (instance == this) instance = nullptr;
}

void DataList::Form_Unload() {
    if (instance == this) instance = nullptr;
}

void DataList::closeEvent(QCloseEvent *event) {
    Form_Unload();
    event->accept();
}

void DataList::Toolbar1_ButtonClick(const QString &key) {
    if (key != "Save") return; // Print does nothing
    vb::SetMousePointer(vb::vbHourglass);
    QPointer<DataList> self(this);
    ShowSaveDialog(Cmd);
    if (!self || !FileChosen) {
        vb::SetMousePointer(vb::vbDefault);
        return;
    }
    SaveToFile();
}

void DataList::SaveToFile() {
    vb::SetMousePointer(vb::vbHourglass);
    SetLivePoll(false);
    SetSampling(false);
    QPointer<DataList> self(this);
    const QString caption = windowTitle();
    const auto restore = [&] {
        if (self) setWindowTitle(caption);
        SetLivePoll(true);
        SetSampling(true);
        vb::SetMousePointer(vb::vbDefault);
    };
    try {
        CaptionProgress progress(this, "Records Completed");
        SaveGridFile(
            FileName,
            [&](int r) -> std::optional<QStringList> {
                if (r >= GridN(0)->Rows()) return std::nullopt;
                QStringList cells;
                for (int i = 0; i < 3; ++i) cells << (r < GridN(i)->Rows() ? GridN(i)->TextMatrix(r, 0) : QString());
                if (!progress.Step(r)) throw vb::RuntimeError(91, "Object variable or With block variable not set");
                return cells;
            },
            SlmTrailerLines(TxtLn->text(), TxtMax->text(), TxtMin->text()));
        setWindowTitle(caption);
    } catch (const vb::RuntimeError &e) {
        restore();
        vb::MsgBox(e.Description() + "\r\n" + FileName + "\r\nThe data set was not saved.", vb::vbCritical);
        return;
    }
    restore();
    FileChosen = vb::False;
}

} // namespace slm
