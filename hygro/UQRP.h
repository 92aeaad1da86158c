#pragma once
// Unit UQRP: the report form, created at start-up; nothing shows it.

#include <QWidget>

namespace hygro {

class TfrmQRP : public QWidget {
public:
    TfrmQRP();
};

extern TfrmQRP *frmQRP;

} // namespace hygro
