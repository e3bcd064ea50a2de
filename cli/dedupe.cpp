// nummernwerk-cli dedupe: every group of the same contact merged as
// "Zusammenführen" merges ticked rows, then "Speichern".
#include <CLI/CLI.hpp>

#include <cerrno>
#include <memory>
#include <ostream>

#include "base/atomic_file.h"
#include "base/text.h"
#include "cli/command.h"
#include "contacts/limits.h"
#include "contacts/merge.h"
#include "xml/xml.h"

namespace cli {
namespace {

struct DedupeOptions {
    std::string file;
    std::string output;
};

// "FILE: Nr. 3 'Max Muster': " before what is told about a merged contact.
std::string About(const std::string& file, const MergeResult& result)
{
    std::string line = file + ": Nr. ";
    AppendField(line, result.nr);
    if (!result.name.empty()) {
        line += " '";
        AppendField(line, result.name);
        line += '\'';
    }
    return line + ": ";
}

// The refused merges and the values that did not stay, one line each, and
// what was merged: told once the output is written.
void Report(const std::string& file, const std::vector<MergeResult>& results, const Io& io)
{
    std::size_t groups = 0, removed = 0;
    std::string lines;
    for (const MergeResult& r : results) {
        if (r.refusal == MergeResult::Refusal::TooManyNumbers) {
            lines += About(file, r) + "nicht zusammengeführt: " + std::to_string(r.numbers) +
                     " Rufnummern, die FRITZ!Box behält höchstens " + std::to_string(ContactLimits::MaxNumbers) +
                     '\n';
            continue;
        }
        ++groups;
        removed += r.merged;
        for (const MergeConflict& c : r.conflicts) {
            const bool quickdial = c.field == MergeConflict::Field::Quickdial;
            lines += About(file, r) + (quickdial ? "Kurzwahl " : "Vanity-Nummer '");
            AppendField(lines, c.kept);
            lines += quickdial ? " bleibt, " : "' bleibt, '";
            AppendField(lines, c.dropped);
            lines += quickdial ? " entfällt (Rufnummer " : "' entfällt (Rufnummer ";
            AppendField(lines, c.number);
            lines += ")\n";
        }
    }
    io.err << lines << file << ": ";
    if (groups == 0)
        io.err << "Keine Kontakte zusammengeführt\n";
    else
        io.err << groups + removed << " Kontakte zu " << groups << " zusammengeführt\n";
    io.err.flush();
}

int RunDedupe(const DedupeOptions& options, const Io& io)
{
    if (const int refused = RefuseInputAsOutput(options.output, {options.file}, io))
        return refused;
    Input input = ReadInput(options.file, u"", io, false);
    if (!input.ok())
        return InputFailed;
    RecordList& records = KeepUntilExit(std::move(input.book.records));
    std::vector<MergeResult> results;
    {
        ProgressStep step(io, "Dubletten werden zusammengeführt");
        NumberKeys keys;
        results = MergeAllDuplicates(records, keys);
    }
    const int status = WriteOutput(options.output, io, [&](const ByteTarget& out) {
        if (!XmlCreateDocument(Document, XmlEncoding::Utf8))
            return WriteOutcome{false, FileWriteReason(ENOMEM), {}};
        return WritePhonebook(Document, records, input.book.phonebookName, out);
    });
    XmlFreeDocument(Document);
    if (status == Done)
        Report(options.file, results, io);
    return status;
}

}  // namespace

CommandRun SetUpDedupe(CLI::App& command)
{
    auto options = std::make_shared<DedupeOptions>();
    command.add_option("DATEI", options->file, "Das Telefonbuch (XML-Datei)")->required()->type_name("");
    command.add_option("-o,--output", options->output, "Die Zieldatei; - für die Standardausgabe")
        ->required()
        ->type_name("AUSGABE");
    return [options](const Io& io) { return RunDedupe(*options, io); };
}

}  // namespace cli
