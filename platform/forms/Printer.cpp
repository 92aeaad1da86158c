#include "Printer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdlib>

namespace forms {

namespace {

struct PdfTarget {
    bool set = false; // SetPrintToPdf was called (an empty path included)
    QString path;
};
PdfTarget &pdfTarget() {
    static PdfTarget t;
    return t;
}

} // namespace

void SetPrintToPdf(const QString &path) {
    pdfTarget().set = !path.isEmpty();
    pdfTarget().path = path;
}

QString PrintToPdf() {
    if (pdfTarget().set) return pdfTarget().path;
    if (const char *env = std::getenv("METER_PRINT_PDF"); env && *env) return QString::fromLocal8Bit(env);
    return {};
}

void SetPrinterResolution(int dpi) { Printer()->SetResolution(dpi); }

namespace {
TPrinter *thePrinter = nullptr;

// Runs as the application object goes: a QPrinter must not outlive it.
void releasePrinter() {
    delete thePrinter;
    thePrinter = nullptr;
}
} // namespace

TPrinter *Printer() {
    if (!thePrinter) {
        thePrinter = new TPrinter;
        if (QCoreApplication::instance()) qAddPostRoutine(releasePrinter);
    }
    return thePrinter;
}

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
    // A job still open is ended, as the class library does: its pages are not lost.
    if (printing_) {
        painter_->end();
        painter_.reset();
    }
}

void TPrinter::ensurePrinter() const {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setPageOrientation(orientation_ == poPortrait ? QPageLayout::Portrait : QPageLayout::Landscape);
    }
}

QPrinter *TPrinter::QtPrinter() {
    ensurePrinter();
    return printer_.get();
}

void TPrinter::SetResolution(int dpi) {
    if (dpi >= 72 && dpi <= 2400) dpi_ = dpi;
}

void TPrinter::SetOrientation(TPrinterOrientation o) {
    if (printing_) throw EPrinter("Printing in progress");
    orientation_ = o;
    // The print and set-up dialogs show the page of the printer they are given.
    if (printer_) printer_->setPageOrientation(o == poPortrait ? QPageLayout::Portrait : QPageLayout::Landscape);
}

QSizeF TPrinter::pageInches() const {
    ensurePrinter();
    // Millimetres are exact for A4 and Letter alike; Qt's inches are rounded.
    const QSizeF in = printer_->pageLayout().pageSize().size(QPageSize::Millimeter) / 25.4;
    return orientation_ == poPortrait ? in : in.transposed();
}

int TPrinter::PageWidth() const { return int(pageInches().width() * dpi_ + 0.5); }

int TPrinter::PageHeight() const { return int(pageInches().height() * dpi_ + 0.5); }

QString TPrinter::nextTarget() {
    const QString target = PrintToPdf();
    if (target.isEmpty()) return {};
    if (target.endsWith(QLatin1Char('/')) || QFileInfo(target).isDir()) {
        QDir().mkpath(target);
        return QDir(target).filePath(QStringLiteral("job-%1.pdf").arg(jobCount_ + 1));
    }
    return target;
}

void TPrinter::BeginDoc() {
    if (printing_) throw EPrinter("Printing in progress");
    ensurePrinter();
    // The printer as the print dialog left it: a queue, or "Print to File (PDF)" with its
    // file. A PDF target set for the process takes the job without changing that choice.
    chosen_ = {printer_->outputFormat(), printer_->outputFileName(), printer_->printerName()};
    QString file = nextTarget();
    if (!file.isEmpty()) {
        printer_->setOutputFormat(QPrinter::PdfFormat);
        printer_->setOutputFileName(file);
    } else if (printer_->outputFormat() == QPrinter::PdfFormat && !printer_->outputFileName().isEmpty()) {
        file = printer_->outputFileName();
    } else if (printer_->outputFormat() == QPrinter::NativeFormat && !printer_->printerName().isEmpty() &&
               !QPrinterInfo::printerInfo(printer_->printerName()).isNull()) {
        // the chosen queue
    } else if (!QPrinterInfo::defaultPrinter().isNull()) {
        printer_->setOutputFormat(QPrinter::NativeFormat);
        printer_->setPrinterName(QPrinterInfo::defaultPrinter().printerName());
    } else {
        throw EPrinter("There is no default printer currently selected");
    }
    printer_->setResolution(dpi_);
    printer_->setFullPage(true);
    printer_->setPageOrientation(orientation_ == poPortrait ? QPageLayout::Portrait : QPageLayout::Landscape);
    printer_->setPageMargins(QMarginsF(0, 0, 0, 0));
    printer_->setCopyCount(copies_);
    printer_->setDocName(title_);
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
        painter_.reset();
        restoreChoice();
        throw EPrinter(file.isEmpty() ? QStringLiteral("Printer selected is not valid")
                                      : QStringLiteral("Cannot create file \"%1\"").arg(file));
    }
    canvas_.SetPainter(painter_.get());
    currentFile_ = file;
    printing_ = true;
    aborted_ = false;
    pageNumber_ = 1;
}

void TPrinter::restoreChoice() {
    if (printer_->outputFormat() == chosen_.format && printer_->outputFileName() == chosen_.fileName &&
        printer_->printerName() == chosen_.printerName)
        return;
    if (chosen_.format == QPrinter::NativeFormat && !chosen_.printerName.isEmpty()) {
        printer_->setOutputFormat(QPrinter::NativeFormat);
        printer_->setPrinterName(chosen_.printerName);
    } else if (chosen_.format == QPrinter::PdfFormat) {
        printer_->setOutputFormat(QPrinter::PdfFormat);
        printer_->setOutputFileName(chosen_.fileName);
    }
}

void TPrinter::NewPage() {
    if (!printing_) throw EPrinter("Printer is not currently printing");
    printer_->newPage();
    ++pageNumber_;
}

void TPrinter::EndDoc() {
    if (!printing_) throw EPrinter("Printer is not currently printing");
    painter_->end();
    painter_.reset();
    canvas_.SetPainter(nullptr);
    restoreChoice();
    printing_ = false;
    ++jobCount_;
    lastPages_ = pageNumber_;
    lastFile_ = currentFile_;
    pageNumber_ = 0;
}

void TPrinter::Abort() {
    if (!printing_) throw EPrinter("Printer is not currently printing");
    printer_->abort();
    painter_->end();
    painter_.reset();
    canvas_.SetPainter(nullptr);
    restoreChoice();
    if (!currentFile_.isEmpty()) QFile::remove(currentFile_);
    printing_ = false;
    aborted_ = true;
    pageNumber_ = 0;
}

} // namespace forms
