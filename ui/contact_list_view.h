#pragma once
// The report list: a table view over a ContactListModel with check boxes in
// column 0, grid lines and row selection.
//
// Which rows are selected is kept per row in the model. What the user
// selects arrives through the selection model's signal and is copied into
// the rows at once. What the program selects or deselects is written into
// the rows and shown later, in one go: QItemSelectionModel keeps a list of
// ranges and compares them pairwise on every change, so selecting or
// deselecting rows one at a time costs quadratic time in a long list. The
// toolkit shows pending changes (and has the model announce its pending
// rows) before Qt handles input again: before waiting for events and before
// a modal dialog. A queued call does it for any other event loop.
#include "ui/contact_list_model.h"

#include <QItemSelection>
#include <QTableView>

#include <functional>

namespace ui {

class ContactListView : public QTableView {
    Q_OBJECT

public:
    // Options, the same bits as the toolkit's list flags.
    static constexpr unsigned CheckBoxes = 0x01;
    static constexpr unsigned MultiSelect = 0x02;
    static constexpr unsigned ShowSelectionAlways = 0x04;
    static constexpr unsigned GridLines = 0x08;
    static constexpr unsigned FullRowSelect = 0x10;
    ContactListView(unsigned options, QWidget* parent = nullptr);

    ContactListModel* contacts() const { return model_; }

    bool isRowSelected(int row) const { return model_->selected(row); }
    // Selects or deselects a row; a selected row becomes the current one
    // (it takes the keyboard focus mark) without the list scrolling to it.
    void setRowSelected(int row, bool on);
    // Selects row alone, makes it the current one and scrolls to it (to the
    // middle of the list when it is out of sight), shown with the pending
    // changes.
    void showRow(int row);
    // Announces pending removals and shows pending selection changes.
    void syncSelection();
    bool selectionPending() const { return pending_ || focusRow_ >= 0 || model_->announcePending(); }

    // Row height to match the font; called when the font changes.
    void fitRowHeight();

    // The row with the focus mark, -1 when none is shown.
    int currentRow();

    // Called with the row a double click (outside the check box) or Return
    // or Enter on the marked current row activates.
    std::function<void(int row)> onActivate;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void userSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void markPending();
    void scheduleSync();

    ContactListModel* model_;
    bool pending_ = false;
    bool syncing_ = false;
    bool syncQueued_ = false;
    int focusRow_ = -1;
    int scrollRow_ = -1;
};

}  // namespace ui
