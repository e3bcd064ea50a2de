#include "ui/contact_list_model.h"

#include "ui/queued_call.h"

#include <algorithm>

namespace ui {

ContactListModel::ContactListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ContactListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : announced_;
}

int ContactListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QStringView ContactListModel::Field(const QString& text, int column)
{
    qsizetype start = 0;
    for (int c = 0; c < column; ++c) {
        const qsizetype lf = text.indexOf(u'\n', start);
        if (lf < 0)
            return {};
        start = lf + 1;
    }
    qsizetype end = text.indexOf(u'\n', start);
    if (end < 0)
        end = text.size();
    return QStringView(text).mid(start, end - start);
}

QVariant ContactListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !validRow(index.row()))
        return {};
    const Row& row = at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return Field(row.text, index.column()).toString();
    case Qt::CheckStateRole:
        if (checkBoxes_ && index.column() == 0)
            return static_cast<int>(row.check);
        return {};
    default:
        return {};
    }
}

QVariant ContactListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles_.size())
        return titles_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ContactListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (checkBoxes_ && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool ContactListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !checkBoxes_ || !index.isValid() || index.column() != 0 ||
        !validRow(index.row()))
        return false;
    const auto state = static_cast<Qt::CheckState>(value.toInt());
    setCheckState(index.row(), state);
    if (onUserCheck)
        onUserCheck(index.row());
    return true;
}

void ContactListModel::setCheckBoxes(bool on)
{
    if (checkBoxes_ == on)
        return;
    checkBoxes_ = on;
    if (announced_ > 0 && !titles_.isEmpty() && !removalsOpen_)
        emit dataChanged(index(0, 0), index(announced_ - 1, 0));
}

void ContactListModel::appendColumn(const QString& title)
{
    announce();
    const int column = static_cast<int>(titles_.size());
    beginInsertColumns(QModelIndex(), column, column);
    titles_.append(title);
    endInsertColumns();
}

void ContactListModel::closeGap()
{
    if (gapLength_ == 0)
        return;
    const auto gap = rows_.begin() + static_cast<std::ptrdiff_t>(gapStart_);
    rows_.erase(gap, gap + static_cast<std::ptrdiff_t>(gapLength_));
    gapStart_ = 0;
    gapLength_ = 0;
}

void ContactListModel::insertRow(int position, const std::u16string& text, std::uint64_t key)
{
    // Keep no more fields than there are columns.
    std::size_t length = text.size();
    const auto columns = static_cast<std::size_t>(titles_.size());
    std::size_t fields = 1;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == u'\n' && ++fields > columns) {
            length = i;
            break;
        }
    }
    Row row;
    row.text = QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(length));
    row.key = key;

    const int count = rows();
    if (position < 0 || position >= count) {
        // Appended rows are announced together later.
        if (removalsOpen_)
            announce();
        rows_.push_back(std::move(row));
        queueAnnounce();
        return;
    }
    announce();
    beginInsertRows(QModelIndex(), position, position);
    rows_.insert(rows_.begin() + position, std::move(row));
    announced_ = rows();
    endInsertRows();
}

void ContactListModel::queueAnnounce()
{
    CallOnceLater(this, announceQueued_, [this] { announce(); });
}

void ContactListModel::removeRowAt(int row)
{
    if (!validRow(row))
        return;
    if (!removalsOpen_) {
        // Rows appended but not yet announced are covered by the reset.
        beginResetModel();
        removalsOpen_ = true;
        queueAnnounce();
    }
    if (trackedRow_ > row)
        --trackedRow_;

    // Move the gap to the row and widen it by one slot.
    const auto i = static_cast<std::size_t>(row);
    const auto begin = rows_.begin();
    auto pos = [begin](std::size_t n) { return begin + static_cast<std::ptrdiff_t>(n); };
    if (gapLength_ == 0) {
        rows_[i] = Row();
    } else if (i < gapStart_) {
        // Rows between it and the gap go behind the gap.
        std::move_backward(pos(i + 1), pos(gapStart_), pos(gapStart_ + gapLength_));
        rows_[i] = Row();
    } else {
        // Rows between the gap and it go in front of the gap.
        const std::size_t slot = i + gapLength_;
        std::move(pos(gapStart_ + gapLength_), pos(slot), pos(gapStart_));
        rows_[slot] = Row();
    }
    gapStart_ = i;
    ++gapLength_;

    if (trackedRow_ >= rows())
        trackedRow_ = rows() - 1;
}

void ContactListModel::announce()
{
    if (removalsOpen_) {
        closeGap();
        removalsOpen_ = false;
        announced_ = rows();
        endResetModel();
    } else if (announced_ < rows()) {
        beginInsertRows(QModelIndex(), announced_, rows() - 1);
        announced_ = rows();
        endInsertRows();
    }
}

void ContactListModel::clearRows()
{
    if (rows() == 0 && announced_ == 0 && !removalsOpen_)
        return;
    if (!removalsOpen_)
        beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    gapStart_ = 0;
    gapLength_ = 0;
    trackedRow_ = -1;
    removalsOpen_ = false;
    announced_ = 0;
    endResetModel();
}

std::u16string ContactListModel::cellText(int row, int column) const
{
    if (column < 0 || column >= titles_.size())
        return {};
    const QStringView field = Field(at(row).text, column);
    return std::u16string(reinterpret_cast<const char16_t*>(field.data()), static_cast<std::size_t>(field.size()));
}

void ContactListModel::deselectAll()
{
    for (Row& r : rows_)
        r.selected = false;  // the gap's slots hold no selected rows
}

void ContactListModel::setCheckState(int row, Qt::CheckState state)
{
    Row& r = at(row);
    if (r.check == static_cast<std::uint8_t>(state))
        return;
    r.check = static_cast<std::uint8_t>(state);
    // Qt hears of rows it does not know yet when they are announced, and
    // the reset that closes a run of removals repaints everything.
    if (checkBoxes_ && !titles_.isEmpty() && !removalsOpen_ && row < announced_) {
        const QModelIndex cell = index(row, 0);
        emit dataChanged(cell, cell, {Qt::CheckStateRole});
    }
}

}  // namespace ui
