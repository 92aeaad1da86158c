#include "Printer.h"

#include "Runtime.h"
#include "platform/forms/Printer.h"

namespace vb {

namespace {

int margin(forms::TPrinter *p) { return p->Resolution() / 4; }

// Printer errors as the runtime raises them.
[[noreturn]] void raise(const forms::EPrinter &e) { throw RuntimeError(482, "Printer error: " + e.Message()); }

} // namespace

PrinterObject &Printer() {
    static PrinterObject printer;
    return printer;
}

bool PrinterObject::Printing() const { return forms::Printer()->Printing(); }

void PrinterObject::begin() {
    forms::TPrinter *p = forms::Printer();
    if (p->Printing()) return;
    try {
        p->BeginDoc();
    } catch (const forms::EPrinter &e) {
        raise(e);
    }
    y_ = margin(p);
}

void PrinterObject::Print(const QString &line) {
    begin();
    forms::TPrinter *p = forms::Printer();
    forms::TCanvas *c = p->Canvas();
    c->Font.Name = FontName;
    c->Font.Size = int(FontSize + 0.5);
    c->Font.Height = 0;
    c->Brush.Style = forms::bsClear;
    const int h = c->TextHeight(line);
    if (y_ + h > p->PageHeight() - margin(p) && y_ > margin(p)) NewPage();
    if (!line.isEmpty()) c->TextOut(margin(p), y_, line);
    y_ += h;
}

void PrinterObject::NewPage() {
    begin();
    forms::Printer()->NewPage();
    y_ = margin(forms::Printer());
}

void PrinterObject::EndDoc() {
    if (!Printing()) return;
    try {
        forms::Printer()->EndDoc();
    } catch (const forms::EPrinter &e) {
        raise(e);
    }
}

void PrinterObject::KillDoc() {
    if (Printing()) forms::Printer()->Abort();
}

} // namespace vb
