#include "hygro/UAbout.h"

#include "hygro/VersionInfo.h"

#include <QLabel>
#include <QPushButton>

namespace hygro {

TfrmAbout *frmAbout = nullptr;

TfrmAbout::TfrmAbout() {
    setWindowTitle(QStringLiteral("About Corvale for Humidity Temperature Meter"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(360, 170);

    Label3 = new QLabel(QStringLiteral("Corvale for Humidity Temperature"), this);
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(16);
    title.setBold(true);
    title.setItalic(true);
    Label3->setFont(title);
    QPalette blue = Label3->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 0xFF));
    Label3->setPalette(blue);
    Label3->setGeometry(20, 16, 320, 24);
    Label3->setAlignment(Qt::AlignCenter);

    QFont plain(QStringLiteral("MS Sans Serif"));
    plain.setPixelSize(13);
    plain.setBold(true);
    Label1 = new QLabel(QStringLiteral("Version:"), this);
    Label1->setFont(plain);
    Label1->setGeometry(90, 56, 70, 20);
    Label2 = new QLabel(QStringLiteral("6.0.10.166"), this);
    Label2->setFont(plain);
    Label2->setGeometry(160, 56, 160, 20);

    Label4 = new QLabel(this);
    Label4->setFixedSize(193, 25);
    Label4->move(84, 88);
    Label4->setAlignment(Qt::AlignCenter);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setGeometry(140, 124, 80, 30);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    VersionInfo1 = std::make_unique<TVersionInfo>(nullptr);
    VersionInfo1->SetLoading(true);
    VersionInfo1->SetFileVersionLabel(Label2);
    VersionInfo1->Loaded();
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::SetProgress(const QString &text) {
    Label4->setText(text);
    Label4->repaint();
}

} // namespace hygro
