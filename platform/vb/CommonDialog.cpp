#include "CommonDialog.h"

#include "Runtime.h"
#include "platform/forms/Dialogs.h"

#include <QFileInfo>

namespace vb {

bool CommonDialog::cancelled() const {
    if (CancelError) throw RuntimeError(cdlCancel, "Cancel was selected.");
    return false;
}

bool CommonDialog::file(bool save) {
    forms::TSaveDialog saveDialog;
    forms::TOpenDialog openDialog;
    forms::TOpenDialog &d = save ? saveDialog : openDialog;
    d.Filter = Filter;
    d.FilterIndex = FilterIndex < 1 ? 1 : FilterIndex;
    d.Title = DialogTitle;
    d.InitialDir = InitDir;
    d.FileName = FileName;
    d.Options = forms::ofHideReadOnly;
    if (Flags & cdlOFNOverwritePrompt) d.Options |= forms::ofOverwritePrompt;
    if (Flags & cdlOFNFileMustExist) d.Options |= forms::ofFileMustExist;
    if (!d.Execute()) return cancelled();
    FileName = d.FileName;
    FileTitle = QFileInfo(d.FileName).fileName();
    FilterIndex = d.FilterIndex;
    return true;
}

bool CommonDialog::ShowOpen() { return file(false); }
bool CommonDialog::ShowSave() { return file(true); }

bool CommonDialog::ShowPrinter() {
    forms::TPrintDialog d;
    if (!d.Execute()) return cancelled();
    return true;
}

} // namespace vb
