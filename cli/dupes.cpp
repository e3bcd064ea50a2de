// nummernwerk-cli dupes: the duplicates in one phonebook or across two, the
// groups "Dubletten markieren" and "Zusammenführen" work on and the
// likenesses that are only shown.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>

#include "cli/command.h"
#include "contacts/duplicates.h"

namespace cli {
namespace {

struct DupesOptions {
    std::string file;
    std::string second;
    bool json = false;
};

std::string_view KindId(DuplicateKind kind)
{
    switch (kind) {
    case DuplicateKind::SameContact:
        return "same-contact";
    case DuplicateKind::SameNumber:
        return "same-number";
    case DuplicateKind::SameName:
        return "same-name";
    }
    return "same-contact";
}

// Per group a line "KIND<tab>NAME KEY<tab>NUMBER KEYS" (the number keys
// between blanks), then a line "  FILE: Nr. Name" per member.
void PrintGroups(const std::vector<DuplicateGroup>& groups, const std::vector<std::string>& files, const Io& io)
{
    std::string buffer;
    for (const DuplicateGroup& group : groups) {
        buffer += KindId(group.kind);
        buffer += '\t';
        AppendField(buffer, group.nameKey);
        buffer += '\t';
        for (std::size_t i = 0; i < group.numberKeys.size(); ++i) {
            if (i)
                buffer += ' ';
            AppendField(buffer, group.numberKeys[i].text);
        }
        buffer += '\n';
        for (const DuplicateMember& m : group.members) {
            buffer += "  ";
            buffer += files[static_cast<std::size_t>(m.book)];
            buffer += ": ";
            AppendField(buffer, m.nr);
            if (!m.name.empty()) {
                buffer += ' ';
                AppendField(buffer, m.name);
            }
            buffer += '\n';
        }
        if (buffer.size() >= 65536) {
            io.out << buffer;
            buffer.clear();
        }
    }
    io.out << buffer;
}

// One object: files, then groups, each group on a line of its own.
void PrintJson(const std::vector<DuplicateGroup>& groups, const std::vector<std::string>& files, const Io& io)
{
    using Json = nlohmann::ordered_json;
    Json names = Json::array();
    for (const std::string& file : files)
        names.push_back(Utf8(ArgumentPath(file)));
    io.out << "{\n  \"files\": " << names.dump() << ",\n  \"groups\": [";
    const char* separator = "\n    ";
    for (const DuplicateGroup& group : groups) {
        Json keys = Json::array(), members = Json::array();
        for (const NumberKey& key : group.numberKeys)
            keys.push_back({{"kind", NumberKindId(key.kind)}, {"key", Utf8(key.text)}});
        for (const DuplicateMember& m : group.members)
            members.push_back({{"file", names[static_cast<std::size_t>(m.book)]},
                               {"nr", Utf8(m.nr)},
                               {"name", Utf8(m.name)}});
        const Json object = {{"kind", KindId(group.kind)},
                             {"nameKey", Utf8(group.nameKey)},
                             {"numberKeys", std::move(keys)},
                             {"members", std::move(members)}};
        io.out << separator << object.dump();
        separator = ",\n    ";
    }
    io.out << (separator[1] == '\n' ? "\n  ]\n}\n" : "]\n}\n");
}

int RunDupes(const DupesOptions& options, const Io& io)
{
    std::vector<std::string> files{options.file};
    if (!options.second.empty())
        files.push_back(options.second);
    if (const int refused = RefuseInputAsOutput("-", files, io))
        return refused;
    // Nr. as the list shows it without a panel's suffix; the file tells
    // the books apart.
    std::vector<RecordList*> books;
    for (const std::string& file : files) {
        Input input = ReadInput(file, u"", io, false);
        if (!input.ok())
            return InputFailed;
        books.push_back(&KeepUntilExit(std::move(input.book.records), static_cast<int>(books.size())));
    }
    std::vector<DuplicateGroup> groups;
    {
        ProgressStep step(io, "Dubletten werden gesucht");
        NumberKeys keys;
        groups = FindDuplicates(*books[0], books.size() > 1 ? books[1] : nullptr, keys);
    }
    if (options.json)
        PrintJson(groups, files, io);
    else
        PrintGroups(groups, files, io);
    return FlushedOutput(io, Done);
}

}  // namespace

CommandRun SetUpDupes(CLI::App& command)
{
    auto options = std::make_shared<DupesOptions>();
    command.add_option("DATEI", options->file, "Das Telefonbuch (XML-Datei)")->required()->type_name("");
    command.add_option("DATEI2", options->second, "Ein zweites Telefonbuch, mit dem DATEI verglichen wird")
        ->type_name("");
    command.add_flag("--json", options->json,
                     "Ein JSON-Objekt ausgeben: files und groups (kind, nameKey, numberKeys mit kind und key, "
                     "members mit file, nr und name)");
    return [options](const Io& io) { return RunDupes(*options, io); };
}

}  // namespace cli
