#pragma once
// Unit UScope: the small dialog that serves as row-range question, progress window
// and scale dialog. Its users show the parts they need.

#include "platform/forms/Dialogs.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace hygro {

class TfrmScope : public QDialog {
public:
    TfrmScope();
    ~TfrmScope() override;

    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *radAll = nullptr, *radNo = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr;
    QLineEdit *edtSelFrom = nullptr, *edtSelTo = nullptr;
    QPushButton *BitBtn1 = nullptr, *BitBtn2 = nullptr;
    QProgressBar *Progress1 = nullptr;
    QLabel *SText1 = nullptr, *SText2 = nullptr, *lblBytesReceived = nullptr, *lblTotalBytes = nullptr;

    forms::TModalResult ModalResult = forms::mrNone;

    // Modal: returns the modal result (mrOk, mrCancel).
    forms::TModalResult ShowModal();
    // Modeless: the caller's loop watches ModalResult.
    void Show();

protected:
    // Refused while a download runs (DownloadBusy).
    void reject() override;
    void closeEvent(QCloseEvent *event) override;
};

// The dialog of the command running now (each use makes a fresh one); null when none.
extern TfrmScope *frmScope;

} // namespace hygro
