#include "ui/contact_list_model.h"

#include "ui/queued_call.h"

#include <algorithm>

namespace ui {

ContactListModel::ContactListModel(QObject* parent) : QAbstractTableModel(parent) {}

namespace {

bool IsPhoneSign(QChar c)
{
    return c == u'+' || c == u'-' || c == u'/' || c == u'(' || c == u')' || c == u'.';
}

}  // namespace

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
    if (!index.isValid() || !validViewRow(index.row()))
        return {};
    const Row& row = at(this->row(index.row()));
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
        !validViewRow(index.row()))
        return false;
    const auto state = static_cast<Qt::CheckState>(value.toInt());
    const int r = row(index.row());
    setCheckState(r, state);
    if (onUserCheck)
        onUserCheck(r);
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

QString ContactListModel::cutToColumns(const std::u16string& text) const
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
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(length));
}

void ContactListModel::insertRow(int position, const std::u16string& text, std::uint64_t key)
{
    Row row;
    row.text = cutToColumns(text);
    row.key = key;
    if (indexed_) {
        row.search = searchText(row.text);
        row.hidden = filtering_ && !passes(row);
    }

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
    if (onInsertBefore)
        onInsertBefore(position);
    if (!filtering_) {
        beginInsertRows(QModelIndex(), position, position);
        rows_.insert(rows_.begin() + position, std::move(row));
        announced_ = seen_ = rows();
        endInsertRows();
        return;
    }
    // The rows Qt sees from here on move down by one.
    const auto from = std::lower_bound(shown_.begin(), shown_.end(), position);
    for (auto it = from; it != shown_.end(); ++it)
        ++*it;
    const bool hidden = row.hidden;
    rows_.insert(rows_.begin() + position, std::move(row));
    seen_ = rows();
    if (!hidden) {
        const int at = static_cast<int>(from - shown_.begin());
        beginInsertRows(QModelIndex(), at, at);
        shown_.insert(shown_.begin() + at, position);
        announced_ = static_cast<int>(shown_.size());
        endInsertRows();
    }
}

void ContactListModel::setRowText(int row, const std::u16string& text)
{
    if (!validRow(row))
        return;
    Row& r = at(row);
    r.text = cutToColumns(text);
    if (indexed_)
        r.search = searchText(r.text);
    retexted_ = true;
    const int shownAt = removalsOpen_ ? -1 : viewRow(row);
    if (shownAt >= 0 && !titles_.isEmpty())
        emit dataChanged(index(shownAt, 0), index(shownAt, static_cast<int>(titles_.size()) - 1));
}

int ContactListModel::viewRow(int row) const
{
    if (!filtering_)
        return row >= 0 && row < announced_ ? row : -1;
    const auto it = std::lower_bound(shown_.begin(), shown_.end(), row);
    return it != shown_.end() && *it == row ? static_cast<int>(it - shown_.begin()) : -1;
}

void ContactListModel::AppendFolded(QString& out, QStringView text)
{
    // QChar folds one character to one: "ß" and "ẞ" get their full folding
    // here, so that "Strasse" finds "Straße".
    for (QChar c : text)
        if (c == u'\u00DF' || c == u'\u1E9E')
            out.append(QStringLiteral("ss"));
        else if (!c.isSpace())
            out.append(c.toCaseFolded());
}

QString ContactListModel::Folded(QStringView text)
{
    QString out;
    out.reserve(text.size());
    AppendFolded(out, text);
    return out;
}

QString ContactListModel::PhoneDigits(QStringView text)
{
    QString digits;
    for (QChar c : text) {
        if (c.isDigit())
            digits.append(c);
        else if (!c.isSpace() && !IsPhoneSign(c))
            return {};
    }
    return digits;
}

QString ContactListModel::searchText(const QString& text) const
{
    // The folded columns, then their digits alone, each ended by a line
    // feed, which no folded query holds. Several numbers in one column
    // (joined by " # ") keep their digits apart.
    QString search;
    search.reserve(text.size() * 2 + 2 * static_cast<qsizetype>(searchColumns_.size()));
    for (int column : searchColumns_) {
        AppendFolded(search, Field(text, column));
        search += u'\n';
    }
    for (int column : searchColumns_) {
        for (QChar c : Field(text, column)) {
            if (c.isDigit())
                search += c;
            else if (c == u'#')
                search += u'\n';
        }
        search += u'\n';
    }
    search.squeeze();
    return search;
}

bool ContactListModel::passes(const Row& row) const
{
    for (const QStringMatcher& m : matchers_)
        if (m.indexIn(row.search) >= 0)
            return true;
    return false;
}

void ContactListModel::collectShown()
{
    shown_.clear();
    if (!filtering_)
        return;
    const int count = rows();
    for (int r = 0; r < count; ++r)
        if (!at(r).hidden)
            shown_.push_back(r);
}

void ContactListModel::setFilter(const QString& query, const std::vector<int>& columns)
{
    announce();
    const QString folded = Folded(query);
    const int count = rows();
    const bool sameColumns = indexed_ && columns == searchColumns_;
    if (!columns.empty() && !sameColumns) {
        searchColumns_ = columns;
        for (int r = 0; r < count; ++r)
            at(r).search = searchText(at(r).text);
        indexed_ = true;
    }
    // A row passes when its search text holds one of the patterns: the
    // folded query, and its digits when it is a telephone number written
    // with more than digits.
    std::vector<QString> patterns;
    if (!folded.isEmpty()) {
        patterns.push_back(folded);
        const QString digits = PhoneDigits(query);
        if (!digits.isEmpty() && digits != folded)
            patterns.push_back(digits);
    }
    // When every new pattern holds one of the old ones, a row the old
    // filter hid fails the new one too: only the rows shown are looked at,
    // as while the user types on.
    const bool narrowing =
        filtering_ && sameColumns && !retexted_ && !patterns.empty() &&
        std::all_of(patterns.begin(), patterns.end(), [this](const QString& p) {
            return std::any_of(patterns_.begin(), patterns_.end(), [&p](const QString& old) { return p.contains(old); });
        });
    patterns_ = patterns;
    retexted_ = false;
    matchers_.clear();
    for (const QString& p : patterns_)
        matchers_.emplace_back(p, Qt::CaseSensitive);

    if (narrowing) {
        for (int r : shown_) {
            Row& row = at(r);
            row.hidden = !passes(row);
            if (row.hidden)
                row.selected = false;
        }
    } else {
        for (int r = 0; r < count; ++r) {
            Row& row = at(r);
            row.hidden = !patterns_.empty() && !passes(row);
            if (row.hidden)
                row.selected = false;
        }
    }
    // Qt hears of it as one reset; the view keeps its current row across it
    // as across removals.
    beginResetModel();
    filtering_ = !patterns_.empty();
    if (narrowing)
        std::erase_if(shown_, [this](int r) { return at(r).hidden; });
    else
        collectShown();
    announced_ = filtering_ ? static_cast<int>(shown_.size()) : count;
    seen_ = count;
    endResetModel();
}

int ContactListModel::shownRows()
{
    announce();
    return filtering_ ? static_cast<int>(shown_.size()) : rows();
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
    if (row < seen_)
        --seen_;

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
        collectShown();
        announced_ = filtering_ ? static_cast<int>(shown_.size()) : rows();
        seen_ = rows();
        endResetModel();
        return;
    }
    if (seen_ >= rows())
        return;
    const int first = seen_;
    seen_ = rows();
    if (!filtering_) {
        beginInsertRows(QModelIndex(), announced_, rows() - 1);
        announced_ = rows();
        endInsertRows();
        return;
    }
    std::vector<int> appended;
    for (int r = first; r < seen_; ++r)
        if (!at(r).hidden)
            appended.push_back(r);
    if (appended.empty())
        return;
    beginInsertRows(QModelIndex(), announced_, announced_ + static_cast<int>(appended.size()) - 1);
    shown_.insert(shown_.end(), appended.begin(), appended.end());
    announced_ = static_cast<int>(shown_.size());
    endInsertRows();
}

void ContactListModel::clearRows()
{
    if (rows() == 0 && announced_ == 0 && !removalsOpen_)
        return;
    if (!removalsOpen_)
        beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    shown_.clear();
    gapStart_ = 0;
    gapLength_ = 0;
    trackedRow_ = -1;
    removalsOpen_ = false;
    announced_ = 0;
    seen_ = 0;
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
    if (checkBoxes_ && !titles_.isEmpty() && !removalsOpen_) {
        const int shownAt = viewRow(row);
        if (shownAt >= 0) {
            const QModelIndex cell = index(shownAt, 0);
            emit dataChanged(cell, cell, {Qt::CheckStateRole});
        }
    }
}

}  // namespace ui
