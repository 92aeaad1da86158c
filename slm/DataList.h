#pragma once
// DataList: one data set of the meter's memory as three one-column grids (number, time
// stamp, level), filled by the set decoder, with its settings, maximum and minimum
// texts and the title panel LblMessage. Its toolbar saves the set as a record file.

#include "FileList.h"
#include "platform/vb/Controls.h"

namespace slm {

class DataList : public RecordGrids {
public:
    DataList();
    ~DataList() override;

    // The title panel with its flood bar; captioned " Data List".
    vb::SSPanel *LblMessage = nullptr;

    void Form_Unload();
    void Toolbar1_ButtonClick(const QString &key) override;
    // The Save key after its dialog: writes the set to FileName.
    void SaveToFile();

protected:
    void closeEvent(QCloseEvent *event) override;
};

// The program's DataList window, as the runtime's default instance.
DataList *DataListForm();
bool DataListLoaded();
bool DataListVisible();
void UnloadDataList();

} // namespace slm
