#include "StringGrid.h"

#include "Graphics.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <vector>

namespace forms {

// Cells of every grid row, fixed ones included; the view sees the scrollable part and
// the fixed row/column as its headers. A row's vector grows only when a cell of it is
// written, so fresh rows cost one empty vector.
class StringGridModel : public QAbstractTableModel {
public:
    int fixedRows = 1, fixedCols = 1;
    int cols = 5;
    bool editable = false;
    std::vector<std::vector<QString>> cells; // one entry per grid row

    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : std::max(0, int(cells.size()) - fixedRows);
    }
    int columnCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : std::max(0, cols - fixedCols);
    }

    const QString &cell(int col, int row) const {
        static const QString empty;
        if (row < 0 || row >= int(cells.size()) || col < 0 || col >= cols) return empty;
        const auto &r = cells[size_t(row)];
        return size_t(col) < r.size() ? r[size_t(col)] : empty;
    }

    void setCell(int col, int row, const QString &text) {
        if (row < 0 || row >= int(cells.size()) || col < 0 || col >= cols) return;
        auto &r = cells[size_t(row)];
        if (size_t(col) >= r.size()) {
            if (text.isEmpty()) return;
            r.resize(size_t(col) + 1);
        }
        if (r[size_t(col)] == text) return;
        r[size_t(col)] = text;
        notify(col, row);
    }

    void notify(int col, int row) {
        if (row < fixedRows && col < fixedCols) return; // corner: not shown
        if (row < fixedRows) {
            emit headerDataChanged(Qt::Horizontal, col - fixedCols, col - fixedCols);
        } else if (col < fixedCols) {
            emit headerDataChanged(Qt::Vertical, row - fixedRows, row - fixedRows);
        } else {
            const QModelIndex i = index(row - fixedRows, col - fixedCols);
            emit dataChanged(i, i, {Qt::DisplayRole});
        }
    }

    void setRows(int n) {
        const int old = int(cells.size());
        if (n == old) return;
        // Rows of the fixed area are headers, not model rows.
        const int oldModel = std::max(0, old - fixedRows), newModel = std::max(0, n - fixedRows);
        if (n > old) {
            if (newModel > oldModel) beginInsertRows({}, oldModel, newModel - 1);
            cells.resize(size_t(n));
            if (newModel > oldModel) endInsertRows();
        } else {
            if (newModel < oldModel) beginRemoveRows({}, newModel, oldModel - 1);
            cells.resize(size_t(n));
            if (newModel < oldModel) endRemoveRows();
        }
    }

    void setCols(int n) {
        if (n == cols) return;
        const int oldModel = std::max(0, cols - fixedCols), newModel = std::max(0, n - fixedCols);
        if (n > cols) {
            if (newModel > oldModel) beginInsertColumns({}, oldModel, newModel - 1);
            cols = n;
            if (newModel > oldModel) endInsertColumns();
        } else {
            if (newModel < oldModel) beginRemoveColumns({}, newModel, oldModel - 1);
            cols = n;
            for (auto &r : cells)
                if (r.size() > size_t(n)) r.resize(size_t(n));
            if (newModel < oldModel) endRemoveColumns();
        }
    }

    void setFixed(int rows, int columns) {
        beginResetModel();
        fixedRows = rows;
        fixedCols = columns;
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

TStringGrid::TStringGrid(QWidget *parent) : QTableView(parent), model_(std::make_unique<StringGridModel>()) {
    model_->cells.resize(5);
    setModel(model_.get());
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

TStringGrid::~TStringGrid() {
    setModel(nullptr);
}

QModelIndex TStringGrid::toIndex(int col, int row) const {
    return model_->index(row - fixedRows_, col - fixedCols_);
}

QString TStringGrid::Cells(int col, int row) const { return model_->cell(col, row); }
void TStringGrid::SetCells(int col, int row, const QString &text) { model_->setCell(col, row, text); }

int TStringGrid::RowCount() const { return int(model_->cells.size()); }

void TStringGrid::SetRowCount(int rows) {
    rows = std::max({rows, fixedRows_, 1});
    const int old = RowCount();
    model_->setRows(rows);
    // The current cell follows quietly (no OnClick) when its row went away.
    if (row_ >= rows && rows > fixedRows_) moveCurrent(col_, rows - 1, false);
    if (rows < old) SetTopRow(topRow_);
}

int TStringGrid::ColCount() const { return model_->cols; }

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
    if (RowCount() < n) model_->setRows(n);
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
        if (c < fixedCols_) verticalHeader()->setFixedWidth(w);
        else horizontalHeader()->resizeSection(c - fixedCols_, w);
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

int TStringGrid::VisibleRowCount() const {
    return std::max(0, std::min(capacity(), RowCount() - topRow_));
}

void TStringGrid::SetTopRow(int row) {
    const int maxTop = std::max(fixedRows_, RowCount() - std::max(1, capacity()));
    topRow_ = std::clamp(row, fixedRows_, maxTop);
    applyTopRow();
}

void TStringGrid::applyTopRow() {
    // The view widens the scroll range only at its next layout; widen it now (what the
    // layout will set anyway, without its cost for every appended row).
    QScrollBar *bar = verticalScrollBar();
    const int maxValue = std::max(0, model_->rowCount() - std::max(1, capacity()));
    if (bar->maximum() < maxValue) bar->setRange(0, maxValue);
    settingCurrent_ = true;
    verticalScrollBar()->setValue(topRow_ - fixedRows_);
    settingCurrent_ = false;
}

void TStringGrid::moveCurrent(int col, int row, bool click) {
    settingCurrent_ = true;
    selectionModel()->setCurrentIndex(toIndex(col, row), QItemSelectionModel::ClearAndSelect |
                                                             (options_ & goRowSelect ? QItemSelectionModel::Rows
                                                                                     : QItemSelectionModel::NoUpdate));
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
    settingCurrent_ = true;
    selectionModel()->setCurrentIndex(toIndex(r.Left, r.Top), QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(toIndex(r.Left, r.Top), toIndex(r.Right, r.Bottom)),
                             QItemSelectionModel::ClearAndSelect);
    settingCurrent_ = false;
    col_ = r.Left;
    row_ = r.Top;
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
