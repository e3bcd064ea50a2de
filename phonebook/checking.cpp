#include "phonebook/checking.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "contacts/checks.h"
#include "phonebook/panel.h"
#include "phonebook/phonebook.h"
#include "ui/toolkit.h"

namespace {

// Art, Nr., Name, Text.
const std::vector<int> FindingColumnWidths = {75, 75, 190, 470};

bool ValidPanel(int panel)
{
    return panel == 1 || panel == 2;
}

// "Telefonbuch 1", as the panel's title shows it.
std::u16string PanelTitle(int panel)
{
    return ui::GetText(PanelWidgetNumber(panel, PanelTitleWidget));
}

// A text as one cell of a row: a line feed would start the next cell.
void AppendCell(std::u16string& row, std::u16string_view text)
{
    if (!row.empty())
        row += u'\n';
    for (char16_t c : text)
        row += c == u'\n' || c == u'\r' ? u' ' : c;
}

std::vector<std::u16string> FindingRows(const std::vector<CheckFinding>& findings)
{
    std::vector<std::u16string> rows;
    rows.reserve(findings.size());
    for (const CheckFinding& f : findings) {
        std::u16string row;
        AppendCell(row, CheckSeverityText(f.severity()));
        AppendCell(row, f.nr);
        AppendCell(row, f.name);
        AppendCell(row, f.text);
        rows.push_back(std::move(row));
    }
    return rows;
}

// "2 Fehler, 3 Warnungen, 1 Hinweis": the severities that occur.
std::u16string SeverityCounts(const std::vector<CheckFinding>& findings)
{
    struct Word {
        CheckSeverity severity;
        const char16_t* one;
        const char16_t* several;
    };
    constexpr Word Words[] = {
        {CheckSeverity::Error, u"Fehler", u"Fehler"},
        {CheckSeverity::Warning, u"Warnung", u"Warnungen"},
        {CheckSeverity::Info, u"Hinweis", u"Hinweise"},
    };
    std::u16string text;
    for (const Word& word : Words) {
        long long count = 0;
        for (const CheckFinding& f : findings)
            count += f.severity() == word.severity;
        if (count == 0)
            continue;
        if (!text.empty())
            text += u", ";
        text += DecimalText(count) + u' ' + (count == 1 ? word.one : word.several);
    }
    return text;
}

ui::TableDialog FindingsDialog(const std::vector<CheckFinding>& findings)
{
    ui::TableDialog dialog;
    dialog.columns = {u"Art", u"Nr.", u"Name", u"Text"};
    dialog.columnWidths = FindingColumnWidths;
    dialog.rows = FindingRows(findings);
    return dialog;
}

// The row of each contact in the panel's list, by its "contact" record.
std::unordered_map<const RecordList::Node*, int> ContactRows(int panel)
{
    const PhonebookPanel& p = Panel(panel);
    const int list = PanelWidgetNumber(panel, ContactListWidget);
    const int n = ui::CountItems(list);
    std::unordered_map<const RecordList::Node*, int> rows;
    rows.reserve(static_cast<std::size_t>(n));
    for (int row = 0; row < n; ++row) {
        const auto found = p.contactByKey.find(ui::GetItemKey(list, row));
        if (found != p.contactByKey.end())
            rows.emplace(found->second, row);
    }
    return rows;
}

}  // namespace

void CheckPhonebook(int panel)
{
    if (!ValidPanel(panel))
        return;
    const PhonebookPanel& p = Panel(panel);
    const std::u16string title = u"Prüfen – " + PanelTitle(panel);
    if (p.records.Empty()) {
        ui::MessageBox(title, u"  Es ist kein Telefonbuch geladen.    ", ui::Icon::Information);
        return;
    }
    const std::vector<CheckFinding> findings = CheckBook(p.records);
    if (findings.empty()) {
        ui::MessageBox(title, u"  Keine Auffälligkeiten gefunden.    ", ui::Icon::Information);
        return;
    }
    ui::TableDialog dialog = FindingsDialog(findings);
    dialog.title = title;
    dialog.text = u"  " + DecimalText(static_cast<long long>(findings.size())) +
                  (findings.size() == 1 ? u" Auffälligkeit: " : u" Auffälligkeiten: ") + SeverityCounts(findings) +
                  u".    \n  Ein Klick auf eine Zeile markiert den Kontakt in der Liste.    ";
    dialog.buttons = {u"Schliessen"};
    const int list = PanelWidgetNumber(panel, ContactListWidget);
    const auto rows = ContactRows(panel);
    dialog.choose = [&findings, &rows, list](int chosen) {
        const auto found = rows.find(findings[static_cast<std::size_t>(chosen)].contact);
        if (found != rows.end())
            ui::ShowRow(list, found->second);
    };
    dialog.beside = list;
    ui::ShowTableDialog(dialog);
}

bool SaveCheckedPhonebook(int panel)
{
    if (!ValidPanel(panel))
        return false;
    const PhonebookPanel& p = Panel(panel);
    // Without records there is nothing to check; the save says why it
    // cannot write.
    if (!p.records.Empty()) {
        const std::vector<CheckFinding> findings = CheckBook(p.records);
        if (AnyFinding(findings, CheckSeverity::Warning)) {
            ui::TableDialog dialog = FindingsDialog(findings);
            dialog.title = u"Prüfung vor dem Speichern";
            dialog.icon = ui::Icon::Warning;
            dialog.text = u"  \"" + PanelTitle(panel) +
                          u"\" enthält, was die FRITZ!Box beim Wiederherstellen ablehnen oder ändern könnte:    \n  " +
                          SeverityCounts(findings) + u".    \n\n  Soll es trotzdem gespeichert werden?    ";
            dialog.buttons = {u"Trotzdem speichern", u"Abbrechen"};
            dialog.defaultButton = SaveAnyway;
            dialog.cancelButton = CancelSave;
            if (ui::ShowTableDialog(dialog) != SaveAnyway)
                return false;
        }
    }
    return SavePhonebook(panel);
}
