#pragma once
// FileList: a record file opened with the main window's Open key, as three one-column
// grids side by side (number, time stamp, level) with the file's settings, maximum and
// minimum texts. Its toolbar plots the records and prints them.
//
// RecordGrids is the implementation that FileList and DataList share.

#include "FileTransferForms.h"
#include "slm/core/SlmFile.h"
#include "platform/vb/CommonDialog.h"
#include "platform/vb/FlexGrid.h"

#include <QLineEdit>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

#include <array>

namespace slm {

class RecordGrids : public QWidget {
public:
    explicit RecordGrids(const QString &caption);
    ~RecordGrids() override;

    QToolBar *Toolbar1 = nullptr;
    // GridN(0) record numbers, GridN(1) time stamps, GridN(2) levels; row 0 is the
    // caption row. GridN(2) has the scroll bar and leads the other two.
    vb::MSFlexGrid *GridN(int index) const { return grids_.at(size_t(index)); }
    QLineEdit *TxtLn = nullptr, *TxtMax = nullptr, *TxtMin = nullptr;
    vb::CommonDialog Cmd;

    void Form_Load();
    void GridN_Scroll(int index);
    virtual void Toolbar1_ButtonClick(const QString &key) = 0;

    // Each grid back to its caption row.
    void ClearRows();
    // Records in the grids.
    int RecordCount() const { return GridN(0)->Rows() - 1; }
    ListTexts Texts() const;

protected:
    void addButton(const QString &key, const QString &tip);
    QVBoxLayout *layout_ = nullptr;

private:
    std::array<vb::MSFlexGrid *, 3> grids_{};
};

class FileList : public RecordGrids {
public:
    FileList();
    ~FileList() override;

    void Form_Unload();
    void Toolbar1_ButtonClick(const QString &key) override;

    // Shows the window and reads a record file into the grids and texts by the Open
    // key's rules, its progress in the caption; false when the file cannot be opened
    // (said in a message; the window is not shown then). The reading ends with a
    // message at a line too long to hold and past `maxRecords` records.
    bool ReadFile(const QString &path, std::int64_t maxRecords = MaxOpenRecords);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void plot();
    void print();
};

FileList *FileListForm();
bool FileListLoaded();
bool FileListVisible();
void UnloadFileList();

// The FileList printout: k records to a line.
void PrintFileList(FileList &form, int k);

} // namespace slm
