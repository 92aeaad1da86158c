#pragma once
// Unit UList: a table window. With the caption "Real Time Tabular" it is the
// real-time table that the poll loop fills; otherwise it holds a table read from a file.

#include "hygro/MdiChild.h"

namespace forms {
class TStringGrid;
}

namespace hygro {

class TfrmList : public TMdiChild {
public:
    explicit TfrmList(const QString &caption);

    forms::TStringGrid *Grid1 = nullptr;
    int Tag = 1;

    void FormShow();
    void Grid1Click();

protected:
    void FormCloseQuery(bool &CanClose) override;
    void FormClose() override;
    void FormActivate() override;
    void showEvent(QShowEvent *e) override;

private:
    bool isRealTime() const;
    bool shown_ = false;
};

// The table window most recently opened from a file.
extern QPointer<TfrmList> frmList;

} // namespace hygro
