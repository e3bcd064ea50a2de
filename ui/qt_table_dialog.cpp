// The dialog with a table: a text, rows to look through and choose from,
// and a row of answer buttons; and its seam.
#include "ui/qt_internal.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace ui {

using namespace impl;

namespace {

// The rows the table shows without scrolling: at least, at most.
constexpr int FewestShownRows = 6;
constexpr int MostShownRows = 16;
// Room for the table's frame and scroll bar, and for a window frame when
// the dialog is placed before it has one.
constexpr int TableAllowance = 24;
constexpr int FrameAllowanceWidth = 8;
constexpr int FrameAllowanceHeight = 36;
// Between the dialog and the widget it is put beside.
constexpr int Gap = 12;

QStyle::StandardPixmap IconPixmap(Icon icon)
{
    switch (icon) {
    case Icon::Error: return QStyle::SP_MessageBoxCritical;
    case Icon::Warning: return QStyle::SP_MessageBoxWarning;
    default: return QStyle::SP_MessageBoxInformation;
    }
}

// With a way to choose rows, Return chooses the current row; otherwise the
// table leaves Return to the dialog's default button.
class ChoiceTable : public QTableView {
public:
    ChoiceTable(std::function<void(int)> choose, QWidget* parent) : QTableView(parent), choose_(std::move(choose))
    {
        if (choose_)
            connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) { choose_(index.row()); });
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (choose_ && enter && currentIndex().isValid()) {
            choose_(currentIndex().row());
            return;
        }
        QTableView::keyPressEvent(event);
    }

private:
    std::function<void(int)> choose_;
};

QTableView* MakeTable(QDialog* dialog, const TableDialog& content)
{
    auto* table = new ChoiceTable(content.choose, dialog);
    auto* model = new ContactListModel(table);
    for (const std::u16string& title : content.columns)
        model->appendColumn(Q(title));
    for (const std::u16string& row : content.rows)
        model->insertRow(-1, row, 0);
    model->announce();
    table->setModel(model);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setTabKeyNavigation(false);
    table->setCornerButtonEnabled(false);
    table->verticalHeader()->hide();
    QHeaderView* header = table->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setStretchLastSection(true);
    int width = 0;
    for (int column = 0; column < model->columnCount(); ++column) {
        const int w = column < static_cast<int>(content.columnWidths.size()) ? content.columnWidths[column] : 100;
        table->setColumnWidth(column, w);
        width += w;
    }
    const int rowHeight = table->verticalHeader()->defaultSectionSize();
    const int shown = std::clamp(static_cast<int>(content.rows.size()), FewestShownRows, MostShownRows);
    table->setMinimumSize(width + TableAllowance, header->sizeHint().height() + shown * rowHeight + TableAllowance);
    return table;
}

// Puts the dialog beside the widget, to its right or else to its left, where
// the screen has room for it; otherwise Qt centres it over its window.
void PlaceBeside(QDialog& dialog, QWidget* widget)
{
    QScreen* screen = widget->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect keep(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    const QSize size = dialog.sizeHint() + QSize(FrameAllowanceWidth, FrameAllowanceHeight);
    int left;
    if (keep.right() + Gap + size.width() <= area.right())
        left = keep.right() + Gap;
    else if (keep.left() - Gap - size.width() >= area.left())
        left = keep.left() - Gap - size.width();
    else
        return;
    const int top = std::clamp(keep.center().y() - size.height() / 2, area.top(),
                               std::max(area.top(), area.bottom() + 1 - size.height()));
    dialog.move(left, top);
}

int ShowRealTableDialog(const TableDialog& content)
{
    QDialog dialog(FrontWindow());
    dialog.setWindowTitle(Q(content.title));
    auto* layout = new QVBoxLayout(&dialog);

    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(&dialog);
    const int iconSize = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
    icon->setPixmap(dialog.style()->standardIcon(IconPixmap(content.icon), nullptr, &dialog).pixmap(iconSize));
    icon->setAlignment(Qt::AlignTop);
    top->addWidget(icon);
    auto* text = new QLabel(&dialog);
    text->setTextFormat(Qt::PlainText);
    text->setText(Q(content.text));
    top->addWidget(text, 1);
    layout->addLayout(top);

    QTableView* table = MakeTable(&dialog, content);
    layout->addWidget(table, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    int answer = content.cancelButton;
    QPushButton* defaultButton = nullptr;
    for (int i = 0; i < static_cast<int>(content.buttons.size()); ++i) {
        auto* button = new QPushButton(Q(content.buttons[i]), &dialog);
        if (i == content.defaultButton) {
            button->setDefault(true);
            defaultButton = button;
        }
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &answer, i] {
            answer = i;
            dialog.accept();
        });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    // Rows to choose from take the keyboard first, on the first row, which
    // is not shown chosen before it is; otherwise the default button has
    // it, as in a message box.
    if (content.choose && !content.rows.empty()) {
        table->selectionModel()->setCurrentIndex(table->model()->index(0, 0), QItemSelectionModel::NoUpdate);
        table->setFocus();
    } else if (defaultButton) {
        defaultButton->setFocus();
    }
    if (WidgetEntry* beside = EntryOf(content.beside))
        PlaceBeside(dialog, beside->widget);
    SyncLists();
    if (dialog.exec() != QDialog::Accepted)
        return content.cancelButton;
    return answer;
}

}  // namespace

int ShowTableDialog(const TableDialog& dialog)
{
    State& s = S();
    if (!s.tableAnswers.empty() || s.recordMessages) {
        TableDialog recorded = dialog;
        recorded.choose = nullptr;
        s.tableDialogs.push_back(std::move(recorded));
        if (s.tableAnswers.empty())
            return dialog.cancelButton;
        auto [button, chosen] = std::move(s.tableAnswers.front());
        s.tableAnswers.pop_front();
        if (dialog.choose)
            for (int row : chosen)
                if (row >= 0 && row < static_cast<int>(dialog.rows.size()))
                    dialog.choose(row);
        return button;
    }
    if (!QApplication::instance() || dialog.buttons.empty())
        return dialog.cancelButton;
    return ShowRealTableDialog(dialog);
}

void SetNextTableDialogAnswer(int button, const std::vector<int>& chosenRows)
{
    S().tableAnswers.emplace_back(button, chosenRows);
}

const std::vector<TableDialog>& RecordedTableDialogs() { return S().tableDialogs; }

}  // namespace ui
