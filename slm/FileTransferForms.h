#pragma once
// The routines of the code module FileTransfer that work on windows: the save dialog,
// the grid writer and the grid printout of the list windows, and the progress that
// long loops show in a window's caption.

#include "platform/vb/CommonDialog.h"
#include "platform/vb/FlexGrid.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace slm {

// The save-as dialog for record files: FileName takes the chosen path, FileChosen says
// whether one was chosen (a cancel leaves FileName and clears FileChosen).
void ShowSaveDialog(vb::CommonDialog &Cmd);

// The settings, maximum and minimum texts that a list window keeps beside its grid.
struct ListTexts {
    QString Ln, Max, Min;
};

// Writes every row of the grid (each cell followed by a TAB) and the three texts as
// "*", "**" and "***" lines to FileName, on a handle of its own; the caption counts the
// rows. A file that cannot be written is said in a message box.
void SaveGridToFile(QWidget &form, vb::MSFlexGrid &grid, const ListTexts &texts);

// The cells of row r of a grid; nothing past its last row.
std::optional<QStringList> GridRow(const vb::MSFlexGrid &grid, int r);

// Prints a three-column record grid and the three texts, the live poll stopped meanwhile.
void PrintGrid(QWidget &form, vb::MSFlexGrid &grid, vb::CommonDialog &Cmd, const ListTexts &texts);

// A long loop's progress as the caption of its window ("57 Records Completed"), with
// the window events run between steps. Caption and events are served about every
// 30 ms rather than at every step, so that a loop over hundreds of thousands of lines
// spends its time on the lines; the caption then shows the step reached.
class CaptionProgress {
public:
    CaptionProgress(QWidget *form, QString suffix);
    // False once the window has gone (closed inside the events).
    bool Step(std::int64_t n);
    bool Alive() const { return !form_.isNull(); }

private:
    QPointer<QWidget> form_;
    QString suffix_;
    QElapsedTimer clock_;
    bool first_ = true;
};

// The main window's live poll, switched off for a print and on again after it.
void SetLivePoll(bool on);
void SetSampling(bool on);

} // namespace slm
