#include "phonebook/phonebook.h"

#include <ctime>
#include <optional>
#include <vector>

#include "base/date.h"
#include "base/heap_warmer.h"
#include "base/path.h"
#include "base/text.h"
#include "contacts/contact.h"
#include "phonebook/book_file.h"
#include "phonebook/core.h"
#include "phonebook/edit.h"
#include "phonebook/panel.h"
#include "ui/toolkit.h"
#include "xml/xml.h"

namespace {

constexpr int Document = 0;

const std::u16string CountLabelPrefix = u" Anz.: ";

struct State {
    RecordList scratch;
    std::u16string phonebookName;
    PhonebookPanel panels[2];
    PhonebookPanel invalid;  // what Panel() hands out for a number other than 1 or 2
    std::function<std::int64_t()> clock;
};

// Never destroyed: at the end of the process the system takes the panels'
// records back at once, where destroying a large phonebook's million
// records one by one would only delay the end.
State& S()
{
    static State* const state = new State;
    return *state;
}

bool ValidPanel(int panel)
{
    return panel == 1 || panel == 2;
}

int OtherPanel(int panel)
{
    return panel == 1 ? 2 : 1;
}

int Widget(int panel, PanelWidget widget)
{
    return PanelWidgetNumber(panel, widget);
}

std::u16string Suffix(int panel)
{
    return panel == 1 ? u" (1)" : u" (2)";
}

void ClearPanelRecords(PhonebookPanel& p)
{
    p.contactByKey.clear();
    p.records.Clear();
}

void MarkPanelsChanged(int panel, bool here, bool other)
{
    if (here)
        MarkPanelChanged(panel);
    if (other)
        MarkPanelChanged(OtherPanel(panel));
}

void SetCountLabel(int panel)
{
    ui::SetText(Widget(panel, CountLabelWidget),
                CountLabelPrefix + DecimalText(ui::CountItems(Widget(panel, ContactListWidget))));
    ShowFindCount(panel);
}

void RefreshCountLabels()
{
    SetCountLabel(1);
    SetCountLabel(2);
}

std::int64_t RealLocalClock()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local))
        return -1;
    // A leap second counts as the last second of its minute.
    return DateFromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         local.tm_sec > 59 ? 59 : local.tm_sec);
}

// Gives the contact of row `row` of the source panel to the end of the other
// panel: its records (copied, or moved when `move` is set) and a row with the
// source row's texts. A row whose key leads to no contact gives nothing.
// After a move the source row's key leads nowhere; its row is removed next.
// True when a contact was given.
bool GiveRowContact(int panel, int row, bool move)
{
    PhonebookPanel& source = Panel(panel);
    const int target = OtherPanel(panel);
    PhonebookPanel& dest = Panel(target);
    const int list = Widget(panel, ContactListWidget);

    const auto found = source.contactByKey.find(ui::GetItemKey(list, row));
    if (found == source.contactByKey.end())
        return false;
    RecordList::Node* given = nullptr;
    if (move) {
        given = MoveContactRecords(source.records, found->second, dest.records);
        source.contactByKey.erase(found);
    } else {
        given = CopyContactRecords(found->second, dest.records);
    }
    const std::uint64_t key = dest.NewKey();
    dest.contactByKey.emplace(key, given);
    ui::AddItem(Widget(target, ContactListWidget), -1,
                RowText(ui::GetItemText(list, row, 1), ui::GetItemText(list, row, 2), ui::GetItemText(list, row, 3),
                        ui::GetItemText(list, row, 4)),
                key);
    return true;
}

// Gives the contact of every ticked row of the panel to the other panel, in
// row order. A copied row is unticked; a moved one stays ticked for
// RemoveTickedRows. True when a contact was given.
bool GiveTickedContacts(int panel, bool move)
{
    const int list = Widget(panel, ContactListWidget);
    const int n = ui::CountItems(list);
    bool given = false;
    for (int i = 0; i < n; ++i) {
        if (ui::GetItemState(list, i) & ui::RowTicked) {
            given |= GiveRowContact(panel, i, move);
            if (!move)
                ui::SetItemState(list, i, 0);
        }
    }
    return given;
}

// Removes the contact of row `row` of the panel: its records and the row.
void RemoveRowContact(int panel, int row)
{
    PhonebookPanel& p = Panel(panel);
    const int list = Widget(panel, ContactListWidget);
    const auto found = p.contactByKey.find(ui::GetItemKey(list, row));
    if (found != p.contactByKey.end()) {
        RemoveContactRecords(p.records, found->second);
        p.contactByKey.erase(found);
    }
    ui::RemoveItem(list, row);
}

// True when a row was removed.
bool RemoveTickedRows(int panel)
{
    const int list = Widget(panel, ContactListWidget);
    bool removed = false;
    for (int i = ui::CountItems(list) - 1; i >= 0; --i) {
        if (ui::GetItemState(list, i) & ui::RowTicked) {
            RemoveRowContact(panel, i);
            removed = true;
        }
    }
    return removed;
}

void SetStateOfMarkedRows(int panel, int state)
{
    const int list = Widget(panel, ContactListWidget);
    const int n = ui::CountItems(list);
    for (int i = 0; i < n; ++i)
        if (ui::GetItemState(list, i) & ui::RowSelected)
            ui::SetItemState(list, i, state);
}

}  // namespace

RecordList& ScratchList()
{
    return S().scratch;
}

std::u16string& PhonebookName()
{
    return S().phonebookName;
}

PhonebookPanel& Panel(int panel)
{
    if (!ValidPanel(panel))
        return S().invalid;
    PhonebookPanel& p = S().panels[panel - 1];
    p.number = panel;
    return p;
}

std::u16string& RememberedDirectory(int panel)
{
    return Panel(panel).rememberedDirectory;
}

void PhonebookInit()
{
    State& s = S();
    s.scratch.Clear();
    s.phonebookName.clear();
    for (int panel = 1; panel <= 2; ++panel) {
        PhonebookPanel& p = Panel(panel);
        ClearPanelRecords(p);
        p.changed = false;
        p.rememberedDirectory.clear();
    }
}

void PhonebookShutdown()
{
    State& s = S();
    s.scratch.Clear();
    for (PhonebookPanel& p : s.panels)
        ClearPanelRecords(p);
}

std::u16string PanelSuffix(int panel)
{
    return ValidPanel(panel) ? Suffix(panel) : std::u16string();
}

void UpdateCountLabel(int panel)
{
    if (ValidPanel(panel))
        SetCountLabel(panel);
}

void MarkPanelChanged(int panel)
{
    if (ValidPanel(panel))
        Panel(panel).changed = true;
}

bool PanelHasUnsavedChanges(int panel)
{
    return ValidPanel(panel) && Panel(panel).changed && !Panel(panel).records.Empty();
}

std::int64_t CurrentLocalDate()
{
    const auto& clock = S().clock;
    return clock ? clock() : RealLocalClock();
}

void SetClock(std::function<std::int64_t()> clock)
{
    S().clock = std::move(clock);
}

// Loading ------------------------------------------------------------------------

void LoadPhonebook(int panel)
{
    if (!ValidPanel(panel))
        return;
    PhonebookPanel& p = Panel(panel);

    // Contacts of phones and mail programs load as a phonebook too.
    const std::u16string path =
        ui::OpenFileDialog(u"Telefonbuch auswählen:", p.rememberedDirectory,
                           u"Telefonbuch (*.xml)|*.xml|vCard (*.vcf)|*.vcf|CSV (*.csv)|*.csv", 0);
    if (path.empty())
        return;

    p.rememberedDirectory = DirectoryPart(path);
    ui::SetText(Widget(panel, FileFieldWidget), path);
    ClearPanelRecords(p);
    p.changed = false;
    PhonebookName() = u"Unbekannt";
    ScratchList().Clear();

    const std::optional<ExchangeFormat> contacts = ExchangeFormatOf(path);
    // The formatted copy is written while the file's records are read and
    // the panel is filled.
    std::optional<FormattedCopyWriter> copy;
    ReadPhonebook book = contacts ? ReadContactsFile(*contacts, path, Suffix(panel))
                                  : ReadPhonebookFile(Document, path, Suffix(panel), &copy);
    ScratchList() = std::move(book.records);
    PhonebookName() = std::move(book.phonebookName);
    for (const BookMessage& message : book.messages)
        ui::MessageBox(message.title, message.text, static_cast<ui::Icon>(message.icon));

    // Pages for the panel's records and rows come ready from the other
    // processor (a record and its row take some hundred bytes).
    HeapWarmer warmer(ScratchList().Size() * 100);
    // The panel takes its copy of the scratch list before its rows are made,
    // so that each row's key can lead straight to the panel's own record.
    p.records.CopyFrom(ScratchList());

    const int list = Widget(panel, ContactListWidget);
    ui::ClearItems(list);
    // A phonebook's contacts have some ten records each.
    p.contactByKey.reserve(p.records.Size() / 8);
    std::u16string text;
    ForEachContactRow(p.records, [&](RecordList::Node* contact, std::u16string_view nr, std::u16string_view id,
                                     std::u16string_view name, std::u16string_view telefon) {
        const std::uint64_t key = p.NewKey();
        p.contactByKey.emplace(key, contact);
        AssignRowText(text, nr, id, name, telefon);
        ui::AddItem(list, -1, text, key);
    });
    ui::SetText(Widget(panel, NameFieldWidget), PhonebookName());
    SetCountLabel(panel);
    if (copy)
        copy->Wait();
}

// New phonebook ------------------------------------------------------------------

void NewPhonebook(int panel)
{
    if (!ValidPanel(panel))
        return;
    PhonebookPanel& p = Panel(panel);
    const std::u16string name = u"Neu_" + DateMask(u"%yy%mm%dd%hh%ii", CurrentLocalDate());

    ui::SetText(Widget(panel, NameFieldWidget), name);
    ui::SetText(Widget(panel, FileFieldWidget), p.rememberedDirectory + name + u".xml");
    ui::ClearItems(Widget(panel, ContactListWidget));
    SetCountLabel(panel);

    ClearPanelRecords(p);
    p.changed = false;
    AppendPhonebookFrame(p.records, name, Suffix(panel));
}

// Marking and transfer -----------------------------------------------------------

void TickMarkedRows(int panel)
{
    if (ValidPanel(panel))
        SetStateOfMarkedRows(panel, ui::RowTicked);
}

void UntickMarkedRows(int panel)
{
    if (ValidPanel(panel))
        SetStateOfMarkedRows(panel, 0);
}

void CopyContacts(int panel)
{
    if (!ValidPanel(panel))
        return;
    MarkPanelsChanged(panel, false, GiveTickedContacts(panel, false));
    RefreshCountLabels();
}

void MoveContacts(int panel)
{
    if (!ValidPanel(panel))
        return;
    // First pass, ascending: every ticked contact goes to the other panel.
    // Its records are handed over rather than copied and then deleted; the
    // outcome is the same, without duplicating every record of the move.
    const bool given = GiveTickedContacts(panel, true);
    // Second pass, descending: the ticked rows go.
    const bool removed = RemoveTickedRows(panel);
    MarkPanelsChanged(panel, removed, given);
    RefreshCountLabels();
}

void DeleteContacts(int panel)
{
    if (!ValidPanel(panel))
        return;
    MarkPanelsChanged(panel, RemoveTickedRows(panel), false);
    RefreshCountLabels();
}

// Saving -------------------------------------------------------------------------

bool SavePhonebook(int panel)
{
    if (!ValidPanel(panel))
        return false;
    PhonebookPanel& p = Panel(panel);
    if (!XmlCreateDocument(Document, XmlEncoding::Utf8))
        return false;  // nothing to write with
    PhonebookName() = ui::GetText(Widget(panel, NameFieldWidget));
    const std::u16string file = ui::GetText(Widget(panel, FileFieldWidget)) + u"_NEU.xml";
    const WriteOutcome outcome = WritePhonebook(Document, p.records, PhonebookName(), ByteTarget::File(file));
    const bool saved = outcome.written;
    if (saved)
        p.changed = false;
    // A document that lacks some of the records, or that would not load
    // again, is never written.
    if (!saved) {
        ui::MessageBox(u"Fehlermeldung",
                       u"  Das Telefonbuch kann nicht gespeichert werden.    \n\n  Datei:  " + FilePart(file) +
                           u"    \n\n  Pfad:   " + DirectoryPart(file) + u"    ",
                       ui::Icon::Error);
    } else {
        for (const BookMessage& message : outcome.messages)
            ui::MessageBox(message.title, message.text, static_cast<ui::Icon>(message.icon));
    }
    return saved;
}
