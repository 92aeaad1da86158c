// Printing through the printer layer, file and clipboard exports, the text export.

#include "ChartFixture.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Printer.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>

#include <gtest/gtest.h>

using namespace fixture;
using testsupport::pdfText;

TEST(ChartOutput, PrintsToPdfWithAndWithoutTheDialog) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    const QString dir = QString::fromStdString(testsupport::makeTempDir());
    const QString pdf = dir + "/chart.pdf";
    forms::SetPrintToPdf(pdf);

    EXPECT_EQ(chart::cePrintGraph(h, 0, 0, 0, 1), 1);
    ASSERT_TRUE(QFile::exists(pdf));
    // A landscape job leaves the shared printer on its own page.
    EXPECT_EQ(forms::Printer()->Orientation(), forms::poPortrait);
    QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("Humidity and temperature")) << text.toStdString();
    EXPECT_TRUE(text.contains("HUMIDITY"));
    EXPECT_TRUE(text.contains("10:30"));
    QFile::remove(pdf);

    // The dialog cancelled prints nothing; accepted, it prints.
    std::int32_t pair[2] = {0, 0};
    forms::DialogScript().pushCancel();
    EXPECT_EQ(chart::cePrintDialog(h, 1, pair), 0);
    EXPECT_FALSE(QFile::exists(pdf));
    forms::DialogScript().pushAccept();
    EXPECT_EQ(chart::cePrintDialog(h, 1, pair), 1);
    EXPECT_TRUE(QFile::exists(pdf));
    forms::SetPrintToPdf(QString());
    forms::DialogScript().reset();
    chart::ceDestroy(h);
}

TEST(ChartOutput, FileExportsInEveryFormat) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    const QString dir = QString::fromStdString(testsupport::makeTempDir());
    std::int32_t windowSize[2] = {0, 0}, custom[2] = {640, 320};
    struct Case {
        int (*fn)(HWND, const std::int32_t *, const char *);
        const char *name;
        const char *format;
    } cases[] = {{chart::cePngToFile, "c.png", "png"},
                 {chart::ceJpegToFile, "c.jpg", "jpeg"},
                 {chart::ceBmpToFile, "c.bmp", "bmp"},
                 {chart::ceMetaToFile, "c.svg", "svg"}};
    for (const Case &c : cases) {
        QByteArray path = (dir + "/" + c.name).toLocal8Bit();
        ASSERT_EQ(c.fn(h, windowSize, path.constData()), 1) << c.name;
        QImageReader r(QString::fromLocal8Bit(path));
        EXPECT_EQ(r.format(), QByteArray(c.format)) << c.name;
        if (QByteArray(c.format) == "svg") {
            QFile svg(QString::fromLocal8Bit(path));
            ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
            QByteArray body = svg.readAll();
            EXPECT_TRUE(body.contains("viewBox=\"0 0 800 400\""));
            EXPECT_TRUE(body.contains("HUMIDITY"));
            continue;
        }
        EXPECT_EQ(r.size(), QSize(800, 400)) << c.name;
        ASSERT_EQ(c.fn(h, custom, path.constData()), 1);
        EXPECT_EQ(QImageReader(QString::fromLocal8Bit(path)).size(), QSize(640, 320)) << c.name;
    }

    // Names arrive as ANSI bytes, as the control passes them: "M\xE4rz" is März.
    QByteArray ansi = (dir + "/M").toLatin1() + "\xE4rz.png";
    ASSERT_EQ(chart::cePngToFile(h, windowSize, ansi.constData()), 1);
    EXPECT_TRUE(QFile::exists(dir + "/M" + QChar(0xE4) + "rz.png"));

    // No name: the save dialog asks; cancelled, nothing is written. A folder that
    // does not exist fails.
    forms::DialogScript().pushCancel();
    EXPECT_EQ(chart::cePngToFile(h, windowSize, ""), 0);
    EXPECT_EQ(chart::cePngToFile(h, windowSize, "/nonexistent/dir/c.png"), 0);
    forms::DialogScript().reset();
    chart::ceDestroy(h);
}

TEST(ChartOutput, ClipboardCarriesImageAndSvg) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    std::int32_t pair[2] = {0, 0};
    ASSERT_EQ(chart::ceMetaToClipboard(h, pair), 1);
    const QMimeData *m = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->hasImage());
    EXPECT_TRUE(m->data("image/svg+xml").contains("<svg"));
    ASSERT_EQ(chart::cePngToClipboard(h, pair), 1);
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(800, 400));
    chart::ceDestroy(h);
}

TEST(ChartOutput, TextExportIsTabSeparatedWithGapsForNulls) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd, 5);
    chart::ceSetInt(h, 2425, 1); // one decimal
    setY(h, 1, 2, 9999.0f);
    const QString file = QString::fromStdString(testsupport::makeTempDir()) + "/data.txt";
    QByteArray name = file.toLocal8Bit();
    ASSERT_EQ(chart::ceTextExportDialog(h, 0, name.constData()), 1);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "Point\t%RH X\t%RH\tT1 X\tT1\tT2 X\tT2");
    QStringList row1 = lines[1].split('\t');
    ASSERT_EQ(row1.size(), 7);
    EXPECT_EQ(row1[0], "1");
    EXPECT_EQ(row1[1], "09/12/2025 10:00:00");
    EXPECT_EQ(row1[2], "55.0");
    QStringList row3 = lines[3].split('\t');
    EXPECT_EQ(row3[3], ""); // the null T1 value
    EXPECT_EQ(row3[4], "");
    EXPECT_EQ(chart::ceTextExportDialog(h, 0, "/nonexistent/dir/x.txt"), 0);
    chart::ceDestroy(h);
}

TEST(ChartOutput, ExportDialogWritesWhatWasChosen) {
    Parent parent;
    HWND h = humidityChart(parent.hwnd);
    const QString file = QString::fromStdString(testsupport::makeTempDir()) + "/chosen.jpg";
    chart::ceSetDialogScript([&](QWidget &w) {
        ASSERT_EQ(w.objectName(), "export");
        w.findChild<QComboBox *>("type")->setCurrentIndex(2);        // JPEG
        w.findChild<QComboBox *>("destination")->setCurrentIndex(1); // file
        w.findChild<QComboBox *>("units")->setCurrentIndex(2);       // inches
        w.findChild<QSpinBox *>("width")->setValue(4);
        w.findChild<QSpinBox *>("height")->setValue(2);
        w.findChild<QLineEdit *>("file")->setText(file);
        static_cast<QDialog &>(w).accept();
    });
    EXPECT_EQ(chart::ceExportDialog(h), 1);
    chart::ceSetDialogScript(nullptr);
    QImageReader r(file);
    EXPECT_EQ(r.format(), "jpeg");
    EXPECT_EQ(r.size(), QSize(384, 192)); // 96 pixels an inch
    chart::ceDestroy(h);
}
