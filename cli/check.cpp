// nummernwerk-cli check: "Prüfen" of phonebook files, what the router would
// refuse or change before a restore.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>

#include "cli/command.h"
#include "contacts/checks.h"

namespace cli {
namespace {

struct CheckOptions {
    std::vector<std::string> files;
    bool json = false;
};

// One object on one line, so that several files give one object per line.
void PrintJson(const std::string& file, const std::vector<CheckFinding>& findings, const Io& io)
{
    using Json = nlohmann::ordered_json;
    Json list = Json::array();
    for (const CheckFinding& f : findings)
        list.push_back({{"code", CheckCodeId(f.code)},
                        {"severity", CheckSeverityId(f.severity())},
                        {"nr", Utf8(f.nr)},
                        {"name", Utf8(f.name)},
                        {"text", Utf8(f.text)}});
    const Json object = {{"file", Utf8(ArgumentPath(file))}, {"findings", std::move(list)}};
    io.out << object.dump() << '\n';
}

int RunCheck(const CheckOptions& options, const Io& io)
{
    if (const int refused = RefuseInputAsOutput("-", options.files, io))
        return refused;
    bool failed = false, errors = false;
    for (const std::string& file : options.files) {
        // A book that is not well-formed is not checked: what was read of it
        // is not what the router would get.
        Input input = ReadInput(file, u"", io, false);
        if (!input.ok()) {
            failed = true;
            continue;
        }
        const RecordList& records = KeepUntilExit(std::move(input.book.records));
        std::vector<CheckFinding> findings;
        {
            ProgressStep step(io, file + " wird geprüft");
            findings = CheckBook(records);
        }
        errors = errors || AnyFinding(findings, CheckSeverity::Error);
        if (options.json)
            PrintJson(file, findings, io);
        else
            PrintFindings(file, findings, io.out);
    }
    return FlushedOutput(io, failed ? InputFailed : errors ? ErrorsFound : Done);
}

}  // namespace

CommandRun SetUpCheck(CLI::App& command)
{
    auto options = std::make_shared<CheckOptions>();
    command.add_option("DATEI", options->files, "Die Telefonbücher (XML-Dateien)")->required()->type_name("");
    command.add_flag("--json", options->json,
                     "Je Datei ein JSON-Objekt auf einer Zeile: file und findings "
                     "(code, severity, nr, name, text)");
    return [options](const Io& io) { return RunCheck(*options, io); };
}

}  // namespace cli
