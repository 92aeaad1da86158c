#include "Dialogs.h"

#include "Graphics.h"
#include "Printer.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace forms {

namespace {

// One answer per line, for programs that a test starts as a process of their own.
bool parseAnswer(const QString &line, DialogAnswer &a) {
    const QString word = line.section(QLatin1Char(' '), 0, 0).toLower();
    const QString rest = line.section(QLatin1Char(' '), 1);
    const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool ok = true;
    if (word == QLatin1String("cancel"))
        a = DialogAnswer::cancel();
    else if (word == QLatin1String("accept"))
        a = DialogAnswer::accept();
    else if (word == QLatin1String("button"))
        a = DialogAnswer::buttonResult(rest.trimmed().toInt(&ok));
    else if (word == QLatin1String("text"))
        a = DialogAnswer::input(rest);
    else if (word == QLatin1String("file")) {
        const QStringList f = rest.split(QLatin1Char('\t'));
        a = DialogAnswer::file(f.value(0), f.value(1).toInt());
    } else if (word == QLatin1String("print"))
        a = DialogAnswer::print(args.value(0, "1").toInt(&ok), args.value(1).toInt(), args.value(2).toInt());
    else if (word == QLatin1String("color"))
        a = DialogAnswer::colour(std::int32_t(rest.trimmed().toUInt(&ok, 16)));
    else if (word == QLatin1String("font"))
        a = DialogAnswer::fontChoice(QFont(rest.section(QLatin1Char(' '), 1), args.value(0).toInt(&ok)));
    else
        return false;
    return ok;
}

QString logField(QString s) {
    return s.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\t'), QLatin1String("\\t"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

} // namespace

int DialogScriptState::load(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "dialogs: cannot read the script %s\n", path.toLocal8Bit().constData());
        return -1;
    }
    int n = 0;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        DialogAnswer a;
        if (!parseAnswer(line, a)) {
            std::fprintf(stderr, "dialogs: script line not understood: %s\n", line.toLocal8Bit().constData());
            return -1;
        }
        push(a);
        ++n;
    }
    return n;
}

DialogScriptState &DialogScript() {
    static DialogScriptState state = [] {
        DialogScriptState s;
        if (const char *path = std::getenv("METER_DIALOG_SCRIPT"); path && *path) s.load(QString::fromLocal8Bit(path));
        return s;
    }();
    return state;
}

void DialogScriptState::record(const DialogRecord &r) {
    log_.push_back(r);
    const char *path = std::getenv("METER_DIALOG_LOG");
    if (!path || !*path) return;
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    const QString line = QString::fromLatin1(DialogKindName(r.kind)) + QLatin1Char('\t') + logField(r.caption) +
                         QLatin1Char('\t') + logField(r.text) + QLatin1Char('\t') + QString::number(r.result) +
                         QLatin1Char('\t') + logField(r.answer) + QLatin1Char('\t') +
                         (r.unanswered ? "unanswered"
                          : r.scripted ? "scripted"
                                       : "user") +
                         QLatin1Char('\n');
    f.write(line.toUtf8());
}

int DialogScriptState::unansweredCount() const {
    int n = 0;
    for (const auto &r : log_) n += r.unanswered ? 1 : 0;
    return n;
}

void DialogScriptState::reset() {
    answers_.clear();
    log_.clear();
    strict_ = false;
}

bool DialogScriptState::take(DialogAnswer &answer) {
    if (answers_.empty()) return false;
    answer = answers_.front();
    answers_.pop_front();
    return true;
}

const char *DialogKindName(DialogKind kind) {
    switch (kind) {
        case DialogKind::MessageBox: return "MessageBox";
        case DialogKind::ShowMessage: return "ShowMessage";
        case DialogKind::MessageDlg: return "MessageDlg";
        case DialogKind::InputBox: return "InputBox";
        case DialogKind::Open: return "Open";
        case DialogKind::Save: return "Save";
        case DialogKind::Print: return "Print";
        case DialogKind::PrinterSetup: return "PrinterSetup";
        case DialogKind::Color: return "Color";
        case DialogKind::Font: return "Font";
    }
    return "?";
}

namespace {

// How the current dialog gets its answer.
enum class Source { Script, User, Nobody };

bool onGuiThread() {
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

Source answerSource(DialogAnswer &answer) {
    // Off the GUI thread a Qt dialog would crash and the script is not ours to touch.
    if (!onGuiThread()) return Source::Nobody;
    if (DialogScript().take(answer)) return Source::Script;
    if (DialogScript().strict()) return Source::Nobody;
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) return Source::Nobody;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return Source::Nobody;
    return Source::User;
}

void warnUnanswered(const DialogRecord &r) {
    std::fprintf(stderr, "dialogs: unanswered %s \"%s\": %s\n", DialogKindName(r.kind),
                 r.caption.toLocal8Bit().constData(), r.text.toLocal8Bit().constData());
}

// Finishes a record: the log keeps every dialog, the warning names the ones nobody answered.
// A scripted answer that does not fit the dialog counts as unanswered too.
void finish(DialogRecord &r, Source source) {
    r.scripted = source == Source::Script;
    r.unanswered = r.unanswered || source == Source::Nobody;
    if (r.unanswered) warnUnanswered(r);
    if (onGuiThread()) DialogScript().record(r);
}

QString applicationTitle() { return QCoreApplication::applicationName(); }

// ---- message boxes ----

struct ButtonSpec {
    int result;
    QString label;
};

// Buttons of a Win32 message box type, in their order.
std::vector<ButtonSpec> messageBoxButtons(unsigned flags) {
    switch (flags & MB_TYPEMASK) {
        case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
        case MB_ABORTRETRYIGNORE: return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
        case MB_YESNOCANCEL: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
        case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
        case MB_RETRYCANCEL: return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
        default: return {{IDOK, "OK"}};
    }
}

// What Escape gives: Cancel, else No, else the first button.
int escapeResult(const std::vector<ButtonSpec> &buttons) {
    for (const auto &b : buttons)
        if (b.result == IDCANCEL) return b.result;
    for (const auto &b : buttons)
        if (b.result == IDNO) return b.result;
    return buttons.front().result;
}

bool hasResult(const std::vector<ButtonSpec> &buttons, int result) {
    for (const auto &b : buttons)
        if (b.result == result) return true;
    return false;
}

QMessageBox::Icon qtIcon(unsigned flags) {
    switch (flags & MB_ICONMASK) {
        case MB_ICONHAND: return QMessageBox::Critical;
        case MB_ICONQUESTION: return QMessageBox::Question;
        case MB_ICONEXCLAMATION: return QMessageBox::Warning;
        case MB_ICONASTERISK: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

int runQtMessageBox(const QString &text, const QString &caption, QMessageBox::Icon icon,
                    const std::vector<ButtonSpec> &buttons, size_t defaultIndex) {
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    std::vector<std::pair<QAbstractButton *, int>> map;
    for (size_t i = 0; i < buttons.size(); ++i) {
        QPushButton *b = box.addButton(buttons[i].label, QMessageBox::ActionRole);
        map.emplace_back(b, buttons[i].result);
        if (i == defaultIndex) box.setDefaultButton(b);
    }
    const int esc = escapeResult(buttons);
    for (auto &[b, r] : map)
        if (r == esc) box.setEscapeButton(b);
    box.exec();
    for (auto &[b, r] : map)
        if (box.clickedButton() == b) return r;
    return esc;
}

// The shared road of MessageBox, ShowMessage and MessageDlg.
int messageDialog(DialogKind kind, const QString &text, const QString &caption, unsigned logFlags,
                  QMessageBox::Icon icon, const std::vector<ButtonSpec> &buttons, size_t defaultIndex) {
    DialogRecord r;
    r.kind = kind;
    r.caption = caption;
    r.text = text;
    r.flags = logFlags;
    DialogAnswer a;
    const Source source = answerSource(a);
    int result = escapeResult(buttons);
    if (source == Source::Script) {
        if (a.type == DialogAnswer::Button && hasResult(buttons, a.button)) {
            result = a.button;
        } else if (a.type == DialogAnswer::Accept) {
            result = buttons.front().result;
        } else if (a.type != DialogAnswer::Cancel) {
            // An answer this box cannot give is a broken script: say so, and close the box.
            std::fprintf(stderr, "dialogs: scripted answer does not fit %s \"%s\"\n", DialogKindName(kind),
                         caption.toLocal8Bit().constData());
            r.unanswered = true;
        }
    } else if (source == Source::User) {
        result = runQtMessageBox(text, caption, icon, buttons, defaultIndex);
    }
    r.result = result;
    finish(r, source);
    return result;
}

} // namespace

int MessageBox(const QString &text, const QString &caption, unsigned flags) {
    const auto buttons = messageBoxButtons(flags);
    size_t def = (flags & MB_DEFMASK) >> 8;
    if (def >= buttons.size()) def = 0;
    return messageDialog(DialogKind::MessageBox, text, caption.isNull() ? QStringLiteral("Error") : caption, flags,
                         qtIcon(flags), buttons, def);
}

void ShowMessage(const QString &text) {
    messageDialog(DialogKind::ShowMessage, text, applicationTitle(), MB_OK, QMessageBox::NoIcon, {{IDOK, "OK"}}, 0);
}

TModalResult MessageDlg(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons, int) {
    static const struct {
        TMsgDlgBtn btn;
        TModalResult result;
        const char *label;
    } order[] = {{mbYes, mrYes, "&Yes"},
                 {mbNo, mrNo, "&No"},
                 {mbOK, mrOk, "OK"},
                 {mbCancel, mrCancel, "Cancel"},
                 {mbAbort, mrAbort, "&Abort"},
                 {mbRetry, mrRetry, "&Retry"},
                 {mbIgnore, mrIgnore, "&Ignore"},
                 {mbAll, mrAll, "&All"},
                 {mbNoToAll, mrNoToAll, "N&o to All"},
                 {mbYesToAll, mrYesToAll, "Yes to &All"},
                 {mbHelp, mrNone, "&Help"}};
    std::vector<ButtonSpec> specs;
    for (const auto &o : order)
        if (buttons.Contains(o.btn) && o.btn != mbHelp) specs.push_back({o.result, QString::fromLatin1(o.label)});
    if (specs.empty()) specs.push_back({mrOk, "OK"});
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type) {
        case mtWarning:
            caption = "Warning";
            icon = QMessageBox::Warning;
            break;
        case mtError:
            caption = "Error";
            icon = QMessageBox::Critical;
            break;
        case mtInformation:
            caption = "Information";
            icon = QMessageBox::Information;
            break;
        case mtConfirmation:
            caption = "Confirm";
            icon = QMessageBox::Question;
            break;
        case mtCustom: caption = applicationTitle(); break;
    }
    return messageDialog(DialogKind::MessageDlg, text, caption, unsigned(type) | (buttons.Bits() << 8), icon, specs, 0);
}

bool Confirm(const QString &text, const QString &caption) {
    return MessageBox(text, caption.isEmpty() ? applicationTitle() : caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool InputQuery(const QString &caption, const QString &prompt, QString &value) {
    DialogRecord r;
    r.kind = DialogKind::InputBox;
    r.caption = caption;
    r.text = prompt;
    r.defaultText = value;
    DialogAnswer a;
    const Source source = answerSource(a);
    bool ok = false;
    QString text = value;
    if (source == Source::Script) {
        if (a.type == DialogAnswer::Text) {
            ok = true;
            text = a.text;
        } else if (a.type == DialogAnswer::Accept) {
            ok = true;
        } else if (a.type != DialogAnswer::Cancel) {
            std::fprintf(stderr, "dialogs: scripted answer does not fit InputBox \"%s\"\n",
                         caption.toLocal8Bit().constData());
            r.unanswered = true;
        }
    } else if (source == Source::User) {
        text = QInputDialog::getText(QApplication::activeWindow(), caption, prompt, QLineEdit::Normal, value, &ok);
    }
    r.result = ok ? 1 : 0;
    r.answer = ok ? text : QString();
    finish(r, source);
    if (ok) value = text;
    return ok;
}

QString InputBox(const QString &caption, const QString &prompt, const QString &defaultText) {
    QString v = defaultText;
    InputQuery(caption, prompt, v);
    return v;
}

// ---- file dialogs ----

TOpenDialog::TOpenDialog(TComponent *AOwner) : TComponent(AOwner) {}
TSaveDialog::TSaveDialog(TComponent *AOwner) : TOpenDialog(AOwner) {}

namespace {

// "Text|*.txt|All|*.*|" -> {"Text (*.txt)", "All (*.*)"}, keeping pairs only.
QStringList qtFilters(const QString &filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) continue;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}

} // namespace

bool TOpenDialog::Execute() { return run(false); }
bool TSaveDialog::Execute() { return run(true); }

bool TOpenDialog::run(bool save) {
    DialogRecord r;
    r.kind = save ? DialogKind::Save : DialogKind::Open;
    r.caption = Title;
    r.text = Filter;
    r.initialDir = InitialDir;
    r.defaultText = FileName;
    const QStringList filters = qtFilters(Filter);
    const int index = FilterIndex < 1 ? 1 : FilterIndex;

    DialogAnswer a;
    const Source source = answerSource(a);
    QString chosen;
    int chosenFilter = index;
    if (source == Source::Script) {
        if (a.type == DialogAnswer::File) {
            chosen = a.text;
            if (a.filterIndex > 0) chosenFilter = a.filterIndex;
        } else if (a.type == DialogAnswer::Accept) {
            chosen = FileName;
        } else if (a.type != DialogAnswer::Cancel) {
            std::fprintf(stderr, "dialogs: scripted answer does not fit %s dialog\n", save ? "save" : "open");
            r.unanswered = true;
        }
        if (!chosen.isEmpty() && QFileInfo(chosen).isRelative()) {
            const QString base = InitialDir.isEmpty() ? QDir::currentPath() : InitialDir;
            chosen = QDir(base).filePath(chosen);
        }
    } else if (source == Source::User) {
        QFileDialog dlg(QApplication::activeWindow(), Title, InitialDir);
        dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (!save && !(Options & ofFileMustExist)) dlg.setFileMode(QFileDialog::AnyFile);
        if (save && !(Options & ofOverwritePrompt)) dlg.setOption(QFileDialog::DontConfirmOverwrite);
        if (!filters.isEmpty()) {
            dlg.setNameFilters(filters);
            if (index <= filters.size()) dlg.selectNameFilter(filters[index - 1]);
        }
        if (!FileName.isEmpty()) dlg.selectFile(FileName);
        // The default extension is added below, by the class library's rule.
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) {
            chosen = dlg.selectedFiles().first();
            const int f = int(filters.indexOf(dlg.selectedNameFilter()));
            if (f >= 0) chosenFilter = f + 1;
        }
    }
    const bool ok = !chosen.isEmpty();
    if (ok) {
        const QFileInfo fi(chosen);
        if (!DefaultExt.isEmpty() && fi.suffix().isEmpty() && !fi.fileName().endsWith(QLatin1Char('.')) &&
            (save || !fi.exists()))
            chosen += QLatin1Char('.') + DefaultExt;
        FileName = QDir::cleanPath(chosen);
        FilterIndex = chosenFilter;
    }
    r.result = ok ? 1 : 0;
    r.answer = ok ? FileName : QString();
    finish(r, source);
    return ok;
}

// ---- print, printer set-up ----

TPrintDialog::TPrintDialog(TComponent *AOwner) : TComponent(AOwner) {}

bool TPrintDialog::Execute() {
    DialogRecord r;
    r.kind = DialogKind::Print;
    r.caption = QStringLiteral("Print");
    DialogAnswer a;
    const Source source = answerSource(a);
    bool ok = false;
    if (source == Source::Script) {
        if (a.type == DialogAnswer::Print) {
            ok = true;
            Copies = a.copies < 1 ? 1 : a.copies;
            if (a.orientation == poPortrait || a.orientation == poLandscape)
                Printer()->SetOrientation(TPrinterOrientation(a.orientation));
            if (a.toPage > 0) {
                PrintRange = prPageNums;
                FromPage = a.fromPage;
                ToPage = a.toPage;
            } else {
                PrintRange = prAllPages;
            }
        } else if (a.type == DialogAnswer::Accept) {
            ok = true;
        } else if (a.type != DialogAnswer::Cancel) {
            std::fprintf(stderr, "dialogs: scripted answer does not fit the print dialog\n");
            r.unanswered = true;
        }
    } else if (source == Source::User) {
        QPrintDialog dlg(Printer()->QtPrinter(), QApplication::activeWindow());
        if (MaxPage > 0) dlg.setMinMax(MinPage, MaxPage);
        dlg.setOption(QAbstractPrintDialog::PrintPageRange, (Options & poPageNums) != 0);
        dlg.setOption(QAbstractPrintDialog::PrintSelection, (Options & poSelection) != 0);
        dlg.setOption(QAbstractPrintDialog::PrintToFile, !(Options & poDisablePrintToFile));
        if (dlg.exec() == QDialog::Accepted) {
            ok = true;
            QPrinter *p = Printer()->QtPrinter();
            Copies = p->copyCount();
            // The dialog's properties may have turned the page: jobs follow its choice.
            Printer()->SetOrientation(p->pageLayout().orientation() == QPageLayout::Landscape ? poLandscape
                                                                                              : poPortrait);
            switch (dlg.printRange()) {
                case QAbstractPrintDialog::PageRange:
                    PrintRange = prPageNums;
                    FromPage = dlg.fromPage();
                    ToPage = dlg.toPage();
                    break;
                case QAbstractPrintDialog::Selection: PrintRange = prSelection; break;
                default: PrintRange = prAllPages; break;
            }
        }
    }
    if (ok) Printer()->SetCopies(Copies);
    r.result = ok ? 1 : 0;
    r.answer = ok ? QString::number(Copies) : QString();
    finish(r, source);
    return ok;
}

TPrinterSetupDialog::TPrinterSetupDialog(TComponent *AOwner) : TComponent(AOwner) {}

bool TPrinterSetupDialog::Execute() {
    DialogRecord r;
    r.kind = DialogKind::PrinterSetup;
    r.caption = QStringLiteral("Print Setup");
    DialogAnswer a;
    const Source source = answerSource(a);
    bool ok = false;
    if (source == Source::Script) {
        ok = a.type != DialogAnswer::Cancel;
    } else if (source == Source::User) {
        QPrinter *p = Printer()->QtPrinter();
        QPageSetupDialog dlg(p, QApplication::activeWindow());
        ok = dlg.exec() == QDialog::Accepted;
        if (ok)
            Printer()->SetOrientation(p->pageLayout().orientation() == QPageLayout::Landscape ? poLandscape
                                                                                              : poPortrait);
    }
    r.result = ok ? 1 : 0;
    finish(r, source);
    return ok;
}

// ---- colour, font ----

TColorDialog::TColorDialog(TComponent *AOwner) : TComponent(AOwner), Color(static_cast<TColor>(0)) {}

bool TColorDialog::Execute() {
    DialogRecord r;
    r.kind = DialogKind::Color;
    r.caption = QStringLiteral("Color");
    r.defaultText = QString::number(std::int32_t(Color), 16);
    DialogAnswer a;
    const Source source = answerSource(a);
    bool ok = false;
    if (source == Source::Script) {
        if (a.type == DialogAnswer::Color) {
            ok = true;
            Color = static_cast<TColor>(a.color);
        } else if (a.type == DialogAnswer::Accept) {
            ok = true;
        } else if (a.type != DialogAnswer::Cancel) {
            std::fprintf(stderr, "dialogs: scripted answer does not fit the colour dialog\n");
            r.unanswered = true;
        }
    } else if (source == Source::User) {
        const QColor c = QColorDialog::getColor(ColorToQColor(Color), QApplication::activeWindow());
        if (c.isValid()) {
            ok = true;
            Color = static_cast<TColor>(QColorToColor(c));
        }
    }
    r.result = ok ? 1 : 0;
    r.answer = ok ? QString::number(std::int32_t(Color), 16) : QString();
    finish(r, source);
    return ok;
}

TFontDialog::TFontDialog(TComponent *AOwner) : TComponent(AOwner), Color(static_cast<TColor>(0)) {}

bool TFontDialog::Execute() {
    DialogRecord r;
    r.kind = DialogKind::Font;
    r.caption = QStringLiteral("Font");
    r.defaultText = Font.family();
    DialogAnswer a;
    const Source source = answerSource(a);
    bool ok = false;
    if (source == Source::Script) {
        if (a.type == DialogAnswer::Font) {
            ok = true;
            Font = a.font;
        } else if (a.type == DialogAnswer::Accept) {
            ok = true;
        } else if (a.type != DialogAnswer::Cancel) {
            std::fprintf(stderr, "dialogs: scripted answer does not fit the font dialog\n");
            r.unanswered = true;
        }
    } else if (source == Source::User) {
        const QFont f = QFontDialog::getFont(&ok, Font, QApplication::activeWindow());
        if (ok) Font = f;
    }
    r.result = ok ? 1 : 0;
    r.answer = ok ? Font.family() : QString();
    finish(r, source);
    return ok;
}

} // namespace forms
