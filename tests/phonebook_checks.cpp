#include "phonebook_checks.h"

#include "phonebook/panel.h"
#include "phonebook/phonebook.h"
#include "ui/toolkit.h"

bool PanelRowsInStep(int panel)
{
    if (panel != 1 && panel != 2)
        return false;
    PhonebookPanel& p = Panel(panel);
    const int list = PanelWidgetNumber(panel, ContactListWidget);
    const int n = ui::CountItems(list);
    if (n < 0 || static_cast<std::size_t>(n) != p.contactByKey.size())
        return false;
    RecordList::Node* next = p.records.FirstNode();
    for (int i = 0; i < n; ++i) {
        const auto found = p.contactByKey.find(ui::GetItemKey(list, i));
        if (found == p.contactByKey.end())
            return false;
        while (next && next->record.name != u"contact")
            next = next->next;
        if (next != found->second || next->record.nr != ui::GetItemText(list, i, 1))
            return false;
        next = next->next;
    }
    while (next && next->record.name != u"contact")
        next = next->next;
    return next == nullptr;
}
