// nummernwerk-cli list: the rows of the panel's list after "Laden".
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>

#include "base/text.h"
#include "cli/command.h"
#include "phonebook/core.h"

namespace cli {
namespace {

struct ListOptions {
    std::string file;
    bool json = false;
};

// The phonebook's name, then Nr., ID, Name and Telefon of each contact.
void PrintTable(const ReadPhonebook& book, const RecordList& records, const Io& io)
{
    std::string buffer;
    AppendField(buffer, book.phonebookName);
    buffer += '\n';
    ForEachContactRow(records, [&](RecordList::Node*, std::u16string_view nr, std::u16string_view id,
                                        std::u16string_view name, std::u16string_view telefon) {
        AppendField(buffer, nr);
        buffer += '\t';
        AppendField(buffer, id);
        buffer += '\t';
        AppendField(buffer, name);
        buffer += '\t';
        AppendField(buffer, telefon);
        buffer += '\n';
        if (buffer.size() >= 65536) {
            io.out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            buffer.clear();
        }
    });
    io.out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
}

// One object; each contact on a line of its own.
void PrintJson(const std::string& file, const ReadPhonebook& book, const RecordList& records, const Io& io)
{
    using Json = nlohmann::ordered_json;
    io.out << "{\n  \"file\": " << Json(Utf8(ArgumentPath(file))).dump()
           << ",\n  \"phonebook\": " << Json(Utf8(book.phonebookName)).dump() << ",\n  \"contacts\": [";
    const char* separator = "\n    ";
    ForEachContactRow(records, [&](RecordList::Node* contact, std::u16string_view nr, std::u16string_view id,
                                        std::u16string_view name, std::u16string_view telefon) {
        Json numbers = Json::array();
        ForEachContactNumber(contact, [&](std::u16string_view number) { numbers.push_back(Utf8(number)); });
        const Json row = {{"nr", Utf8(nr)},
                          {"id", Utf8(id)},
                          {"name", Utf8(name)},
                          {"telefon", Utf8(telefon)},
                          {"numbers", std::move(numbers)}};
        io.out << separator << row.dump();
        separator = ",\n    ";
    });
    io.out << (separator[1] == '\n' ? "\n  ],\n" : "],\n") << "  \"messages\": [";
    separator = "\n    ";
    for (const BookMessage& m : book.messages) {
        io.out << separator << Json{{"title", Utf8(m.title)}, {"text", Utf8(m.text)}}.dump();
        separator = ",\n    ";
    }
    io.out << (separator[1] == '\n' ? "\n  ]\n}\n" : "]\n}\n");
}

int RunList(const ListOptions& options, const Io& io)
{
    if (const int refused = RefuseInputAsOutput("-", {options.file}, io))
        return refused;
    // Without a suffix the records' nr is the row's number as it stands.
    // A file that could not be read at all leaves the window's panel with
    // its name "Unbekannt" and no rows: so does the tool.
    Input input = ReadInput(options.file, u"", io, false);
    const RecordList& records = KeepUntilExit(std::move(input.book.records));
    if (options.json)
        PrintJson(options.file, input.book, records, io);
    else
        PrintTable(input.book, records, io);
    return FlushedOutput(io, input.ok() ? Done : InputFailed);
}

}  // namespace

CommandRun SetUpList(CLI::App& command)
{
    auto options = std::make_shared<ListOptions>();
    command.add_option("DATEI", options->file, "Das Telefonbuch (XML-Datei)")->required()->type_name("");
    command.add_flag("--json", options->json,
                     "Ein JSON-Objekt ausgeben: file, phonebook, contacts (nr, id, name, telefon, numbers) "
                     "und messages (title, text)");
    return [options](const Io& io) { return RunList(*options, io); };
}

}  // namespace cli
