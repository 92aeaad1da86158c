#pragma once
// The common dialog control as Palix uses it: the open, save and printer dialogs,
// through the dialogs layer (tests script their answers).

#include <QString>

namespace vb {

constexpr int cdlOFNOverwritePrompt = 0x2;
constexpr int cdlOFNFileMustExist = 0x1000;
// The error a cancelled dialog raises when CancelError is set.
constexpr int cdlCancel = 32755;

class CommonDialog {
public:
    // "Description|pattern|Description|pattern|" (a trailing "|" is allowed).
    QString Filter;
    // Counted from 1; 0 is taken as 1.
    int FilterIndex = 0;
    int Flags = 0;
    // A cancel raises RuntimeError cdlCancel "Cancel was selected." when set.
    bool CancelError = false;
    QString DialogTitle;
    QString InitDir;
    // The chosen full path and its name without the folder; a cancel leaves both.
    QString FileName;
    QString FileTitle;

    // True when a file was chosen; a cancel returns false, or raises cdlCancel when
    // CancelError is set.
    bool ShowOpen();
    bool ShowSave();
    // The printer dialog: the print job that follows goes to the printer chosen.
    bool ShowPrinter();

private:
    bool file(bool save);
    bool cancelled() const;
};

} // namespace vb
