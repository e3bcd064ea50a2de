#include "phonebook/exporting.h"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/atomic_file.h"
#include "base/path.h"
#include "contacts/exchange.h"
#include "phonebook/panel.h"
#include "phonebook/phonebook.h"
#include "ui/toolkit.h"

namespace {

bool ValidPanel(int panel)
{
    return panel == 1 || panel == 2;
}

// The contacts of the ticked rows, or of every row when none is ticked, in
// row order.
std::vector<RecordList::Node*> ContactsToExport(int panel)
{
    const PhonebookPanel& p = Panel(panel);
    const int list = PanelWidgetNumber(panel, ContactListWidget);
    const int n = ui::CountItems(list);
    std::vector<RecordList::Node*> ticked, all;
    for (int row = 0; row < n; ++row) {
        const auto found = p.contactByKey.find(ui::GetItemKey(list, row));
        if (found == p.contactByKey.end())
            continue;
        all.push_back(found->second);
        if (ui::GetItemState(list, row) & ui::RowTicked)
            ticked.push_back(found->second);
    }
    return ticked.empty() ? all : ticked;
}

// Whether path is the file one of the panels was loaded from.
bool LoadedInAPanel(const std::u16string& path)
{
    for (int panel = 1; panel <= 2; ++panel) {
        const std::u16string loaded = ui::GetText(PanelWidgetNumber(panel, FileFieldWidget));
        std::error_code error;
        if (loaded == path || std::filesystem::equivalent(NativePath(loaded), NativePath(path), error))
            return true;
    }
    return false;
}

// The file the dialog offers: the phonebook's name, without what a file
// name cannot hold, in the panel's folder; "_Export" follows the name when
// that is a loaded file (a vCard file loaded under its own name).
std::u16string OfferedFile(int panel)
{
    std::u16string name = ui::GetText(PanelWidgetNumber(panel, NameFieldWidget));
    for (char16_t& c : name)
        if (c == u'/' || c == u'\\' || c < u' ')
            c = u'_';
    const std::u16string stem = RememberedDirectory(panel) + (name.empty() ? u"Kontakte" : name);
    return LoadedInAPanel(stem + u".vcf") ? stem + u"_Export.vcf" : stem + u".vcf";
}

void ErrorBox(const std::u16string& text, const std::u16string& path)
{
    ui::MessageBox(u"Fehlermeldung",
                   text + u"\n\n  Datei:  " + FilePart(path) + u"    \n\n  Pfad:   " + DirectoryPart(path) + u"    ",
                   ui::Icon::Error);
}

}  // namespace

void ExportPanelContacts(int panel)
{
    if (!ValidPanel(panel))
        return;
    const std::vector<RecordList::Node*> contacts = ContactsToExport(panel);
    if (contacts.empty()) {
        ui::MessageBox(u"Information", u"  Es gibt keine Kontakte zum Exportieren.    ", ui::Icon::Information);
        return;
    }
    const std::u16string path =
        ui::SaveFileDialog(u"Kontakte exportieren:", OfferedFile(panel),
                           u"vCard (*.vcf)|*.vcf|CSV (*.csv)|*.csv", 0);
    if (path.empty())
        return;
    const std::optional<ExchangeFormat> format = ExchangeFormatOf(path);
    if (!format) {
        ErrorBox(u"  Kontakte werden als vCard (.vcf) oder CSV (.csv) exportiert.    ", path);
        return;
    }
    if (LoadedInAPanel(path)) {
        ErrorBox(u"  Die Datei ist in einem Telefonbuch geladen und wird nicht überschrieben.    ", path);
        return;
    }
    std::u16string reason;
    if (!WriteFileAtomically(NativePath(path), ExportContacts(*format, contacts), &reason))
        ErrorBox(u"  Die Kontakte können nicht exportiert werden:    \n  " + reason + u"    ", path);
}
