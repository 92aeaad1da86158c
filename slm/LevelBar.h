#pragma once
// The panel's level bar: a horizontal bar filled from the left, with a progress bar's
// range and value. It repaints through the event loop, together with the readouts
// that change with it, and only when the filled part moves by a pixel: a progress bar
// repaints itself at once on every new value, 100 times a second on a live meter.

#include <QWidget>

namespace slm {

class LevelBar : public QWidget {
public:
    explicit LevelBar(QWidget *parent = nullptr);

    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int value() const { return value_; }
    void setRange(int minimum, int maximum);
    // Kept within the range.
    void setValue(int value);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Width of the filled part inside the border, for a given inner width.
    int filledWidth(int innerWidth) const;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void refresh();

    int min_ = 0, max_ = 100, value_ = 0;
    int paintedFill_ = -1; // as last painted; a resize paints all anew
};

} // namespace slm
