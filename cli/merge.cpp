// nummernwerk-cli merge: "Kopieren" of every contact of each source into the
// target's panel, then "Speichern".
#include <CLI/CLI.hpp>

#include <cerrno>
#include <memory>

#include "base/atomic_file.h"
#include "base/text.h"
#include "cli/command.h"
#include "phonebook/core.h"
#include "xml/xml.h"

namespace cli {
namespace {

struct MergeOptions {
    std::string target;
    std::vector<std::string> sources;
    std::string output;
    std::string name;
    bool named = false;
};

int RunMerge(const MergeOptions& options, const Io& io)
{
    std::vector<std::string> inputs{options.target};
    inputs.insert(inputs.end(), options.sources.begin(), options.sources.end());
    if (const int refused = RefuseInputAsOutput(options.output, inputs, io))
        return refused;

    // The target as panel 1 holds it, each source in turn as panel 2.
    Input target = ReadInput(options.target, u" (1)", io, false);
    if (!target.ok())
        return InputFailed;
    RecordList& records = KeepUntilExit(std::move(target.book.records));
    for (const std::string& file : options.sources) {
        Input source = ReadInput(file, u" (2)", io, false);
        if (!source.ok())
            return InputFailed;
        // Every row ticked and "Kopieren": each contact in the order of the
        // list, handed over whole, as the source is not needed afterwards.
        std::vector<RecordList::Node*> contacts;
        ForEachContactRow(source.book.records, [&contacts](RecordList::Node* contact, auto&&...) {
            contacts.push_back(contact);
        });
        for (RecordList::Node* contact : contacts)
            MoveContactRecords(source.book.records, contact, records);
    }

    const std::u16string name = options.named ? Utf8ToUtf16(options.name) : target.book.phonebookName;
    const int status = WriteOutput(options.output, io, [&](const ByteTarget& out) {
        if (!XmlCreateDocument(Document, XmlEncoding::Utf8))
            return WriteOutcome{false, FileWriteReason(ENOMEM), {}};
        return WritePhonebook(Document, records, name, out);
    });
    XmlFreeDocument(Document);
    return status;
}

}  // namespace

CommandRun SetUpMerge(CLI::App& command)
{
    auto options = std::make_shared<MergeOptions>();
    command.add_option("ZIEL", options->target, "Das Telefonbuch, das die Kontakte aufnimmt")
        ->required()
        ->type_name("");
    command.add_option("QUELLE", options->sources, "Die Telefonbücher, deren Kontakte angehängt werden")
        ->required()
        ->type_name("");
    command.add_option("-o,--output", options->output, "Die Zieldatei; - für die Standardausgabe")
        ->required()
        ->type_name("AUSGABE");
    CLI::Option* name =
        command.add_option("--name", options->name, "Der Name des Telefonbuchs; ohne Angabe der Name aus ZIEL")
            ->type_name("NAME");
    return [options, name](const Io& io) {
        options->named = name->count() > 0;
        return RunMerge(*options, io);
    };
}

}  // namespace cli
