#pragma once
// The one printer of the program, in the manner of the class library's Printer():
// BeginDoc, drawing on Canvas in device pixels, NewPage, EndDoc or Abort.
// GUI thread only.
//
// Output goes to a PDF file when one is set for the process (SetPrintToPdf, or the
// environment variable METER_PRINT_PDF read at first use); else to what the print
// dialog chose (a queue, or "Print to File (PDF)" and its file); else to the system's
// default printer. With none of them BeginDoc raises "There is no default printer
// currently selected". A PDF target that names a folder (ends in '/' or is an existing
// folder) gets one file per job, "job-<n>.pdf"; a file target is replaced by each job.
//
// Page geometry: the paper of the chosen printer (the queue's default, or what the
// print or set-up dialog chose; A4 for a PDF file unless chosen otherwise) at 300 dpi
// unless changed (SetPrinterResolution), the whole paper as the page: a portrait A4
// page is 2480 x 3508 pixels, US Letter 2550 x 3300.

#include "Exceptions.h"
#include "Graphics.h"

#include <QSizeF>
#include <QString>

#include <memory>

class QPrinter;

namespace forms {

// "Printing in progress", "Printer is not currently printing", "There is no default
// printer currently selected", or a failure to open the output.
class EPrinter : public Exception {
public:
    using Exception::Exception;
};

enum TPrinterOrientation { poPortrait, poLandscape };

class TPrinter {
public:
    TPrinter();
    ~TPrinter();
    TPrinter(const TPrinter &) = delete;
    TPrinter &operator=(const TPrinter &) = delete;

    void BeginDoc();
    void EndDoc();
    void NewPage();
    // Ends the job and throws its output away.
    void Abort();

    bool Printing() const { return printing_; }
    bool Aborted() const { return aborted_; }
    // 1 on the first page of a job.
    int PageNumber() const { return pageNumber_; }

    // The canvas of the running job (drawing before BeginDoc does nothing).
    TCanvas *Canvas() { return &canvas_; }

    int PageWidth() const;
    int PageHeight() const;
    int Resolution() const { return dpi_; }

    TPrinterOrientation Orientation() const { return orientation_; }
    // Raises EPrinter while printing.
    void SetOrientation(TPrinterOrientation o);
    QString Title() const { return title_; }
    void SetTitle(const QString &title) { title_ = title; }
    int Copies() const { return copies_; }
    void SetCopies(int copies) { copies_ = copies < 1 ? 1 : copies; }

    // Pages written by the last finished job.
    int LastPageCount() const { return lastPages_; }
    // The PDF of the last finished job (empty when it went to a printer).
    QString LastOutputFile() const { return lastFile_; }

    // For the print and set-up dialogs.
    QPrinter *QtPrinter();
    void SetResolution(int dpi);

private:
    void ensurePrinter() const;
    QSizeF pageInches() const;
    QString nextTarget();
    void restoreChoice();

    // The output the dialog chose, put back after a job that went to the PDF target.
    struct Choice {
        int format = 0; // QPrinter::OutputFormat
        QString fileName, printerName;
    };

    mutable std::unique_ptr<QPrinter> printer_;
    Choice chosen_;
    std::unique_ptr<class QPainter> painter_;
    TCanvas canvas_;
    bool printing_ = false;
    bool aborted_ = false;
    int pageNumber_ = 0;
    int dpi_ = 300;
    TPrinterOrientation orientation_ = poPortrait;
    QString title_;
    int copies_ = 1;
    int jobCount_ = 0;
    int lastPages_ = 0;
    QString currentFile_;
    QString lastFile_;
};

// Made on first use; released with the application object (a job still open then is
// ended and its output kept), so a later call makes a fresh one.
TPrinter *Printer();

// Directs every following job to this PDF file or folder; empty goes back to the
// system printer (or METER_PRINT_PDF).
void SetPrintToPdf(const QString &path);
QString PrintToPdf();
// Resolution of the printer (dots per inch); takes effect at the next job.
void SetPrinterResolution(int dpi);

} // namespace forms
