#pragma once
// Palix started on the simulated meter for the recording, list, plot and sampling
// tests: a temporary working folder, PDF printing into it, and every window of the
// program gone at the end.

#include "PalixFixture.h"
#include "SlmSim.h"

#include "platform/forms/Dialogs.h"
#include "platform/forms/Printer.h"
#include "platform/vb/Runtime.h"
#include "slm/DataList.h"
#include "slm/FileList.h"
#include "slm/core/FileTransfer.h"
#include "slm/List.h"
#include "slm/ListPlot.h"
#include "slm/core/Meter.h"
#include "slm/Panel.h"
#include "slm/Port.h"
#include "slm/core/Rs232.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>

class PalixRecord : public PalixProgram {
protected:
    void SetUp() override {
        PalixProgram::SetUp();
        // Under a real X server too, a dialog the test did not answer must not wait.
        forms::DialogScript().setStrict(true);
        dir = QString::fromStdString(testsupport::makeTempDir());
        oldDir = QDir::currentPath();
        QDir::setCurrent(dir);
        forms::SetPrintToPdf(dir + "/pdf/");
    }
    void TearDown() override {
        PalixProgram::TearDown();
        QDir::setCurrent(oldDir);
        forms::SetPrintToPdf(QString());
    }

    // The program on the simulated meter, once it shows a level. The sampling tick is
    // left to the test, which drives it.
    slm::Panel *start(SlmSim &sim) {
        EXPECT_TRUE(sim.ok());
        qputenv("METER_PORTS", sim.path().toLocal8Bit());
        auto *port = new slm::Port;
        port->show();
        port->Port1_Click();
        slm::Panel *p = slm::PanelForm;
        p->Timer2.SetEnabled(false);
        EXPECT_TRUE(testsupport::waitUntil(
            [&] { return p->LblCOM->text() == "COM1" && !p->LblValue->text().isEmpty(); }, std::chrono::seconds(10)));
        return p;
    }

    // The level the panel shows, held still: the live poll stops.
    static void hold(slm::Panel *p, const QString &level) {
        p->Timer1.SetEnabled(false);
        p->LblValue->setText(level);
    }

    static void ticks(slm::Panel *p, int n) {
        for (int i = 0; i < n; ++i) p->Timer2_Timer();
    }

    static QByteArray read(const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QList<QByteArray> lines(const QString &path) {
        QList<QByteArray> out = read(path).split('\n');
        if (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
        for (QByteArray &l : out) {
            EXPECT_TRUE(l.endsWith('\r')) << l.toStdString();
            l.chop(1);
        }
        return out;
    }

    static QString lastPrompt() {
        const auto &log = forms::DialogScript().log();
        return log.empty() ? QString() : log.back().text;
    }

    // The text of the last PDF printed.
    QString pdfText() {
        const QString pdf = forms::Printer()->LastOutputFile();
        return pdf.isEmpty() ? QString() : testsupport::pdfText(pdf, testsupport::KeepLayout);
    }

    // The lines of the last PDF printed that hold more than blanks.
    QStringList printedLines() {
        QStringList out;
        for (const QString &l : pdfText().split('\n'))
            if (!l.simplified().isEmpty()) out << l;
        return out;
    }

    QString dir, oldDir;
};
