#pragma once
// Ln: the table of the percentile levels, below the live list. Nothing in the program
// fills it: it holds its heading row " 0" ... " 9", which it saves and prints.

#include "platform/vb/CommonDialog.h"
#include "platform/vb/FlexGrid.h"

#include <QToolBar>
#include <QWidget>

namespace slm {

class Ln : public QWidget {
public:
    Ln();
    ~Ln() override;

    vb::MSFlexGrid *Grid = nullptr;
    QToolBar *Toolbar1 = nullptr;
    vb::CommonDialog Cmd;

    void Form_Load();
    void Toolbar1_ButtonClick(const QString &key);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void save();
    void print();
};

// The program's Ln window: loaded (not shown) on first use, gone once unloaded.
Ln *LnForm();
bool LnVisible();
void UnloadLn();

} // namespace slm
