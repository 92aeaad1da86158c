#pragma once
// List: the live list that the sampling tick fills, beside the main window. Its toolbar
// saves the list as a record file and prints it.

#include "FileTransferForms.h"
#include "platform/vb/CommonDialog.h"
#include "platform/vb/FlexGrid.h"

#include <QLineEdit>
#include <QToolBar>
#include <QWidget>

namespace slm {

class List : public QWidget {
public:
    List();
    ~List() override;

    QToolBar *Toolbar1 = nullptr;
    vb::MSFlexGrid *Grid = nullptr;
    // Kept current by the sampling tick; not shown.
    QLineEdit *TxtLn = nullptr, *TxtMax = nullptr, *TxtMin = nullptr;
    vb::CommonDialog Cmd;

    void Form_Load();
    void Form_Unload();
    void Toolbar1_ButtonClick(const QString &key);

    ListTexts Texts() const;

protected:
    void closeEvent(QCloseEvent *event) override;
};

// The program's List window, as the runtime's default instance: loaded (not shown) on
// first use, gone once unloaded.
List *ListForm();
bool ListLoaded();
bool ListVisible();
// Unload List: its Form_Unload runs, then the window goes.
void UnloadList();

// Width in twips of a sample text in a window's font, for the column widths.
int SampleWidth(const QWidget *form, const QString &sample);
// Places a window right beside the main window, at the main window's top.
void PlaceBesidePanel(QWidget *form);

} // namespace slm
