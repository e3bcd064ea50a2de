// nummernwerk-cli format: the formatted copy that "Laden" writes.
#include <CLI/CLI.hpp>

#include <memory>

#include "cli/command.h"
#include "xml/xml.h"

namespace cli {
namespace {

struct FormatOptions {
    std::string file;
    std::string output = "-";
};

int RunFormat(const FormatOptions& options, const Io& io)
{
    if (const int refused = RefuseInputAsOutput(options.output, {options.file}, io))
        return refused;
    const Input input = ReadInput(options.file, u"", io, true);
    if (!input.book.opened)
        return InputFailed;
    // A file that is not well-formed gives no copy: what was read of it is
    // not the whole phonebook.
    if (!input.ok()) {
        XmlFreeDocument(Document);
        return InputFailed;
    }
    return WriteOutput(options.output, io, [](const ByteTarget& target) { return WriteFormattedCopy(Document, target); });
}

}  // namespace

CommandRun SetUpFormat(CLI::App& command)
{
    auto options = std::make_shared<FormatOptions>();
    command.add_option("DATEI", options->file, "Das Telefonbuch (XML-Datei)")->required()->type_name("");
    command.add_option("-o,--output", options->output, "Die Zieldatei; ohne Angabe oder mit - die Standardausgabe")
        ->type_name("AUSGABE");
    return [options](const Io& io) { return RunFormat(*options, io); };
}

}  // namespace cli
