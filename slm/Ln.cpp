#include "Ln.h"

#include "slm/core/FileTransfer.h"
#include "FileTransferForms.h"
#include "List.h"
#include "slm/core/SlmFile.h"
#include "ToolbarIcons.h"
#include "platform/vb/Controls.h"
#include "platform/vb/Interaction.h"
#include "platform/vb/Printer.h"
#include "platform/vb/Runtime.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPointer>
#include <QVBoxLayout>

namespace slm {

namespace {

Ln *instance = nullptr;

const char *const heads[11] = {"Ln", " 0", " 1", " 2", " 3", " 4", " 5", " 6", " 7", " 8", " 9"};

// A cell in its print field of seven; a longer one cannot be printed.
QString field(const QString &cell) {
    if (cell.size() > 7) throw vb::RuntimeError(5, "Invalid procedure call or argument");
    return cell.leftJustified(7, QLatin1Char(' '));
}

} // namespace

Ln *LnForm() {
    if (!instance) instance = new Ln;
    return instance;
}

bool LnVisible() { return instance && instance->isVisible(); }

void UnloadLn() {
    if (instance) instance->close();
}

Ln::Ln() {
    instance = this;
    setWindowTitle("Ln");
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Toolbar1 = new QToolBar(this);
    Toolbar1->setIconSize(QSize(24, 24));
    for (const char *key : {"Save", "Print", "Plot"}) {
        QAction *a = Toolbar1->addAction(ToolbarIcon(key), key);
        a->setToolTip(QString(key) == "Save" ? "Save As" : key);
        connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }
    Grid = new vb::MSFlexGrid(this);
    Grid->SetRows(1);
    Grid->SetCols(11);
    Grid->SetFixedRows(1);
    Grid->SetFixedCols(1);
    layout->addWidget(Toolbar1);
    layout->addWidget(Grid, 1);
    Form_Load();
}

Ln::~Ln() {
    if (instance == this) instance = nullptr;
}

void Ln::Form_Load() {
    // Over the lowest 1500 twips of the list, at its left edge.
    const QRect list = ListForm()->frameGeometry();
    vb::MoveForm(this, list.x(), list.y() + list.height() - vb::TwipsToPixelsY(1500));
    for (int c = 0; c < 11; ++c) {
        Grid->SetTextMatrix(0, c, heads[c]);
        Grid->SetColWidth(c, SampleWidth(this, c <= 3 ? "ABC.DE" : "ABC.D"));
    }
    int width = 2 * Grid->frameWidth() + 4;
    for (int c = 0; c < 11; ++c) width += vb::TwipsToPixelsX(Grid->ColWidth(c));
    const int height = 2 * Grid->frameWidth() + Grid->horizontalHeader()->height() + 4;
    resize(width, Toolbar1->sizeHint().height() + height);
}

void Ln::closeEvent(QCloseEvent *event) {
    if (instance == this) instance = nullptr;
    event->accept();
}

void Ln::Toolbar1_ButtonClick(const QString &key) {
    if (key == "Save")
        save();
    else if (key == "Print")
        print();
    // "Plot" has no action.
}

void Ln::save() {
    ShowSaveDialog(Cmd);
    if (!FileChosen) return;
    vb::SetMousePointer(vb::vbHourglass);
    const QString caption = windowTitle();
    try {
        // A handle of its own: a recording that runs meanwhile keeps its file.
        SaveGridFile(FileName,
                     [&](int r) {
                         if (r < Grid->Rows()) setWindowTitle(QString::number(r) + "Records Completed");
                         return GridRow(*Grid, r);
                     },
                     {});
        setWindowTitle(caption);
        FileChosen = vb::False;
    } catch (const vb::RuntimeError &e) {
        setWindowTitle(caption);
        vb::SetMousePointer(vb::vbDefault);
        vb::MsgBox(e.Description() + "\r\n" + FileName + "\r\nThe table was not saved.", vb::vbCritical);
        return;
    }
    vb::SetMousePointer(vb::vbDefault);
}

void Ln::print() {
    vb::SetMousePointer(vb::vbHourglass);
    SetLivePoll(false);
    QPointer<Ln> self(this);
    vb::PrinterObject &printer = vb::Printer();
    try {
        Cmd.CancelError = true;
        Cmd.ShowPrinter();
        printer.FontName = "Lucida Console";
        printer.FontSize = 8;
        for (int i = 0; i < 5; ++i) printer.Print();
        for (int r = 0; self && r < Grid->Rows(); ++r) {
            QString line = "     ";
            for (int c = 0; c < Grid->Cols(); ++c) line += field(Grid->TextMatrix(r, c));
            printer.Print(line);
            vb::DoEvents();
        }
        // The page goes out with the last line rather than whenever the job ends.
        printer.EndDoc();
    } catch (const vb::RuntimeError &e) {
        printer.KillDoc();
        vb::SetMousePointer(vb::vbDefault);
        SetLivePoll(true);
        if (e.Number() != vb::cdlCancel) vb::MsgBox(e.Description() + "\r\nThe table was not printed.", vb::vbCritical);
        return;
    }
    vb::SetMousePointer(vb::vbDefault);
    SetLivePoll(true);
}

} // namespace slm
