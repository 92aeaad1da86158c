#pragma once
// SamplingChoice: the small modal window of the Sampling key that chooses between the
// meter's sampling time and the PC's.

#include <QDialog>
#include <QPushButton>
#include <QRadioButton>

namespace slm {

class SamplingChoice : public QDialog {
public:
    explicit SamplingChoice(QWidget *parent = nullptr);

    QRadioButton *OptMeter = nullptr, *OptPC = nullptr;
    QPushButton *CmdOK = nullptr;

    void Form_Load();
    void CmdOK_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPoint place_;
};

} // namespace slm
