#include "ui/contact_list_view.h"

#include "ui/queued_call.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>

#include <algorithm>

namespace ui {
namespace {

// Report lists draw their grid lines in the button-face colour.
class ListStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_Table_GridLineColor && widget)
            return static_cast<int>(widget->palette().color(QPalette::Button).rgba());
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* SharedListStyle()
{
    // Owned by the application object, so it goes when the application does.
    static QPointer<QStyle> style;
    if (!style) {
        style = new ListStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

}  // namespace

ContactListView::ContactListView(unsigned options, QWidget* parent) : QTableView(parent)
{
    model_ = new ContactListModel(this);
    model_->setCheckBoxes(options & CheckBoxes);
    setModel(model_);

    setStyle(SharedListStyle());
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setShowGrid(options & GridLines);
    setGridStyle(Qt::SolidLine);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode((options & MultiSelect) ? ExtendedSelection : SingleSelection);
    setSelectionBehavior((options & FullRowSelect) ? SelectRows : SelectItems);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
    setTextElideMode(Qt::ElideRight);
    if (options & ShowSelectionAlways) {
        QPalette p = palette();
        for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
            p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
        setPalette(p);
    }

    QHeaderView* rowsHeader = verticalHeader();
    rowsHeader->hide();
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    fitRowHeight();

    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(0);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &ContactListView::userSelectionChanged);
    // Qt stretches a selected range over rows inserted inside it; a new row
    // is never selected, so the selection is shown afresh.
    model_->onInsertBefore = [this](int row) {
        if (focusRow_ >= row)
            ++focusRow_;
    };
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int, int last) {
        if (last + 1 < model_->rowCount())
            markPending();
    });
    // A run of removals, or a new filter, reaches Qt as one reset, which
    // forgets the selection and the current row: the model keeps the row
    // that is to be current in step with the removals, and the rows keep
    // their selection.
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const QModelIndex index = currentIndex();
        const int current = focusRow_ >= 0                                ? focusRow_
                            : index.isValid() && model_->validViewRow(index.row()) ? model_->row(index.row())
                                                                                    : -1;
        model_->setTrackedRow(current);
        focusRow_ = -1;
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        focusRow_ = model_->trackedRow();
        model_->setTrackedRow(-1);
        markPending();
    });
}

void ContactListView::fitRowHeight()
{
    const int text = QFontMetrics(font()).height() + 4;
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this) + 4;
    QHeaderView* rowsHeader = verticalHeader();
    rowsHeader->setMinimumSectionSize(1);
    rowsHeader->setDefaultSectionSize(std::max(text, indicator));
}

void ContactListView::setRowSelected(int row, bool on)
{
    if (!model_->validRow(row))
        return;
    if (on) {
        if (model_->removalsOpen()) {
            model_->setTrackedRow(row);
        } else {
            focusRow_ = row;
            scheduleSync();
        }
    }
    if (model_->selected(row) == on)
        return;
    model_->setSelected(row, on);
    markPending();
}

void ContactListView::showRow(int row)
{
    if (!model_->validRow(row))
        return;
    model_->announce();  // no run of removals left to keep a row through
    model_->deselectAll();
    model_->setSelected(row, true);
    focusRow_ = row;
    scrollRow_ = row;
    markPending();
}

void ContactListView::markPending()
{
    pending_ = true;
    scheduleSync();
}

void ContactListView::scheduleSync()
{
    CallOnceLater(this, syncQueued_, [this] { syncSelection(); });
}

void ContactListView::syncSelection()
{
    model_->announce();
    if (!pending_ && focusRow_ < 0)
        return;
    syncing_ = true;
    QItemSelectionModel* selection = selectionModel();
    const int rows = model_->rows();
    const int lastColumn = model_->columnCount() - 1;
    QItemSelection wanted;
    if (pending_ && lastColumn >= 0) {
        // Over the rows Qt shows.
        const int shown = model_->rowCount();
        const auto selected = [this](int shownRow) { return model_->selected(model_->row(shownRow)); };
        for (int row = 0; row < shown;) {
            if (!selected(row)) {
                ++row;
                continue;
            }
            const int first = row;
            while (row < shown && selected(row))
                ++row;
            wanted.append(QItemSelectionRange(model_->index(first, 0), model_->index(row - 1, lastColumn)));
        }
    }
    if (pending_) {
        // Clearing first spares Qt comparing the old ranges with the new ones.
        selection->clearSelection();
        if (!wanted.isEmpty())
            selection->select(wanted, QItemSelectionModel::Select);
        pending_ = false;
    }
    const int focusShown = focusRow_ >= 0 && focusRow_ < rows ? model_->viewRow(focusRow_) : -1;
    if (focusShown >= 0 && lastColumn >= 0) {
        const bool scroll = hasAutoScroll();
        setAutoScroll(false);
        selection->setCurrentIndex(model_->index(focusShown, 0), QItemSelectionModel::NoUpdate);
        setAutoScroll(scroll);
    }
    // A row the filter hides is not scrolled to.
    const int scrollShown = scrollRow_ >= 0 && scrollRow_ < rows ? model_->viewRow(scrollRow_) : -1;
    if (scrollShown >= 0 && lastColumn >= 0) {
        const QModelIndex cell = model_->index(scrollShown, 0);
        const QRect row = visualRect(cell);
        if (row.top() < 0 || row.bottom() >= viewport()->height())
            scrollTo(cell, PositionAtCenter);
    }
    focusRow_ = -1;
    scrollRow_ = -1;
    syncing_ = false;
}

void ContactListView::userSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (syncing_)
        return;
    const bool wholeRows = selectionBehavior() == SelectRows;
    for (const QItemSelectionRange& range : deselected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (model_->validViewRow(row))
                model_->setSelected(model_->row(row),
                                    !wholeRows && selectionModel()->rowIntersectsSelection(row, QModelIndex()));
        }
    }
    for (const QItemSelectionRange& range : selected) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (model_->validViewRow(row))
                model_->setSelected(model_->row(row), true);
        }
    }
}

int ContactListView::currentRow()
{
    syncSelection();
    const QModelIndex index = currentIndex();
    return index.isValid() && model_->validViewRow(index.row()) ? model_->row(index.row()) : -1;
}

void ContactListView::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && onActivate) {
        const int row = currentRow();
        if (row >= 0 && model_->selected(row)) {
            if (!event->isAutoRepeat())
                onActivate(row);
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void ContactListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    const bool checkColumn = model_->checkBoxes() && index.column() == 0;
    if (event->button() == Qt::LeftButton && index.isValid() && !checkColumn && model_->validViewRow(index.row()) &&
        onActivate)
        onActivate(model_->row(index.row()));
}

}  // namespace ui
