// nummernwerk-cli add: a contact added as the dialog "Neuer Kontakt" adds
// it, then "Speichern".
#include <CLI/CLI.hpp>

#include <memory>

#include "cli/contact_edit.h"
#include "contacts/edit.h"

namespace cli {

CommandRun SetUpAdd(CLI::App& command)
{
    auto options = std::make_shared<ContactOptions>();
    AddContactOptions(command, *options, true);
    return [options](const Io& io) {
        options->named = true;  // --name is required
        return RunContactChange(
            *options, io, [](RecordList&, Contact&) { return static_cast<int>(Done); },
            [](RecordList& book, Contact& fields, std::int64_t now) { AddContactToBook(book, fields, now, u""); });
    };
}

}  // namespace cli
