#pragma once
// Unit UAbout: the about box, also the splash window of the start-up.

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;

namespace hygro {

class TVersionInfo;

class TfrmAbout : public QDialog {
public:
    TfrmAbout();
    ~TfrmAbout() override;

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    std::unique_ptr<TVersionInfo> VersionInfo1;

    // The start-up progress line, painted at once.
    void SetProgress(const QString &text);
};

extern TfrmAbout *frmAbout;

} // namespace hygro
