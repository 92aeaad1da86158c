#pragma once
// Every modal interaction of the programs: message boxes, confirmations, input boxes,
// open/save, print, printer set-up, colour and font dialogs. GUI thread only: a call
// from another thread shows nothing, is not logged, and returns as an unanswered one.
//
// Who answers a dialog, in this order:
//  1. the dialog script (DialogScript(), below) when it holds an answer: the front
//     answer is taken and the dialog is logged, nothing is shown;
//  2. the user, through a Qt dialog, when the platform can show one;
//  3. nobody: on a headless platform ("offscreen", "minimal") or when the script is
//     set to Strict, a dialog without a scripted answer never blocks. It is logged as
//     unanswered, a warning naming it goes to stderr, and it returns what closing it
//     with Escape gives: Cancel when it has a Cancel button, else No, else its only
//     or first button; file, print, set-up, colour and font dialogs and input boxes
//     return "cancelled".
// A scripted answer that does not fit its dialog (a button the box lacks, a text for a
// file dialog) is consumed, reported on stderr and logged as unanswered; the dialog
// then returns as in 3.
//
// Every dialog, answered in any of the three ways, is appended to the script's log.
//
// A program that a test starts as a process of its own takes its script from the file
// named by METER_DIALOG_SCRIPT, one answer a line ("#" comments):
//     cancel | accept | button <ID/mr number> | text <input> | file <path>[TAB<filter index>]
//     | print <copies> [<from> <to>] | color <hex 00BBGGRR> | font <points> <family>
// and appends its log to the file named by METER_DIALOG_LOG, one dialog a line:
//     kind TAB caption TAB text TAB result TAB answer TAB scripted|user|unanswered
// (tabs, line breaks and backslashes in the fields written as \t, \n, \r, \\).

#include "Component.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <vector>

namespace forms {

// Colour 0x00BBGGRR of the class library (defined with its named values in
// WinControl.h; the opaque declaration keeps this header independent of it).
enum TColor : std::int32_t;

// ---- Win32 message box flags and results -------------------------------------------
inline constexpr unsigned MB_OK = 0x00000000u;
inline constexpr unsigned MB_OKCANCEL = 0x00000001u;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x00000002u;
inline constexpr unsigned MB_YESNOCANCEL = 0x00000003u;
inline constexpr unsigned MB_YESNO = 0x00000004u;
inline constexpr unsigned MB_RETRYCANCEL = 0x00000005u;
inline constexpr unsigned MB_TYPEMASK = 0x0000000Fu;
inline constexpr unsigned MB_ICONHAND = 0x00000010u;
inline constexpr unsigned MB_ICONSTOP = MB_ICONHAND;
inline constexpr unsigned MB_ICONERROR = MB_ICONHAND;
inline constexpr unsigned MB_ICONQUESTION = 0x00000020u;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x00000030u;
inline constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr unsigned MB_ICONASTERISK = 0x00000040u;
inline constexpr unsigned MB_ICONINFORMATION = MB_ICONASTERISK;
inline constexpr unsigned MB_ICONMASK = 0x000000F0u;
inline constexpr unsigned MB_DEFBUTTON1 = 0x00000000u;
inline constexpr unsigned MB_DEFBUTTON2 = 0x00000100u;
inline constexpr unsigned MB_DEFBUTTON3 = 0x00000200u;
inline constexpr unsigned MB_DEFMASK = 0x00000F00u;
inline constexpr unsigned MB_APPLMODAL = 0x00000000u;
inline constexpr unsigned MB_SYSTEMMODAL = 0x00001000u;
inline constexpr unsigned MB_TASKMODAL = 0x00002000u;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// ---- class library message dialogs --------------------------------------------------
enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };

// A set of buttons: mbYes | mbNo, or TMsgDlgButtons() << mbYes << mbNo.
class TMsgDlgButtons {
public:
    constexpr TMsgDlgButtons() = default;
    constexpr TMsgDlgButtons(TMsgDlgBtn b) : bits_(1u << b) {}
    constexpr TMsgDlgButtons &operator<<(TMsgDlgBtn b) {
        bits_ |= 1u << b;
        return *this;
    }
    constexpr TMsgDlgButtons operator|(TMsgDlgButtons o) const {
        TMsgDlgButtons r;
        r.bits_ = bits_ | o.bits_;
        return r;
    }
    constexpr bool Contains(TMsgDlgBtn b) const { return bits_ & (1u << b); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr unsigned Bits() const { return bits_; }

private:
    unsigned bits_ = 0;
};
constexpr TMsgDlgButtons operator|(TMsgDlgBtn a, TMsgDlgBtn b) { return TMsgDlgButtons(a) | TMsgDlgButtons(b); }

inline const TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
inline const TMsgDlgButtons mbOKCancel = mbOK | mbCancel;
inline const TMsgDlgButtons mbAbortRetryIgnore = mbAbort | mbRetry | mbIgnore;

// Modal results of the class library (the same numbers as the ID* results).
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;
inline constexpr TModalResult mrNoToAll = 9;
inline constexpr TModalResult mrYesToAll = 10;

// Win32 MessageBox: returns IDOK ... IDNO. An empty caption gives the caption "Error"
// as Win32 does.
int MessageBox(const QString &text, const QString &caption, unsigned flags);
// Text with an OK button, captioned with the application's title.
void ShowMessage(const QString &text);
// Class library message dialog: returns mrYes, mrNo, mrOk ... An empty button set
// gives an OK button. The caption is the type's name ("Warning", "Error",
// "Information", "Confirm") or the application title for mtCustom.
TModalResult MessageDlg(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext = 0);
// Yes/No question; true for Yes.
bool Confirm(const QString &text, const QString &caption = QString());

// Input box of the class library: the typed text, or `defaultText` when cancelled.
QString InputBox(const QString &caption, const QString &prompt, const QString &defaultText);
// The same with the outcome: true and `value` replaced when OK was pressed; false and
// `value` untouched when cancelled.
bool InputQuery(const QString &caption, const QString &prompt, QString &value);

// ---- dialog components ---------------------------------------------------------------
enum TOpenOption : unsigned {
    ofReadOnly = 1u << 0,
    ofOverwritePrompt = 1u << 1,
    ofHideReadOnly = 1u << 2,
    ofNoChangeDir = 1u << 3,
    ofAllowMultiSelect = 1u << 9,
    ofPathMustExist = 1u << 11,
    ofFileMustExist = 1u << 12,
};
using TOpenOptions = unsigned;

// Open dialog. Filter is "Description|pattern|Description|pattern..." (a trailing "|"
// is allowed); FilterIndex counts from 1 (0 is taken as 1) and is set to the chosen
// filter on return. Execute returns true with FileName set to the chosen full path.
// DefaultExt (without the dot) is added to a chosen name that has no extension, when
// the dialog saves or when the name as given does not exist.
class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent *AOwner = nullptr);

    QString Filter;
    int FilterIndex = 1;
    QString DefaultExt;
    QString FileName;
    QString InitialDir;
    QString Title;
    TOpenOptions Options = ofHideReadOnly;

    virtual bool Execute();

protected:
    bool run(bool save);
};

// Save dialog; with ofOverwritePrompt a real dialog asks before replacing a file
// (a scripted answer is taken as confirmed).
class TSaveDialog : public TOpenDialog {
public:
    explicit TSaveDialog(TComponent *AOwner = nullptr);
    bool Execute() override;
};

enum TPrintRange { prAllPages, prSelection, prPageNums };
enum TPrintDialogOption : unsigned {
    poPrintToFile = 1u << 0,
    poPageNums = 1u << 1,
    poSelection = 1u << 2,
    poWarning = 1u << 3,
    poHelp = 1u << 4,
    poDisablePrintToFile = 1u << 5,
};
using TPrintDialogOptions = unsigned;

// Print dialog over the printer of Printer(): on OK the copies go to the printer.
class TPrintDialog : public TComponent {
public:
    explicit TPrintDialog(TComponent *AOwner = nullptr);

    int Copies = 1;
    int FromPage = 0;
    int ToPage = 0;
    int MinPage = 0;
    int MaxPage = 0;
    TPrintRange PrintRange = prAllPages;
    TPrintDialogOptions Options = 0;

    bool Execute();
};

// Printer set-up (page, orientation) of the printer of Printer().
class TPrinterSetupDialog : public TComponent {
public:
    explicit TPrinterSetupDialog(TComponent *AOwner = nullptr);
    bool Execute();
};

class TColorDialog : public TComponent {
public:
    explicit TColorDialog(TComponent *AOwner = nullptr);
    TColor Color;
    bool Execute();
};

class TFontDialog : public TComponent {
public:
    explicit TFontDialog(TComponent *AOwner = nullptr);
    QFont Font;
    TColor Color; // the font's colour
    bool Execute();
};

// ---- script and log ------------------------------------------------------------------
enum class DialogKind { MessageBox, ShowMessage, MessageDlg, InputBox, Open, Save, Print, PrinterSetup, Color, Font };
const char *DialogKindName(DialogKind kind);

// One scripted answer. Cancel suits every dialog. Button suits the message dialogs
// (a value IDOK..IDNO / mrOk..mrYesToAll); Accept suits every dialog (OK, or the
// first button of a message box; the print dialog keeps its copies and range).
// Text suits the input box; File the open/save dialogs; Print the print dialog;
// Color and Font their dialogs.
struct DialogAnswer {
    enum Type { Cancel, Accept, Button, Text, File, Print, Color, Font } type = Cancel;
    int button = 0;
    QString text;        // input text, or the file name as typed (relative names are taken in InitialDir)
    int filterIndex = 0; // File: 0 keeps the dialog's FilterIndex
    int copies = 1, fromPage = 0, toPage = 0; // Print: range prPageNums when toPage > 0
    int orientation = -1;                     // Print: the page turned to this TPrinterOrientation; -1 leaves it
    std::int32_t color = 0;
    QFont font;

    static DialogAnswer cancel() { return {}; }
    static DialogAnswer accept() {
        DialogAnswer a;
        a.type = Accept;
        return a;
    }
    static DialogAnswer buttonResult(int id) {
        DialogAnswer a;
        a.type = Button;
        a.button = id;
        return a;
    }
    static DialogAnswer input(const QString &t) {
        DialogAnswer a;
        a.type = Text;
        a.text = t;
        return a;
    }
    static DialogAnswer file(const QString &name, int filter = 0) {
        DialogAnswer a;
        a.type = File;
        a.text = name;
        a.filterIndex = filter;
        return a;
    }
    static DialogAnswer print(int copies, int from = 0, int to = 0) {
        DialogAnswer a;
        a.type = Print;
        a.copies = copies;
        a.fromPage = from;
        a.toPage = to;
        return a;
    }
    static DialogAnswer colour(std::int32_t bgr) {
        DialogAnswer a;
        a.type = Color;
        a.color = bgr;
        return a;
    }
    static DialogAnswer fontChoice(const QFont &f) {
        DialogAnswer a;
        a.type = Font;
        a.font = f;
        return a;
    }
};

// What a dialog showed and how it ended.
struct DialogRecord {
    DialogKind kind = DialogKind::MessageBox;
    QString caption;     // caption or title
    QString text;        // message or prompt; for file dialogs the filter
    unsigned flags = 0;  // MessageBox flags; MessageDlg: type in the low byte, buttons bits << 8
    QString initialDir;  // file dialogs
    QString defaultText; // input box default; file dialogs: FileName on entry
    int result = 0;      // ID*/mr* result; other dialogs 1 = accepted, 0 = cancelled
    QString answer;      // input text or chosen file
    bool scripted = false;
    bool unanswered = false; // nobody answered (headless or strict, script empty)
};

class DialogScriptState {
public:
    void push(const DialogAnswer &answer) { answers_.push_back(answer); }
    void pushButton(int id) { push(DialogAnswer::buttonResult(id)); }
    void pushText(const QString &t) { push(DialogAnswer::input(t)); }
    void pushFile(const QString &name, int filter = 0) { push(DialogAnswer::file(name, filter)); }
    void pushCancel() { push(DialogAnswer::cancel()); }
    void pushAccept() { push(DialogAnswer::accept()); }

    // Queues the answers of a script file (format above); the count queued, or -1 when
    // the file cannot be read or a line is not understood (the lines before it stay queued).
    int load(const QString &path);

    // Answers still queued.
    int pending() const { return int(answers_.size()); }
    const std::vector<DialogRecord> &log() const { return log_; }
    int unansweredCount() const;
    // Forgets queued answers and the log; Strict goes back to off.
    void reset();

    // Strict: never show a real dialog, even on a GUI platform (end-to-end runs under
    // a real X server).
    void setStrict(bool on) { strict_ = on; }
    bool strict() const { return strict_; }

    // Used by the dialogs.
    bool take(DialogAnswer &answer);
    void record(const DialogRecord &r);

private:
    std::deque<DialogAnswer> answers_;
    std::vector<DialogRecord> log_;
    bool strict_ = false;
};

// The one script of the process.
DialogScriptState &DialogScript();

} // namespace forms
