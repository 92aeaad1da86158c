#pragma once
// LnGraph: the chart window of the percentile levels. Nothing in the program fills it:
// it shows an empty chart, percent over dB, and prints itself.

#include "platform/vb/CommonDialog.h"

#include <QToolBar>
#include <QWidget>

class SciGraph;

namespace slm {

class LnGraph : public QWidget {
public:
    LnGraph();
    ~LnGraph() override;

    SciGraph *Chart = nullptr;
    QToolBar *Toolbar1 = nullptr;
    vb::CommonDialog Cmd;

    void Form_Load();
    void Toolbar1_ButtonClick();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildForm();
};

extern LnGraph *LnGraphForm;
LnGraph *LoadLnGraph();
bool LnGraphVisible();
void UnloadLnGraph();

} // namespace slm
