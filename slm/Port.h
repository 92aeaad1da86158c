#pragma once
// Port: the start-up window. It stores the chosen COM port number and opens Panel.

#include <QComboBox>
#include <QPushButton>
#include <QWidget>

namespace slm {

class Port : public QWidget {
public:
    Port();

    QComboBox *TxtCOM = nullptr;
    QPushButton *CmdOK = nullptr, *Port1 = nullptr, *Port2 = nullptr;

    void Form_Load();
    void CmdOK_Click();
    void Port1_Click();
    void Port2_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showPanel();
};

} // namespace slm
