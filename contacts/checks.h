#pragma once
// "Prüfen": what the router would refuse or change in a phonebook, found
// before the book goes back to it.
//
// A finding has a code, a severity that follows from its code, the contact
// it is about (none for the book as a whole) and a German text naming the
// value that triggered it. Codes and severities have fixed ASCII ids for
// machine-readable listings ("quickdial-twice", "error"); severities have
// German words for the window ("Fehler"). The limits the checks hold to are
// those of contacts/limits.h.
//
// A book is checked as loading makes it: its first record is the main
// element, and a contact is a run of records from a "contact" record, as
// the list's rows count them. A contact being edited is checked on its own
// against an index of the book's other contacts (CheckIndex, CheckContact).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "contacts/contact.h"
#include "contacts/records.h"

enum class CheckSeverity : std::uint8_t { Error, Warning, Info };  // from the most severe

enum class CheckCode : std::uint8_t {
    NotPhonebooks,      // the main element is not "phonebooks", or it holds no "phonebook"
    SeveralPhonebooks,  // more than one "phonebook" (the router restores one)
    TooManyNumbers,     // more than ContactLimits::MaxNumbers numbers
    NoNumber,           // no number with a text
    EmptyNumber,        // a number whose text is empty or blank
    NoName,             // no realName, or an empty or blank one
    QuickdialTwice,     // a quick-dial code another number of the book holds
    VanityTwice,        // a vanity text another number of the book holds
    QuickdialRange,     // a quick-dial code that is no whole number in MinQuickdial..MaxQuickdial
    PrioSeveral,        // more than one number with prio "1"
    UniqueidTwice,      // a uniqueid another contact holds
    NidMismatch,        // a "telephony" / "services" nid other than the count of its numbers / addresses
    ImagePath,          // an imageURL outside ContactLimits::ImageFolder
    ManyContacts,       // more than ContactLimits::MaxContacts contacts
    ControlCharacters,  // a character XML cannot hold (HoldsNonXmlCharacters)
};

struct CheckCodeInfo {
    CheckCode code;
    std::string_view id;
    CheckSeverity severity;
};

// Every code, in the order of CheckCode, with its id and severity.
inline constexpr CheckCodeInfo CheckCodes[] = {
    {CheckCode::NotPhonebooks, "not-phonebooks", CheckSeverity::Error},
    {CheckCode::SeveralPhonebooks, "several-phonebooks", CheckSeverity::Warning},
    {CheckCode::TooManyNumbers, "too-many-numbers", CheckSeverity::Error},
    {CheckCode::NoNumber, "no-number", CheckSeverity::Warning},
    {CheckCode::EmptyNumber, "empty-number", CheckSeverity::Warning},
    {CheckCode::NoName, "no-name", CheckSeverity::Warning},
    {CheckCode::QuickdialTwice, "quickdial-twice", CheckSeverity::Error},
    {CheckCode::VanityTwice, "vanity-twice", CheckSeverity::Error},
    {CheckCode::QuickdialRange, "quickdial-range", CheckSeverity::Warning},
    {CheckCode::PrioSeveral, "prio-several", CheckSeverity::Warning},
    {CheckCode::UniqueidTwice, "uniqueid-twice", CheckSeverity::Warning},
    {CheckCode::NidMismatch, "nid-mismatch", CheckSeverity::Info},
    {CheckCode::ImagePath, "image-path", CheckSeverity::Warning},
    {CheckCode::ManyContacts, "many-contacts", CheckSeverity::Warning},
    {CheckCode::ControlCharacters, "control-characters", CheckSeverity::Error},
};

std::string_view CheckCodeId(CheckCode code);
CheckSeverity CheckCodeSeverity(CheckCode code);
// "error", "warning", "info": what the command-line tool prints.
std::string_view CheckSeverityId(CheckSeverity severity);
// "Fehler", "Warnung", "Hinweis": what the window shows.
std::u16string_view CheckSeverityText(CheckSeverity severity);

// What of a contact a finding is about: the contact as a whole, its name,
// or one of its numbers or addresses (CheckFinding::index).
enum class CheckPart : std::uint8_t { Contact, Name, Number, Email };

struct CheckFinding {
    CheckCode code = CheckCode::NotPhonebooks;
    // The contact's "contact" record; nullptr for a finding about the whole
    // book (and for a contact being edited that has no records yet).
    RecordList::Node* contact = nullptr;
    RecordText nr;    // the contact record's nr, as the list's "Nr." shows it
    RecordText name;  // its realName as written, as the list's "Name" shows it
    // For a value held twice: the contact that holds it too (contact itself
    // when it is another number of the same contact).
    RecordList::Node* other = nullptr;
    // German, without the contact's own Nr. and name, naming the value:
    // "Kurzwahl 12 (030 1234567) auch bei Nr. 14 (1) 'Max Muster'".
    std::u16string text;
    // The field the finding stands beside in a dialog: the name (no name,
    // characters XML cannot hold), a number (empty, a quick-dial code or
    // vanity text held twice or out of range, characters) or an address
    // (characters), known by its place in the contact's numbers or
    // addresses; the contact as a whole for every other finding.
    CheckPart part = CheckPart::Contact;
    std::size_t index = 0;

    CheckSeverity severity() const { return CheckCodeSeverity(code); }
};

// The findings about a book, in this order: those about the whole book (by
// code), then each contact's in document order; one contact's by code, and
// one code's in record order.
//
// A value held twice (quick-dial code, vanity text, uniqueid) is reported
// at each later holder, naming the first one: once per number for a code or
// a vanity text (an earlier contact holding it comes before an earlier
// number of the same contact), once per contact for a uniqueid. A
// quick-dial code that is a whole number counts by its value ("07" is 7);
// vanity texts and uniqueids are compared as written.
//
// Characters XML cannot hold are looked for in every record (element and
// attribute names, attribute values, texts): one finding per record that
// holds one, naming the first such character and where it stands.
std::vector<CheckFinding> CheckBook(const RecordList& book);

// The quick-dial codes, vanity texts and uniqueids of a book's contacts,
// each with the first two contacts holding it: what an edited contact is
// checked against. It keeps copies of the values and the contacts' nodes,
// which must stay in the book while it is used.
class CheckIndex {
public:
    CheckIndex();
    // Every contact of book.
    explicit CheckIndex(const RecordList& book);
    ~CheckIndex();
    CheckIndex(const CheckIndex&) = delete;
    CheckIndex& operator=(const CheckIndex&) = delete;

    // Adds the values of one contact, known by fields.from.contact (none
    // without one). Contacts added in document order make "first" mean
    // first in the book.
    void Add(const Contact& fields);

    enum class Kind : std::uint8_t { Quickdial, Vanity, UniqueId };
    // The "contact" record of the first contact other than except that
    // holds value, nullptr when there is none. A quick-dial code is looked
    // up as CheckBook compares it.
    RecordList::Node* Other(Kind kind, std::u16string_view value, const RecordList::Node* except) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The findings about one contact as it stands in fields (read with
// ReadContact, perhaps edited since and not yet written back): the codes
// CheckBook gives a contact, but for nid-mismatch (writing the contact
// back recounts nid), and with the characters XML cannot hold looked for
// in the fields. A value held twice is reported at every number (or the
// uniqueid) that another contact of book holds too, naming the first such
// contact, else at every number holding the same as an earlier number of
// fields. The contact's own entries in book, when it has any, do not count:
// they are what the fields were read from.
std::vector<CheckFinding> CheckContact(const Contact& fields, const CheckIndex& book);

// True when a finding is at least as severe as severity: Error for the
// tool's exit status, Warning for asking before saving.
bool AnyFinding(const std::vector<CheckFinding>& findings, CheckSeverity severity);
