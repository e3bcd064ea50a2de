// nummernwerk-cli set: a contact changed as the dialog "Kontakt bearbeiten"
// changes it, then "Speichern".
#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>

#include "base/text.h"
#include "cli/contact_edit.h"
#include "contacts/edit.h"
#include "phonebook/core.h"

namespace cli {

CommandRun SetUpSet(CLI::App& command)
{
    auto options = std::make_shared<ContactOptions>();
    auto nr = std::make_shared<std::string>();
    CLI::Option* name = AddContactOptions(command, *options, false);
    command.add_option("NR", *nr, "Die Nr. des Kontakts, wie 'list' sie zeigt")->required()->type_name("");
    return [options, nr, name](const Io& io) {
        options->named = name->count() > 0;
        const auto read = [&](RecordList& book, Contact& fields) {
            const std::u16string wanted = Utf8ToUtf16(*nr);
            RecordList::Node* found = nullptr;
            ForEachContactRow(book, [&](RecordList::Node* contact, std::u16string_view rowNr, auto&&...) {
                if (!found && rowNr == wanted)
                    found = contact;
            });
            if (!found) {
                io.err << "nummernwerk-cli: " << options->file << " hat keinen Kontakt mit der Nr. " << *nr
                       << " (die Nummern zeigt 'nummernwerk-cli list')\n";
                return static_cast<int>(UsageError);
            }
            ReadContact(found, fields);
            return static_cast<int>(Done);
        };
        return RunContactChange(*options, io, read, [](RecordList& book, Contact& fields, std::int64_t now) {
            ApplyContactEdit(book, fields, now);
        });
    };
}

}  // namespace cli
