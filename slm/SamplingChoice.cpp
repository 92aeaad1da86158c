#include "SamplingChoice.h"

#include "slm/core/FileTransfer.h"
#include "Panel.h"
#include "platform/forms/Graphics.h"
#include "platform/vb/Runtime.h"

#include <QVBoxLayout>

namespace slm {

SamplingChoice::SamplingChoice(QWidget *parent) : QDialog(parent) {
    setWindowTitle("Sampling Rate");
    setModal(true);
    forms::InstallFontSubstitutions();
    setFont(QFont("Times New Roman", 10));
    auto *layout = new QVBoxLayout(this);
    OptMeter = new QRadioButton("Meter Sampling Rate", this);
    OptPC = new QRadioButton("PC Sampling Rate", this);
    CmdOK = new QPushButton("OK", this);
    CmdOK->setDefault(true);
    OptMeter->setChecked(true);
    layout->addWidget(OptMeter);
    layout->addWidget(OptPC);
    layout->addWidget(CmdOK, 0, Qt::AlignHCenter);
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    adjustSize();
    Form_Load();
}

void SamplingChoice::Form_Load() {
    // Its top-left corner at half the main window's width and height, on the screen.
    if (PanelForm) {
        const QRect panel = PanelForm->frameGeometry();
        place_ = QPoint(panel.width() / 2, panel.height() / 2);
        vb::MoveForm(this, place_.x(), place_.y());
        // Placed: a dialog would otherwise centre itself over its parent when shown.
        setAttribute(Qt::WA_Moved);
    }
}

void SamplingChoice::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // Shown at once by exec(), before the window system took the place given at load.
    if (!place_.isNull()) vb::MoveForm(this, place_.x(), place_.y());
}

void SamplingChoice::CmdOK_Click() {
    UsePcSampling = OptPC->isChecked() ? vb::True : vb::False;
    accept();
}

} // namespace slm
