// nummernwerk-cli convert: a phonebook, a vCard file or a CSV file into any
// of the three. A phonebook is read as "Laden" reads it and written as
// "Speichern" writes it; vCard and CSV go through the contact exchange.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <memory>
#include <optional>
#include <ostream>

#include "base/atomic_file.h"
#include "base/text.h"
#include "cli/command.h"
#include "contacts/exchange.h"
#include "xml/xml.h"

namespace cli {
namespace {

enum class FileKind { Phonebook, VCard, Csv };

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string name;
    std::string format;
    bool named = false;
};

// The kind a file name's extension stands for.
std::optional<FileKind> KindOfName(const std::string& file)
{
    const std::u16string path = ArgumentPath(file);
    if (const std::optional<ExchangeFormat> format = ExchangeFormatOf(path))
        return *format == ExchangeFormat::VCard ? FileKind::VCard : FileKind::Csv;
    if (path.size() >= 4) {
        std::string extension = Utf8(std::u16string_view(path).substr(path.size() - 4));
        for (char& c : extension)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (extension == ".xml")
            return FileKind::Phonebook;
    }
    return std::nullopt;
}

// The kind given by --format.
std::optional<FileKind> KindOfFormat(const std::string& format)
{
    if (format == "xml")
        return FileKind::Phonebook;
    if (format == "vcf")
        return FileKind::VCard;
    if (format == "csv")
        return FileKind::Csv;
    return std::nullopt;
}

ExchangeFormat FormatOf(FileKind kind)
{
    return kind == FileKind::VCard ? ExchangeFormat::VCard : ExchangeFormat::Csv;
}

int UnknownFormat(const std::string& what, const Io& io)
{
    io.err << "nummernwerk-cli: " << what
           << ": unbekanntes Format; erwartet wird .xml, .vcf oder .csv\nMehr dazu: nummernwerk-cli convert --help\n";
    return UsageError;
}

// Every left-out card or row as "FILE:LINE: REASON", then what else the
// information box after an import tells (pictures, unknown columns).
void ReportImport(const std::string& file, ImportReport report, const Io& io)
{
    std::string lines;
    for (const SkippedEntry& entry : report.skipped) {
        lines += file + ':' + std::to_string(entry.line) + ": ";
        AppendField(lines, ImportProblemText(entry.problem));
        lines += '\n';
    }
    io.err << lines;
    report.skipped.clear();
    const std::u16string rest = ImportReportMessage(report);
    if (!rest.empty())
        PrintMessages(file, {BookMessage{u"Information", rest, MessageIcon::Information}}, io);
    io.err.flush();
}

int RunConvert(const ConvertOptions& options, const Io& io)
{
    const std::optional<FileKind> from = KindOfName(options.input);
    if (!from)
        return UnknownFormat(options.input, io);
    const std::optional<FileKind> to =
        options.format.empty() ? KindOfName(options.output) : KindOfFormat(options.format);
    if (!to && options.format.empty() && IsStandardOutput(options.output)) {
        io.err << "nummernwerk-cli: Für die Standardausgabe fehlt --format xml, vcf oder csv\n"
                  "Mehr dazu: nummernwerk-cli convert --help\n";
        return UsageError;
    }
    if (!to)
        return UnknownFormat(options.format.empty() ? options.output : "--format " + options.format, io);
    if (const int refused = RefuseInputAsOutput(options.output, {options.input}, io))
        return refused;

    RecordList* records = nullptr;
    std::u16string name = Utf8ToUtf16(options.name);
    if (*from == FileKind::Phonebook) {
        Input input = ReadInput(options.input, u"", io, false);
        if (!input.ok())
            return InputFailed;
        records = &KeepUntilExit(std::move(input.book.records));
        if (!options.named)
            name = input.book.phonebookName;
    } else {
        std::string bytes;
        if (!ReadBytesInput(options.input, bytes, io))
            return InputFailed;
        if (!options.named)
            name = BookNameOf(ArgumentPath(options.input));
        ImportedBook imported;
        {
            ProgressStep step(io, "Kontakte werden übernommen");
            imported = ImportContacts(FormatOf(*from), bytes, name, u"");
        }
        if (!imported.report.recognized) {
            io.err << options.input << ":0:0: "
                   << (*from == FileKind::VCard ? "Die Datei enthält keine vCard"
                                                : "Die Datei hat keine Spalte für Name, Rufnummer oder E-Mail-Adresse")
                   << '\n';
            ReportImport(options.input, std::move(imported.report), io);
            return InputFailed;
        }
        ReportImport(options.input, std::move(imported.report), io);
        records = &KeepUntilExit(std::move(imported.records));
    }

    if (*to == FileKind::Phonebook) {
        const int status = WriteOutput(options.output, io, [&](const ByteTarget& out) {
            if (!XmlCreateDocument(Document, XmlEncoding::Utf8))
                return WriteOutcome{false, FileWriteReason(ENOMEM), {}};
            return WritePhonebook(Document, *records, name, out);
        });
        XmlFreeDocument(Document);
        return status;
    }
    return WriteOutput(options.output, io, [&](const ByteTarget& out) {
        return WriteBytes(out, ExportContacts(FormatOf(*to), ContactNodes(*records)));
    });
}

}  // namespace

CommandRun SetUpConvert(CLI::App& command)
{
    auto options = std::make_shared<ConvertOptions>();
    command.add_option("EINGABE", options->input, "Telefonbuch (.xml), vCard (.vcf) oder CSV (.csv)")
        ->required()
        ->type_name("");
    command.add_option("AUSGABE", options->output, "Die Zieldatei, das Format nach der Endung; - für die Standardausgabe")
        ->required()
        ->type_name("");
    CLI::Option* name = command
                            .add_option("--name", options->name,
                                        "Der Name des Telefonbuchs; ohne Angabe der Name aus EINGABE oder, bei "
                                        "vCard und CSV, der Dateiname ohne Endung")
                            ->type_name("NAME");
    command.add_option("--format", options->format, "Das Format der Ausgabe (xml, vcf, csv); nötig für -")
        ->type_name("FORMAT");
    return [options, name](const Io& io) {
        options->named = name->count() > 0;
        return RunConvert(*options, io);
    };
}

}  // namespace cli
