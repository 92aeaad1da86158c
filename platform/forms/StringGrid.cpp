#include "StringGrid.h"

#include "CellStore.h"
#include "Graphics.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStaticText>
#include <QStyledItemDelegate>

#include <algorithm>
#include <vector>

namespace forms {

// Cells of every grid row, fixed ones included, in compact storage; the view sees the
// scrollable part of the rows announced to it (`shown`) and the fixed row/column as its
// headers. Rows added while redraw is off wait to be announced in one go.
class StringGridModel : public QAbstractTableModel {
public:
    int fixedRows = 1, fixedCols = 1;
    bool editable = false;
    CellStore cells{5, 5};
    int shown = 5;

    int rows() const { return cells.rows(); }
    int cols() const { return cells.cols(); }

    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : std::max(0, shown - fixedRows);
    }
    int columnCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : std::max(0, cols() - fixedCols);
    }

    QString cell(int col, int row) const { return cells.cell(col, row); }

    void setCell(int col, int row, const QString &text) {
        if (cells.setCell(col, row, text)) notify(col, row);
    }

    void notify(int col, int row) {
        if (row >= shown) return;                       // drawn when announced
        if (row < fixedRows && col < fixedCols) return; // corner: not shown
        if (row < fixedRows) {
            emit headerDataChanged(Qt::Horizontal, col - fixedCols, col - fixedCols);
        } else if (col < fixedCols) {
            emit headerDataChanged(Qt::Vertical, row - fixedRows, row - fixedRows);
        } else {
            const QModelIndex i = index(row - fixedRows, col - fixedCols);
            emit dataChanged(i, i); // no roles: no list to allocate for each cell
        }
    }

    // Rows of the fixed area are headers, not model rows.
    void announce() {
        if (shown >= rows()) return;
        const int oldModel = std::max(0, shown - fixedRows), newModel = std::max(0, rows() - fixedRows);
        if (newModel > oldModel) beginInsertRows({}, oldModel, newModel - 1);
        shown = rows();
        if (newModel > oldModel) endInsertRows();
    }

    void setRows(int n, bool announceNow) {
        if (n >= shown) {
            cells.setRows(n);
            if (announceNow) announce();
            return;
        }
        const int oldModel = std::max(0, shown - fixedRows), newModel = std::max(0, n - fixedRows);
        if (newModel < oldModel) beginRemoveRows({}, newModel, oldModel - 1);
        cells.setRows(n);
        shown = n;
        if (newModel < oldModel) endRemoveRows();
    }

    void setCols(int n) {
        if (n == cols()) return;
        const int oldModel = std::max(0, cols() - fixedCols), newModel = std::max(0, n - fixedCols);
        if (n > cols()) {
            if (newModel > oldModel) beginInsertColumns({}, oldModel, newModel - 1);
            cells.setCols(n);
            if (newModel > oldModel) endInsertColumns();
        } else {
            if (newModel < oldModel) beginRemoveColumns({}, newModel, oldModel - 1);
            cells.setCols(n);
            if (newModel < oldModel) endRemoveColumns();
        }
    }

    void setFixed(int rows, int columns) {
        beginResetModel();
        fixedRows = rows;
        fixedCols = columns;
        shown = this->rows();
        endResetModel();
    }

    QVariant data(const QModelIndex &i, int role) const override {
        if (!i.isValid()) return {};
        if (role == Qt::DisplayRole || role == Qt::EditRole) return cell(i.column() + fixedCols, i.row() + fixedRows);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }

    bool setData(const QModelIndex &i, const QVariant &v, int role) override {
        if (!i.isValid() || role != Qt::EditRole) return false;
        setCell(i.column() + fixedCols, i.row() + fixedRows, v.toString());
        return true;
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role == Qt::DisplayRole) {
            if (o == Qt::Horizontal) return fixedRows > 0 ? cell(section + fixedCols, 0) : QString();
            return fixedCols > 0 ? cell(0, section + fixedRows) : QString();
        }
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
        return QAbstractTableModel::headerData(section, o, role);
    }

    Qt::ItemFlags flags(const QModelIndex &i) const override {
        Qt::ItemFlags f = QAbstractTableModel::flags(i);
        if (editable) f |= Qt::ItemIsEditable;
        return f;
    }
};

// Paints a cell as the style's item delegate paints plain text (selection, elided
// text, focus frame) without its general item layout, which shaped every text twice
// at every repaint. Laid-out texts are kept for the next repaint: a table's page
// repeats its units, dates and readings, and a scrolled page shows mostly the same rows.
class StringGridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        const QWidget *w = option.widget;
        const QStyle *style = w ? w->style() : QApplication::style();
        const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : option.state & QStyle::State_Active   ? QPalette::Normal
                                                                                   : QPalette::Inactive;
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) p->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.isEmpty()) {
            const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, w) + 1;
            const QRect r = option.rect.adjusted(margin, 0, -margin, 0);
            p->setFont(option.font);
            p->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
            const QStaticText &laid = layout(text, option.font);
            const QFontMetrics &fm = option.fontMetrics;
            const int y = r.top() + (r.height() - fm.height()) / 2;
            if (laid.size().width() <= r.width()) {
                p->drawStaticText(r.left(), y, laid);
            } else {
                p->save();
                p->setClipRect(r, Qt::IntersectClip);
                p->drawStaticText(r.left(), y, layout(fm.elidedText(text, Qt::ElideRight, r.width()), option.font));
                p->restore();
            }
        }
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.rect = option.rect;
            focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
            focus.backgroundColor = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, p, w);
        }
    }

private:
    const QStaticText &layout(const QString &text, const QFont &font) const {
        // A page's texts, not a recording's: a long recording brings new row numbers and
        // times every row, and each laid-out text costs some 300 bytes.
        if (font != font_ || laidOut_.size() >= 512) {
            laidOut_.clear();
            font_ = font;
        }
        auto it = laidOut_.find(text);
        if (it == laidOut_.end()) {
            QStaticText t(text);
            t.setTextFormat(Qt::PlainText);
            t.prepare(QTransform(), font);
            it = laidOut_.insert(text, t);
        }
        return *it;
    }

    mutable QHash<QString, QStaticText> laidOut_;
    mutable QFont font_;
};

TStringGrid::TStringGrid(QWidget *parent) : QTableView(parent), model_(std::make_unique<StringGridModel>()) {
    setModel(model_.get());
    setItemDelegate(new StringGridDelegate(this));
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(defaultRowHeight_);
    horizontalHeader()->setDefaultSectionSize(defaultColWidth_);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (!settingCurrent_) topRow_ = fixedRows_ + v;
    });
    applyFixed();
    applyOptions();
    setCurrentIndex(toIndex(col_, row_));
}

TStringGrid::~TStringGrid() { setModel(nullptr); }

QModelIndex TStringGrid::toIndex(int col, int row) const { return model_->index(row - fixedRows_, col - fixedCols_); }

QString TStringGrid::Cells(int col, int row) const { return model_->cell(col, row); }
void TStringGrid::SetCells(int col, int row, const QString &text) { model_->setCell(col, row, text); }

int TStringGrid::RowCount() const { return model_->rows(); }

void TStringGrid::SetRowCount(int rows) {
    rows = std::max({rows, fixedRows_, 1});
    const int old = RowCount();
    model_->setRows(rows, redraw_);
    // The current cell follows quietly (no OnClick) when its row went away.
    if (row_ >= rows && rows > fixedRows_) moveCurrent(col_, rows - 1, false);
    if (rows < old) SetTopRow(topRow_);
}

int TStringGrid::ColCount() const { return model_->cols(); }

void TStringGrid::SetColCount(int cols) {
    cols = std::max({cols, fixedCols_, 1});
    model_->setCols(cols);
    applyColWidths();
    if (col_ >= cols && cols > fixedCols_) moveCurrent(cols - 1, row_, false);
}

void TStringGrid::SetFixedRows(int n) {
    n = std::clamp(n, 0, 1);
    if (n == fixedRows_) return;
    fixedRows_ = n;
    if (RowCount() < n) model_->setRows(n, redraw_);
    model_->setFixed(fixedRows_, fixedCols_);
    applyFixed();
    row_ = std::max(row_, fixedRows_);
    topRow_ = std::max(topRow_, fixedRows_);
}

void TStringGrid::SetFixedCols(int n) {
    n = std::clamp(n, 0, 1);
    if (n == fixedCols_) return;
    fixedCols_ = n;
    if (ColCount() < n) model_->setCols(n);
    model_->setFixed(fixedRows_, fixedCols_);
    applyFixed();
    col_ = std::max(col_, fixedCols_);
}

void TStringGrid::applyFixed() {
    horizontalHeader()->setVisible(fixedRows_ > 0);
    verticalHeader()->setVisible(fixedCols_ > 0);
    horizontalHeader()->setFixedHeight(defaultRowHeight_);
    applyColWidths();
    SetFixedColor(fixedColor_);
}

void TStringGrid::SetDefaultColWidth(int w) {
    defaultColWidth_ = std::max(0, w);
    horizontalHeader()->setDefaultSectionSize(defaultColWidth_);
    applyColWidths();
}

int TStringGrid::ColWidths(int col) const {
    if (col < 0 || col >= ColCount()) return 0;
    return size_t(col) < colWidths_.size() && colWidths_[size_t(col)] >= 0 ? colWidths_[size_t(col)] : defaultColWidth_;
}

void TStringGrid::SetColWidths(int col, int w) {
    if (col < 0 || col >= ColCount()) return;
    if (colWidths_.size() <= size_t(col)) colWidths_.resize(size_t(col) + 1, -1);
    colWidths_[size_t(col)] = std::max(0, w);
    applyColWidths();
}

void TStringGrid::applyColWidths() {
    for (int c = 0; c < ColCount(); ++c) {
        const int w = ColWidths(c);
        if (c < fixedCols_)
            verticalHeader()->setFixedWidth(w);
        else
            horizontalHeader()->resizeSection(c - fixedCols_, w);
    }
}

void TStringGrid::SetDefaultRowHeight(int h) {
    defaultRowHeight_ = std::max(1, h);
    verticalHeader()->setDefaultSectionSize(defaultRowHeight_);
    horizontalHeader()->setFixedHeight(defaultRowHeight_);
}

int TStringGrid::capacity() const {
    int h;
    if (isVisible()) {
        h = viewport()->height();
    } else {
        // Not laid out yet: what the viewport will get.
        h = height() - 2 * frameWidth() - (fixedRows_ > 0 ? defaultRowHeight_ : 0);
    }
    return std::max(0, h / defaultRowHeight_);
}

int TStringGrid::TopRow() const { return topRow_; }

int TStringGrid::VisibleRowCount() const { return std::max(0, std::min(capacity(), RowCount() - topRow_)); }

void TStringGrid::SetTopRow(int row) {
    const int maxTop = std::max(fixedRows_, RowCount() - std::max(1, capacity()));
    topRow_ = std::clamp(row, fixedRows_, maxTop);
    applyTopRow();
}

void TStringGrid::applyTopRow() {
    model_->announce();
    // The view widens the scroll range only at its next layout; widen it now (what the
    // layout will set anyway, without its cost for every appended row). Once the bar
    // has a range, a wider one needs no news: the view answers each change with a
    // posted call that only shows or hides the bar.
    QScrollBar *bar = verticalScrollBar();
    const int maxValue = std::max(0, model_->rowCount() - std::max(1, capacity()));
    if (bar->maximum() < maxValue) {
        const QSignalBlocker quiet(bar->maximum() > bar->minimum() ? bar : nullptr);
        bar->setRange(0, maxValue);
    }
    const int value = topRow_ - fixedRows_;
    if (bar->value() == value) return;
    // The first move after a paint shifts the pixels and leaves only the rows that come
    // into view to be drawn (an open editor moves with them). Further moves before the
    // next paint would each shift the whole picture again and pile up regions still to
    // be drawn: the rows are drawn afresh at the next paint instead, the header placed
    // as the view's own scrolling places it.
    if (!movedSincePaint_ || state() == EditingState) {
        movedSincePaint_ = true;
        settingCurrent_ = true;
        bar->setValue(value);
        settingCurrent_ = false;
        return;
    }
    {
        const QSignalBlocker quiet(bar);
        bar->setValue(value);
    }
    if (bar->maximum() > 0 && bar->value() == bar->maximum())
        verticalHeader()->setOffsetToLastSection();
    else
        verticalHeader()->setOffsetToSectionPosition(bar->value());
    viewport()->update();
}

void TStringGrid::paintEvent(QPaintEvent *e) {
    movedSincePaint_ = false;
    QTableView::paintEvent(e);
}

void TStringGrid::moveCurrent(int col, int row, bool click) {
    model_->announce();
    settingCurrent_ = true;
    selectionModel()->setCurrentIndex(
        toIndex(col, row), QItemSelectionModel::ClearAndSelect |
                               (options_ & goRowSelect ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate));
    settingCurrent_ = false;
    col_ = col;
    row_ = row;
    if (click && OnClick) OnClick(this);
}

void TStringGrid::SetRow(int row) {
    if (row >= fixedRows_ && row < RowCount()) moveCurrent(col_, row, true);
}

void TStringGrid::SetCol(int col) {
    if (col >= fixedCols_ && col < ColCount()) moveCurrent(col, row_, true);
}

TGridRect TStringGrid::Selection() const {
    const QItemSelection sel = selectionModel()->selection();
    if (sel.isEmpty()) return {col_, row_, col_, row_};
    int l = INT32_MAX, t = INT32_MAX, r = -1, b = -1;
    for (const QItemSelectionRange &range : sel) {
        l = std::min(l, range.left());
        t = std::min(t, range.top());
        r = std::max(r, range.right());
        b = std::max(b, range.bottom());
    }
    return {l + fixedCols_, t + fixedRows_, r + fixedCols_, b + fixedRows_};
}

void TStringGrid::SetSelection(const TGridRect &g) {
    TGridRect r = g;
    if (r.Left > r.Right) std::swap(r.Left, r.Right);
    if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
    r.Left = std::clamp(r.Left, fixedCols_, ColCount() - 1);
    r.Right = std::clamp(r.Right, fixedCols_, ColCount() - 1);
    r.Top = std::clamp(r.Top, fixedRows_, RowCount() - 1);
    r.Bottom = std::clamp(r.Bottom, fixedRows_, RowCount() - 1);
    if (r.Left < fixedCols_ || r.Top < fixedRows_) return; // no scrollable cell
    model_->announce();
    settingCurrent_ = true;
    selectionModel()->setCurrentIndex(toIndex(r.Left, r.Top), QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(toIndex(r.Left, r.Top), toIndex(r.Right, r.Bottom)),
                             QItemSelectionModel::ClearAndSelect);
    settingCurrent_ = false;
    col_ = r.Left;
    row_ = r.Top;
}

void TStringGrid::SetRedraw(bool on) {
    if (on == redraw_) return;
    redraw_ = on;
    setUpdatesEnabled(on);
    if (!on) return;
    model_->announce();
    viewport()->update();
}

void TStringGrid::SetOptions(TGridOptions o) {
    options_ = o;
    applyOptions();
}

void TStringGrid::applyOptions() {
    setSelectionBehavior(options_ & goRowSelect ? SelectRows : SelectItems);
    setSelectionMode(options_ & goRangeSelect ? ContiguousSelection : SingleSelection);
    setShowGrid(options_ & (goVertLine | goHorzLine));
    horizontalHeader()->setSectionResizeMode(options_ & goColSizing ? QHeaderView::Interactive : QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(options_ & goRowSizing ? QHeaderView::Interactive : QHeaderView::Fixed);
    horizontalHeader()->setSectionsMovable(options_ & goColMoving);
    verticalHeader()->setSectionsMovable(options_ & goRowMoving);
    model_->editable = options_ & goEditing;
    setEditTriggers(options_ & goEditing ? (DoubleClicked | EditKeyPressed | AnyKeyPressed) : NoEditTriggers);
    setTabKeyNavigation(options_ & goTabs);
}

void TStringGrid::SetFixedColor(std::int32_t bgr) {
    fixedColor_ = bgr;
    // A palette, not a style sheet: style sheets make every repaint of a large grid slow.
    for (QHeaderView *h : {horizontalHeader(), verticalHeader()}) {
        QPalette pal = h->palette();
        pal.setColor(QPalette::Button, ColorToQColor(bgr));
        pal.setColor(QPalette::Window, ColorToQColor(bgr));
        h->setPalette(pal);
    }
}

bool TStringGrid::canSelect(int col, int row) {
    bool ok = true;
    if (OnSelectCell) OnSelectCell(this, col, row, ok);
    return ok;
}

void TStringGrid::mousePressEvent(QMouseEvent *e) {
    const QModelIndex i = indexAt(e->position().toPoint());
    pressValid_ = false;
    if (i.isValid() && !canSelect(i.column() + fixedCols_, i.row() + fixedRows_)) {
        e->accept();
        return;
    }
    pressValid_ = i.isValid();
    QTableView::mousePressEvent(e);
}

void TStringGrid::mouseReleaseEvent(QMouseEvent *e) {
    QTableView::mouseReleaseEvent(e);
    if (pressValid_ && e->button() == Qt::LeftButton && indexAt(e->position().toPoint()).isValid() && OnClick)
        OnClick(this);
    pressValid_ = false;
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent *e) {
    QTableView::mouseDoubleClickEvent(e);
    if (indexAt(e->position().toPoint()).isValid() && OnDblClick) OnDblClick(this);
}

void TStringGrid::keyPressEvent(QKeyEvent *e) {
    userMove_ = true;
    QTableView::keyPressEvent(e);
    userMove_ = false;
}

QModelIndex TStringGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableView::moveCursor(action, modifiers);
    if (next.isValid() && next != currentIndex() && !canSelect(next.column() + fixedCols_, next.row() + fixedRows_))
        return currentIndex();
    return next;
}

void TStringGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    QTableView::currentChanged(current, previous);
    if (!current.isValid()) return;
    row_ = current.row() + fixedRows_;
    col_ = current.column() + fixedCols_;
    if (userMove_ && !settingCurrent_ && OnClick) OnClick(this);
}

} // namespace forms
