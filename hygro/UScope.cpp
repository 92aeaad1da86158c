#include "hygro/UScope.h"

#include "hygro/UDataLogger.h"

#include <QCloseEvent>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace hygro {

TfrmScope *frmScope = nullptr;

TfrmScope::TfrmScope() {
    frmScope = this;
    setWindowTitle(QStringLiteral("Print Range"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(337, 134);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(8, 4, 321, 78);
    radAll = new QRadioButton(QStringLiteral("&All"), GroupBox1);
    radAll->setGeometry(12, 10, 120, 22);
    radAll->setChecked(true);
    radNo = new QRadioButton(QStringLiteral("&Select"), GroupBox1);
    radNo->setGeometry(12, 42, 80, 22);
    Label1 = new QLabel(QStringLiteral("&from"), GroupBox1);
    Label1->setGeometry(96, 44, 34, 18);
    edtSelFrom = new QLineEdit(GroupBox1);
    edtSelFrom->setGeometry(132, 42, 70, 22);
    Label1->setBuddy(edtSelFrom);
    Label2 = new QLabel(QStringLiteral("&to"), GroupBox1);
    Label2->setGeometry(212, 44, 24, 18);
    edtSelTo = new QLineEdit(GroupBox1);
    edtSelTo->setGeometry(238, 42, 70, 22);
    Label2->setBuddy(edtSelTo);

    Progress1 = new QProgressBar(this);
    Progress1->setGeometry(16, 44, 305, 18);
    Progress1->setRange(0, 100);
    SText1 = new QLabel(QStringLiteral("bytes received"), this);
    SText1->setGeometry(16, 16, 200, 18);
    SText2 = new QLabel(QStringLiteral("total bytes"), this);
    SText2->setGeometry(16, 70, 90, 18);
    lblBytesReceived = new QLabel(this);
    lblBytesReceived->setGeometry(220, 16, 100, 18);
    lblTotalBytes = new QLabel(this);
    lblTotalBytes->setGeometry(110, 70, 100, 18);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setGeometry(80, 96, 80, 28);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setGeometry(180, 96, 80, 28);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        ModalResult = forms::mrOk;
        done(forms::mrOk);
    });
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        ModalResult = forms::mrCancel;
        done(forms::mrCancel);
    });

    for (QWidget *w : std::initializer_list<QWidget *>{GroupBox1, Progress1, SText1, SText2, lblBytesReceived,
                                                       lblTotalBytes, BitBtn1, BitBtn2})
        w->hide();
}

TfrmScope::~TfrmScope() {
    if (frmScope == this) frmScope = nullptr;
}

forms::TModalResult TfrmScope::ShowModal() {
    ModalResult = forms::mrNone;
    setModal(true);
    exec();
    return ModalResult == forms::mrNone ? forms::mrCancel : ModalResult;
}

void TfrmScope::Show() {
    setModal(false);
    show();
    raise();
}

void TfrmScope::reject() {
    if (DownloadBusy) return;
    // Escape or the close box: Cancel.
    ModalResult = forms::mrCancel;
    QDialog::reject();
}

void TfrmScope::closeEvent(QCloseEvent *event) {
    if (DownloadBusy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace hygro
