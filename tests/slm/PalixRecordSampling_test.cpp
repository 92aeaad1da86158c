// The Sampling key against the simulated meter: the choice window, the PC's sampling
// time and the meter's (read with "R" 0 0 23, written with "Z"), their rounding and
// limits, empty answers and the access code.

#include "PalixRecordSupport.h"

#include "slm/SamplingChoice.h"

#include <QTimer>

using namespace slm;
using namespace std::chrono_literals;

namespace {

class PalixSampling : public PalixRecord {
protected:
    // Answers the choice window when it opens: the PC's sampling time or the meter's.
    // The window's place is kept for the test.
    void choose(bool pc) {
        auto *timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [this, timer, pc] {
            auto *w = dynamic_cast<SamplingChoice *>(QApplication::activeModalWidget());
            if (!w) return;
            timer->stop();
            timer->deleteLater();
            choicePlace = w->frameGeometry().topLeft();
            panelSize = PanelForm->frameGeometry().size();
            choiceCaption = w->windowTitle();
            meterFirst = w->OptMeter->isChecked();
            (pc ? w->OptPC : w->OptMeter)->setChecked(true);
            w->CmdOK_Click();
        });
        timer->start();
    }
    void sampling(Panel *p, bool pc, const QString &answer) {
        choose(pc);
        forms::DialogScript().pushText(answer);
        press(p, "Sampling");
    }
    QPoint choicePlace;
    QSize panelSize;
    QString choiceCaption;
    bool meterFirst = false;
};

TEST_F(PalixSampling, PcSamplingTime) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    struct Case {
        const char *answer;
        double time;
    };
    const Case cases[] = {{"0", 1}, {"100000", 86400}, {"2.5", 2}, {"3.5", 4}, {"-7", 1}, {"600", 600}, {"", 600}};
    for (const Case &c : cases) {
        SampleCounter = 7;
        sampling(p, true, c.answer);
        EXPECT_EQ(SamplingTime, c.time) << c.answer;
        EXPECT_EQ(SampleCounter, *c.answer ? 0 : 7) << c.answer; // an empty answer changes nothing
    }
    EXPECT_EQ(UsePcSampling, vb::True);
    EXPECT_EQ(choiceCaption, "Sampling Rate");
    EXPECT_TRUE(meterFirst);
    EXPECT_EQ(choicePlace, QPoint(panelSize.width() / 2, panelSize.height() / 2));
    const auto &prompt = forms::DialogScript().log().back();
    EXPECT_EQ(prompt.text, "Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
    EXPECT_EQ(prompt.caption, "Input Sampling Time");
    EXPECT_EQ(prompt.defaultText, "600");

    // The access code only shows or hides the picture.
    EXPECT_FALSE(p->P8593->isVisible());
    sampling(p, true, "8047q");
    EXPECT_TRUE(p->P8593->isVisible());
    EXPECT_EQ(SamplingTime, 600);
    sampling(p, true, "8047Q");
    EXPECT_FALSE(p->P8593->isVisible());
    // Not a number: said, nothing changes.
    sampling(p, true, "ten");
    EXPECT_EQ(SamplingTime, 600);
    EXPECT_EQ(lastPrompt(), "Invalid, enter the sampling time as a number of seconds");
}

TEST_F(PalixSampling, MeterSamplingTimeIsReadAndWritten) {
    SlmSim sim({"--level", "50", "--sampling", "120"});
    Panel *p = start(sim);
    struct Case {
        const char *answer;
        const char *sent;
        int kept;
    };
    const Case cases[] = {
        {"300", "5A 00 01 2C", 300}, {"100000", "5A 00 FF FF", 65535}, {"0", "5A 00 00 01", 1},
        {"2.5", "5A 00 00 02", 2},   {"3.5", "5A 00 00 04", 4},
    };
    int shown = 120;
    for (const Case &c : cases) {
        sampling(p, false, c.answer);
        EXPECT_EQ(UsePcSampling, vb::False);
        const auto &prompt = forms::DialogScript().log().back();
        EXPECT_EQ(prompt.text, "Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 65535 ) ");
        EXPECT_EQ(prompt.defaultText, QString::number(shown)) << c.answer; // what the meter said
        ASSERT_TRUE(testsupport::waitUntil([&] { return sim.commands().contains(c.sent); }, 2s)) << c.answer;
        const QStringList cmds = sim.commands();
        const int z = int(cmds.lastIndexOf(c.sent));
        EXPECT_EQ(cmds[z - 1], "00");                         // right after a handshake
        EXPECT_EQ(cmds.lastIndexOf("52 00 00 23") < z, true); // the query came first
        EXPECT_EQ(MeterSamplingTime, c.kept);
        EXPECT_TRUE(p->Timer1.Enabled());
        shown = c.kept; // the meter keeps what it was sent
    }
    EXPECT_EQ(SamplingTime, 1); // the PC's stays

    // An empty answer and the access code send nothing and give the poll back.
    for (const char *answer : {"", "8047q"}) {
        const int writes = int(sim.commands().filter(QRegularExpression("^5A ")).size());
        const int before = int(sim.commands().size());
        sampling(p, false, answer);
        // A write goes out before the poll comes back; with none, the poll finds the meter
        // silent after the query and starts it again. Either is seen after the query.
        ASSERT_TRUE(testsupport::waitUntil(
            [&] {
                const QStringList cmds = sim.commands();
                const qsizetype query = cmds.indexOf("52 00 00 23", before);
                if (query < 0) return false;
                for (qsizetype i = query + 1; i < cmds.size(); ++i)
                    if (cmds[i] == "41 00 00 00" || cmds[i].startsWith("5A ")) return true;
                return false;
            },
            5s))
            << answer;
        EXPECT_EQ(int(sim.commands().filter(QRegularExpression("^5A ")).size()), writes) << answer;
        EXPECT_TRUE(p->Timer1.Enabled()) << answer;
    }
    EXPECT_TRUE(p->P8593->isVisible());
    // The live poll takes the meter up again.
    p->LblValue->setText("");
    EXPECT_TRUE(
        testsupport::waitUntil([&] { return p->LblCOM->text() == "COM1" && !p->LblValue->text().isEmpty(); }, 10s));
}

TEST_F(PalixSampling, ClosingTheChoiceKeepsTheLastOne) {
    SlmSim sim({"--level", "50"});
    Panel *p = start(sim);
    sampling(p, true, "30");
    ASSERT_EQ(SamplingTime, 30);
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        if (auto *w = dynamic_cast<SamplingChoice *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            w->OptMeter->setChecked(true);
            w->reject(); // closed without OK
        }
    });
    timer->start();
    forms::DialogScript().pushText("45");
    press(p, "Sampling");
    EXPECT_EQ(UsePcSampling, vb::True);
    EXPECT_EQ(SamplingTime, 45);
}

} // namespace
