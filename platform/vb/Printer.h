#pragma once
// The runtime's Printer object as Palix uses it, over the printer layer (PDF in tests):
// FontName, FontSize, Print a line, EndDoc, KillDoc. The job starts with
// the first output. Lines run from the top of the printable area down (a quarter of
// an inch in from the paper's edges); a line that would cross the bottom of the
// printable area starts a new page.

#include <QString>

namespace vb {

class PrinterObject {
public:
    // The printer's own font until the program sets one.
    QString FontName = QStringLiteral("Courier New");
    double FontSize = 10;

    // One line; the next one goes below it.
    void Print(const QString &line = QString());
    void NewPage();
    // Ends the job; its pages go out. Nothing happens without a job.
    void EndDoc();
    // Ends the job and throws its output away.
    void KillDoc();
    bool Printing() const;

private:
    void begin();
    int y_ = 0;
};

PrinterObject &Printer();

} // namespace vb
