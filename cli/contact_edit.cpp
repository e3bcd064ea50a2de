// The fields of the contact dialog as options, and a change made with the
// dialog's rules.
#include "cli/contact_edit.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <ctime>
#include <ostream>
#include <span>
#include <type_traits>

#include "base/atomic_file.h"
#include "base/text.h"
#include "contacts/edit.h"
#include "xml/xml.h"

namespace cli {
namespace {

// The options' values, checked.
struct ContactChange {
    bool named = false;
    std::u16string name;
    int vip = -1;  // -1 as it is, 0 no, 1 yes
    struct Value {
        std::u16string kind;  // a number's type; an address's classifier, empty when not given
        std::u16string text;
    };
    std::vector<Value> numbers;
    std::vector<Value> emails;
};

// Letters in lower case, those of Latin-1 too ("Geschäftlich" is
// "GESCHÄFTLICH").
std::u16string Folded(std::u16string_view text)
{
    std::u16string folded(text);
    for (char16_t& c : folded)
        if ((c >= u'A' && c <= u'Z') || (c >= u'\u00C0' && c <= u'\u00DE' && c != u'\u00D7'))
            c = static_cast<char16_t>(c + 0x20);
    return folded;
}

// The router's value named by its value or its German word; empty for none.
std::u16string ValueNamed(std::span<const ValueLabel> labels, std::u16string_view word)
{
    const std::u16string folded = Folded(word);
    for (const ValueLabel& l : labels)
        if (folded == Folded(l.value) || folded == Folded(l.label))
            return std::u16string(l.value);
    return {};
}

// "home (Privat), mobile (Mobil), ...".
std::string Choices(std::span<const ValueLabel> labels)
{
    std::string text;
    for (const ValueLabel& l : labels) {
        if (!text.empty())
            text += ", ";
        text += Utf8(l.value) + " (" + Utf8(l.label) + ")";
    }
    return text;
}

bool ParseChange(const ContactOptions& options, ContactChange& change, const Io& io)
{
    change.named = options.named;
    change.name = Utf8ToUtf16(options.name);
    if (options.vip && options.noVip) {
        io.err << "nummernwerk-cli: --vip und --no-vip schließen einander aus\n";
        return false;
    }
    change.vip = options.vip ? 1 : options.noVip ? 0 : -1;
    for (const std::string& option : options.numbers) {
        const std::size_t colon = option.find(':');
        if (colon == std::string::npos) {
            io.err << "nummernwerk-cli: --number erwartet TYP:NUMMER, nicht '" << option << "'\n";
            return false;
        }
        const std::u16string type = ValueNamed(NumberTypeLabels, Utf8ToUtf16(option.substr(0, colon)));
        if (type.empty()) {
            io.err << "nummernwerk-cli: Unbekannter Typ '" << option.substr(0, colon)
                   << "' bei --number; möglich sind " << Choices(NumberTypeLabels) << '\n';
            return false;
        }
        change.numbers.push_back({type, Utf8ToUtf16(option.substr(colon + 1))});
    }
    for (const std::string& option : options.emails) {
        // A kind stands before the first colon when no @ does.
        const std::size_t colon = option.find(':');
        if (colon == std::string::npos || option.find('@') < colon) {
            change.emails.push_back({{}, Utf8ToUtf16(option)});
            continue;
        }
        const std::u16string kind = ValueNamed(EmailClassifierLabels, Utf8ToUtf16(option.substr(0, colon)));
        if (kind.empty()) {
            io.err << "nummernwerk-cli: Unbekannte Art '" << option.substr(0, colon)
                   << "' bei --email; möglich sind " << Choices(EmailClassifierLabels) << '\n';
            return false;
        }
        change.emails.push_back({kind, Utf8ToUtf16(option.substr(colon + 1))});
    }
    return true;
}

// The change in the fields, as the dialog's rows make them: a number or
// address given with the text of one the contact holds continues it (its
// record, id, quick-dial, vanity and every other attribute stay); the
// others are new. The first number given is the main number.
void ApplyChange(const ContactChange& change, Contact& fields)
{
    if (change.named)
        fields.name = change.name;
    if (change.vip >= 0)
        fields.vip = change.vip == 1;
    // The first of old not taken yet whose text is text; a new value when
    // there is none.
    const auto continued = [](auto& old, std::vector<bool>& taken, std::u16string_view text) {
        for (std::size_t i = 0; i < old.size(); ++i)
            if (!taken[i] && old[i].text.view() == text) {
                taken[i] = true;
                return old[i];
            }
        return typename std::decay_t<decltype(old)>::value_type{};
    };
    if (!change.numbers.empty()) {
        std::vector<ContactNumber> old = std::move(fields.numbers);
        std::vector<bool> taken(old.size());
        fields.numbers.clear();
        for (const ContactChange::Value& given : change.numbers) {
            ContactNumber number = continued(old, taken, given.text);
            number.text = given.text;
            number.type = given.kind;
            if (fields.numbers.empty())
                number.prio = u"1";
            else if (number.prio == u"1")
                number.prio = u"0";
            fields.numbers.push_back(std::move(number));
        }
    }
    if (!change.emails.empty()) {
        std::vector<ContactEmail> old = std::move(fields.emails);
        std::vector<bool> taken(old.size());
        fields.emails.clear();
        for (const ContactChange::Value& given : change.emails) {
            ContactEmail email = continued(old, taken, given.text);
            email.text = given.text;
            if (!given.kind.empty())
                email.classifier = given.kind;
            else if (!email.node)
                email.classifier = EmailClassifierLabels[0].value;  // the dialog's first kind
            fields.emails.push_back(std::move(email));
        }
    }
}

}  // namespace

CLI::Option* AddContactOptions(CLI::App& command, ContactOptions& options, bool adding)
{
    command.add_option("DATEI", options.file, "Das Telefonbuch (XML-Datei)")->required()->type_name("");
    command.add_option("-o,--output", options.output, "Die Zieldatei; - für die Standardausgabe")
        ->required()
        ->type_name("AUSGABE");
    CLI::Option* name = command.add_option("--name", options.name, "Der Name des Kontakts")->type_name("NAME");
    if (adding)
        name->required();
    command
        .add_option("--number", options.numbers,
                    adding ? "Eine Rufnummer, je Rufnummer einmal; die erste ist die Hauptnummer"
                           : "Die Rufnummern statt der bisherigen, je Rufnummer einmal; die erste ist die Hauptnummer")
        ->type_name("TYP:NUMMER")
        ->allow_extra_args(false);
    command
        .add_option("--email", options.emails,
                    adding ? "Eine E-Mail-Adresse, je Adresse einmal"
                           : "Die E-Mail-Adressen statt der bisherigen, je Adresse einmal")
        ->type_name("[ART:]ADRESSE")
        ->allow_extra_args(false);
    command.add_flag("--vip", options.vip, "Als VIP markieren");
    if (!adding)
        command.add_flag("--no-vip", options.noVip, "Die VIP-Markierung entfernen");
    return name;
}

int RunContactChange(const ContactOptions& options, const Io& io,
                     const std::function<int(RecordList& book, Contact& fields)>& read,
                     const std::function<void(RecordList& book, Contact& fields, std::int64_t now)>& write)
{
    if (const int refused = RefuseInputAsOutput(options.output, {options.file}, io))
        return refused;
    ContactChange change;
    if (!ParseChange(options, change, io))
        return UsageError;
    Input input = ReadInput(options.file, u"", io, false);
    if (!input.ok())
        return InputFailed;
    RecordList& book = KeepUntilExit(std::move(input.book.records));
    Contact fields;
    if (const int status = read(book, fields))
        return status;
    ApplyChange(change, fields);

    // As the dialog's "OK": refused while an error stands.
    const std::vector<CheckFinding> findings = CheckContact(fields, CheckIndex(book));
    PrintFindings(options.file, findings, io.err);
    if (RefusesChange(findings)) {
        io.err << options.file << ": Abgelehnt, solange ein Fehler (error) besteht; nichts geschrieben\n";
        return ErrorsFound;
    }
    write(book, fields, io.now >= 0 ? io.now : static_cast<std::int64_t>(std::time(nullptr)));

    const int status = WriteOutput(options.output, io, [&](const ByteTarget& out) {
        if (!XmlCreateDocument(Document, XmlEncoding::Utf8))
            return WriteOutcome{false, FileWriteReason(ENOMEM), {}};
        return WritePhonebook(Document, book, input.book.phonebookName, out);
    });
    XmlFreeDocument(Document);
    return status;
}

}  // namespace cli
