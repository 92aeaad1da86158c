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

void TPrinter::ensurePrinter() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
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
}

int TPrinter::PageWidth() const {
    const QSizeF in = QPageSize(QPageSize::Letter).size(QPageSize::Inch);
    const double w = orientation_ == poPortrait ? in.width() : in.height();
    return int(w * dpi_ + 0.5);
}

int TPrinter::PageHeight() const {
    const QSizeF in = QPageSize(QPageSize::Letter).size(QPageSize::Inch);
    const double h = orientation_ == poPortrait ? in.height() : in.width();
    return int(h * dpi_ + 0.5);
}

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
    const QString file = nextTarget();
    if (file.isEmpty()) {
        if (QPrinterInfo::defaultPrinter().isNull())
            throw EPrinter("There is no default printer currently selected");
        printer_->setOutputFormat(QPrinter::NativeFormat);
        printer_->setPrinterName(QPrinterInfo::defaultPrinter().printerName());
    } else {
        printer_->setOutputFormat(QPrinter::PdfFormat);
        printer_->setOutputFileName(file);
    }
    printer_->setResolution(dpi_);
    printer_->setFullPage(true);
    printer_->setPageSize(QPageSize(QPageSize::Letter));
    printer_->setPageOrientation(orientation_ == poPortrait ? QPageLayout::Portrait : QPageLayout::Landscape);
    printer_->setPageMargins(QMarginsF(0, 0, 0, 0));
    printer_->setCopyCount(copies_);
    printer_->setDocName(title_);
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
        painter_.reset();
        throw EPrinter(file.isEmpty() ? QStringLiteral("Printer selected is not valid")
                                      : QStringLiteral("Cannot create file \"%1\"").arg(file));
    }
    canvas_.SetPainter(painter_.get());
    currentFile_ = file;
    printing_ = true;
    aborted_ = false;
    pageNumber_ = 1;
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
    if (!currentFile_.isEmpty()) QFile::remove(currentFile_);
    printing_ = false;
    aborted_ = true;
    pageNumber_ = 0;
}

} // namespace forms
