// The tool's entry: arguments parsed with CLI11, German help, the command
// table, exit statuses.
#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <string_view>

#include "cli/command.h"
#include "xml/xml.h"

namespace cli {
namespace {

constexpr const char* ProgramName = "nummernwerk-cli";

constexpr const char* Description =
    "Telefonbücher der FRITZ!Box ohne Fenster: nummernwerk-cli liest und schreibt sie\n"
    "mit denselben Schritten wie 'Laden' und 'Speichern' in Nummernwerk.\n";

constexpr const char* Footer =
    "Beispiele:\n"
    "  nummernwerk-cli list Telefonbuch.xml\n"
    "  nummernwerk-cli format Telefonbuch.xml -o Telefonbuch_Formatiert.xml\n"
    "  nummernwerk-cli merge Buero.xml Familie.xml -o Gesamt.xml\n"
    "\n"
    "Exit-Status:\n"
    "  0  erledigt\n"
    "  1  eine Eingabe lässt sich nicht öffnen oder ist kein fehlerfreies XML; die Meldung\n"
    "     steht auf der Fehlerausgabe als DATEI:ZEILE:SPALTE: MELDUNG (Zeile und Spalte 0,\n"
    "     wenn die Datei gar nicht gelesen werden konnte)\n"
    "  2  falscher Aufruf, oder die Ausgabe ist eine der Eingaben\n"
    "  3  die Ausgabe lässt sich nicht schreiben\n"
    "\n"
    "Eine Eingabe wird nie überschrieben, auch nicht über eine Verknüpfung. Eine\n"
    "Ausgabedatei enthält danach entweder alles Neue oder bleibt, wie sie war.\n"
    "Mehr zu einem Befehl: nummernwerk-cli BEFEHL --help\n";

// CLI11's messages for the errors a user meets, in German; the rest keep
// their detail behind a German lead.
std::string UsageMessage(const CLI::Error& error, int argc, const char* const* argv)
{
    // The kind by its exit code: CLI11 names some errors after the command.
    const auto kind = static_cast<CLI::ExitCodes>(error.get_exit_code());
    std::string detail = error.what();
    const auto strip = [&detail](std::string_view prefix) {
        if (detail.rfind(prefix, 0) != 0)
            return false;
        detail.erase(0, prefix.size());
        return true;
    };
    if (kind == CLI::ExitCodes::RequiredError) {
        if (detail == "A subcommand is required") {
            for (int i = 1; i < argc; ++i)
                if (argv[i][0] != '-')
                    return std::string("Unbekannter Befehl: ") + argv[i];
            return "Es fehlt der Befehl.";
        }
        constexpr std::string_view required = " is required";
        if (detail.size() > required.size() && detail.ends_with(required))
            return "Es fehlt " + detail.substr(0, detail.size() - required.size()) + ".";
    }
    if (kind == CLI::ExitCodes::ExtrasError && (strip("The following arguments were not expected: ") ||
                                  strip("The following argument was not expected: ")))
        return "Unerwartet: " + detail;
    if (kind == CLI::ExitCodes::OptionNotFound)
        return "Unbekannte Option: " + detail;
    return "Ungültiger Aufruf: " + detail;
}

std::shared_ptr<CLI::Formatter> GermanFormatter()
{
    auto formatter = std::make_shared<CLI::Formatter>();
    formatter->label("Usage", "Aufruf");
    formatter->label("OPTIONS", "OPTIONEN");
    formatter->label("SUBCOMMAND", "BEFEHL");
    formatter->label("SUBCOMMANDS", "BEFEHLE");
    formatter->label("Positionals", "Argumente");
    formatter->label("REQUIRED", "(Pflicht)");
    formatter->column_width(26);
    return formatter;
}

}  // namespace

int Run(int argc, const char* const* argv, const Io& io)
{
    XmlLibraryInit();
    CLI::App app(Description, ProgramName);
    app.formatter(GermanFormatter());
    app.option_defaults()->group("Optionen");
    app.set_help_flag("-h,--help", "Diese Hilfe zeigen");
    app.set_version_flag("--version", std::string(ProgramName) + " " + NW_VERSION, "Die Version zeigen");
    app.footer(Footer);
    app.require_subcommand(1);

    CommandRun run;
    for (const Command& command : Commands()) {
        CLI::App* sub = app.add_subcommand(command.name, command.summary);
        sub->group("Befehle");
        sub->get_help_ptr()->group("Optionen");
        sub->footer(command.examples);
        CommandRun commandRun = command.setUp(*sub);
        sub->callback([&run, commandRun] { run = commandRun; });
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        io.out << app.help();
        return Done;
    } catch (const CLI::CallForVersion& version) {
        io.out << version.what() << '\n';
        return Done;
    } catch (const CLI::ParseError& error) {
        io.err << ProgramName << ": " << UsageMessage(error, argc, argv) << "\nMehr dazu: " << ProgramName << " --help\n";
        return UsageError;
    }
    return run ? run(io) : UsageError;
}

}  // namespace cli
