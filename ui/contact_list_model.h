#pragma once
// The table model behind a list widget. A row is kept as the text the
// program handed in (column texts joined by line feeds) plus its hidden key,
// its check state and whether it is selected; the cells are cut out of the
// text when asked for, so a row costs one allocation however many columns it
// has. The selection flag is the list's own record of the selection: the view
// copies the user's selection into it and shows the program's changes from
// it (see ContactListView), so reading and setting row states stays
// constant-time however the selection is split up.
//
// Rows change one at a time, and every change announced to Qt costs a round
// of signals through the view, its headers and its selection model; removing
// a row even makes the headers walk all their sections. So the model tells Qt
// about changes in runs: rows appended at the end are announced together as
// one insertion, and a run of removals as one reset. announce() closes the
// run; the view calls it before Qt handles input again, and a queued call
// does it in any other event loop. Until then Qt sees the rows as they were
// (rowCount() is Qt's count, rows() the real one). The rows themselves sit
// in a gap buffer whose gap follows the removals, so removing rows from the
// last one down costs linear time in all.
#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {

class ContactListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ContactListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Only the check state of column 0 can be set, and only through the view
    // (the user's click); the program uses setCheckState.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    void setCheckBoxes(bool on);
    bool checkBoxes() const { return checkBoxes_; }
    void appendColumn(const QString& title);

    // position < 0 or past the end appends. Fields beyond the current number
    // of columns are dropped, as a report list has nowhere to keep them.
    void insertRow(int position, const std::u16string& text, std::uint64_t key);
    void removeRowAt(int row);
    void clearRows();
    int rows() const { return static_cast<int>(rows_.size() - gapLength_); }
    bool validRow(int row) const { return row >= 0 && row < rows(); }

    // Tells Qt about the rows appended or removed since it last heard.
    void announce();
    bool announcePending() const { return removalsOpen_ || announced_ != rows(); }
    bool removalsOpen() const { return removalsOpen_; }
    // A row number that follows the removals while they are unannounced (the
    // view keeps its current row here across the reset); -1 when none.
    void setTrackedRow(int row) { trackedRow_ = row; }
    int trackedRow() const { return trackedRow_; }

    // Cell text of a valid row; the empty text for a column the row lacks.
    std::u16string cellText(int row, int column) const;
    std::uint64_t key(int row) const { return at(row).key; }
    Qt::CheckState checkState(int row) const { return static_cast<Qt::CheckState>(at(row).check); }
    void setCheckState(int row, Qt::CheckState state);
    bool selected(int row) const { return at(row).selected; }
    // Records the flag only; showing it is the view's business.
    void setSelected(int row, bool on) { at(row).selected = on; }
    void deselectAll();

    // Called after the user changed a row's check box.
    std::function<void(int row)> onUserCheck;

    // The text of one field of a line-feed joined row text.
    static QStringView Field(const QString& text, int column);

private:
    struct Row {
        QString text;
        std::uint64_t key = 0;
        std::uint8_t check = Qt::Unchecked;  // Qt::CheckState
        bool selected = false;
    };

    Row& at(int row)
    {
        const auto i = static_cast<std::size_t>(row);
        return rows_[i < gapStart_ ? i : i + gapLength_];
    }
    const Row& at(int row) const { return const_cast<ContactListModel*>(this)->at(row); }
    void closeGap();
    void queueAnnounce();

    std::vector<Row> rows_;  // the rows, with a gap of empty slots
    std::size_t gapStart_ = 0;
    std::size_t gapLength_ = 0;
    bool removalsOpen_ = false;
    bool announceQueued_ = false;
    int announced_ = 0;  // the row count Qt knows
    int trackedRow_ = -1;
    QStringList titles_;
    bool checkBoxes_ = false;
};

}  // namespace ui
