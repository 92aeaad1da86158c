// The chart template beside the program: written when missing, rewritten after the
// customise dialog's OK, and a damaged one never takes a chart down. One test, as its
// steps share the template file of this program's folder.

#include "hygro/VadroFixture.h"

#include "chart/engine/PropertyStore.h"

#include "hygro/UGraph.h"

#include "chart/ChartEngineApi.h"
#include "chart/SciGraphCtl.h"
#include "platform/forms/NamedPipe.h"
#include "support/FormsSupport.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMdiArea>

using namespace hygrotest;
using namespace hygro;
using testsupport::messagesSaying;

namespace {

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray lengthField(quint32 n) {
    const char b[4] = {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    return QByteArray(b, 4);
}

// A fresh chart window prepared as a table chart would be.
TfrmGraph *preparedChart(TfrmMain &main, int points = 10) {
    auto *graph = new TfrmGraph(QStringLiteral("prepared"));
    graph->ShowIn(main.MdiArea);
    main.SetupChart(graph->SciGraph1, points, 46100.5, 46100.0, 586);
    return graph;
}

// What the template holds, read into a chart of its own.
TfrmGraph *templateChart(TfrmMain &main, bool *accepted) {
    auto *graph = new TfrmGraph(QStringLiteral("template"));
    graph->ShowIn(main.MdiArea);
    *accepted = main.LoadChartTemplate(graph->SciGraph1, TfrmMain::ChartTemplatePath());
    return graph;
}

void expectDefaultColours(SciGraph *c) {
    EXPECT_EQ(c->GraphBackColor(), forms::clBlack);
    EXPECT_EQ(c->GraphForeColor(), forms::clGreen);
    EXPECT_EQ(c->DeskColor(), forms::clSilver);
    EXPECT_EQ(c->SubsetColors(0), forms::clYellow);
    EXPECT_EQ(c->SubsetColors(1), forms::clFuchsia);
    EXPECT_EQ(c->SubsetColors(2), forms::clAqua);
}

void expectPrepared(SciGraph *c, int points = 10) {
    EXPECT_EQ(c->Subsets(), 3);
    EXPECT_EQ(c->Points(), points);
    c->SetWorkingAxis(1);
    EXPECT_EQ(c->ManualMaxY(), 140.0);
    EXPECT_EQ(c->ManualMinX(), 46100.0);
}

} // namespace

TEST(HygroVadroChartTemplate, WrittenWhenMissingRewrittenAfterOkAndNeverFatal) {
    const QString folder = TfrmMain::ChartTemplateFolder();
    const QString path = TfrmMain::ChartTemplatePath();
    ASSERT_TRUE(folder.contains("/vadro-template/")) << folder.toStdString();
    QDir(folder).removeRecursively();

    auto main = startVadro({QStringLiteral("/dev/does-not-exist")});
    {
        SCOPED_TRACE("missing: the first chart writes it with the default colours");
        const QByteArray written = readFile(path);
        ASSERT_GT(written.size(), 4);
        EXPECT_EQ(written.left(4), lengthField(quint32(written.size() - 4)));
        bool accepted = false;
        TfrmGraph *t = templateChart(*main, &accepted);
        EXPECT_TRUE(accepted);
        expectDefaultColours(t->SciGraph1);
        t->Close();
    }

    SciGraph *rt = RealTimeGraph->SciGraph1;
    bool cancel = false;
    chart::ceSetDialogScript([&](QWidget &dialog) {
        auto *d = qobject_cast<QDialog *>(&dialog);
        ASSERT_NE(d, nullptr);
        if (cancel)
            d->reject();
        else
            d->accept();
    });
    {
        SCOPED_TRACE("customised with OK: every chart prepared afterwards looks so");
        rt->SetGraphBackColor(forms::clNavy);
        rt->SetSubsetColors(1, forms::clLime);
        rt->SetSGactions(sgCustomize);
        TfrmGraph *next = preparedChart(*main);
        EXPECT_EQ(next->SciGraph1->GraphBackColor(), forms::clNavy);
        EXPECT_EQ(next->SciGraph1->SubsetColors(1), forms::clLime);
        expectPrepared(next->SciGraph1);
        next->Close();
    }
    {
        SCOPED_TRACE("cancelled: nothing written");
        const QByteArray before = readFile(path);
        cancel = true;
        rt->SetGraphBackColor(forms::clMaroon);
        rt->SetSGactions(sgCustomize);
        EXPECT_EQ(readFile(path), before);
    }
    chart::ceSetDialogScript(nullptr);

    const QByteArray good = readFile(path);
    struct Damage {
        const char *name;
        QByteArray bytes;
        bool streamError;
    } damages[] = {
        {"empty", QByteArray(), true},
        {"shorter than its length field", QByteArray("\x01\x02", 2), true},
        {"length beyond the file", lengthField(0xFFFFFFF0u) + good.mid(4), true},
        {"length of half the block", lengthField(quint32(good.size() - 4) / 2) + good.mid(4), false},
        {"not an engine block", lengthField(64) + QByteArray(64, 'x'), false},
    };
    for (const Damage &d : damages) {
        SCOPED_TRACE(d.name);
        writeFile(path, d.bytes);
        forms::DialogScript().reset();
        forms::DialogScript().setStrict(true);
        TfrmGraph *c = preparedChart(*main);
        expectPrepared(c->SciGraph1);
        expectDefaultColours(c->SciGraph1);
        EXPECT_EQ(messagesSaying("Stream read error"), d.streamError ? 1 : 0);
        // A fresh template in its place.
        bool accepted = false;
        TfrmGraph *t = templateChart(*main, &accepted);
        EXPECT_TRUE(accepted);
        expectDefaultColours(t->SciGraph1);
        t->Close();
        c->Close();
    }

    // Sizes the engine itself saved and accepts, each of which would refuse one of the two
    // orders of setting the sizes of a chart of 1000 points.
    struct Sizes {
        const char *name;
        int subsets, points;
    } sizes[] = {{"the most subsets, of one point", chart::engine::kMaxSubsets, 1},
                 {"one subset of many points", 1, 7'000'000}};
    for (const Sizes &z : sizes) {
        SCOPED_TRACE(z.name);
        {
            SciGraph source;
            source.SetPoints(1);
            source.SetSubsets(z.subsets);
            source.SetPoints(z.points);
            ASSERT_EQ(source.Subsets(), z.subsets);
            ASSERT_EQ(source.Points(), z.points);
            main->SaveChartTemplate(&source, path);
        }
        forms::DialogScript().reset();
        TfrmGraph *c = preparedChart(*main, 1000);
        expectPrepared(c->SciGraph1, 1000);
        EXPECT_TRUE(forms::DialogScript().log().empty());
        c->Close();
    }

    {
        SCOPED_TRACE("a named pipe in its place: refused at once, and a fresh template written over it");
        QFile::remove(path);
        NamedPipe pipe(path);
        ASSERT_TRUE(pipe.made());
        forms::DialogScript().reset();
        forms::DialogScript().setStrict(true);
        TfrmGraph *c = preparedChart(*main);
        expectDefaultColours(c->SciGraph1);
        EXPECT_EQ(messagesSaying(path + " cannot be read as a file: it is a named pipe."), 1);
        EXPECT_FALSE(pipe.blockedAReader());
        bool accepted = false;
        TfrmGraph *t = templateChart(*main, &accepted);
        EXPECT_TRUE(accepted);
        t->Close();
        c->Close();
    }

    {
        SCOPED_TRACE("a folder that cannot be made: said, and the program starts all the same");
        main.reset();
        QDir(folder).removeRecursively();
        writeFile(folder.chopped(1), "not a folder");
        auto blocked = startVadro({QStringLiteral("/dev/does-not-exist")});
        EXPECT_EQ(messagesSaying("Cannot create " + folder + " directory."), 1);
        ASSERT_TRUE(RealTimeGraph);
        EXPECT_EQ(RealTimeGraph->SciGraph1->Points(), 5000);
        EXPECT_EQ(GraphRect.height(), 427);
        EXPECT_TRUE(blocked->MainTimer->isActive());
        blocked.reset();
        QFile::remove(folder.chopped(1));
    }
}
