#include "Port.h"

#include "Panel.h"
#include "slm/core/Rs232.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>

namespace slm {

Port::Port() {
    setWindowTitle("COM Port");
    setAttribute(Qt::WA_DeleteOnClose);
    auto *g = new QGridLayout(this);
    auto *prompt = new QLabel("Select the COM port of the meter:", this);
    TxtCOM = new QComboBox(this);
    TxtCOM->setEditable(true);
    TxtCOM->setInsertPolicy(QComboBox::NoInsert);
    // The text is taken as typed: an editable combo box would complete "com1" to "COM1"
    // without regard to case, and on Enter pick the list entry that matches it so.
    TxtCOM->setCompleter(nullptr);
    TxtCOM->lineEdit()->installEventFilter(this);
    CmdOK = new QPushButton("OK", this);
    CmdOK->setDefault(true);
    Port1 = new QPushButton("COM1", this);
    Port2 = new QPushButton("COM2", this);
    g->addWidget(prompt, 0, 0, 1, 3);
    g->addWidget(TxtCOM, 1, 0, 1, 2);
    g->addWidget(CmdOK, 1, 2);
    g->addWidget(Port1, 2, 0);
    g->addWidget(Port2, 2, 1);
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(Port1, &QPushButton::clicked, this, [this] { Port1_Click(); });
    connect(Port2, &QPushButton::clicked, this, [this] { Port2_Click(); });
    Form_Load();
}

// Enter in the box presses OK, the default button the window draws; the combo box
// would take the key for itself.
bool Port::eventFilter(QObject *watched, QEvent *event) {
    if (watched == TxtCOM->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            CmdOK->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Port::Form_Load() {
    vb::MoveForm(this, vb::TwipsToPixelsX(3700), vb::TwipsToPixelsY(2700));
    for (int i = 1; i <= 16; ++i) TxtCOM->addItem("COM" + QString::number(i));
    TxtCOM->setCurrentIndex(0);
    TxtCOM->setEditText("COM1");
}

void Port::CmdOK_Click() {
    const QString text = TxtCOM->currentText();
    if (text == "Auto") PortNumber = 1;
    for (int i = 1; i <= 8; ++i)
        if (text == "COM" + QString::number(i)) PortNumber = std::int16_t(i);
    showPanel();
}

void Port::Port1_Click() {
    PortNumber = 1;
    showPanel();
}

void Port::Port2_Click() {
    PortNumber = 2;
    showPanel();
}

void Port::showPanel() {
    if (!PanelForm) {
        PanelForm = new Panel;
        PanelForm->Form_Load();
    }
    if (!vb::Ended()) PanelForm->show();
    close();
}

} // namespace slm
