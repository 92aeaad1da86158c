#include "FileTransferForms.h"

#include "slm/core/FileTransfer.h"
#include "Panel.h"
#include "slm/core/SlmFile.h"
#include "platform/vb/Controls.h"
#include "platform/vb/Interaction.h"
#include "platform/vb/Printer.h"

namespace slm {

namespace {
const char *const slmFilter = "All Files (*.slm)|*.slm|All Files (*.*)|*.*|";

// A cell padded with blanks to its print width; a longer one cannot be printed.
QString padded(const QString &cell, int width) {
    if (cell.size() > width) throw vb::RuntimeError(5, "Invalid procedure call or argument");
    return cell.leftJustified(width, QLatin1Char(' '));
}
} // namespace

void SetLivePoll(bool on) {
    if (PanelForm) PanelForm->Timer1.SetEnabled(on);
}

void SetSampling(bool on) {
    if (PanelForm) PanelForm->Timer2.SetEnabled(on);
}

CaptionProgress::CaptionProgress(QWidget *form, QString suffix) : form_(form), suffix_(std::move(suffix)) {
    clock_.start();
}

bool CaptionProgress::Step(std::int64_t n) {
    if (form_.isNull()) return false;
    if (!first_ && clock_.elapsed() < 30) return true;
    first_ = false;
    clock_.restart();
    form_->setWindowTitle(QString::number(n) + suffix_);
    vb::DoEvents();
    return !form_.isNull();
}

void ShowSaveDialog(vb::CommonDialog &Cmd) {
    Cmd.FilterIndex = 0;
    Cmd.Filter = slmFilter;
    Cmd.Flags = vb::cdlOFNOverwritePrompt;
    Cmd.CancelError = true;
    try {
        Cmd.ShowSave();
    } catch (const vb::RuntimeError &) {
        FileChosen = vb::False;
        return;
    }
    FileName = Cmd.FileName;
    FileChosen = Cmd.FileTitle.isEmpty() ? vb::False : vb::True;
}

std::optional<QStringList> GridRow(const vb::MSFlexGrid &grid, int r) {
    if (r >= grid.Rows()) return std::nullopt;
    QStringList cells;
    for (int c = 0; c < grid.Cols(); ++c) cells << grid.TextMatrix(r, c);
    return cells;
}

void SaveGridToFile(QWidget &form, vb::MSFlexGrid &grid, const ListTexts &texts) {
    vb::SetMousePointer(vb::vbHourglass);
    const QString caption = form.windowTitle();
    try {
        SaveGridFile(
            FileName,
            [&](int r) {
                if (r < grid.Rows()) {
                    grid.SetRow(r);
                    form.setWindowTitle(QString::number(r) + "Records Completed");
                }
                return GridRow(grid, r);
            },
            SlmTrailerLines(texts.Ln, texts.Max, texts.Min));
        form.setWindowTitle(caption);
        FileChosen = vb::False;
    } catch (const vb::RuntimeError &e) {
        form.setWindowTitle(caption);
        vb::SetMousePointer(vb::vbDefault);
        vb::MsgBox(e.Description() + "\r\n" + FileName + "\r\nThe list was not saved.", vb::vbCritical);
        return;
    }
    vb::SetMousePointer(vb::vbDefault);
}

void PrintGrid(QWidget &form, vb::MSFlexGrid &grid, vb::CommonDialog &Cmd, const ListTexts &texts) {
    vb::SetMousePointer(vb::vbHourglass);
    SetLivePoll(false);
    // The window may close inside the dialog or the events of the loop.
    QPointer<QWidget> window(&form);
    QPointer<vb::MSFlexGrid> rows(&grid);
    const QString caption = form.windowTitle();
    vb::PrinterObject &printer = vb::Printer();
    const auto restore = [&] {
        vb::SetMousePointer(vb::vbDefault);
        if (window) window->setWindowTitle(caption);
        SetLivePoll(true);
    };
    const auto alive = [&] {
        if (!window || !rows) throw vb::RuntimeError(91, "Object variable or With block variable not set");
    };
    try {
        Cmd.CancelError = true;
        Cmd.ShowPrinter();
        for (int i = 0; i < 5; ++i) printer.Print();
        const int widths[3] = {7, 21, 15};
        for (int r = 0; (alive(), r < rows->Rows()); ++r) {
            QString line;
            for (int c = 0; c < 3 && c < rows->Cols(); ++c) line += padded(rows->TextMatrix(r, c), widths[c]);
            window->setWindowTitle(QString::number(r) + " record(s) completed");
            vb::DoEvents();
            printer.Print("     " + line);
        }
        printer.Print("     " + texts.Ln);
        printer.Print("     " + texts.Max);
        printer.Print("     " + texts.Min);
        printer.EndDoc();
    } catch (const vb::RuntimeError &e) {
        printer.KillDoc();
        restore();
        if (e.Number() != vb::cdlCancel) vb::MsgBox(e.Description() + "\r\nThe list was not printed.", vb::vbCritical);
        return;
    }
    restore();
}

} // namespace slm
