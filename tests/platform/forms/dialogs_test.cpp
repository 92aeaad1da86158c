#include "platform/forms/Dialogs.h"
#include "platform/forms/Printer.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <thread>

using namespace forms;

namespace {

class FormsDialogs : public ::testing::Test {
protected:
    void SetUp() override { DialogScript().reset(); }
    void TearDown() override { DialogScript().reset(); }
};

TEST_F(FormsDialogs, ScriptedMessageBoxesAnswerAndAreLogged) {
    DialogScript().pushButton(IDNO);
    DialogScript().pushButton(IDCANCEL);
    EXPECT_EQ(MessageBox("Save changes?", "Vadro", MB_YESNOCANCEL | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBox("again", "Vadro", MB_YESNOCANCEL), IDCANCEL);

    const auto &log = DialogScript().log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, DialogKind::MessageBox);
    EXPECT_EQ(log[0].caption, "Vadro");
    EXPECT_EQ(log[0].text, "Save changes?");
    EXPECT_EQ(log[0].flags, MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(log[0].result, IDNO);
    EXPECT_TRUE(log[0].scripted);
    EXPECT_FALSE(log[0].unanswered);
    EXPECT_EQ(DialogScript().pending(), 0);
}

// With nobody to answer, every box returns at once with what Escape would give.
TEST_F(FormsDialogs, UnscriptedBoxesReturnTheEscapeAnswerWithoutBlocking) {
    struct Case {
        unsigned flags;
        int expected;
    } cases[] = {
        {MB_OK, IDOK},    {MB_OKCANCEL, IDCANCEL},    {MB_YESNOCANCEL, IDCANCEL},
        {MB_YESNO, IDNO}, {MB_RETRYCANCEL, IDCANCEL}, {MB_ABORTRETRYIGNORE, IDABORT},
    };
    for (const auto &c : cases) EXPECT_EQ(MessageBox("text", "cap", c.flags), c.expected) << c.flags;
    EXPECT_EQ(MessageDlg("Sure?", mtConfirmation, mbYes | mbNo), mrNo);
    EXPECT_EQ(MessageDlg("Info", mtInformation, TMsgDlgButtons()), mrOk);
    QString v = "keep";
    EXPECT_FALSE(InputQuery("cap", "prompt", v));
    EXPECT_EQ(v, "keep");
    EXPECT_EQ(InputBox("cap", "prompt", "1"), "1");
    TSaveDialog save;
    EXPECT_FALSE(save.Execute());
    TPrintDialog print;
    EXPECT_FALSE(print.Execute());
    EXPECT_EQ(DialogScript().unansweredCount(), int(std::size(cases)) + 6);
}

TEST_F(FormsDialogs, AnswerThatDoesNotFitIsReportedAndCloses) {
    DialogScript().pushButton(IDRETRY); // not a button of MB_YESNO
    EXPECT_EQ(MessageBox("q", "c", MB_YESNO), IDNO);
    DialogScript().pushText("abc"); // text for a file dialog
    TOpenDialog open;
    EXPECT_FALSE(open.Execute());
    EXPECT_EQ(DialogScript().unansweredCount(), 2);
}

TEST_F(FormsDialogs, MessageDlgButtonsAndCaptions) {
    DialogScript().pushButton(mrYes);
    DialogScript().pushAccept();
    EXPECT_EQ(MessageDlg("Save changes to Real Time Tabular", mtConfirmation, mbYesNoCancel), mrYes);
    EXPECT_EQ(MessageDlg("Oops", mtError, TMsgDlgButtons() << mbOK), mrOk);
    const auto &log = DialogScript().log();
    EXPECT_EQ(log[0].caption, "Confirm");
    EXPECT_EQ(log[1].caption, "Error");
}

TEST_F(FormsDialogs, InputBoxTakesTheScriptedTextAndCancelKeepsTheDefault) {
    DialogScript().pushText("3");
    DialogScript().pushCancel();
    DialogScript().pushText("");
    EXPECT_EQ(InputBox("Palix", "Input record(s) to print in one row (1-5)", "1"), "3");
    EXPECT_EQ(InputBox("Palix", "again", "1"), "1");
    QString v = "1";
    EXPECT_TRUE(InputQuery("Palix", "empty", v));
    EXPECT_EQ(v, "");
    EXPECT_EQ(DialogScript().log()[0].defaultText, "1");
    EXPECT_EQ(DialogScript().log()[0].answer, "3");
}

TEST_F(FormsDialogs, FileDialogsApplyDefaultExtensionAndInitialDir) {
    const QString dir = QString::fromStdString(testsupport::makeTempDir());
    QFile existing(dir + "/plain");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    TSaveDialog save;
    save.DefaultExt = "csv";
    save.InitialDir = dir;
    save.Filter = "TXT File|*.txt|CSV File|*.csv|All Files[*.*]|*.*";
    struct Case {
        QString typed;
        QString expected;
    } saves[] = {
        {"table", dir + "/table.csv"},
        {"table.txt", dir + "/table.txt"},
        {"TABLE.CSV", dir + "/TABLE.CSV"},
        {dir + "/sub/../abs", dir + "/abs.csv"},
    };
    for (const auto &c : saves) {
        DialogScript().pushFile(c.typed, 2);
        ASSERT_TRUE(save.Execute()) << c.typed.toStdString();
        EXPECT_EQ(save.FileName, c.expected);
        EXPECT_EQ(save.FilterIndex, 2);
    }

    // Opening takes an existing name as it is.
    TOpenDialog open;
    open.DefaultExt = "csv";
    open.InitialDir = dir;
    DialogScript().pushFile("plain");
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName, dir + "/plain");

    DialogScript().pushCancel();
    EXPECT_FALSE(open.Execute());
    EXPECT_EQ(open.FileName, dir + "/plain"); // untouched by the cancel

    const auto &log = DialogScript().log();
    EXPECT_EQ(log[0].kind, DialogKind::Save);
    EXPECT_EQ(log[0].initialDir, dir);
    EXPECT_EQ(log[0].text, save.Filter);
    EXPECT_EQ(log.back().kind, DialogKind::Open);
    EXPECT_EQ(log.back().result, 0);
}

TEST_F(FormsDialogs, PrintDialogSetsCopiesAndRangeOnThePrinter) {
    TPrintDialog dlg;
    DialogScript().push(DialogAnswer::print(3, 2, 4));
    ASSERT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.Copies, 3);
    EXPECT_EQ(dlg.PrintRange, prPageNums);
    EXPECT_EQ(dlg.FromPage, 2);
    EXPECT_EQ(dlg.ToPage, 4);
    EXPECT_EQ(Printer()->Copies(), 3);

    DialogScript().pushCancel();
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(Printer()->Copies(), 3);
    Printer()->SetCopies(1);

    TPrinterSetupDialog setup;
    DialogScript().pushAccept();
    EXPECT_TRUE(setup.Execute());
}

TEST_F(FormsDialogs, ColourAndFontDialogs) {
    TColorDialog colour;
    colour.Color = static_cast<TColor>(0x0000FF);
    DialogScript().push(DialogAnswer::colour(0x00FF00));
    ASSERT_TRUE(colour.Execute());
    EXPECT_EQ(std::int32_t(colour.Color), 0x00FF00);
    DialogScript().pushCancel();
    EXPECT_FALSE(colour.Execute());
    EXPECT_EQ(std::int32_t(colour.Color), 0x00FF00);

    TFontDialog font;
    font.Font = QFont("Arial", 10);
    DialogScript().push(DialogAnswer::fontChoice(QFont("Times New Roman", 14)));
    ASSERT_TRUE(font.Execute());
    EXPECT_EQ(font.Font.family(), "Times New Roman");
    EXPECT_EQ(font.Font.pointSize(), 14);
    EXPECT_EQ(DialogScript().log()[2].kind, DialogKind::Font);
}

// Strict mode is what an end-to-end run under a real X server uses: nothing is shown.
TEST_F(FormsDialogs, StrictScriptNeverShowsADialog) {
    DialogScript().setStrict(true);
    ShowMessage("No data to graph !");
    ASSERT_EQ(DialogScript().log().size(), 1u);
    EXPECT_EQ(DialogScript().log()[0].kind, DialogKind::ShowMessage);
    EXPECT_EQ(DialogScript().log()[0].text, "No data to graph !");
    EXPECT_TRUE(DialogScript().log()[0].unanswered);
}

} // namespace

namespace {

TEST_F(FormsDialogs, ScriptFileAnswersAndLogFileRecords) {
    const QString dir = QString::fromStdString(testsupport::makeTempDir());
    QFile script(dir + "/script");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("# a run of Vadro\nbutton 6\nfile /tmp/table.csv\t2\ntext 1:2:3\nprint 2\ncancel\n");
    script.close();
    ASSERT_EQ(DialogScript().load(dir + "/script"), 5);

    setenv("METER_DIALOG_LOG", (dir + "/log").toLocal8Bit().constData(), 1);
    EXPECT_EQ(MessageBox("Save changes to Real Time Tabular", "Vadro", MB_YESNOCANCEL), IDYES);
    TSaveDialog save;
    ASSERT_TRUE(save.Execute());
    EXPECT_EQ(save.FileName, "/tmp/table.csv");
    EXPECT_EQ(save.FilterIndex, 2);
    EXPECT_EQ(InputBox("Palix", "period", ""), "1:2:3");
    TPrintDialog print;
    ASSERT_TRUE(print.Execute());
    EXPECT_EQ(print.Copies, 2);
    EXPECT_FALSE(save.Execute());
    MessageBox("two\tlines\n", "x", MB_OK); // script exhausted
    unsetenv("METER_DIALOG_LOG");
    Printer()->SetCopies(1);

    QFile log(dir + "/log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "MessageBox\tVadro\tSave changes to Real Time Tabular\t6\t\tscripted");
    EXPECT_EQ(lines[5], "MessageBox\tx\ttwo\\tlines\\n\t1\t\tunanswered");

    QFile bad(dir + "/bad");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("accept\nsmile\n");
    bad.close();
    EXPECT_EQ(DialogScript().load(dir + "/bad"), -1);
    EXPECT_EQ(DialogScript().load(dir + "/missing"), -1);
}

} // namespace

namespace {

TEST_F(FormsDialogs, CallFromAnotherThreadReturnsWithoutTouchingTheScript) {
    DialogScript().pushButton(IDYES);
    int result = 0;
    std::thread t([&] { result = MessageBox("from a worker", "x", MB_YESNO); });
    t.join();
    EXPECT_EQ(result, IDNO);
    EXPECT_EQ(DialogScript().pending(), 1);
    EXPECT_TRUE(DialogScript().log().empty());
}

} // namespace
