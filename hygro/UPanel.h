#pragma once
// Unit UPanel: the virtual front panel. A picture of the meter, the LCD made of
// glyph images, the 26 annunciator marks and hot areas over the keys that send the
// meter's key commands.

#include "hygro/MdiChild.h"
#include "hygro/core/MeterDisplay.h"

#include <QLabel>

#include <array>
#include <functional>

namespace hygro {

// A transparent label over a pictured key.
class THotArea : public QLabel {
public:
    explicit THotArea(QWidget *parent);
    std::function<void()> OnMouseDown, OnMouseUp, OnClick;

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    bool pressed_ = false;
};

extern bool KeySent;
extern unsigned char KeyCommand;
extern int32_t ShownAnnunciatorMask;
extern LcdRows ShownDigits;

class TfrmPanel : public TMdiChild {
public:
    TfrmPanel();
    ~TfrmPanel() override;

    QLabel *Image1 = nullptr;
    std::array<QLabel *, 4> MainD{}, SubD{}, ThirdD{};
    // Marks by annunciator bit (index 1 .. 26; 0 unused).
    std::array<QLabel *, AnnunciatorCount + 1> Marks{};
    QLabel *imgHOLD = nullptr, *imgMAX = nullptr, *imgMIN = nullptr, *imgREC = nullptr, *imgT1 = nullptr,
           *imgT2 = nullptr;
    QLabel *lblnolink = nullptr;
    THotArea *lblbtn0 = nullptr, *lblbtn1 = nullptr, *lblbtn2 = nullptr, *lblbtn3 = nullptr, *lblbtn4 = nullptr,
             *Label1 = nullptr;

    void Show(QMdiArea *area);
    void SetPicture(const QPixmap &picture);
    void RefreshPanel();

    void FormShow();
    void Label1Click();
    void lblbtn0MouseDown();
    void lblbtn0MouseUp();
    void lblbtn1Click();
    void lblbtn2Click();
    void lblbtn3Click();
    void lblbtn4MouseDown();
    void lblbtn4MouseUp();

protected:
    void FormClose() override;
    void showEvent(QShowEvent *e) override;

private:
    void sendKey(unsigned char command);
    void setGlyph(QLabel *image, const QImage &glyph);
    bool shown_ = false;
};

extern QPointer<TfrmPanel> frmPanel;

} // namespace hygro
