#include "contacts/checks.h"

#include <absl/container/flat_hash_map.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "contacts/attributes.h"
#include "contacts/limits.h"
#include "contacts/text_ids.h"

using Node = RecordList::Node;

static_assert([] {
    for (std::size_t i = 0; i < std::size(CheckCodes); ++i)
        if (static_cast<std::size_t>(CheckCodes[i].code) != i)
            return false;
    return std::size(CheckCodes) == static_cast<std::size_t>(CheckCode::ControlCharacters) + 1;
}(), "CheckCodes holds every code once, in the order of CheckCode");

std::string_view CheckCodeId(CheckCode code)
{
    return CheckCodes[static_cast<std::size_t>(code)].id;
}

CheckSeverity CheckCodeSeverity(CheckCode code)
{
    return CheckCodes[static_cast<std::size_t>(code)].severity;
}

std::string_view CheckSeverityId(CheckSeverity severity)
{
    switch (severity) {
    case CheckSeverity::Error: return "error";
    case CheckSeverity::Warning: return "warning";
    case CheckSeverity::Info: return "info";
    }
    return "error";
}

std::u16string_view CheckSeverityText(CheckSeverity severity)
{
    switch (severity) {
    case CheckSeverity::Error: return u"Fehler";
    case CheckSeverity::Warning: return u"Warnung";
    case CheckSeverity::Info: return u"Hinweis";
    }
    return u"Fehler";
}

bool AnyFinding(const std::vector<CheckFinding>& findings, CheckSeverity severity)
{
    return std::any_of(findings.begin(), findings.end(),
                       [severity](const CheckFinding& f) { return f.severity() <= severity; });
}

namespace {

constexpr std::u16string_view ContactName = u"contact";
constexpr std::u16string_view PhonebooksName = u"phonebooks";
constexpr std::u16string_view PhonebookName = u"phonebook";
constexpr std::u16string_view TelephonyName = u"telephony";
constexpr std::u16string_view ServicesName = u"services";
constexpr std::u16string_view RealNameName = u"realName";
constexpr std::u16string_view NidAttribute = u"nid";
constexpr std::u16string_view MainPrio = u"1";

// Code units of a value that a text shows; a longer one is cut.
constexpr std::size_t ShownLength = 60;
// Numbers a prio-several text lists.
constexpr std::size_t ListedNumbers = 5;

bool IsContact(const Node* node)
{
    return node->record.name == ContactName;
}

bool IsBlankText(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0';
    });
}

bool AllDigits(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

std::u16string Decimal(std::size_t value)
{
    return DecimalText(static_cast<long long>(value));
}

// A value as a text shows it: without the characters XML cannot hold (the
// tool prints it, the window shows it), cut after ShownLength units.
std::u16string Shown(std::u16string_view value)
{
    std::u16string out = HoldsNonXmlCharacters(value) ? WithoutNonXmlCharacters(value) : std::u16string(value);
    if (out.size() > ShownLength) {
        std::size_t cut = ShownLength;
        if (out[cut - 1] >= 0xD800 && out[cut - 1] <= 0xDBFF)
            --cut;  // not between the halves of a pair
        out.resize(cut);
        out += u"…";
    }
    return out;
}

std::u16string Quoted(std::u16string_view value)
{
    return u"'" + Shown(value) + u"'";
}

// A code (quick-dial, nid, uniqueid): as it stands when it is a whole
// number, else quoted.
std::u16string CodeText(std::u16string_view code)
{
    return AllDigits(code) ? Shown(code) : Quoted(code);
}

// A code as codes are compared (quick-dial, nid): a whole number without its
// leading zeros ("07" is "7"), any other text as it stands.
std::u16string_view WithoutLeadingZeros(std::u16string_view code)
{
    if (code.empty() || !AllDigits(code))
        return code;
    const std::size_t digit = code.find_first_not_of(u'0');
    return digit == std::u16string_view::npos ? code.substr(code.size() - 1) : code.substr(digit);
}

bool QuickdialInRange(std::u16string_view code)
{
    const std::u16string_view key = WithoutLeadingZeros(code);
    if (key.empty() || key.size() > 9 || !AllDigits(key))
        return false;
    long value = 0;
    for (char16_t c : key)
        value = value * 10 + (c - u'0');
    return value >= ContactLimits::MinQuickdial && value <= ContactLimits::MaxQuickdial;
}

// " (030 1234567)" after a value of a number; nothing for an empty number.
std::u16string OfNumber(const ContactNumber& number)
{
    return IsBlankText(number.text) ? std::u16string() : u" (" + Shown(number.text) + u")";
}

// True when every unit of text is one of U+0020 to U+7FFF, which XML always
// holds: most texts are, and need no closer look. Four units at a time: a
// unit is one of them when its top bit is clear and adding 0x7FE0 to it
// sets that bit.
bool Plain(std::u16string_view text)
{
    constexpr std::uint64_t Top = 0x8000800080008000u, Rest = 0x7FFF7FFF7FFF7FFFu, Lift = 0x7FE07FE07FE07FE0u;
    const char16_t* p = text.data();
    std::size_t left = text.size();
    std::uint64_t outside = 0;
    for (; left >= 4; p += 4, left -= 4) {
        std::uint64_t units;
        std::memcpy(&units, p, sizeof units);
        outside |= (((units & Rest) + Lift) & ~units & Top) ^ Top;
    }
    for (; left > 0; ++p, --left)
        outside |= *p < 0x20 || *p >= 0x8000;
    return outside == 0;
}

bool HoldsBadCharacters(std::u16string_view text)
{
    return !Plain(text) && HoldsNonXmlCharacters(text);
}

// "Zeichen U+0001 " for the first character of text that XML cannot hold
// (a surrogate without its partner counts as itself).
std::u16string BadCharacter(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const char32_t c = CodePointAt(text, i, length);
        if (!IsXmlCharacter(c)) {
            char code[16];
            const int n = std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            return u"Zeichen " + std::u16string(code, code + n) + u" ";
        }
        i += length;
    }
    return u"Zeichen ";
}

// What a finding is about: a contact (or nothing, for the whole book).
struct Subject {
    Node* contact;
    const RecordText& nr;
    const RecordText& name;
};

const RecordText NoText;

CheckFinding& Add(std::vector<CheckFinding>& out, CheckCode code, const Subject& subject, std::u16string text,
                  Node* other = nullptr)
{
    CheckFinding& f = out.emplace_back();
    f.code = code;
    f.contact = subject.contact;
    f.nr = subject.nr;
    f.name = subject.name;
    f.other = other;
    f.text = std::move(text);
    return f;
}

// Places a finding beside a field of the contact.
void Beside(CheckFinding& f, CheckPart part, std::size_t index = 0)
{
    f.part = part;
    f.index = index;
}

using Kind = CheckIndex::Kind;

// The text a value is compared by.
std::u16string_view ValueKey(Kind kind, std::u16string_view value)
{
    return kind == Kind::Quickdial ? WithoutLeadingZeros(value) : value;
}

// Values of each kind, each with the first two contacts holding it; the
// values copied. Small whole numbers, as the router's uniqueids and every
// valid quick-dial code are, lie in an array by their value: much quicker
// to fill than a hash table, whose every new value is a miss in the cache.
class ValueTable {
public:
    // Adds contact as a holder of value (not empty); returns the first
    // holder, contact itself when value is new.
    Node* Add(Kind kind, std::u16string_view value, Node* contact)
    {
        const std::u16string_view key = ValueKey(kind, value);
        Table& table = tables_[static_cast<std::size_t>(kind)];
        Holders* two = nullptr;
        if (const long number = SmallNumber(key); number >= 0 && Fits(table, number)) {
            two = &table.small[static_cast<std::size_t>(number)];
            if (!(*two)[0]) {
                ++table.inSmall;
                return (*two)[0] = contact;
            }
        } else {
            bool added = false;
            const auto at = table.other.lazy_emplace(key, [&](const auto& make) {
                make(texts_.Keep(key), Holders{contact, nullptr});
                added = true;
            });
            if (added)
                return contact;
            two = &at->second;
        }
        if ((*two)[0] != contact && !(*two)[1])
            (*two)[1] = contact;
        return (*two)[0];
    }

    Node* Other(Kind kind, std::u16string_view value, const Node* except) const
    {
        const std::u16string_view key = ValueKey(kind, value);
        const Table& table = tables_[static_cast<std::size_t>(kind)];
        const Holders* two = nullptr;
        if (const long number = SmallNumber(key); number >= 0 && static_cast<std::size_t>(number) < table.small.size()) {
            two = &table.small[static_cast<std::size_t>(number)];
        } else if (const auto found = table.other.find(key); found != table.other.end()) {
            two = &found->second;
        }
        if (!two)
            return nullptr;
        return (*two)[0] != except ? (*two)[0] : (*two)[1];
    }

private:
    using Holders = std::array<Node*, 2>;
    struct Table {
        std::vector<Holders> small;  // by value
        std::size_t inSmall = 0;     // values held there
        std::size_t lowestOther = SIZE_MAX;  // the lowest small number in other
        absl::flat_hash_map<std::u16string_view, Holders, TextHash> other;
    };

    // A whole number of at most 9 digits written without leading zeros,
    // else -1.
    static long SmallNumber(std::u16string_view key)
    {
        if (key.empty() || key.size() > 9 || (key[0] == u'0' && key.size() > 1) || !AllDigits(key))
            return -1;
        long value = 0;
        for (char16_t c : key)
            value = value * 10 + (c - u'0');
        return value;
    }

    // Whether number goes into the array, which grows to hold it when it
    // stays below four times the values held there (and some 65,000).
    // The array never reaches a number that went to the hash table.
    static bool Fits(Table& table, long number)
    {
        const std::size_t index = static_cast<std::size_t>(number);
        if (index < table.small.size())
            return true;
        if (index >= 4 * table.inSmall + 65536 || index >= table.lowestOther) {
            table.lowestOther = std::min(table.lowestOther, index);
            return false;
        }
        table.small.resize(std::min(std::max(index + 1, 2 * table.small.size()), table.lowestOther));
        return true;
    }

    TextStore texts_;
    Table tables_[3];
};

// The checks of a contact's fields, with room kept from one contact to the
// next.
class FieldChecks {
public:
    // Adds the findings about fields to out, in the order of the codes;
    // characters XML cannot hold only when characters is set. other(kind,
    // value) gives another contact holding a value, or nullptr.
    template <typename Other>
    void Check(const Contact& fields, Other other, const Subject& subject, bool characters,
               std::vector<CheckFinding>& out)
    {
        const std::vector<ContactNumber>& numbers = fields.numbers;
        if (numbers.size() > ContactLimits::MaxNumbers)
            Add(out, CheckCode::TooManyNumbers, subject,
                Decimal(numbers.size()) + u" Rufnummern, die FRITZ!Box behält höchstens " +
                    Decimal(ContactLimits::MaxNumbers));

        const std::size_t withText = static_cast<std::size_t>(
            std::count_if(numbers.begin(), numbers.end(), [](const ContactNumber& n) { return !IsBlankText(n.text); }));
        if (withText == 0)
            Add(out, CheckCode::NoNumber, subject,
                (numbers.empty() ? std::u16string(u"Keine Rufnummer")
                                 : u"Nur leere Rufnummern (" + Decimal(numbers.size()) + u")") +
                    u", die FRITZ!Box übernimmt den Kontakt nicht");
        for (std::size_t i = 0; i < numbers.size(); ++i)
            if (IsBlankText(numbers[i].text))
                Beside(Add(out, CheckCode::EmptyNumber, subject,
                           u"Rufnummer " + Decimal(i + 1) + u" ist leer" +
                               (numbers[i].type.empty() ? std::u16string() : u" (Typ " + Quoted(numbers[i].type) + u")")),
                       CheckPart::Number, i);

        if (IsBlankText(fields.name))
            Beside(Add(out, CheckCode::NoName, subject,
                       fields.from.contact && !fields.from.name ? u"Kein Element 'realName'" : u"Name ist leer"),
                   CheckPart::Name);

        Twice(fields, other, subject, Kind::Quickdial, out);
        Twice(fields, other, subject, Kind::Vanity, out);

        for (std::size_t i = 0; i < numbers.size(); ++i) {
            const ContactNumber& n = numbers[i];
            if (!n.quickdial.empty() && !QuickdialInRange(n.quickdial))
                Beside(Add(out, CheckCode::QuickdialRange, subject,
                           u"Kurzwahl " + CodeText(n.quickdial) + OfNumber(n) + u" ist keine Zahl von " +
                               DecimalText(ContactLimits::MinQuickdial) + u" bis " +
                               DecimalText(ContactLimits::MaxQuickdial)),
                       CheckPart::Number, i);
        }

        std::size_t main = 0;
        std::u16string listed;
        for (const ContactNumber& n : numbers) {
            if (n.prio != MainPrio)
                continue;
            if (++main <= ListedNumbers)
                listed += (listed.empty() ? u"" : u", ") + (IsBlankText(n.text) ? u"(leer)" : Shown(n.text));
            else if (main == ListedNumbers + 1)
                listed += u", …";
        }
        if (main > 1)
            Add(out, CheckCode::PrioSeveral, subject,
                Decimal(main) + u" Rufnummern als Hauptnummer markiert (prio=\"1\"): " + listed);

        if (!fields.uniqueId.empty())
            if (Node* holder = other(Kind::UniqueId, fields.uniqueId))
                Add(out, CheckCode::UniqueidTwice, subject,
                    u"ID " + CodeText(fields.uniqueId) + u" auch bei " + HolderText(holder), holder);

        if (!IsBlankText(fields.imageUrl) && !fields.imageUrl.view().starts_with(ContactLimits::ImageFolder))
            Add(out, CheckCode::ImagePath, subject,
                u"Bild " + Quoted(fields.imageUrl) + u" liegt nicht unter " + std::u16string(ContactLimits::ImageFolder));

        if (characters)
            Characters(fields, subject, out);
    }

private:
    // "Nr. 14 (1) 'Max Muster'" for a contact: its nr and its name, the last
    // realName of its run as the list shows it. Worked out once per contact,
    // however many findings name it.
    const std::u16string& HolderText(Node* contact)
    {
        std::u16string& text = holderTexts_[contact];
        if (!text.empty())
            return text;
        std::u16string_view name;
        for (const Node* n = contact->next; n && !IsContact(n); n = n->next)
            if (n->record.name == RealNameName)
                name = n->record.text;
        text = u"Nr. " + Shown(contact->record.nr);
        if (!IsBlankText(name))
            text += u" " + Quoted(name);
        return text;
    }

    // A quick-dial code or vanity text another contact holds, else an
    // earlier number of this one.
    template <typename Other>
    void Twice(const Contact& fields, Other other, const Subject& subject, Kind kind, std::vector<CheckFinding>& out)
    {
        const bool quickdial = kind == Kind::Quickdial;
        auto& earlier = earlier_[quickdial ? 0 : 1];
        earlier.clear();
        for (std::size_t i = 0; i < fields.numbers.size(); ++i) {
            const ContactNumber& n = fields.numbers[i];
            const std::u16string& value = quickdial ? n.quickdial : n.vanity;
            if (value.empty())
                continue;
            const auto [first, isNew] = earlier.try_emplace(ValueKey(kind, value), i);
            Node* holder = other(kind, value);
            if (!holder && isNew)
                continue;
            std::u16string text = quickdial ? u"Kurzwahl " + CodeText(value) : u"Vanity-Nummer " + Quoted(value);
            text += OfNumber(n) + u" auch bei ";
            if (holder) {
                text += HolderText(holder);
            } else {
                const ContactNumber& before = fields.numbers[first->second];
                text += u"Rufnummer " + Decimal(first->second + 1) + OfNumber(before) + u" desselben Kontakts";
            }
            Beside(Add(out, quickdial ? CheckCode::QuickdialTwice : CheckCode::VanityTwice, subject, std::move(text),
                       holder ? holder : subject.contact),
                   CheckPart::Number, i);
        }
    }

    void Characters(const Contact& fields, const Subject& subject, std::vector<CheckFinding>& out)
    {
        const auto look = [&](std::u16string_view text, const std::u16string& where,
                              CheckPart part = CheckPart::Contact, std::size_t index = 0) {
            if (HoldsBadCharacters(text))
                Beside(Add(out, CheckCode::ControlCharacters, subject, BadCharacter(text) + where), part, index);
        };
        look(fields.name, u"im Text von 'realName'", CheckPart::Name);
        look(fields.imageUrl, u"im Text von 'imageURL'");
        for (std::size_t i = 0; i < fields.numbers.size(); ++i) {
            const ContactNumber& n = fields.numbers[i];
            const std::u16string which = u"von 'number' (Rufnummer " + Decimal(i + 1) + u")";
            look(n.text, u"im Text " + which, CheckPart::Number, i);
            const std::pair<std::u16string_view, const std::u16string*> attributes[] = {
                {u"type", &n.type}, {u"quickdial", &n.quickdial}, {u"vanity", &n.vanity},
                {u"prio", &n.prio}, {u"id", &n.id}};
            for (const auto& [name, value] : attributes)
                look(*value, u"im Attribut '" + std::u16string(name) + u"' " + which, CheckPart::Number, i);
        }
        for (std::size_t i = 0; i < fields.emails.size(); ++i) {
            const ContactEmail& e = fields.emails[i];
            const std::u16string which = u"von 'email' (E-Mail-Adresse " + Decimal(i + 1) + u")";
            look(e.text, u"im Text " + which, CheckPart::Email, i);
            look(e.classifier, u"im Attribut 'classifier' " + which, CheckPart::Email, i);
            look(e.id, u"im Attribut 'id' " + which, CheckPart::Email, i);
        }
        look(fields.modTime, u"im Text von 'mod_time'");
        look(fields.uniqueId, u"im Text von 'uniqueid'");
    }

    // Per kind: a number's value (quick-dial key, vanity text) to the first
    // number of the contact holding it.
    absl::flat_hash_map<std::u16string_view, std::size_t, TextHash> earlier_[2];
    absl::flat_hash_map<const Node*, std::u16string> holderTexts_;
};

// The checks of one record as it stands: its nid, and characters XML
// cannot hold.
void CheckRecord(const Node* node, const Subject& subject, std::vector<CheckFinding>& out)
{
    const NodeRecord& r = node->record;
    const bool telephony = r.name == TelephonyName;
    if ((telephony || r.name == ServicesName) && !r.attributes.empty()) {
        std::size_t pos = 0;
        AttributeField field;
        std::u16string scratch;
        while (NextAttributeField(r.attributes, pos, field)) {
            if (field.name != NidAttribute)
                continue;
            const std::u16string_view nid = AttributeValue(field.raw, scratch);
            const std::size_t count = NidChildCount(node);
            if (!AllDigits(nid) || nid.empty() || WithoutLeadingZeros(nid) != Decimal(count))
                Add(out, CheckCode::NidMismatch, subject,
                    u"nid " + CodeText(nid) + u" bei " + Quoted(r.name) + u", aber " + Decimal(count) +
                        (telephony ? (count == 1 ? u" Rufnummer" : u" Rufnummern")
                                   : (count == 1 ? u" E-Mail-Adresse" : u" E-Mail-Adressen")));
            break;
        }
    }

    std::u16string where;
    std::u16string_view text;
    if (HoldsBadCharacters(r.name)) {
        text = r.name;
        where = u"im Namen des Elements " + Quoted(r.name);
    } else if (HoldsBadCharacters(r.attributes)) {
        text = r.attributes;
        where = u"in den Attributen von " + Quoted(r.name);
        std::size_t pos = 0;
        AttributeField field;
        while (NextAttributeField(r.attributes, pos, field)) {
            if (HoldsBadCharacters(field.name)) {
                text = field.name;
                where = u"im Namen eines Attributs von " + Quoted(r.name);
                break;
            }
            if (HoldsBadCharacters(field.raw)) {
                text = field.raw;
                where = u"im Attribut " + Quoted(field.name) + u" von " + Quoted(r.name);
                break;
            }
        }
    } else if (HoldsBadCharacters(r.text)) {
        text = r.text;
        where = u"im Text von " + Quoted(r.name);
    }
    if (!where.empty())
        Add(out, CheckCode::ControlCharacters, subject, BadCharacter(text) + where);
}

void SortByCode(std::vector<CheckFinding>& findings, std::size_t from)
{
    if (findings.size() - from > 1)
        std::stable_sort(findings.begin() + static_cast<std::ptrdiff_t>(from), findings.end(),
                         [](const CheckFinding& a, const CheckFinding& b) { return a.code < b.code; });
}

}  // namespace

struct CheckIndex::State {
    ValueTable values;
};

CheckIndex::CheckIndex() : state_(std::make_unique<State>()) {}

CheckIndex::CheckIndex(const RecordList& book) : CheckIndex()
{
    Contact fields;
    for (Node* n = book.FirstNode(); n; n = n->next) {
        if (IsContact(n)) {
            ReadContact(n, fields);
            Add(fields);
        }
    }
}

CheckIndex::~CheckIndex() = default;

void CheckIndex::Add(const Contact& fields)
{
    Node* contact = fields.from.contact;
    if (!contact)
        return;
    for (const ContactNumber& n : fields.numbers) {
        if (!n.quickdial.empty())
            state_->values.Add(Kind::Quickdial, n.quickdial, contact);
        if (!n.vanity.empty())
            state_->values.Add(Kind::Vanity, n.vanity, contact);
    }
    if (!fields.uniqueId.empty())
        state_->values.Add(Kind::UniqueId, fields.uniqueId, contact);
}

RecordList::Node* CheckIndex::Other(Kind kind, std::u16string_view value, const RecordList::Node* except) const
{
    return value.empty() ? nullptr : state_->values.Other(kind, value, except);
}

std::vector<CheckFinding> CheckBook(const RecordList& book)
{
    std::vector<CheckFinding> whole, found;
    const Subject none{nullptr, NoText, NoText};
    Node* n = book.FirstNode();
    const bool isPhonebooks = n && n->record.name == PhonebooksName;
    const std::int32_t phonebookDepth = n ? n->record.depth + 1 : 1;
    std::size_t phonebooks = 0, contacts = 0;
    const auto look = [&](const Node* node, const Subject& subject, std::vector<CheckFinding>& out) {
        phonebooks += node->record.depth == phonebookDepth && node->record.name == PhonebookName;
        CheckRecord(node, subject, out);
    };

    for (; n && !IsContact(n); n = n->next)
        look(n, none, whole);
    // Filled as the contacts come: a value found there is held by an
    // earlier contact, or by an earlier number of this one.
    ValueTable values;
    FieldChecks checks;
    Contact fields;
    while (n) {
        ++contacts;
        ReadContact(n, fields);
        const Subject subject{n, n->record.nr, fields.name};
        const std::size_t from = found.size();
        const auto earlier = [&values, n](Kind kind, std::u16string_view value) {
            Node* first = values.Add(kind, value, n);
            return first == n ? nullptr : first;
        };
        checks.Check(fields, earlier, subject, false, found);
        look(n, subject, found);
        for (n = n->next; n && !IsContact(n); n = n->next)
            look(n, subject, found);
        SortByCode(found, from);
    }

    const Node* main = book.FirstNode();
    if (!main)
        Add(whole, CheckCode::NotPhonebooks, none, u"Kein Hauptelement 'phonebooks'");
    else if (!isPhonebooks)
        Add(whole, CheckCode::NotPhonebooks, none, u"Hauptelement " + Quoted(main->record.name) + u" statt 'phonebooks'");
    else if (phonebooks == 0)
        Add(whole, CheckCode::NotPhonebooks, none, u"Kein Element 'phonebook' in 'phonebooks'");
    else if (phonebooks > 1)
        Add(whole, CheckCode::SeveralPhonebooks, none,
            Decimal(phonebooks) + u" Elemente 'phonebook', die FRITZ!Box stellt nur eines wieder her");
    if (contacts > ContactLimits::MaxContacts)
        Add(whole, CheckCode::ManyContacts, none,
            Decimal(contacts) + u" Kontakte, viele FRITZ!Box-Modelle nehmen höchstens " +
                Decimal(ContactLimits::MaxContacts));
    SortByCode(whole, 0);
    whole.insert(whole.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    return whole;
}

std::vector<CheckFinding> CheckContact(const Contact& fields, const CheckIndex& book)
{
    std::vector<CheckFinding> found;
    Node* contact = fields.from.contact;
    const Subject subject{contact, contact ? contact->record.nr : NoText, fields.name};
    const auto other = [&book, contact](Kind kind, std::u16string_view value) {
        return book.Other(kind, value, contact);
    };
    FieldChecks().Check(fields, other, subject, true, found);
    return found;
}
