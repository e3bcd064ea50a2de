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
//
// A filter hides the rows whose search text (the chosen columns folded for
// finding: case folded, blanks left out, and their digits alone) lacks the
// folded query. Qt then sees only the rows shown, in order: viewRow() and
// row() translate between Qt's rows and the program's, which keep counting
// every row. The search texts are made when a filter is first set and kept
// from then on, so that a key stroke in a find field costs one pass of a
// string matcher over the rows, and one reset.
#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QStringMatcher>
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

    // Replaces a valid row's text (its fields cut to the columns as for
    // insertRow); key, check state and selection stay.
    void setRowText(int row, const std::u16string& text);

    // Shows only the rows whose search text over columns holds the folded
    // query; the empty query shows every row. The rows' search texts are
    // made for columns (when they are not made for them yet) even then, so
    // that the first query costs no more than the next. Hidden rows lose
    // their selection. Announces pending changes first.
    void setFilter(const QString& query, const std::vector<int>& columns);
    bool filtering() const { return filtering_; }
    // Rows shown (Qt's count once announced).
    int shownRows();
    // The program's row of a row Qt knows, and Qt's row of a program row
    // (-1 when Qt does not show it).
    int row(int viewRow) const { return filtering_ ? shown_[static_cast<std::size_t>(viewRow)] : viewRow; }
    int viewRow(int row) const;
    bool validViewRow(int viewRow) const { return !removalsOpen_ && viewRow >= 0 && viewRow < announced_; }

    // text folded for finding: case folded, without blanks.
    static QString Folded(QStringView text);
    static void AppendFolded(QString& out, QStringView text);
    // The digits of text when it holds nothing but digits, blanks and the
    // signs of a telephone number (+ - / ( ) .) and at least one digit;
    // else the empty text.
    static QString PhoneDigits(QStringView text);

    // Tells Qt about the rows appended or removed since it last heard.
    void announce();
    bool announcePending() const { return removalsOpen_ || seen_ != rows(); }
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
    // Called when a row is inserted before the last one, with its row.
    std::function<void(int row)> onInsertBefore;

    // The text of one field of a line-feed joined row text.
    static QStringView Field(const QString& text, int column);

private:
    struct Row {
        QString text;
        QString search;  // made once a filter has been set (indexed_)
        std::uint64_t key = 0;
        std::uint8_t check = Qt::Unchecked;  // Qt::CheckState
        bool selected = false;
        bool hidden = false;  // by the filter
    };

    Row& at(int row)
    {
        const auto i = static_cast<std::size_t>(row);
        return rows_[i < gapStart_ ? i : i + gapLength_];
    }
    const Row& at(int row) const { return const_cast<ContactListModel*>(this)->at(row); }
    void closeGap();
    void queueAnnounce();
    QString cutToColumns(const std::u16string& text) const;
    QString searchText(const QString& text) const;
    bool passes(const Row& row) const;
    // shown_ from the rows' hidden flags.
    void collectShown();

    std::vector<Row> rows_;  // the rows, with a gap of empty slots
    std::size_t gapStart_ = 0;
    std::size_t gapLength_ = 0;
    bool removalsOpen_ = false;
    bool announceQueued_ = false;
    int announced_ = 0;  // the row count Qt knows
    int seen_ = 0;       // the rows Qt's picture covers: all but those appended since
    int trackedRow_ = -1;
    // The filter.
    bool filtering_ = false;
    std::vector<int> shown_;     // while filtering: the rows Qt sees, ascending
    bool indexed_ = false;       // every row has its search text for searchColumns_
    std::vector<int> searchColumns_;
    std::vector<QString> patterns_;  // what a shown row's search text holds one of
    std::vector<QStringMatcher> matchers_;
    bool retexted_ = false;  // a row's text was replaced since the filter was set
    QStringList titles_;
    bool checkBoxes_ = false;
};

}  // namespace ui
