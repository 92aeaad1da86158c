#include "FlexGrid.h"

#include <QAbstractButton>
#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>

#include <algorithm>
#include <vector>

namespace vb {

// The cells of every grid row in one flat array, fixed rows and columns included. The
// view sees the rows announced so far (`shown`), without the fixed ones, which are its
// headers.
class FlexGridModel : public QAbstractTableModel {
public:
    int fixedRows = 1, fixedCols = 1;
    int cols = 2;
    int rows = 2;
    int shown = 2;
    std::vector<QString> cells = std::vector<QString>(4);

    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : std::max(0, shown - fixedRows);
    }
    int columnCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : std::max(0, cols - fixedCols);
    }

    QString &at(int row, int col) { return cells[size_t(row) * size_t(cols) + size_t(col)]; }
    const QString &at(int row, int col) const { return cells[size_t(row) * size_t(cols) + size_t(col)]; }

    void changed(int row, int col) {
        if (row >= shown) return; // shown with its batch
        if (row < fixedRows && col < fixedCols) return;
        if (row < fixedRows)
            emit headerDataChanged(Qt::Horizontal, col - fixedCols, col - fixedCols);
        else if (col < fixedCols)
            emit headerDataChanged(Qt::Vertical, row - fixedRows, row - fixedRows);
        else {
            const QModelIndex i = index(row - fixedRows, col - fixedCols);
            emit dataChanged(i, i, {Qt::DisplayRole});
        }
    }

    void flush() {
        if (shown >= rows) return;
        const int first = std::max(0, shown - fixedRows), last = rows - fixedRows - 1;
        if (last >= first) {
            beginInsertRows({}, first, last);
            shown = rows;
            endInsertRows();
        } else {
            shown = rows;
        }
    }

    void setRows(int n) {
        if (n < shown) {
            const int first = std::max(0, n - fixedRows), last = shown - fixedRows - 1;
            if (last >= first) beginRemoveRows({}, first, last);
            cells.resize(size_t(n) * size_t(cols));
            rows = shown = n;
            if (last >= first) endRemoveRows();
            return;
        }
        cells.resize(size_t(n) * size_t(cols));
        rows = n;
    }

    void setCols(int n) {
        if (n == cols) return;
        beginResetModel();
        std::vector<QString> next(size_t(rows) * size_t(n));
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < std::min(n, cols); ++c) next[size_t(r) * size_t(n) + size_t(c)] = std::move(at(r, c));
        cells.swap(next);
        cols = n;
        shown = rows;
        endResetModel();
    }

    void setFixed(int r, int c) {
        beginResetModel();
        fixedRows = r;
        fixedCols = c;
        shown = rows;
        endResetModel();
    }

    QVariant data(const QModelIndex &i, int role) const override {
        if (!i.isValid()) return {};
        if (role == Qt::DisplayRole) return at(i.row() + fixedRows, i.column() + fixedCols);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role == Qt::DisplayRole) {
            if (o == Qt::Horizontal) return fixedRows > 0 && rows > 0 ? at(0, section + fixedCols) : QString();
            return fixedCols > 0 ? at(section + fixedRows, 0) : QString();
        }
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
        return QAbstractTableModel::headerData(section, o, role);
    }
};

MSFlexGrid::MSFlexGrid(QWidget *parent) : QTableView(parent), model_(std::make_unique<FlexGridModel>()) {
    setModel(model_.get());
    const int rowHeight = fontMetrics().height() + 4;
    for (QHeaderView *h : {horizontalHeader(), verticalHeader()}) {
        h->setMinimumSectionSize(1);
        h->setSectionResizeMode(QHeaderView::Fixed);
        h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        h->setHighlightSections(false);
    }
    verticalHeader()->setDefaultSectionSize(rowHeight);
    horizontalHeader()->setFixedHeight(rowHeight);
    horizontalHeader()->setDefaultSectionSize(64);
    // The top row is the program's to set: moving the current cell scrolls nothing.
    setAutoScroll(false);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // The view's corner is the cell where the fixed row and column meet: it shows that
    // cell's text.
    if (auto *corner = findChild<QAbstractButton *>()) {
        corner_ = corner;
        corner->installEventFilter(this);
    }
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (!applyingTop_) setTop(fixedRows_ + v);
    });
    applyHeaders();
}

bool MSFlexGrid::eventFilter(QObject *watched, QEvent *event) {
    if (watched == corner_ && event->type() == QEvent::Paint) {
        QPainter p(corner_);
        QStyleOptionHeader opt;
        opt.initFrom(horizontalHeader());
        opt.rect = corner_->rect();
        // The button is disabled (clicking it selects nothing), the heading is not.
        opt.state |= QStyle::State_Enabled | QStyle::State_Raised;
        opt.position = QStyleOptionHeader::OnlyOneSection;
        opt.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        if (fixedRows_ > 0 && fixedCols_ > 0 && Rows() > 0 && Cols() > 0) opt.text = TextMatrix(0, 0);
        style()->drawControl(QStyle::CE_Header, &opt, &p, corner_);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

MSFlexGrid::~MSFlexGrid() {
    OnScroll = nullptr;
    setModel(nullptr);
}

int MSFlexGrid::Rows() const { return model_->rows; }

void MSFlexGrid::SetRows(int rows) {
    rows = std::max(rows, fixedRows_);
    if (rows == model_->rows) return;
    model_->setRows(rows);
    if (rows > model_->shown) scheduleFlush();
    row_ = std::clamp(row_, std::min(fixedRows_, rows - 1), std::max(0, rows - 1));
    const int maxTop = std::max(fixedRows_, rows - capacity());
    if (topRow_ > maxTop) {
        setTop(maxTop);
        applyTopRow();
    }
}

int MSFlexGrid::Cols() const { return model_->cols; }

void MSFlexGrid::SetCols(int cols) {
    cols = std::max({cols, fixedCols_, 1});
    model_->setCols(cols);
    col_ = std::min(col_, cols - 1);
    applyHeaders();
}

void MSFlexGrid::SetFixedRows(int n) {
    n = std::clamp(n, 0, 1);
    if (n == fixedRows_) return;
    if (model_->rows <= n) SetRows(n + 1);
    fixedRows_ = n;
    model_->setFixed(fixedRows_, fixedCols_);
    row_ = topRow_ = fixedRows_;
    applyHeaders();
}

void MSFlexGrid::SetFixedCols(int n) {
    n = std::clamp(n, 0, 1);
    if (n == fixedCols_) return;
    if (model_->cols <= n) SetCols(n + 1);
    fixedCols_ = n;
    model_->setFixed(fixedRows_, fixedCols_);
    col_ = fixedCols_;
    applyHeaders();
}

void MSFlexGrid::applyHeaders() {
    horizontalHeader()->setVisible(fixedRows_ > 0);
    verticalHeader()->setVisible(fixedCols_ > 0);
    for (int c = fixedCols_; c < model_->cols; ++c)
        horizontalHeader()->resizeSection(c - fixedCols_, TwipsToPixelsX(ColWidth(c)));
    if (fixedCols_ > 0) verticalHeader()->setFixedWidth(TwipsToPixelsX(ColWidth(0)));
}

void MSFlexGrid::checkRow(int row) const {
    if (row < 0 || row >= model_->rows) throw RuntimeError(381, "Subscript out of range");
}

void MSFlexGrid::checkCol(int col) const {
    if (col < 0 || col >= model_->cols) throw RuntimeError(381, "Subscript out of range");
}

QString MSFlexGrid::TextMatrix(int row, int col) const {
    checkRow(row);
    checkCol(col);
    return model_->at(row, col);
}

void MSFlexGrid::SetTextMatrix(int row, int col, const QString &text) {
    checkRow(row);
    checkCol(col);
    QString &cell = model_->at(row, col);
    if (cell == text) return;
    cell = text;
    model_->changed(row, col);
    if (row == 0 && col == 0 && corner_) corner_->update();
}

void MSFlexGrid::SetRow(int row) {
    if (row < 0 || row >= model_->rows) throw RuntimeError(30009, "Invalid Row value");
    row_ = row;
    if (row >= fixedRows_ && col_ >= fixedCols_ && row < model_->shown)
        setCurrentIndex(model_->index(row - fixedRows_, col_ - fixedCols_));
}

void MSFlexGrid::SetCol(int col) {
    if (col < 0 || col >= model_->cols) throw RuntimeError(30010, "Invalid Col value");
    col_ = col;
}

QString MSFlexGrid::Text() const { return model_->at(row_, col_); }
void MSFlexGrid::SetText(const QString &text) { SetTextMatrix(row_, col_, text); }

int MSFlexGrid::capacity() const {
    const int rowHeight = verticalHeader()->defaultSectionSize();
    int h;
    if (isVisible())
        h = viewport()->height();
    else
        h = height() - 2 * frameWidth() - (fixedRows_ > 0 ? horizontalHeader()->height() : 0);
    return std::max(1, h / std::max(1, rowHeight));
}

void MSFlexGrid::SetTopRow(int row) {
    if (row < 0 || row >= model_->rows) throw RuntimeError(30009, "Invalid Row value");
    Flush();
    const int maxTop = std::max(fixedRows_, model_->rows - capacity());
    setTop(std::clamp(row, fixedRows_, maxTop));
    applyTopRow();
}

void MSFlexGrid::setTop(int row) {
    if (row == topRow_) return;
    topRow_ = row;
    if (OnScroll) OnScroll();
}

void MSFlexGrid::applyTopRow() {
    // The view widens its scroll range only at its next layout: widen it now.
    QScrollBar *bar = verticalScrollBar();
    const int maxValue = std::max(0, model_->rowCount() - capacity());
    if (bar->maximum() < maxValue) bar->setRange(0, maxValue);
    applyingTop_ = true;
    bar->setValue(topRow_ - fixedRows_);
    applyingTop_ = false;
    setTop(fixedRows_ + bar->value());
}

int MSFlexGrid::ColWidth(int col) const {
    checkCol(col);
    // A column without a width of its own has the default of 64 pixels.
    return size_t(col) < colTwips_.size() && colTwips_[size_t(col)] >= 0 ? colTwips_[size_t(col)] : PixelsToTwipsX(64);
}

void MSFlexGrid::SetColWidth(int col, int twips) {
    checkCol(col);
    if (colTwips_.size() <= size_t(col)) colTwips_.resize(size_t(col) + 1, -1);
    colTwips_[size_t(col)] = std::max(0, twips);
    applyHeaders();
}

void MSFlexGrid::AddItem(const QString &item) {
    const int r = model_->rows;
    model_->setRows(r + 1);
    int c = 0;
    qsizetype from = 0;
    for (; c < model_->cols; ++c) {
        const qsizetype tab = item.indexOf(QLatin1Char('\t'), from);
        model_->at(r, c) = item.mid(from, tab < 0 ? -1 : tab - from);
        if (tab < 0) break;
        from = tab + 1;
    }
    scheduleFlush();
}

void MSFlexGrid::Clear() {
    for (QString &s : model_->cells) s.clear();
    if (model_->shown > 0) {
        emit model_->headerDataChanged(Qt::Horizontal, 0, std::max(0, model_->columnCount() - 1));
        viewport()->update();
    }
}

void MSFlexGrid::SetScrollBars(int bars) {
    scrollBars_ = bars;
    setHorizontalScrollBarPolicy(bars & flexScrollBarHorizontal ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(bars & flexScrollBarVertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void MSFlexGrid::scheduleFlush() {
    if (flushQueued_) return;
    flushQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { Flush(); }, Qt::QueuedConnection);
}

void MSFlexGrid::Flush() {
    flushQueued_ = false;
    if (model_->shown >= model_->rows) return;
    model_->flush();
    if (row_ >= fixedRows_ && col_ >= fixedCols_ && row_ < model_->rows)
        setCurrentIndex(model_->index(row_ - fixedRows_, col_ - fixedCols_));
    applyTopRow();
}

void MSFlexGrid::showEvent(QShowEvent *e) {
    Flush();
    QTableView::showEvent(e);
    applyTopRow();
}

void MSFlexGrid::resizeEvent(QResizeEvent *e) {
    QTableView::resizeEvent(e);
    applyTopRow();
}

void MSFlexGrid::mouseReleaseEvent(QMouseEvent *e) {
    QTableView::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton) return;
    const QModelIndex at = indexAt(e->position().toPoint());
    if (!at.isValid()) return;
    row_ = at.row() + fixedRows_;
    col_ = at.column() + fixedCols_;
    if (OnClick) OnClick();
}

} // namespace vb
