#include "List.h"

#include "slm/core/FileTransfer.h"
#include "Panel.h"
#include "ToolbarIcons.h"
#include "platform/vb/Controls.h"
#include "platform/vb/Runtime.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPointer>
#include <QVBoxLayout>

namespace slm {

namespace {
List *instance = nullptr;
}

List *ListForm() {
    if (!instance) instance = new List;
    return instance;
}

bool ListLoaded() { return instance != nullptr; }
bool ListVisible() { return instance && instance->isVisible(); }

void UnloadList() {
    if (instance) instance->close();
}

int SampleWidth(const QWidget *form, const QString &sample) {
    return vb::PixelsToTwipsX(form->fontMetrics().horizontalAdvance(sample));
}

void PlaceBesidePanel(QWidget *form) {
    if (!PanelForm) return;
    const QRect frame = PanelForm->frameGeometry();
    vb::MoveForm(form, frame.x() + frame.width(), frame.y());
}

List::List() {
    setWindowTitle("List");
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Toolbar1 = new QToolBar(this);
    Toolbar1->setIconSize(QSize(24, 24));
    for (const char *key : {"Save", "Print"}) {
        QAction *a = Toolbar1->addAction(ToolbarIcon(key), key);
        a->setToolTip(QString(key) == "Save" ? "Save As" : "Print");
        connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }
    Grid = new vb::MSFlexGrid(this);
    Grid->SetCols(3);
    Grid->SetFixedCols(0);
    Grid->SetRows(1);
    TxtLn = new QLineEdit(this);
    TxtMax = new QLineEdit(this);
    TxtMin = new QLineEdit(this);
    for (QLineEdit *t : {TxtLn, TxtMax, TxtMin}) t->hide();
    layout->addWidget(Toolbar1);
    layout->addWidget(Grid, 1);
    Form_Load();
}

List::~List() {
    if (instance == this) instance = nullptr;
}

void List::Form_Load() {
    PlaceBesidePanel(this);
    Grid->SetColWidth(0, SampleWidth(this, "AAAAAAA"));
    Grid->SetColWidth(1, SampleWidth(this, "AAAA/AA/AAAA:AA:AA"));
    Grid->SetColWidth(2, SampleWidth(this, "AAAAAA"));
    Grid->SetTextMatrix(0, 0, "No.s");
    Grid->SetTextMatrix(0, 1, "Date Time");
    Grid->SetTextMatrix(0, 2, "SPL");
    // Room for the caption row and eleven records: beyond row 11 the sampling tick
    // scrolls one row a sample, which keeps the newest row in view.
    const int rowHeight = Grid->verticalHeader()->defaultSectionSize();
    int width = 2 * Grid->frameWidth() + 18;
    for (int c = 0; c < 3; ++c) width += vb::TwipsToPixelsX(Grid->ColWidth(c));
    Grid->setMinimumSize(width, 2 * Grid->frameWidth() + Grid->horizontalHeader()->height() + 11 * rowHeight);
    resize(width, Toolbar1->sizeHint().height() + Grid->minimumHeight());
}

void List::Form_Unload() {
    ListShown = vb::False;
    if (instance == this) instance = nullptr;
}

void List::closeEvent(QCloseEvent *event) {
    Form_Unload();
    event->accept();
}

ListTexts List::Texts() const { return {TxtLn->text(), TxtMax->text(), TxtMin->text()}; }

void List::Toolbar1_ButtonClick(const QString &key) {
    if (key == "Save") {
        vb::SetMousePointer(vb::vbHourglass);
        QPointer<List> self(this);
        ShowSaveDialog(Cmd);
        // The sampling tick may have closed the list while the dialog was open.
        if (self && FileChosen) SaveGridToFile(*this, *Grid, Texts());
        vb::SetMousePointer(vb::vbDefault);
    } else if (key == "Print") {
        PrintGrid(*this, *Grid, Cmd, Texts());
    }
}

} // namespace slm
