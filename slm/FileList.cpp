#include "FileList.h"

#include "slm/core/FileTransfer.h"
#include "List.h"
#include "ListPlot.h"
#include "slm/core/SlmFile.h"
#include "ToolbarIcons.h"
#include "platform/vb/Controls.h"
#include "platform/vb/Interaction.h"
#include "platform/vb/Printer.h"
#include "platform/forms/RegularFile.h"

#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>

namespace slm {

// ---- RecordGrids ----------------------------------------------------------------------

RecordGrids::RecordGrids(const QString &caption) {
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    Toolbar1 = new QToolBar(this);
    Toolbar1->setIconSize(QSize(24, 24));
    layout_->addWidget(Toolbar1);
    auto *row = new QHBoxLayout;
    row->setSpacing(0);
    for (size_t i = 0; i < grids_.size(); ++i) {
        auto *g = new vb::MSFlexGrid(this);
        g->SetCols(1);
        g->SetFixedCols(0);
        g->SetRows(1);
        g->SetScrollBars(i == 2 ? vb::flexScrollBarVertical : vb::flexScrollBarNone);
        g->OnScroll = [this, i] { GridN_Scroll(int(i)); };
        grids_[i] = g;
        row->addWidget(g, i == 2 ? 1 : 0);
    }
    layout_->addLayout(row, 1);
    TxtLn = new QLineEdit(this);
    TxtMax = new QLineEdit(this);
    TxtMin = new QLineEdit(this);
    for (QLineEdit *t : {TxtLn, TxtMax, TxtMin}) t->hide();
}

RecordGrids::~RecordGrids() {
    // The grids outlive this part of the window while it is taken down.
    for (vb::MSFlexGrid *g : grids_) g->OnScroll = nullptr;
}

void RecordGrids::addButton(const QString &key, const QString &tip) {
    QAction *a = Toolbar1->addAction(ToolbarIcon(key), key);
    a->setToolTip(tip);
    connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
}

void RecordGrids::Form_Load() {
    PlaceBesidePanel(this);
    const char *samples[3] = {" 000000 ", "AAAA/AA/AAAA:AA:AA", "AAAAAA"};
    const char *captions[3] = {"No.s", "Date Time", "SPL"};
    int width = 0;
    for (int i = 0; i < 3; ++i) {
        vb::MSFlexGrid *g = GridN(i);
        g->SetColWidth(0, SampleWidth(this, samples[i]));
        g->SetTextMatrix(0, 0, captions[i]);
        int w = vb::TwipsToPixelsX(g->ColWidth(0)) + 2 * g->frameWidth();
        if (i < 2)
            g->setFixedWidth(w);
        else
            w += g->verticalScrollBar()->sizeHint().width();
        width += w;
    }
    const int rows = 16;
    resize(width, Toolbar1->sizeHint().height() + GridN(2)->horizontalHeader()->height() +
                      rows * GridN(2)->verticalHeader()->defaultSectionSize() + 2 * GridN(2)->frameWidth());
}

void RecordGrids::GridN_Scroll(int) {
    const int top = GridN(2)->TopRow();
    for (int i = 0; i < 2; ++i) {
        vb::MSFlexGrid *g = GridN(i);
        g->SetScrollBars(vb::flexScrollBarVertical);
        g->SetTopRow(std::min(top, g->Rows() - 1));
        g->SetScrollBars(vb::flexScrollBarNone);
    }
}

void RecordGrids::ClearRows() {
    for (int i = 0; i < 3; ++i) GridN(i)->SetRows(1);
}

ListTexts RecordGrids::Texts() const { return {TxtLn->text(), TxtMax->text(), TxtMin->text()}; }

// ---- FileList -------------------------------------------------------------------------

namespace {
FileList *instance = nullptr;
}

FileList *FileListForm() {
    if (!instance) instance = new FileList;
    return instance;
}
bool FileListLoaded() { return instance != nullptr; }
bool FileListVisible() { return instance && instance->isVisible(); }
void UnloadFileList() {
    if (instance) instance->close();
}

FileList::FileList() : RecordGrids("File List") {
    addButton("Plot", "Plot");
    addButton("Print", "Print");
    Form_Load();
}

FileList::~FileList() {
    if (instance == this) instance = nullptr;
}

void FileList::Form_Unload() {
    if (ListPlotVisible()) UnloadListPlot();
    if (instance == this) instance = nullptr;
}

void FileList::closeEvent(QCloseEvent *event) {
    Form_Unload();
    event->accept();
}

void FileList::Toolbar1_ButtonClick(const QString &key) {
    if (key == "Plot")
        plot();
    else if (key == "Print")
        print();
}

bool FileList::ReadFile(const QString &path, std::int64_t maxRecords) {
    // Read through a buffer, not mapped: the file may be cut short while events run
    // between its lines, and a mapping then faults.
    QFile file;
    QString error;
    if (forms::OpenRegularFile(file, path, &error) != forms::FileOpen::Opened) {
        vb::MsgBox(error, vb::vbCritical);
        return false;
    }

    setWindowTitle(path);
    ClearRows();
    show();
    QPointer<FileList> self(this);
    CaptionProgress progress(this, " Records Completed");
    SlmItemReader reader(file);
    std::int64_t count = 0;
    while (!reader.AtEnd()) {
        const QString text = reader.Next();
        if (count++ > 0) {
            const SlmItem item = ParseSlmItem(text, reader.Cut());
            switch (item.kind) {
                case SlmItem::Record:
                    if (RecordCount() >= maxRecords) {
                        if (self) setWindowTitle(QString::number(count - 1) + " Records Completed");
                        vb::MsgBox(QStringLiteral("%1 holds more than %2 records; the first %2 are shown.")
                                       .arg(path)
                                       .arg(maxRecords),
                                   vb::vbExclamation);
                        return true;
                    }
                    GridN(0)->AddItem(item.Number);
                    GridN(1)->AddItem(item.Stamp);
                    GridN(2)->AddItem(item.Level);
                    break;
                case SlmItem::Settings: TxtLn->setText(item.Text); break;
                case SlmItem::Maximum: TxtMax->setText(item.Text); break;
                case SlmItem::Minimum: TxtMin->setText(item.Text); break;
                case SlmItem::TooLong:
                    if (self) setWindowTitle(QString::number(count - 1) + " Records Completed");
                    vb::MsgBox(QStringLiteral("Line %1 of %2 is longer than %3 characters; the reading ends before it.")
                                   .arg(count)
                                   .arg(path)
                                   .arg(SlmItemReader::MaxItemLength),
                               vb::vbCritical);
                    return true;
                case SlmItem::Broken:
                    // The reading ends here; the caption keeps its last progress.
                    if (self) setWindowTitle(QString::number(count - 1) + " Records Completed");
                    return true;
                case SlmItem::Other: break;
            }
        }
        // Closing the window ends the reading.
        if (!progress.Step(count)) return true;
    }
    // A read that failed ends as a broken line does.
    if (reader.Failed()) {
        setWindowTitle(QString::number(count) + " Records Completed");
        return true;
    }
    setWindowTitle(path);
    return true;
}

void FileList::plot() {
    const QString ln = TxtLn->text();
    PlotTop = vb::Val(vb::Mid(ln, vb::InStr(1, ln, "-") + 1));
    PlotHigh = PlotTop;
    PlotBottom = PlotTop - 60;
    PlotLow = PlotBottom;
    PlotCount = GridN(0)->Rows() - 1;
    PlotSpan = PlotCount;
    PlotFirst = 1;
    PlotLast = PlotCount;
    // An open plot starts afresh with these limits, its fields and picture with them.
    if (ListPlotLoaded()) UnloadListPlot();
    ListPlotForm()->show();
}

void FileList::print() {
    QString answer = vb::InputBox("Input record(s) to print in one row (1-5)", QString(), "1");
    for (;;) {
        if (answer.isEmpty()) return;
        const double v = vb::Val(answer);
        if (v >= 1 && v <= 5) break;
        answer = vb::InputBox("Input record(s) to print in one row (1-5)", QString(), "1");
    }
    PrintFileList(*this, int(vb::Val(answer)));
}

void PrintFileList(FileList &form, int k) {
    vb::SetMousePointer(vb::vbHourglass);
    SetLivePoll(false);
    QPointer<FileList> window(&form);
    const QString caption = form.windowTitle();
    vb::PrinterObject &printer = vb::Printer();
    try {
        printer.FontName = "Lucida Console";
        printer.FontSize = 8;
        for (int i = 0; i < 5; ++i) printer.Print();
        printer.Print("-" + QString(30, ' ') + "     Date      Time      (dB)");
        printer.Print("-" + QString(24, ' ') + QString(28, '-'));
        const int last = form.RecordCount();
        for (int i = 1; i <= last; i += k) {
            if (!window) throw vb::RuntimeError(91, "Object variable or With block variable not set");
            QString line =
                form.GridN(0)->TextMatrix(i, 0).rightJustified(31) + form.GridN(1)->TextMatrix(i, 0).rightJustified(21);
            for (int j = i; j < i + k && j <= last; ++j) line += form.GridN(2)->TextMatrix(j, 0).rightJustified(8);
            form.setWindowTitle(QString::number(i) + " Completed");
            printer.Print(line);
            vb::DoEvents();
        }
        if (!window) throw vb::RuntimeError(91, "Object variable or With block variable not set");
        printer.Print();
        printer.Print();
        const ListTexts texts = form.Texts();
        printer.Print(QString(29, ' ') + texts.Ln);
        printer.Print(QString(29, ' ') + texts.Max);
        printer.Print(QString(29, ' ') + texts.Min);
        printer.FontName = "Lucida Console";
        printer.FontSize = 8;
        printer.EndDoc();
    } catch (const vb::RuntimeError &e) {
        printer.KillDoc();
        vb::SetMousePointer(vb::vbDefault);
        if (window) window->setWindowTitle(caption);
        SetLivePoll(true);
        vb::MsgBox(e.Description() + "\r\nThe file list was not printed.", vb::vbCritical);
        return;
    }
    vb::SetMousePointer(vb::vbDefault);
    if (window) window->setWindowTitle(caption);
    SetLivePoll(true);
}

} // namespace slm
