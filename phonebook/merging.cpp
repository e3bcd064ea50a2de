#include "phonebook/merging.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/text.h"
#include "contacts/duplicates.h"
#include "contacts/limits.h"
#include "contacts/merge.h"
#include "phonebook/core.h"
#include "phonebook/panel.h"
#include "phonebook/phonebook.h"
#include "ui/toolkit.h"

namespace {

bool ValidPanel(int panel)
{
    return panel == 1 || panel == 2;
}

int ListOf(int panel)
{
    return PanelWidgetNumber(panel, ContactListWidget);
}

// "Zusammenführen – Telefonbuch 1".
std::u16string Title(const char16_t* what, int panel)
{
    return what + std::u16string(u" – ") + ui::GetText(PanelWidgetNumber(panel, PanelTitleWidget));
}

// The contact of a row; nullptr when its key leads to none.
RecordList::Node* RowContact(const PhonebookPanel& p, int list, int row)
{
    const auto found = p.contactByKey.find(ui::GetItemKey(list, row));
    return found == p.contactByKey.end() ? nullptr : found->second;
}

// "Anna Beispiel" (Nr. 5 (1)), or Nr. 5 (1) for a contact without a name.
std::u16string ContactWords(const MergeResult& result)
{
    if (result.name.empty())
        return u"Nr. " + result.nr.str();
    return u"\"" + result.name.str() + u"\" (Nr. " + result.nr.str() + u")";
}

std::u16string ConflictLines(const std::vector<MergeConflict>& conflicts)
{
    std::u16string text;
    for (const MergeConflict& c : conflicts)
        text += u"\n  " + std::u16string(c.field == MergeConflict::Field::Quickdial ? u"Kurzwahl" : u"Vanity") +
                u" bei " + c.number.str() + u": " + c.kept + u" bleibt, " + c.dropped + u" entfällt.    ";
    return text;
}

}  // namespace

void MarkDuplicates(int panel)
{
    if (!ValidPanel(panel))
        return;
    const PhonebookPanel& p = Panel(panel);
    const std::u16string title = Title(u"Dubletten markieren", panel);
    if (p.records.Empty()) {
        ui::MessageBox(title, u"  Es ist kein Telefonbuch geladen.    ", ui::Icon::Information);
        return;
    }
    const RecordList& other = Panel(panel == 1 ? 2 : 1).records;
    NumberKeys keys;
    const std::vector<RecordList::Node*> later = LaterDuplicates(p.records, other.Empty() ? nullptr : &other, keys);
    const std::unordered_set<const RecordList::Node*> duplicates(later.begin(), later.end());

    const int list = ListOf(panel);
    const int n = ui::CountItems(list);
    long long ticked = 0;
    for (int row = 0; row < n; ++row) {
        const bool duplicate = duplicates.contains(RowContact(p, list, row));
        ticked += duplicate;
        const int state = ui::GetItemState(list, row);
        if (((state & ui::RowTicked) != 0) != duplicate)
            ui::SetItemState(list, row, (state & ui::RowSelected) | (duplicate ? ui::RowTicked : 0));
    }
    if (ticked == 0) {
        ui::MessageBox(title, u"  Keine Dubletten gefunden.    ", ui::Icon::Information);
        return;
    }
    ui::MessageBox(title,
                   u"  " + DecimalText(ticked) +
                       (ticked == 1 ? u" Eintrag ist eine Dublette" : u" Einträge sind Dubletten") +
                       u".    \n  Derselbe Kontakt steht weiter oben oder im anderen Telefonbuch.    \n  " +
                       (ticked == 1 ? u"Er ist" : u"Sie sind") +
                       u" jetzt ausgewählt, alle anderen Einträge nicht.    ",
                   ui::Icon::Information);
}

bool CanMergeTicked(int panel)
{
    if (!ValidPanel(panel))
        return false;
    const int list = ListOf(panel);
    const int n = ui::CountItems(list);
    int ticked = 0;
    for (int row = 0; row < n && ticked < 2; ++row)
        ticked += (ui::GetItemState(list, row) & ui::RowTicked) != 0;
    return ticked >= 2;
}

void MergeTickedContacts(int panel)
{
    if (!ValidPanel(panel))
        return;
    PhonebookPanel& p = Panel(panel);
    const int list = ListOf(panel);
    const int n = ui::CountItems(list);
    std::vector<int> rows;
    std::vector<RecordList::Node*> contacts;
    for (int row = 0; row < n; ++row)
        if (ui::GetItemState(list, row) & ui::RowTicked)
            if (RecordList::Node* contact = RowContact(p, list, row)) {
                rows.push_back(row);
                contacts.push_back(contact);
            }
    if (contacts.size() < 2)
        return;

    NumberKeys keys;
    const MergeResult result = MergeContacts(p.records, contacts, keys);
    const std::u16string title = Title(u"Zusammenführen", panel);
    if (result.refusal == MergeResult::Refusal::TooManyNumbers) {
        ui::MessageBox(title,
                       u"  Die Kontakte werden nicht zusammengeführt.    \n\n  " + ContactWords(result) +
                           u" hätte dann " + DecimalText(static_cast<long long>(result.numbers)) +
                           u" Rufnummern, die FRITZ!Box nimmt höchstens " +
                           DecimalText(static_cast<long long>(ContactLimits::MaxNumbers)) + u".    ",
                       ui::Icon::Warning);
        return;
    }

    // The merged contacts' records are gone: their rows go, last first.
    for (std::size_t i = rows.size(); i-- > 1;) {
        p.contactByKey.erase(ui::GetItemKey(list, rows[i]));
        ui::RemoveItem(list, rows[i]);
    }
    // The first row is made anew with its key, for its new numbers.
    const std::uint64_t key = ui::GetItemKey(list, rows[0]);
    ui::RemoveItem(list, rows[0]);
    ui::AddItem(list, rows[0], ContactRowText(result.contact), key);
    ui::ShowRow(list, rows[0]);
    UpdateCountLabel(panel);
    MarkPanelChanged(panel);

    std::u16string text = u"  " + DecimalText(static_cast<long long>(result.merged + 1)) +
                          u" Kontakte wurden zu " + ContactWords(result) + u" zusammengeführt,    \n  mit " +
                          DecimalText(static_cast<long long>(result.numbers)) +
                          (result.numbers == 1 ? u" Rufnummer.    " : u" Rufnummern.    ");
    if (!result.conflicts.empty())
        text += u"\n\n  Verschiedene Werte, der des ersten Kontakts bleibt:    " + ConflictLines(result.conflicts);
    ui::MessageBox(title, text, ui::Icon::Information);
}
