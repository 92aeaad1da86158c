// The engine's dialogs, exports and printing.

#include "chart/engine/Engine.h"
#include "chart/engine/Export.h"
#include "chart/engine/Renderer.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Printer.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace chart::engine {

namespace {

std::function<void(QWidget &)> &script() {
    static std::function<void(QWidget &)> s;
    return s;
}

bool headless() {
    const QString p = QGuiApplication::platformName();
    return p == "offscreen" || p == "minimal";
}

void setButtonColor(QPushButton *b, std::int32_t ref) {
    b->setProperty("colorRef", ref);
    QColor c = fromColorRef(ref);
    b->setStyleSheet(QString("background-color: %1;").arg(c.name()));
}

QPushButton *colorButton(QWidget *parent, const char *name, std::int32_t ref) {
    auto *b = new QPushButton(parent);
    b->setObjectName(name);
    b->setMinimumWidth(60);
    setButtonColor(b, ref);
    QObject::connect(b, &QPushButton::clicked, b, [b] {
        forms::TColorDialog dlg;
        dlg.Color = static_cast<forms::TColor>(b->property("colorRef").toInt());
        if (dlg.Execute()) setButtonColor(b, dlg.Color);
    });
    return b;
}

QComboBox *combo(QWidget *parent, const char *name, const QStringList &items, int current) {
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItems(items);
    c->setCurrentIndex(std::clamp(current, 0, static_cast<int>(items.size()) - 1));
    return c;
}

const QStringList kLineTypes = {"Thin Solid",   "Dash",        "Dot",         "Dash Dot",  "Dash Dot Dot",
                                "Medium Solid", "Thick Solid", "Medium Dash", "Medium Dot"};

// Paints the chart at the widget's size (the maximised view).
class ChartView : public QWidget {
public:
    explicit ChartView(const Engine &e, QWidget *parent) : QWidget(parent), engine_(e) {}

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter g(this);
        Layout L;
        renderChart(engine_.props(), g, width(), height(), L);
    }

private:
    const Engine &engine_;
};

} // namespace

void Engine::setDialogScript(std::function<void(QWidget &)> s) { script() = std::move(s); }

int Engine::runDialog(QDialog &dialog) {
    if (script()) {
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        script()(dialog);
        if (dialog.isVisible()) dialog.reject();
        return dialog.result();
    }
    if (headless()) return QDialog::Rejected;
    return dialog.exec();
}

void Engine::runMenu(QMenu &menu) {
    if (script()) {
        menu.popup(QCursor::pos());
        script()(menu);
        menu.close();
        return;
    }
    if (!headless()) menu.exec(QCursor::pos());
}

// ---- customise --------------------------------------------------------------------

namespace {
int customize(Engine &e, int page, bool notifyParent);
}

int Engine::customizeDialog() { return customize(*this, 0, true); }
int Engine::colorDialog() { return customize(*this, 1, false); }
int Engine::fontDialog() { return customize(*this, 2, false); }

namespace {

struct FontChoice {
    QPushButton *button;
    int family, bold, italic, underline;
};

QPushButton *fontButton(QWidget *parent, const char *name, const PropertyStore &p, int family, int bold, int italic,
                        int underline) {
    auto *b = new QPushButton(parent);
    b->setObjectName(name);
    QFont f(fromAnsi(p.string(family)));
    f.setBold(p.integer(bold));
    f.setItalic(p.integer(italic));
    f.setUnderline(p.integer(underline));
    b->setProperty("font", f);
    b->setText(f.family());
    QObject::connect(b, &QPushButton::clicked, b, [b] {
        forms::TFontDialog dlg;
        dlg.Font = b->property("font").value<QFont>();
        if (dlg.Execute()) {
            b->setProperty("font", dlg.Font);
            b->setText(dlg.Font.family());
        }
    });
    return b;
}

} // namespace

namespace {

int customize(Engine &e, int page, bool notifyParent) {
    PropertyStore &p = e.props();
    QDialog dlg;
    dlg.setObjectName("customize");
    dlg.setWindowTitle("Customize");
    auto *tabs = new QTabWidget(&dlg);
    tabs->setObjectName("pages");

    // Style page.
    auto *style = new QWidget;
    auto *sf = new QFormLayout(style);
    auto *mainTitle = new QLineEdit(fromAnsi(p.string(id::MainTitle)), style);
    mainTitle->setObjectName("mainTitle");
    mainTitle->setMaxLength(255);
    auto *subTitle = new QLineEdit(fromAnsi(p.string(id::SubTitle)), style);
    subTitle->setObjectName("subTitle");
    subTitle->setMaxLength(255);
    auto *fontSize = combo(style, "fontSize", {"Large", "Medium", "Small"}, p.integer(id::FontSize));
    auto *grid =
        combo(style, "gridLines", {"Y + X Axis", "Y Axis", "X Axis", "No Grid"}, p.integer(id::GridLineControl));
    auto *view =
        combo(style, "viewingStyle", {"Color", "Monochrome", "Monochrome + Symbols"}, p.integer(id::ViewingStyle));
    auto *legend = new QCheckBox("Show legend", style);
    legend->setObjectName("showLegend");
    legend->setChecked(p.integer(id::ShowLegend));
    sf->addRow("Main title", mainTitle);
    sf->addRow("Subtitle", subTitle);
    sf->addRow("Font size", fontSize);
    sf->addRow("Grid lines", grid);
    sf->addRow("Viewing style", view);
    sf->addRow(legend);
    tabs->addTab(style, "Style");

    // Colour page: the chart's colours, then each subset's colour and line type.
    auto *colours = new QWidget;
    auto *cg = new QGridLayout(colours);
    struct Slot {
        const char *name;
        const char *text;
        int id;
    };
    const Slot colourSlots[] = {{"deskColor", "Desk", id::DeskColor},
                                {"graphBackColor", "Graph background", id::GraphBackColor},
                                {"graphForeColor", "Graph foreground", id::GraphForeColor},
                                {"textColor", "Text", id::TextColor}};
    std::vector<std::pair<QPushButton *, int>> colourButtons;
    int row = 0;
    for (const Slot &s : colourSlots) {
        cg->addWidget(new QLabel(s.text, colours), row, 0);
        QPushButton *b = colorButton(colours, s.name, p.integer(s.id));
        cg->addWidget(b, row++, 1);
        colourButtons.emplace_back(b, s.id);
    }
    int subsets = std::min(p.subsets(), 32);
    std::vector<QPushButton *> subsetButtons;
    std::vector<QComboBox *> lineTypes;
    for (int s = 0; s < subsets; ++s) {
        std::string label;
        p.elemString(id::SubsetLabels, s, label);
        cg->addWidget(new QLabel(label.empty() ? QString("Subset %1").arg(s + 1) : fromAnsi(label), colours), row, 0);
        QByteArray name = "subsetColor" + QByteArray::number(s);
        QPushButton *b = colorButton(colours, name.constData(), toColorRef(subsetColor(p, s)));
        cg->addWidget(b, row, 1);
        QByteArray lt = "subsetLineType" + QByteArray::number(s);
        QComboBox *c = combo(colours, lt.constData(), kLineTypes, subsetLineType(p, s));
        cg->addWidget(c, row++, 2);
        subsetButtons.push_back(b);
        lineTypes.push_back(c);
    }
    tabs->addTab(colours, "Colors");

    // Font page.
    auto *fonts = new QWidget;
    auto *ff = new QFormLayout(fonts);
    FontChoice fontChoices[] = {
        {fontButton(fonts, "mainTitleFont", p, id::MainTitleFont, id::MainTitleBold, id::MainTitleItalic,
                    id::MainTitleUnderline),
         id::MainTitleFont, id::MainTitleBold, id::MainTitleItalic, id::MainTitleUnderline},
        {fontButton(fonts, "subTitleFont", p, id::SubTitleFont, id::SubTitleBold, id::SubTitleItalic,
                    id::SubTitleUnderline),
         id::SubTitleFont, id::SubTitleBold, id::SubTitleItalic, id::SubTitleUnderline},
        {fontButton(fonts, "labelFont", p, id::LabelFont, id::LabelBold, id::LabelItalic, id::LabelUnderline),
         id::LabelFont, id::LabelBold, id::LabelItalic, id::LabelUnderline}};
    ff->addRow("Main title", fontChoices[0].button);
    ff->addRow("Subtitle", fontChoices[1].button);
    ff->addRow("Labels", fontChoices[2].button);
    tabs->addTab(fonts, "Fonts");
    tabs->setCurrentIndex(page);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    buttons->setObjectName("buttons");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto *v = new QVBoxLayout(&dlg);
    v->addWidget(tabs);
    v->addWidget(buttons);

    bool ok = Engine::runDialog(dlg) == QDialog::Accepted;
    if (ok) {
        e.applyCustom(id::ViewingStyle, view->currentIndex());
        e.applyCustom(id::FontSize, fontSize->currentIndex());
        e.applyCustom(id::GridLineControl, grid->currentIndex());
        e.applyCustom(id::ShowLegend, legend->isChecked() ? 1 : 0);
        e.applyCustomString(id::MainTitle, toAnsi(mainTitle->text()));
        e.applyCustomString(id::SubTitle, toAnsi(subTitle->text()));
        for (auto &[b, pid] : colourButtons) e.applyCustom(pid, b->property("colorRef").toInt());
        for (int s = 0; s < subsets; ++s) {
            e.applyCustomElem(id::SubsetColors, s, subsetButtons[s]->property("colorRef").toInt());
            e.applyCustomElem(id::SubsetLineTypes, s, lineTypes[s]->currentIndex());
        }
        for (const FontChoice &c : fontChoices) {
            QFont f = c.button->property("font").value<QFont>();
            e.applyCustomString(c.family, toAnsi(f.family()));
            e.applyCustom(c.bold, f.bold() ? 1 : 0);
            e.applyCustom(c.italic, f.italic() ? 1 : 0);
            e.applyCustom(c.underline, f.underline() ? 1 : 0);
        }
    }
    p.setNumber(id::DialogResult, ok ? 1 : 0);
    if (ok) e.refresh();
    if (notifyParent) e.notifyParent(3974);
    return ok ? 1 : 0;
}

} // namespace

// ---- export -----------------------------------------------------------------------

int Engine::exportDialog() {
    QDialog dlg;
    dlg.setObjectName("export");
    dlg.setWindowTitle("Export");
    auto *form = new QFormLayout(&dlg);
    QStringList types;
    for (const ExportType &t : exportTypes()) types << t.label;
    types << "Text"; // the data, not a picture
    auto *type = combo(&dlg, "type", types, props_.integer(id::ExportTypeDef));
    auto *dest = combo(&dlg, "destination", {"Clipboard", "File", "Printer"}, props_.integer(id::ExportDestDef));
    auto *units =
        combo(&dlg, "units", {"Pixels", "Millimeters", "Inches", "Points"}, props_.integer(id::ExportSizeDef));
    auto *w = new QSpinBox(&dlg);
    w->setObjectName("width");
    w->setRange(0, 8000);
    w->setValue(width());
    auto *h = new QSpinBox(&dlg);
    h->setObjectName("height");
    h->setRange(0, 8000);
    h->setValue(height());
    auto *file = new QLineEdit(fromAnsi(props_.string(id::ExportFileDef)), &dlg);
    file->setObjectName("file");
    form->addRow("Picture type", type);
    form->addRow("Destination", dest);
    form->addRow("Size units", units);
    form->addRow("Width", w);
    form->addRow("Height", h);
    form->addRow("File name", file);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    buttons->setObjectName("buttons");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    form->addRow(buttons);
    if (runDialog(dlg) != QDialog::Accepted) return 0;

    // Sizes in physical units are taken at 96 pixels per inch.
    const double perUnit[] = {1.0, 96.0 / 25.4, 96.0, 96.0 / 72.0};
    double f = perUnit[std::clamp(units->currentIndex(), 0, 3)];
    std::int32_t pair[2] = {static_cast<std::int32_t>(std::lround(w->value() * f)),
                            static_cast<std::int32_t>(std::lround(h->value() * f))};
    const int t = type->currentIndex();
    const bool text = t == static_cast<int>(exportTypes().size());
    ExportFormat fmt = t >= 0 && t < static_cast<int>(exportTypes().size())
                           ? exportTypes()[static_cast<std::size_t>(t)].format
                           : ExportFormat::Metafile;
    QByteArray name = file->text().toLatin1();
    switch (dest->currentIndex()) {
        case 0:
            if (text) {
                if (QClipboard *c = QGuiApplication::clipboard()) c->setText(dataText());
                return 1;
            }
            return exportToClipboard(fmt, pair);
        case 1:
            if (text) return textExportDialog(0, name.isEmpty() ? "" : name.constData()) && !name.isEmpty() ? 1 : 0;
            return exportToFile(fmt, pair, name.constData());
        default: return printGraph(props_.integer(id::DefOrientation));
    }
}

// ---- maximise ---------------------------------------------------------------------

int Engine::maximizeDialog() {
    QDialog dlg;
    dlg.setObjectName("maximize");
    dlg.setWindowTitle(fromAnsi(props_.string(id::MainTitle)));
    auto *v = new QVBoxLayout(&dlg);
    auto *view = new ChartView(*this, &dlg);
    view->setObjectName("chart");
    v->addWidget(view, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    v->addWidget(buttons);
    dlg.resize(1000, 700);
    runDialog(dlg);
    return 1;
}

// ---- text export ------------------------------------------------------------------

QString Engine::dataText() const {
    QString out;
    bool dt = props_.integer(id::DateTimeMode) != 0;
    int decimals = std::clamp(props_.integer(id::DataPrecision), 0, 6);
    out += "Point";
    for (int s = 0; s < props_.subsets(); ++s) {
        std::string l;
        props_.elemString(id::SubsetLabels, s, l);
        QString label = l.empty() ? QString("Subset %1").arg(s + 1) : fromAnsi(l);
        out += "\t" + label + " X\t" + label;
    }
    out += "\n";
    for (int i = 0; i < props_.points(); ++i) {
        out += QString::number(i + 1);
        for (int s = 0; s < props_.subsets(); ++s) {
            double x = xValue(props_, s, i), y = yValue(props_, s, i);
            if (isNullPoint(props_, x, y)) {
                out += "\t\t";
                continue;
            }
            out += "\t";
            out += dt ? dateTimeOfDays(x).toString("dd/MM/yyyy hh:mm:ss") : QString::number(x, 'g', 10);
            out += "\t" + QString::number(y, 'f', decimals);
        }
        out += "\n";
    }
    return out;
}

int Engine::textExportDialog(int, const char *text) {
    QString name = QString::fromLatin1(text ? text : "");
    QString data = dataText();
    if (!name.isEmpty()) {
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        QByteArray bytes = data.toUtf8();
        return f.write(bytes) == bytes.size() ? 1 : 0;
    }
    QDialog dlg;
    dlg.setObjectName("textExport");
    dlg.setWindowTitle("Text Export");
    auto *v = new QVBoxLayout(&dlg);
    auto *edit = new QPlainTextEdit(data, &dlg);
    edit->setObjectName("text");
    edit->setReadOnly(true);
    v->addWidget(edit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dlg);
    QPushButton *copy = buttons->addButton("Copy", QDialogButtonBox::ActionRole);
    copy->setObjectName("copy");
    QPushButton *save = buttons->addButton("Save...", QDialogButtonBox::ActionRole);
    save->setObjectName("save");
    QObject::connect(copy, &QPushButton::clicked, &dlg, [&] {
        if (QClipboard *c = QGuiApplication::clipboard()) c->setText(data);
    });
    bool saved = false;
    QObject::connect(save, &QPushButton::clicked, &dlg, [&] {
        forms::TSaveDialog sd;
        sd.Filter = "Text files (*.txt)|*.txt|All files|*";
        sd.DefaultExt = "txt";
        if (!sd.Execute()) return;
        QFile f(sd.FileName);
        QByteArray bytes = data.toUtf8();
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size())
            saved = true;
        else
            forms::ShowMessage("Cannot write " + sd.FileName);
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    v->addWidget(buttons);
    dlg.resize(600, 400);
    runDialog(dlg);
    return saved ? 1 : 0;
}

// ---- print ------------------------------------------------------------------------

bool Engine::printOn(QPainter &g, const QRect &page) {
    // The chart keeps the window's proportions, as large as the page allows.
    int w = width(), h = height();
    double s = std::min(page.width() / double(w), page.height() / double(h));
    QRect target(page.left() + static_cast<int>((page.width() - w * s) / 2), page.top(), static_cast<int>(w * s),
                 static_cast<int>(h * s));
    g.save();
    g.setViewport(target);
    g.setWindow(0, 0, w, h);
    Layout L;
    if (props_.integer(2705 /*PrintStyleControl*/) == 2) {
        PropertyStore mono = props_;
        mono.setNumber(id::ViewingStyle, 1);
        renderChart(mono, g, w, h, L);
    } else {
        renderChart(props_, g, w, h, L);
    }
    g.restore();
    return true;
}

namespace {

// The shared printer's page as it was, put back however the job ends: a chart's own page
// does not carry into the program's next print.
class KeptOrientation {
public:
    KeptOrientation() : printer_(forms::Printer()), kept_(printer_->Orientation()) {}
    ~KeptOrientation() {
        if (!printer_->Printing()) printer_->SetOrientation(kept_);
    }
    KeptOrientation(const KeptOrientation &) = delete;
    KeptOrientation &operator=(const KeptOrientation &) = delete;

private:
    forms::TPrinter *printer_;
    forms::TPrinterOrientation kept_;
};

void applyOrientation(forms::TPrinter *pr, int orientation) {
    if (orientation == 1)
        pr->SetOrientation(forms::poLandscape);
    else if (orientation == 2)
        pr->SetOrientation(forms::poPortrait);
}

} // namespace

int Engine::printGraph(int orientation) {
    try {
        const KeptOrientation kept;
        forms::TPrinter *pr = forms::Printer();
        applyOrientation(pr, orientation);
        pr->SetTitle(fromAnsi(props_.string(id::MainTitle)));
        pr->BeginDoc();
        QPainter *g = pr->Canvas()->Painter();
        if (!g) {
            pr->Abort();
            return 0;
        }
        int mw = pr->PageWidth() / 20, mh = pr->PageHeight() / 20;
        printOn(*g, QRect(mw, mh, pr->PageWidth() - 2 * mw, pr->PageHeight() - 2 * mh));
        pr->EndDoc();
        return 1;
    } catch (const std::exception &e) {
        forms::ShowMessage(QString::fromLocal8Bit(e.what()));
        return 0;
    }
}

int Engine::printDialog(int flag, const std::int32_t *) {
    if (!flag) return printGraph(props_.integer(id::DefOrientation));
    // The dialog opens on the chart's own page; what the user leaves there is printed.
    const KeptOrientation kept;
    forms::TPrinter *pr = forms::Printer();
    if (pr->Printing()) return printGraph(0); // a job still open: the print says so
    applyOrientation(pr, props_.integer(id::DefOrientation));
    forms::TPrintDialog dlg;
    if (!dlg.Execute()) return 0;
    return printGraph(0);
}

int Engine::popupMenu(const std::int32_t *pair) {
    runPopup(pair ? QPoint(pair[0], pair[1]) : QPoint());
    return 1;
}

} // namespace chart::engine
