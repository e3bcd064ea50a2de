// CSV files of Google Contacts, Outlook and Thunderbird read into contacts;
// contacts written in Google Contacts' column set.
#include <algorithm>
#include <array>
#include <initializer_list>
#include <unordered_map>

#include "base/text.h"
#include "contacts/exchange.h"
#include "contacts/exchange_detail.h"

using namespace exchange;

namespace {

// Reading ---------------------------------------------------------------------------

enum class Role {
    Unknown,
    Known,  // a column of a known set that holds nothing the router keeps
    FullName,
    First,
    Middle,
    Last,
    Company,
    Categories,
    Photo,
    Phone,         // a number of the column's kind (Outlook, Thunderbird)
    Email,         // an address (Outlook, Thunderbird)
    SlotLabel,     // Google: "Phone n - Label", "E-mail n - Type", ...
    SlotValue,     // Google: "Phone n - Value", ...
    SlotExtra,     // "Phone n - X-FRITZ-Quickdial", ...
    ContactExtra,  // "X-FRITZ-Uniqueid", ...
};

struct NamedColumn {
    std::u16string_view name;  // ASCII letters in lower case
    Role role;
    unsigned marks = 0;
};

// Columns by name: Google Contacts (the names before and since 2023),
// Outlook in English and German (several versions), Thunderbird in English
// and German.
constexpr NamedColumn NamedColumns[] = {
    {u"name", Role::FullName}, {u"display name", Role::FullName}, {u"anzeigename", Role::FullName},
    {u"first name", Role::First}, {u"given name", Role::First}, {u"vorname", Role::First},
    {u"middle name", Role::Middle}, {u"additional name", Role::Middle}, {u"weitere vornamen", Role::Middle},
    {u"last name", Role::Last}, {u"family name", Role::Last}, {u"nachname", Role::Last},
    {u"organization name", Role::Company}, {u"organization 1 - name", Role::Company}, {u"company", Role::Company},
    {u"firma", Role::Company}, {u"organization", Role::Company}, {u"organisation", Role::Company},
    {u"labels", Role::Categories}, {u"group membership", Role::Categories}, {u"categories", Role::Categories},
    {u"kategorien", Role::Categories}, {u"photo", Role::Photo},
    // Numbers.
    {u"business phone", Role::Phone, Work}, {u"business phone 2", Role::Phone, Work},
    {u"company main phone", Role::Phone, Work}, {u"telefon geschäftlich", Role::Phone, Work},
    {u"telefon geschäftlich 2", Role::Phone, Work}, {u"telefon firma", Role::Phone, Work},
    {u"work phone", Role::Phone, Work}, {u"tel. dienstlich", Role::Phone, Work},
    {u"home phone", Role::Phone, Home}, {u"home phone 2", Role::Phone, Home}, {u"telefon privat", Role::Phone, Home},
    {u"telefon privat 2", Role::Phone, Home}, {u"telefon (privat)", Role::Phone, Home},
    {u"telefon (privat 2)", Role::Phone, Home}, {u"tel. privat", Role::Phone, Home},
    {u"mobile phone", Role::Phone, Cell}, {u"mobile phone 2", Role::Phone, Cell}, {u"mobiltelefon", Role::Phone, Cell},
    {u"mobiltelefon 2", Role::Phone, Cell}, {u"mobile number", Role::Phone, Cell},
    {u"mobil-tel.-nr.", Role::Phone, Cell},
    {u"business fax", Role::Phone, Fax | Work}, {u"fax geschäftlich", Role::Phone, Fax | Work},
    {u"home fax", Role::Phone, Fax | Home}, {u"fax privat", Role::Phone, Fax | Home},
    {u"other fax", Role::Phone, Fax}, {u"weiteres fax", Role::Phone, Fax}, {u"fax number", Role::Phone, Fax},
    {u"fax-nummer", Role::Phone, Fax},
    {u"primary phone", Role::Phone, Preferred}, {u"haupttelefon", Role::Phone, Preferred},
    {u"other phone", Role::Phone}, {u"weiteres telefon", Role::Phone}, {u"assistant's phone", Role::Phone},
    {u"telefon assistent", Role::Phone}, {u"callback", Role::Phone}, {u"rückmeldung", Role::Phone},
    {u"car phone", Role::Phone}, {u"autotelefon", Role::Phone}, {u"isdn", Role::Phone}, {u"pager", Role::Phone},
    {u"pager number", Role::Phone}, {u"pager-nummer", Role::Phone}, {u"radio phone", Role::Phone},
    {u"funkruf", Role::Phone}, {u"tty/tdd phone", Role::Phone}, {u"telefon für hörbehinderte", Role::Phone},
    {u"telex", Role::Phone},
    // Addresses.
    {u"e-mail address", Role::Email}, {u"e-mail 2 address", Role::Email}, {u"e-mail 3 address", Role::Email},
    {u"e-mail-adresse", Role::Email}, {u"e-mail 2: adresse", Role::Email}, {u"e-mail 3: adresse", Role::Email},
    {u"primary email", Role::Email}, {u"secondary email", Role::Email}, {u"primäre e-mail-adresse", Role::Email},
    {u"sekundäre e-mail-adresse", Role::Email},
};

// The other columns of those sets. Google's numbered columns ("Address 1 -
// City", "Website 2 - Value", ...) are known by their form.
constexpr std::u16string_view KnownColumns[] = {
    // Google Contacts.
    u"phonetic first name", u"phonetic middle name", u"phonetic last name", u"name prefix", u"name suffix",
    u"nickname", u"file as", u"organization title", u"organization department", u"birthday", u"notes",
    u"yomi name", u"given name yomi", u"additional name yomi", u"family name yomi", u"initials", u"short name",
    u"maiden name", u"gender", u"location", u"billing information", u"directory server", u"mileage", u"occupation",
    u"hobby", u"sensitivity", u"priority", u"subject", u"language",
    // Outlook, English.
    u"title", u"suffix", u"department", u"job title", u"business street", u"business street 2",
    u"business street 3", u"business city", u"business state", u"business postal code", u"business country/region",
    u"business country", u"home street", u"home street 2", u"home street 3", u"home city", u"home state",
    u"home postal code", u"home country/region", u"home country", u"other street", u"other street 2",
    u"other street 3", u"other city", u"other state", u"other postal code", u"other country/region",
    u"other country", u"account", u"anniversary", u"assistant's name", u"business address po box", u"children",
    u"e-mail type", u"e-mail display name", u"e-mail 2 type", u"e-mail 2 display name", u"e-mail 3 type",
    u"e-mail 3 display name", u"government id number", u"home address po box", u"internet free busy", u"keywords",
    u"manager's name", u"office location", u"organizational id number", u"other address po box", u"private",
    u"profession", u"referred by", u"spouse", u"user 1", u"user 2", u"user 3", u"user 4", u"web page",
    u"personal web page",
    // Outlook, German.
    u"anrede", u"abteilung", u"position", u"straße geschäftlich", u"straße geschäftlich 2", u"straße geschäftlich 3",
    u"ort geschäftlich", u"region geschäftlich", u"postleitzahl geschäftlich", u"land/region geschäftlich",
    u"land geschäftlich", u"straße privat", u"straße privat 2", u"straße privat 3", u"ort privat",
    u"bundesland/kanton privat", u"region privat", u"postleitzahl privat", u"land/region privat", u"land privat",
    u"weitere straße", u"weitere straße 2", u"weitere straße 3", u"weiterer ort", u"weiteres/r bundesland/kanton",
    u"weitere region", u"weitere postleitzahl", u"weiteres/e land/region", u"weiteres land",
    u"abrechnungsinformation", u"benutzer 1", u"benutzer 2", u"benutzer 3", u"benutzer 4", u"beruf", u"büro",
    u"e-mail-typ", u"e-mail: angezeigter name", u"e-mail 2: typ", u"e-mail 2: angezeigter name", u"e-mail 3: typ",
    u"e-mail 3: angezeigter name", u"empfohlen von", u"geburtstag", u"geschlecht", u"initialen",
    u"internet frei/gebucht", u"internet-frei/gebucht", u"jahrestag", u"kinder", u"konto", u"name assistent",
    u"assistent(in)", u"name des/der vorgesetzten", u"name des/r vorgesetzten", u"notizen", u"organisationsnr.",
    u"organisations-nr.", u"ort", u"partner", u"partner/in", u"postfach geschäftlich", u"postfach privat",
    u"weiteres postfach", u"priorität", u"privat", u"regierungsnr.", u"regierungs-nr.", u"reisekilometer",
    u"sozialversicherungsnr.", u"sprache", u"stichwörter", u"vertraulichkeit", u"verzeichnisserver", u"webseite",
    // Thunderbird, English.
    u"screen name", u"home address", u"home address 2", u"home address2", u"home zipcode", u"home county",
    u"home post code", u"work address", u"work address 2", u"work address2", u"work city", u"work state",
    u"work zipcode", u"work zip", u"work county", u"work post code", u"work country", u"web page 1", u"web page 2",
    u"birth year", u"birth month", u"birth day", u"custom 1", u"custom 2", u"custom 3", u"custom 4",
    // Thunderbird, German.
    u"spitzname", u"messenger-name", u"privat: adresse", u"privat: adresse 2", u"privat: ort",
    u"privat: bundesland", u"privat: plz", u"privat: land", u"dienstlich: adresse", u"dienstlich: adresse 2",
    u"dienstlich: ort", u"dienstlich: bundesland", u"dienstlich: plz", u"dienstlich: land", u"arbeitstitel",
    u"webseite 1", u"webseite 2", u"geburtsjahr", u"geburtsmonat", u"benutzerdef. 1", u"benutzerdef. 2",
    u"benutzerdef. 3", u"benutzerdef. 4",
};

// A Google slot: the columns of "Phone n - ..." or "E-mail n - ...".
struct Slot {
    bool email = false;
    int label = -1, value = -1;
    std::array<int, std::size(NumberExtras)> extras = {-1, -1, -1, -1, -1};
};

struct Column {
    Role role = Role::Unknown;
    unsigned marks = 0;
    std::size_t slot = 0;   // SlotLabel, SlotValue, SlotExtra
    std::size_t extra = 0;  // ContactExtra: the index in ContactExtras
};

// The index of name in names with "X-FRITZ-" before it, in any case, or
// names' size.
template <std::size_t N>
std::size_t ExtraIndex(std::u16string_view name, const std::u16string_view (&names)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        if (EqualsIgnoringCase(name, std::u16string(ExtraPrefix) + std::u16string(names[i])))
            return i;
    return N;
}

// The columns of a header; slots receives Google's.
std::vector<Column> ReadHeader(const std::vector<std::u16string>& names, std::vector<Slot>& slots)
{
    std::vector<Column> columns(names.size());
    std::unordered_map<std::u16string, std::size_t> slotOf;  // "e" or "p", then n
    for (std::size_t i = 0; i < names.size(); ++i) {
        Column& c = columns[i];
        const std::u16string lower = LowerAscii(TrimBlanks(names[i]));
        if (lower.empty()) {
            c.role = Role::Known;  // Thunderbird ends its header with a separator
            continue;
        }
        for (const NamedColumn& named : NamedColumns) {
            if (named.name == lower) {
                c.role = named.role;
                c.marks = named.marks;
            }
        }
        for (std::u16string_view known : KnownColumns)
            if (known == lower)
                c.role = Role::Known;
        if (c.role != Role::Unknown)
            continue;
        if ((c.extra = ExtraIndex(lower, ContactExtras)) < std::size(ContactExtras)) {
            c.role = Role::ContactExtra;
            continue;
        }
        // "<kind> <n> - <part>"
        const std::size_t dash = lower.find(u" - ");
        const std::size_t space = dash == lower.npos ? lower.npos : lower.rfind(u' ', dash - 1);
        if (space == lower.npos || space + 1 == dash ||
            lower.find_first_not_of(u"0123456789", space + 1) != dash)
            continue;
        const std::u16string_view kind = std::u16string_view(lower).substr(0, space);
        const std::u16string_view number = std::u16string_view(lower).substr(space + 1, dash - space - 1);
        const std::u16string_view part = std::u16string_view(lower).substr(dash + 3);
        const bool email = kind == u"e-mail" || kind == u"email";
        if (!email && kind != u"phone") {
            c.role = Role::Known;
            continue;
        }
        const auto [found, made] = slotOf.try_emplace((email ? u"e" : u"p") + std::u16string(number), slots.size());
        const std::size_t s = found->second;
        if (made)
            slots.push_back({email});
        c.slot = s;
        const std::size_t extra = email ? ExtraIndex(part, EmailExtras) : ExtraIndex(part, NumberExtras);
        if (part == u"label" || part == u"type") {
            c.role = Role::SlotLabel;
            slots[s].label = static_cast<int>(i);
        } else if (part == u"value") {
            c.role = Role::SlotValue;
            slots[s].value = static_cast<int>(i);
        } else if (extra < (email ? std::size(EmailExtras) : std::size(NumberExtras))) {
            c.role = Role::SlotExtra;
            slots[s].extras[extra] = static_cast<int>(i);
        }
    }
    return columns;
}

// The marks of a Google label: "* " before it for the main entry, then its
// words ("Work Fax", "Mobile", "Home").
unsigned MarksOfGoogleLabel(std::u16string_view label)
{
    label = TrimBlanks(label);
    unsigned marks = 0;
    if (label.starts_with(u"* ")) {
        marks |= Preferred;
        label.remove_prefix(2);
    }
    while (!label.empty()) {
        const std::size_t blank = label.find(u' ');
        marks |= MarkOfWord(label.substr(0, blank)) & KindMarks;
        label.remove_prefix(blank == label.npos ? label.size() : blank + 1);
    }
    return marks;
}

// The pieces of a value split at any of the separators, blanks around
// them trimmed.
std::vector<std::u16string_view> SplitAtAny(std::u16string_view value, std::initializer_list<std::u16string_view> separators)
{
    std::vector<std::u16string_view> out;
    for (;;) {
        std::size_t at = value.npos, length = 0;
        for (std::u16string_view s : separators) {
            const std::size_t found = value.find(s);
            if (found < at) {
                at = found;
                length = s.size();
            }
        }
        out.push_back(TrimBlanks(value.substr(0, at)));
        if (at == value.npos)
            return out;
        value.remove_prefix(at + length);
    }
}

// The pieces of a value between separators, as they stand.
std::vector<std::u16string_view> SplitAt(std::u16string_view value, std::u16string_view separator)
{
    std::vector<std::u16string_view> out;
    for (std::size_t at; (at = value.find(separator)) != value.npos; value.remove_prefix(at + separator.size()))
        out.push_back(value.substr(0, at));
    out.push_back(value);
    return out;
}

bool HoldsVip(std::u16string_view categories)
{
    for (std::u16string_view item : SplitAtAny(categories, {u":::", u";", u","})) {
        if (item.starts_with(u"* "))
            item.remove_prefix(2);
        if (EqualsIgnoringCase(item, u"VIP"))
            return true;
    }
    return false;
}

// RFC 4180 rows of a file's bytes. The characters that make the rows are
// the same in UTF-8 and Windows-1252, so each field is decoded on its own:
// one ill-formed byte, or a file cut inside a character, spoils only its
// field.
class CsvRows {
public:
    explicit CsvRows(std::string_view text) : text_(text)
    {
        // The separator the header line holds most of; "," when it holds none.
        constexpr char separators[] = {',', ';', '\t'};
        std::size_t counts[3] = {0, 0, 0};
        bool quoted = false;
        for (std::size_t i = 0; i < text.size() && (quoted || (text[i] != '\n' && text[i] != '\r')); ++i) {
            if (text[i] == '"')
                quoted = !quoted;
            for (std::size_t s = 0; s < 3; ++s)
                counts[s] += !quoted && text[i] == separators[s];
        }
        for (std::size_t s = 1; s < 3; ++s)
            if (counts[s] > counts[0] && counts[s] > (s == 2 ? counts[1] : 0))
                separator_ = separators[s];
    }

    // The next row into fields; false at the end of the text. unclosed is
    // set for a row whose quoted field runs to the end of the text.
    bool Next(std::vector<std::string>& fields, std::size_t& line, bool& unclosed)
    {
        if (pos_ >= text_.size())
            return false;
        fields.clear();
        line = line_;
        unclosed = false;
        for (;;) {
            std::string& field = fields.emplace_back();
            if (pos_ < text_.size() && text_[pos_] == '"') {
                for (++pos_;;) {
                    const std::size_t quote = text_.find('"', pos_);
                    if (quote == text_.npos) {
                        // Everything after the quote lies in the field: a
                        // file cut off inside a value with line breaks.
                        unclosed = true;
                        pos_ = text_.size();
                        return true;
                    }
                    CountLines(pos_, quote);
                    field.append(text_.substr(pos_, quote - pos_));
                    pos_ = quote + 1;
                    if (pos_ < text_.size() && text_[pos_] == '"') {
                        field += '"';
                        ++pos_;
                    } else {
                        break;
                    }
                }
            }
            // Unquoted, or what follows a closing quote: up to the separator.
            std::size_t end = pos_;
            while (end < text_.size() && text_[end] != separator_ && text_[end] != '\n' && text_[end] != '\r')
                ++end;
            field.append(text_.substr(pos_, end - pos_));
            pos_ = end;
            if (pos_ >= text_.size())
                return true;
            if (text_[pos_] == separator_) {
                ++pos_;
                continue;
            }
            if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
                ++pos_;
            ++pos_;
            ++line_;
            return true;
        }
    }

private:
    void CountLines(std::size_t from, std::size_t to)
    {
        for (std::size_t i = from; i < to; ++i)
            if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 >= text_.size() || text_[i + 1] != '\n')))
                ++line_;
    }

    std::string_view text_;
    char separator_ = ',';
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

class CsvReader {
public:
    CsvReader(ImportReport& report, const std::function<void(Contact&)>& take) : report_(report), take_(take) {}

    void Read(std::string_view text)
    {
        CsvRows rows(text);
        std::vector<std::string> fields;
        std::size_t line = 0;
        bool unclosed = false;
        bool header = true;
        while (rows.Next(fields, line, unclosed)) {
            const bool empty = std::all_of(fields.begin(), fields.end(), [](const auto& f) { return f.empty(); });
            if (header) {
                if (unclosed || empty)
                    continue;
                header = false;
                Header(Decoded(fields, true));
                if (!report_.recognized)
                    return;
                continue;
            }
            if (unclosed) {
                report_.skipped.push_back({line, ImportProblem::UnclosedQuote});
            } else if (fields.size() > columns_.size() &&
                       std::any_of(fields.begin() + static_cast<std::ptrdiff_t>(columns_.size()), fields.end(),
                                   [](const auto& f) { return !f.empty(); })) {
                report_.skipped.push_back({line, ImportProblem::TooManyFields});
            } else if (!empty) {
                Row(Decoded(fields, false));
            }
        }
    }

private:
    // The fields as text: all of them, or those of the columns read.
    const std::vector<std::u16string>& Decoded(const std::vector<std::string>& fields, bool all)
    {
        decoded_.resize(fields.size());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const bool read = all || (i < columns_.size() && columns_[i].role != Role::Known &&
                                      columns_[i].role != Role::Unknown);
            decoded_[i] = read ? DecodeText(fields[i]) : std::u16string();
        }
        return decoded_;
    }

    void Header(const std::vector<std::u16string>& names)
    {
        columns_ = ReadHeader(names, slots_);
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const Role r = columns_[i].role;
            if (r == Role::Unknown || (r == Role::SlotLabel && slots_[columns_[i].slot].value < 0))
                report_.unknownColumns.emplace_back(TrimBlanks(names[i]));
            report_.recognized = report_.recognized || r == Role::FullName || r == Role::First || r == Role::Middle ||
                                 r == Role::Last || r == Role::Company || r == Role::Phone || r == Role::Email ||
                                 r == Role::SlotValue;
        }
        for (const Slot& s : slots_)
            for (int extra : s.extras)
                if (extra >= 0 && s.value < 0)
                    report_.unknownColumns.emplace_back(TrimBlanks(names[static_cast<std::size_t>(extra)]));
    }

    void Row(const std::vector<std::u16string>& fields)
    {
        const auto cell = [&fields](int column) -> std::u16string_view {
            return column >= 0 && static_cast<std::size_t>(column) < fields.size() ? fields[static_cast<std::size_t>(column)]
                                                                                     : std::u16string_view();
        };
        std::u16string_view whole, first, middle, last, company;
        fields_.vip = false;
        fields_.from = {};
        fields_.numbers.clear();
        fields_.emails.clear();
        fields_.uniqueId.clear();
        fields_.modTime.clear();
        fields_.imageUrl.clear();
        for (std::size_t i = 0; i < columns_.size() && i < fields.size(); ++i) {
            const Column& c = columns_[i];
            const std::u16string_view value = fields[i];
            switch (c.role) {
            case Role::FullName: whole = value; break;
            case Role::First: first = value; break;
            case Role::Middle: middle = value; break;
            case Role::Last: last = value; break;
            case Role::Company: company = company.empty() ? value : company; break;
            case Role::Categories: fields_.vip = fields_.vip || HoldsVip(value); break;
            case Role::Photo: report_.photos += !TrimBlanks(value).empty(); break;
            case Role::Phone:
                if (!value.empty()) {
                    ContactNumber& n = fields_.numbers.emplace_back();
                    n.text = value;
                    n.type = NumberTypeOf(c.marks);
                    n.prio = c.marks & Preferred ? u"1" : u"";
                }
                break;
            case Role::Email:
                if (!value.empty()) {
                    ContactEmail& e = fields_.emails.emplace_back();
                    e.text = value;
                    e.classifier = ClassifierOf(0);
                }
                break;
            case Role::SlotValue: TakeSlot(slots_[c.slot], cell); break;
            case Role::ContactExtra: {
                RecordText* targets[] = {&fields_.uniqueId, &fields_.modTime, &fields_.imageUrl};
                *targets[c.extra] = value;
                break;
            }
            default: break;
            }
        }
        std::u16string name(whole);
        for (std::u16string_view part : {first, middle, last}) {
            if (!whole.empty() || part.empty())
                continue;
            if (!name.empty())
                name += u' ';
            name += part;
        }
        fields_.name = name.empty() ? std::u16string(company) : name;
        ++report_.read;
        take_(fields_);
    }

    // The numbers or addresses of a Google slot: one per value in the
    // value cell (several split at ":::"), or one empty one when only the
    // label is there.
    template <typename Cell>
    void TakeSlot(const Slot& slot, const Cell& cell)
    {
        const std::u16string_view label = cell(slot.label);
        const std::u16string_view value = cell(slot.value);
        if (label.empty() && value.empty())
            return;
        const unsigned marks = MarksOfGoogleLabel(label);
        for (std::u16string_view text : SplitAt(value, u" ::: ")) {
            const auto extra = [&](std::size_t k, std::u16string& target) {
                if (slot.extras[k] >= 0)
                    target = cell(slot.extras[k]);
            };
            if (slot.email) {
                ContactEmail& e = fields_.emails.emplace_back();
                e.text = text;
                e.classifier = ClassifierOf(marks);
                extra(0, e.classifier);
                extra(1, e.id);
            } else {
                ContactNumber& n = fields_.numbers.emplace_back();
                n.text = text;
                n.type = NumberTypeOf(marks);
                n.prio = marks & Preferred ? u"1" : u"";
                std::u16string* targets[] = {&n.type, &n.prio, &n.quickdial, &n.vanity, &n.id};
                for (std::size_t k = 0; k < std::size(targets); ++k)
                    extra(k, *targets[k]);
            }
        }
    }

    ImportReport& report_;
    const std::function<void(Contact&)>& take_;
    std::vector<Column> columns_;
    std::vector<Slot> slots_;
    std::vector<std::u16string> decoded_;
    Contact fields_;
};

// Writing ---------------------------------------------------------------------------

// Google Contacts' columns before the numbered ones.
constexpr std::u16string_view GoogleColumns[] = {
    u"First Name",    u"Middle Name", u"Last Name",   u"Phonetic First Name", u"Phonetic Middle Name",
    u"Phonetic Last Name", u"Name Prefix", u"Name Suffix", u"Nickname", u"File As", u"Organization Name",
    u"Organization Title", u"Organization Department", u"Birthday", u"Notes", u"Photo", u"Labels",
};
constexpr std::size_t FirstNameColumn = 0;
constexpr std::size_t LabelsColumn = 16;

std::u16string_view GoogleNumberLabel(unsigned marks)
{
    if (marks & Fax)
        return u"Work Fax";
    if (marks & Cell)
        return u"Mobile";
    if (marks & Home)
        return u"Home";
    if (marks & Work)
        return u"Work";
    return u"Other";
}

std::u16string_view GoogleEmailLabel(unsigned marks)
{
    return marks & Home ? u"Home" : marks & Work ? u"Work" : u"Other";
}

void AppendCell(std::string& out, std::u16string_view value)
{
    const std::string bytes = Utf16ToUtf8(value);
    if (bytes.find_first_of(",\"\r\n") == bytes.npos) {
        out += bytes;
        return;
    }
    out += '"';
    for (char c : bytes) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

void ReadCsv(std::string_view bytes, ImportReport& report, const std::function<void(Contact&)>& take)
{
    report = ImportReport{};
    std::string storage;
    CsvReader(report, take).Read(WithoutByteOrderMark(bytes, storage));
}

std::string WriteCsv(std::span<RecordList::Node* const> contacts)
{
    // First the columns the contacts need.
    std::size_t numbers = 1, emails = 1;
    std::array<bool, std::size(NumberExtras)> numberExtras{};
    std::array<bool, std::size(EmailExtras)> emailExtras{};
    std::array<bool, std::size(ContactExtras)> contactExtras{};
    Contact c;
    for (RecordList::Node* node : contacts) {
        ReadContact(node, c);
        numbers = std::max(numbers, c.numbers.size());
        emails = std::max(emails, c.emails.size());
        for (const ContactNumber& n : c.numbers) {
            numberExtras[0] = numberExtras[0] || NumberTypeOf(MarksOfNumberType(n.type)) != n.type;
            numberExtras[1] = numberExtras[1] || (!n.prio.empty() && n.prio != u"0" && n.prio != u"1");
            numberExtras[2] = numberExtras[2] || !n.quickdial.empty();
            numberExtras[3] = numberExtras[3] || !n.vanity.empty();
        }
        numberExtras[4] = numberExtras[4] || !IdsAreIndexes(c.numbers);
        for (const ContactEmail& e : c.emails)
            emailExtras[0] = emailExtras[0] || ClassifierOf(MarksOfClassifier(e.classifier)) != e.classifier;
        emailExtras[1] = emailExtras[1] || !IdsAreIndexes(c.emails);
        contactExtras[0] = contactExtras[0] || !c.uniqueId.empty();
        contactExtras[1] = contactExtras[1] || !c.modTime.empty();
        contactExtras[2] = contactExtras[2] || !c.imageUrl.empty();
    }

    std::vector<std::u16string> header(std::begin(GoogleColumns), std::end(GoogleColumns));
    const std::size_t emailColumns = header.size();
    for (std::size_t k = 1; k <= emails; ++k)
        for (std::u16string_view part : {u"Label", u"Value"})
            header.push_back(u"E-mail " + DecimalText(static_cast<long long>(k)) + u" - " + std::u16string(part));
    const std::size_t numberColumns = header.size();
    for (std::size_t k = 1; k <= numbers; ++k)
        for (std::u16string_view part : {u"Label", u"Value"})
            header.push_back(u"Phone " + DecimalText(static_cast<long long>(k)) + u" - " + std::u16string(part));
    // The X-FRITZ columns, each holding the exact value of every entry of
    // its slot.
    const auto extraColumns = [&header](std::u16string_view kind, std::size_t count, auto names, const auto& wanted) {
        std::vector<std::pair<std::size_t, std::size_t>> out;  // column, (slot, extra) packed
        for (std::size_t k = 1; k <= count; ++k)
            for (std::size_t e = 0; e < wanted.size(); ++e)
                if (wanted[e]) {
                    out.emplace_back(header.size(), (k - 1) * wanted.size() + e);
                    header.push_back(std::u16string(kind) + DecimalText(static_cast<long long>(k)) + u" - " +
                                     std::u16string(ExtraPrefix) + std::u16string(names[e]));
                }
        return out;
    };
    const auto numberExtraColumns = extraColumns(u"Phone ", numbers, NumberExtras, numberExtras);
    const auto emailExtraColumns = extraColumns(u"E-mail ", emails, EmailExtras, emailExtras);
    std::vector<std::pair<std::size_t, std::size_t>> contactExtraColumns;
    for (std::size_t e = 0; e < contactExtras.size(); ++e)
        if (contactExtras[e]) {
            contactExtraColumns.emplace_back(header.size(), e);
            header.push_back(std::u16string(ExtraPrefix) + std::u16string(ContactExtras[e]));
        }

    std::string out = "\xEF\xBB\xBF";
    const auto appendRow = [&out](const std::vector<std::u16string>& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i)
                out += ',';
            AppendCell(out, cells[i]);
        }
        out += "\r\n";
    };
    appendRow(header);
    std::vector<std::u16string> cells;
    for (RecordList::Node* node : contacts) {
        ReadContact(node, c);
        cells.assign(header.size(), std::u16string());
        cells[FirstNameColumn] = c.name;
        // Google's own label for every contact keeps a row of a contact
        // without any value from looking like a blank line.
        cells[LabelsColumn] = c.vip ? u"* myContacts ::: VIP" : u"* myContacts";
        for (std::size_t i = 0; i < c.emails.size(); ++i) {
            cells[emailColumns + 2 * i] = GoogleEmailLabel(MarksOfClassifier(c.emails[i].classifier));
            cells[emailColumns + 2 * i + 1] = c.emails[i].text;
        }
        for (std::size_t i = 0; i < c.numbers.size(); ++i) {
            const ContactNumber& n = c.numbers[i];
            cells[numberColumns + 2 * i] = (n.prio == u"1" ? u"* " : u"") + std::u16string(GoogleNumberLabel(MarksOfNumberType(n.type)));
            cells[numberColumns + 2 * i + 1] = n.text;
        }
        for (const auto& [column, packed] : numberExtraColumns) {
            const std::size_t slot = packed / numberExtras.size();
            if (slot < c.numbers.size()) {
                const ContactNumber& n = c.numbers[slot];
                const std::u16string* values[] = {&n.type, &n.prio, &n.quickdial, &n.vanity, &n.id};
                cells[column] = *values[packed % numberExtras.size()];
            }
        }
        for (const auto& [column, packed] : emailExtraColumns) {
            const std::size_t slot = packed / emailExtras.size();
            if (slot < c.emails.size())
                cells[column] = packed % emailExtras.size() == 0 ? c.emails[slot].classifier : c.emails[slot].id;
        }
        for (const auto& [column, e] : contactExtraColumns) {
            const RecordText* values[] = {&c.uniqueId, &c.modTime, &c.imageUrl};
            cells[column] = *values[e];
        }
        appendRow(cells);
    }
    return out;
}
