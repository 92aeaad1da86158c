#include "hygro/UPanel.h"

#include "hygro/UMain.h"
#include "hygro/core/PanelLayout.h"

#include "platform/forms/Dialogs.h"
#include "serial/ComPort.h"

#include <QBitmap>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>

namespace hygro {

bool KeySent = false;
unsigned char KeyCommand = 0;
int32_t ShownAnnunciatorMask = -1;
LcdRows ShownDigits{};
QPointer<TfrmPanel> frmPanel;

namespace {

const QColor Ink(0x10, 0x14, 0x10);

QLabel *textMark(QWidget *parent, const QString &text, int x, int y, int pixelSize = 7, bool bold = false) {
    auto *l = new QLabel(text, parent);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Ink);
    l->setPalette(pal);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->adjustSize();
    l->move(x, y);
    return l;
}

QLabel *barMark(QWidget *parent, int x, int y, int w, int h) {
    auto *l = new QLabel(parent);
    QPixmap pm(w, h);
    pm.fill(Ink);
    l->setPixmap(pm);
    l->setGeometry(x, y, w, h);
    return l;
}

QLabel *pictureMark(QWidget *parent, int x, int y, int w, int h, const std::function<void(QPainter &)> &draw) {
    auto *l = new QLabel(parent);
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Ink);
    p.setBrush(Ink);
    draw(p);
    p.end();
    l->setPixmap(pm);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setGeometry(x, y, w, h);
    return l;
}

// The glyph with its background colour (bottom-left pixel) made transparent.
QPixmap transparentGlyph(const QImage &glyph) {
    if (glyph.isNull()) return QPixmap();
    QPixmap out = QPixmap::fromImage(glyph);
    out.setMask(QBitmap::fromImage(glyph.createMaskFromColor(glyph.pixel(0, glyph.height() - 1), Qt::MaskInColor)));
    return out;
}

} // namespace

THotArea::THotArea(QWidget *parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
}

void THotArea::mousePressEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton) return;
    pressed_ = true;
    if (OnMouseDown) RunHandler(OnMouseDown);
}

void THotArea::mouseReleaseEvent(QMouseEvent *e) {
    if (e->button() != Qt::LeftButton) return;
    const bool click = pressed_ && rect().contains(e->position().toPoint());
    pressed_ = false;
    if (OnMouseUp) RunHandler(OnMouseUp);
    if (click && OnClick) RunHandler(OnClick);
}

TfrmPanel::TfrmPanel() {
    using namespace panel;
    SetCaption(QStringLiteral("Panel"));
    setFixedSize(Width, Height);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, Width, Height);
    for (int i = 0; i < 4; ++i) {
        MainD[size_t(i)] = new QLabel(this);
        MainD[size_t(i)]->setGeometry(MainX[size_t(i)], MainY, MainGlyphW, MainGlyphH);
        SubD[size_t(i)] = new QLabel(this);
        SubD[size_t(i)]->setGeometry(SmallX[size_t(i)], SubY, SubGlyphW, SubGlyphH);
        ThirdD[size_t(i)] = new QLabel(this);
        ThirdD[size_t(i)]->setGeometry(SmallX[size_t(i)], ThirdY, SubGlyphW, SubGlyphH);
    }

    auto &m = Marks;
    m[annLowBattery] = pictureMark(this, 12, 16, 14, 7, [](QPainter &p) {
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, 11, 6);
        p.fillRect(12, 2, 2, 3, Ink);
        p.fillRect(2, 2, 3, 3, Ink);
    });
    m[annAutoOff] = textMark(this, QStringLiteral("APO"), 29, 15);
    m[annHOLD] = imgHOLD = textMark(this, QStringLiteral("H"), 50, 13, 10, true);
    m[annREL] = textMark(this, QStringLiteral("REL"), 62, 15);
    m[annMAX] = imgMAX = textMark(this, QStringLiteral("MAX"), 81, 15);
    m[annMIN] = imgMIN = textMark(this, QStringLiteral("MIN"), 99, 15);
    m[annREC] = imgREC = textMark(this, QStringLiteral("REC"), 12, 29, 7, true);
    m[annMainMinus] = barMark(this, 18, 53, 9, 3);
    m[annPoint] = barMark(this, 81, 63, 3, 3);
    m[annYear] = textMark(this, QStringLiteral("Y"), 102, 44, 8);
    m[annRH] = textMark(this, QStringLiteral("%RH"), 100, 58);
    m[annMonthDay] = textMark(this, QStringLiteral("M-D"), 96, 80);
    m[annT1] = imgT1 = textMark(this, QStringLiteral("T1"), 14, 80);
    m[annSubMinus] = barMark(this, 28, 84, 7, 2);
    m[annDateDash] = barMark(this, 56, 85, 3, 1);
    m[annSubPoint] = barMark(this, 69, 90, 2, 2);
    m[annSubC] = textMark(this, QStringLiteral("\u00b0C"), 82, 79, 8);
    m[annSubF] = textMark(this, QStringLiteral("\u00b0F"), 82, 79, 8);
    m[annHoursMinutes] = textMark(this, QStringLiteral("h:m"), 96, 106);
    m[annMinutesSeconds] = textMark(this, QStringLiteral("m:s"), 96, 106);
    m[annT2] = imgT2 = textMark(this, QStringLiteral("T2"), 14, 106);
    m[annThirdMinus] = barMark(this, 28, 110, 7, 2);
    m[annColon] = pictureMark(this, 56, 106, 3, 10, [](QPainter &p) {
        p.fillRect(0, 2, 2, 2, Ink);
        p.fillRect(0, 7, 2, 2, Ink);
    });
    m[annThirdPoint] = barMark(this, 69, 116, 2, 2);
    m[annThirdC] = textMark(this, QStringLiteral("\u00b0C"), 82, 105, 8);
    m[annThirdF] = textMark(this, QStringLiteral("\u00b0F"), 82, 105, 8);
    for (int i = 1; i <= AnnunciatorCount; ++i) m[size_t(i)]->hide();

    lblnolink = new QLabel(QStringLiteral("No Connection"), this);
    QFont warn(QStringLiteral("DejaVu Sans"));
    warn.setPixelSize(10);
    warn.setBold(true);
    lblnolink->setFont(warn);
    QPalette pal = lblnolink->palette();
    pal.setColor(QPalette::WindowText, QColor(0xc0, 0x10, 0x10));
    lblnolink->setPalette(pal);
    lblnolink->setAlignment(Qt::AlignCenter);
    lblnolink->setGeometry(Lcd.x, 122, Lcd.w, 13);
    lblnolink->hide();

    THotArea **keys[6] = {&lblbtn0, &lblbtn1, &lblbtn2, &lblbtn3, &lblbtn4, &Label1};
    for (int i = 0; i < 6; ++i) {
        *keys[i] = new THotArea(this);
        const Rect &k = Keys[size_t(i)];
        (*keys[i])->setGeometry(k.x, k.y, k.w, k.h);
    }
    lblbtn0->OnMouseDown = [this] { lblbtn0MouseDown(); };
    lblbtn0->OnMouseUp = [this] { lblbtn0MouseUp(); };
    lblbtn1->OnClick = [this] { lblbtn1Click(); };
    lblbtn2->OnClick = [this] { lblbtn2Click(); };
    lblbtn3->OnClick = [this] { lblbtn3Click(); };
    lblbtn4->OnMouseDown = [this] { lblbtn4MouseDown(); };
    lblbtn4->OnMouseUp = [this] { lblbtn4MouseUp(); };
    Label1->OnClick = [this] { Label1Click(); };
}

TfrmPanel::~TfrmPanel() = default;

void TfrmPanel::Show(QMdiArea *area) {
    // Fixed single border with the system menu and a minimise box.
    ShowIn(area, Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                     Qt::WindowCloseButtonHint);
}

void TfrmPanel::SetPicture(const QPixmap &picture) {
    Image1->setPixmap(picture);
    Image1->resize(picture.size());
}

void TfrmPanel::showEvent(QShowEvent *e) {
    TMdiChild::showEvent(e);
    if (shown_) return;
    shown_ = true;
    RunHandler([this] { FormShow(); });
}

void TfrmPanel::FormShow() {
    if (Frame()) Frame()->move(0, 0);
    const ModelTraits *model = FindModel(MeterModel);
    const bool twoTemperatures = model && model->temperatures == 2;
    imgT1->setVisible(twoTemperatures);
    imgT2->setVisible(twoTemperatures);
    for (auto &row : Display.LcdDigits) row.fill(dcBlank);
    for (auto &row : ShownDigits) row.fill(0);
    ShownAnnunciatorMask = -1;
    Display.AnnunciatorMask = 0;
    RefreshPanel();
}

void TfrmPanel::FormClose() {
    if (frmPanel == this) frmPanel = nullptr;
}

void TfrmPanel::setGlyph(QLabel *image, const QImage &glyph) { image->setPixmap(transparentGlyph(glyph)); }

void TfrmPanel::RefreshPanel() {
    const uint32_t mask = Display.AnnunciatorMask;
    const PanelChanges changes = DiffPanel(ShownAnnunciatorMask, mask, ShownDigits, Display.LcdDigits);
    for (int i : changes.marks) Marks[size_t(i)]->setVisible(mask & bit(i));
    if (!Display.MaxMinBlink) {
        imgMAX->setVisible(mask & bit(annMAX));
        imgMIN->setVisible(mask & bit(annMIN));
    }
    ShownAnnunciatorMask = int32_t(mask);
    for (auto [r, c] : changes.digits) {
        const int code = Display.LcdDigits[size_t(r)][size_t(c)];
        ShownDigits[size_t(r)][size_t(c)] = code;
        const size_t glyph = size_t(code >= 0 && code <= 15 ? code : dcBlank);
        if (r == 0)
            setGlyph(MainD[size_t(c)], LcdMainBitmaps[glyph]);
        else
            setGlyph((r == 1 ? SubD : ThirdD)[size_t(c)], LcdSubBitmaps[glyph]);
    }
}

void TfrmPanel::sendKey(unsigned char command) {
    KeySent = true;
    KeyCommand = command;
    if (frmMain && frmMain->Comm1->Active()) frmMain->Comm1->Write(&KeyCommand, 1, false);
}

void TfrmPanel::Label1Click() { Close(); }

void TfrmPanel::lblbtn0MouseDown() {
    if (!LinkUp) {
        forms::ShowMessage(QStringLiteral("No Connection"));
        return;
    }
    Key0Down = true;
    Key0HoldTicks = 0;
    sendKey('M');
}

void TfrmPanel::lblbtn0MouseUp() { Key0Down = false; }

void TfrmPanel::lblbtn1Click() {
    if (!LinkUp) {
        forms::ShowMessage(QStringLiteral("No Connection"));
        return;
    }
    sendKey('H');
}

void TfrmPanel::lblbtn2Click() {
    if (!LinkUp) {
        forms::ShowMessage(QStringLiteral("No Connection"));
        return;
    }
    // A meter that never named its model gets the keys of the thermometers.
    const ModelTraits *model = FindModel(MeterModel);
    sendKey(model ? model->unitKey.command : 'F');
}

void TfrmPanel::lblbtn3Click() {
    if (!LinkUp) {
        forms::ShowMessage(QStringLiteral("No Connection"));
        return;
    }
    const ModelTraits *model = FindModel(MeterModel);
    sendKey(model ? model->thirdKey.command : 'C');
}

void TfrmPanel::lblbtn4MouseDown() {
    if (!LinkUp) return;
    const ModelTraits *model = FindModel(MeterModel);
    if (!model) {
        KeySent = true;
        forms::ShowMessage(QStringLiteral("No Connection"));
        return;
    }
    if (model->fourthKeyHeld) {
        Key4Down = true;
        Key4HoldTicks = 0;
    }
    sendKey(model->fourthKey.command);
}

void TfrmPanel::lblbtn4MouseUp() { Key4Down = false; }

} // namespace hygro
