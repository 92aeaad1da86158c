#pragma once
// Memory: the data-logger window "Data Logger". Panel's Memory key downloads the meter's
// memory, splits it into the stored sets (DataSets) and lists them in GridSet; a click
// on a set decodes it into the DataList window.

#include "platform/vb/FlexGrid.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace slm {

class Panel;

class Memory : public QWidget {
public:
    explicit Memory(Panel *panel);

    vb::MSFlexGrid *GridSet = nullptr;
    vb::MSFlexGrid *Grid = nullptr; // no function
    QLabel *LblSize = nullptr, *LblRemain = nullptr, *LblMessage = nullptr;
    QPushButton *CmdCompare = nullptr; // no function

    void Form_Load();
    void Form_Unload();
    void GridSet_Click();

    // The window has been closed (unloaded); a download or decode still running on it
    // ends at its next wait.
    bool Unloaded() const { return unloaded_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void decodeSet();

    QPointer<Panel> panel_;
    bool unloaded_ = false;
    int busy_ = 0; // handlers of this window on the stack
    bool deleteWhenIdle_ = false;
};

// The window of the last download; null once it is gone.
extern QPointer<Memory> MemoryForm;

// Panel's Memory key: the size and pointer queries, the download of the memory image
// into a new Memory window and its splitting into DataSets. Refused while MemoryOpen.
void MemoryKey(Panel &panel);

} // namespace slm
