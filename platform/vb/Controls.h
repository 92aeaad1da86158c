#pragma once
// Small controls of the runtime's control libraries that Palix's windows use: the 3-D
// panel with its flood (progress) bar, and the screen's mouse pointer.

#include <QString>
#include <QWidget>

namespace vb {

// SSPanel: a sunken panel with a centred caption; FloodType 1 fills it from the left
// to FloodPercent.
class SSPanel : public QWidget {
public:
    explicit SSPanel(const QString &caption = QString(), QWidget *parent = nullptr);

    QString Caption() const { return caption_; }
    void SetCaption(const QString &caption);
    int FloodType() const { return floodType_; }
    void SetFloodType(int type);
    int FloodPercent() const { return floodPercent_; }
    void SetFloodPercent(int percent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QString caption_;
    int floodType_ = 0;
    int floodPercent_ = 0;
};

constexpr int vbDefault = 0;
constexpr int vbHourglass = 11;
// Screen.MousePointer: the hourglass over every window of the program, or the normal
// pointer again. Setting it twice is the same as setting it once.
void SetMousePointer(int pointer);
int MousePointer();

} // namespace vb
