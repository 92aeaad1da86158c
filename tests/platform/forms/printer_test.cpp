#include "platform/forms/Printer.h"

#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

using namespace forms;

namespace {

QString run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pageCount(const QString &pdf) {
    for (const QString &line : run("pdfinfo", {pdf}).split('\n'))
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
}

class FormsPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        dir = QString::fromStdString(testsupport::makeTempDir());
        SetPrintToPdf(dir + "/out.pdf");
        paper = Printer()->QtPrinter()->pageLayout().pageSize();
        // The tables of the programs are laid out for the paper; these pages are Letter.
        Printer()->QtPrinter()->setPageSize(QPageSize(QPageSize::Letter));
    }
    void TearDown() override {
        SetPrintToPdf(QString());
        Printer()->SetOrientation(poPortrait);
        Printer()->QtPrinter()->setPageSize(paper);
        Printer()->QtPrinter()->setOutputFileName(QString());
    }
    QString dir;
    QPageSize paper;
};

TEST_F(FormsPrinter, PagesOfTextReadBackFromThePdf) {
    TPrinter *p = Printer();
    EXPECT_EQ(p->PageWidth(), 2550);
    EXPECT_EQ(p->PageHeight(), 3300);
    p->SetTitle("Real Time Tabular");
    p->BeginDoc();
    EXPECT_TRUE(p->Printing());
    p->Canvas()->Font.Name = "FixedSys";
    p->Canvas()->Font.SetSize(8);
    p->Canvas()->TextOut(1, 100, "NO              DATE            TIME");
    p->NewPage();
    EXPECT_EQ(p->PageNumber(), 2);
    p->Canvas()->TextOut(1, 100, "second page 25.3 %RH");
    p->NewPage();
    p->Canvas()->Pen.Width = 3;
    p->Canvas()->Rectangle(100, 100, 900, 500);
    p->Canvas()->MoveTo(100, 600);
    p->Canvas()->LineTo(900, 600);
    p->EndDoc();
    EXPECT_FALSE(p->Printing());
    EXPECT_EQ(p->LastPageCount(), 3);
    EXPECT_EQ(p->LastOutputFile(), dir + "/out.pdf");

    EXPECT_EQ(pageCount(dir + "/out.pdf"), 3);
    // The fixed font of the design maps onto a monospaced one.
    EXPECT_TRUE(run("pdffonts", {dir + "/out.pdf"}).contains("Mono"));
    const QString text = testsupport::pdfText(dir + "/out.pdf", testsupport::KeepLayout);
    const QStringList pages = text.split('\f');
    ASSERT_GE(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QRegularExpression("NO +DATE +TIME"))) << text.toStdString();
    EXPECT_TRUE(pages[1].contains("second page 25.3 %RH"));
}

// A 25-row table at 100 pixels a line fits one page of 3300 pixels.
TEST_F(FormsPrinter, TableOfTwentyFiveLinesFitsOneLetterPage) {
    TPrinter *p = Printer();
    p->BeginDoc();
    const int lines = (p->PageHeight() / 100) / 10 * 10;
    EXPECT_EQ(lines, 30);
    for (int i = 0; i < 25; ++i) p->Canvas()->TextOut(1, (i % lines) * 100 + 100, QString("row %1 end").arg(i));
    p->EndDoc();
    EXPECT_EQ(pageCount(dir + "/out.pdf"), 1);
    const QString text = testsupport::pdfText(dir + "/out.pdf");
    EXPECT_TRUE(text.contains("row 0 end"));
    EXPECT_TRUE(text.contains("row 24 end"));
}

TEST_F(FormsPrinter, LandscapeSwapsThePageAndStateErrorsRaise) {
    TPrinter *p = Printer();
    p->SetOrientation(poLandscape);
    EXPECT_EQ(p->PageWidth(), 3300);
    EXPECT_EQ(p->PageHeight(), 2550);
    EXPECT_THROW(p->EndDoc(), EPrinter);
    EXPECT_THROW(p->NewPage(), EPrinter);
    p->BeginDoc();
    EXPECT_THROW(p->BeginDoc(), EPrinter);
    EXPECT_THROW(p->SetOrientation(poPortrait), EPrinter);
    p->EndDoc();
}

TEST_F(FormsPrinter, AbortLeavesNoFile) {
    TPrinter *p = Printer();
    p->BeginDoc();
    p->Canvas()->TextOut(1, 1, "dropped");
    p->Abort();
    EXPECT_TRUE(p->Aborted());
    EXPECT_FALSE(p->Printing());
    EXPECT_FALSE(QFile::exists(dir + "/out.pdf"));
}

TEST_F(FormsPrinter, FolderTargetKeepsEveryJob) {
    SetPrintToPdf(dir + "/jobs/");
    for (int i = 0; i < 2; ++i) {
        Printer()->BeginDoc();
        Printer()->Canvas()->TextOut(10, 10, QString("job %1").arg(i));
        Printer()->EndDoc();
    }
    const QStringList files = QDir(dir + "/jobs").entryList({"*.pdf"}, QDir::Files);
    EXPECT_EQ(files.size(), 2);
    EXPECT_TRUE(testsupport::pdfText(Printer()->LastOutputFile()).contains("job 1"));
}

TEST_F(FormsPrinter, UnwritableTargetRaisesAndLeavesThePrinterUsable) {
    SetPrintToPdf("/proc/no-such-dir/x.pdf");
    EXPECT_THROW(Printer()->BeginDoc(), EPrinter);
    EXPECT_FALSE(Printer()->Printing());
    SetPrintToPdf(dir + "/ok.pdf");
    Printer()->BeginDoc();
    Printer()->EndDoc();
    EXPECT_TRUE(QFile::exists(dir + "/ok.pdf"));
}

// Most users print on A4: the page is the chosen paper, in the PDF and in the pixels
// the programs lay out by.
TEST_F(FormsPrinter, PageIsThePaperOfThePrinter) {
    TPrinter *p = Printer();
    p->QtPrinter()->setPageSize(QPageSize(QPageSize::A4));
    EXPECT_EQ(p->PageWidth(), 2480);
    EXPECT_EQ(p->PageHeight(), 3508);
    p->BeginDoc();
    p->Canvas()->TextOut(1, 100, "a4 page");
    p->EndDoc();
    const QString info = run("pdfinfo", {dir + "/out.pdf"});
    EXPECT_TRUE(info.contains(QRegularExpression("Page size: +595[.0-9]* x 84[12][.0-9]* pts"))) << info.toStdString();
    p->SetOrientation(poLandscape);
    EXPECT_EQ(p->PageWidth(), 3508);
}

// "Print to File (PDF)" chosen in the print dialog, with no default printer queue and no
// PDF target set for the process: the job goes to the file the dialog names.
TEST_F(FormsPrinter, PrintToFileChosenInTheDialogPrintsThere) {
    SetPrintToPdf(QString());
    const QString chosen = dir + "/chosen.pdf";
    QPrintDialog dlg(Printer()->QtPrinter());
    bool chose = false;
    QTimer::singleShot(0, &dlg, [&] {
        auto *printers = dlg.findChild<QComboBox *>("printers");
        auto *file = dlg.findChild<QLineEdit *>("filename");
        if (printers && file) {
            const int pdf = printers->findText("Print to File (PDF)");
            printers->setCurrentIndex(pdf);
            file->setText(chosen);
            chose = pdf >= 0;
        }
        dlg.accept();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    ASSERT_TRUE(chose);
    TPrinter *p = Printer();
    p->BeginDoc();
    p->Canvas()->TextOut(1, 100, "to the chosen file");
    p->EndDoc();
    EXPECT_EQ(p->LastOutputFile(), chosen);
    EXPECT_TRUE(testsupport::pdfText(chosen).contains("to the chosen file"));

    // A PDF target for the process takes one job and leaves the choice as it was.
    SetPrintToPdf(dir + "/target.pdf");
    p->BeginDoc();
    p->EndDoc();
    EXPECT_TRUE(QFile::exists(dir + "/target.pdf"));
    SetPrintToPdf(QString());
    p->BeginDoc();
    p->EndDoc();
    EXPECT_EQ(p->LastOutputFile(), chosen);
}

TEST_F(FormsPrinter, NothingToPrintOnRaisesTheClassLibrarysMessage) {
    if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "this machine has a default printer";
    SetPrintToPdf(QString());
    try {
        Printer()->BeginDoc();
        ADD_FAILURE() << "printed without a printer";
        Printer()->Abort();
    } catch (const EPrinter &e) {
        EXPECT_STREQ(e.what(), "There is no default printer currently selected");
    }
    EXPECT_FALSE(Printer()->Printing());
}

} // namespace
