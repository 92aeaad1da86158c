#include "hygro/UQRP.h"

namespace hygro {

TfrmQRP *frmQRP = nullptr;

TfrmQRP::TfrmQRP() {
    setWindowTitle(QStringLiteral("Report"));
    resize(968, 415);
}

} // namespace hygro
