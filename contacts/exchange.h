#pragma once
// Contacts exchanged with phones, mail programs and Google: vCard and CSV
// files read into a phonebook, and contacts written out as vCard or CSV.
//
// Reading takes what the router keeps: the name, the numbers with their
// type and main-number mark, the e-mail addresses with theirs, and VIP.
// Writing gives the standard fields for those and, where vCard and CSV have
// no field, properties and columns of its own (X-FRITZ-...), so that a book
// written out and read in again keeps type, prio, quick-dial, vanity and id
// of every number, classifier and id of every address, uniqueid, mod_time
// and imageURL. What the router's contacts hold beyond these (setup,
// features, elements of other programs) is not written out.
//
// Both parsers are the program's own: they follow the files as the
// exporters really write them (line folding and quoted-printable of vCard
// 2.1, Apple's labels, the column names of each program, code pages) and
// report each card or row they cannot read with its line, which a general
// library does not.
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "contacts/contact.h"
#include "contacts/records.h"

enum class ExchangeFormat { VCard, Csv };

// The format a file name's extension stands for (.vcf, .vcard, .csv, in
// any case); nullopt for any other (a phonebook's .xml among them).
std::optional<ExchangeFormat> ExchangeFormatOf(std::u16string_view fileName);

// The name a phonebook read from a file gets: the file's name without its
// folder and its last extension ("Kontakte" for "/home/u/Kontakte.vcf").
std::u16string BookNameOf(std::u16string_view fileName);

// Reading -------------------------------------------------------------------

// Why a card or a row was left out.
enum class ImportProblem {
    CardWithoutEnd,      // BEGIN:VCARD without END:VCARD before the next card or the file's end
    NotAProperty,        // a line in a card that is no property (no name, or no ":")
    BadQuotedPrintable,  // a "=" that is not followed by two hexadecimal digits
    UnclosedQuote,       // a quoted CSV field that runs to the end of the file (the rest lies in it)
    TooManyFields,       // a CSV row with more values than the header has columns
};

struct SkippedEntry {
    // Counted from 1: where the card or row begins, or for a property
    // that cannot be read, its line.
    std::size_t line = 0;
    ImportProblem problem = ImportProblem::CardWithoutEnd;
    bool operator==(const SkippedEntry& other) const = default;
};

struct ImportReport {
    // False when the file holds no vCard at all, or a CSV header without a
    // single column that names a name, a number or an address: nothing to
    // read, the file is not what its name says.
    bool recognized = false;
    std::size_t read = 0;               // cards or rows that became contacts
    std::vector<SkippedEntry> skipped;  // cards or rows left out, in file order
    std::size_t photos = 0;             // pictures left out (PHOTO, CSV "Photo" values)
    // CSV header columns that belong to none of the column sets known here
    // (Google Contacts, Outlook in English and German, Thunderbird in
    // English and German), as written. Their values are not read: a column
    // is never guessed from its content.
    std::vector<std::u16string> unknownColumns;
};

// Reads every card of a vCard file (2.1, 3.0, 4.0) and hands each contact
// to take as it is read; the fields' nodes are nullptr. A card without any
// number is a contact too; more than nine numbers stay on their contact
// (the router's limit is for the check to report).
//   Name: FN, else N as "Vorname Weitere Nachname", else ORG.
//   TEL type: fax with work or alone -> fax_work, fax with home -> other,
//   cell (iPhone, mobile) -> mobile, home -> home, work -> work, else other;
//   PREF, TYPE=PREF or PREF=1 -> prio "1". Apple's labels (group.X-ABLabel)
//   count as the types they stand for.
//   EMAIL: home -> classifier private, work -> work, else other.
//   CATEGORIES holding VIP -> VIP.
// The file's bytes may be UTF-8 (with or without byte-order mark) or
// UTF-16 with a byte-order mark; a value's CHARSET (UTF-8, ISO-8859-1,
// Windows-1252) is followed, a value without one is UTF-8 when it is
// well-formed UTF-8 and Windows-1252 otherwise.
void ReadVCard(std::string_view bytes, ImportReport& report, const std::function<void(Contact&)>& take);

// Reads every row of a CSV file (RFC 4180; the separator, "," ";" or tab,
// is the one the header line holds most of; UTF-8 with or without
// byte-order mark or UTF-16 with one; a value that is no well-formed UTF-8
// is read as Windows-1252) by its header's column names and hands each
// contact to take. A quoted value that runs to the end of the file (a file
// cut off) leaves out its row, and the rest of the file lies in it.
//   Name: a whole-name column ("Name", "Display Name", "Anzeigename"),
//   else first, middle and last name, else the company.
//   Numbers in column order; the type is the column's (Outlook,
//   Thunderbird) or the label's (Google: "* " before it marks the main
//   number; several values in one cell are split at ":::").
//   Categories or labels holding VIP -> VIP.
void ReadCsv(std::string_view bytes, ImportReport& report, const std::function<void(Contact&)>& take);

// Builds a phonebook in the shape loading gives, to go into a panel:
// "phonebooks" > "phonebook" owner="1" name=NAME > the contacts added, each
// in the router's shape (AppendNewContact).
class BookBuilder {
public:
    explicit BookBuilder(std::u16string_view name);
    // Appends the contact; fields.from and the nodes are set to its records.
    void Add(Contact& fields);
    // The book, every record's nr its index in the list followed by suffix
    // (" (1)"), as loading numbers them. The builder is empty afterwards.
    RecordList Finish(std::u16string_view suffix);

private:
    RecordList records_;
};

struct ImportedBook {
    RecordList records;
    ImportReport report;
};
// ReadVCard or ReadCsv into a BookBuilder.
ImportedBook ImportContacts(ExchangeFormat format, std::string_view bytes, std::u16string_view name,
                            std::u16string_view suffix);

// The German text for a problem, as the information box lists it.
std::u16string ImportProblemText(ImportProblem problem);
// The information box text for a report: how many contacts were read, the
// entries left out (the first ten with line and reason), the pictures left
// out, the unknown columns. Empty when there is nothing to tell but the
// count.
std::u16string ImportReportMessage(const ImportReport& report);

// Writing -------------------------------------------------------------------

// Every "contact" record of a list, in list order.
std::vector<RecordList::Node*> ContactNodes(const RecordList& records);

// The contacts whose "contact" records are given, as vCard 3.0: UTF-8,
// CRLF, lines folded at 75 octets, one card per contact in the given order.
// FN holds the name, and so does N as the family name (a name is not split
// by guessing); a carriage return in a text is written as a line break.
std::string WriteVCard(std::span<RecordList::Node* const> contacts);
// The same contacts as CSV in Google Contacts' column set: UTF-8 with
// byte-order mark, "," between values, CRLF after each row; as many
// "E-mail n" and "Phone n" columns as the contact with most of them needs,
// the X-FRITZ columns only for values some contact has. "First Name" holds
// the whole name; "Labels" holds "* myContacts", and VIP for a VIP. A number
// or address holding " ::: " (Google's separator of values) is read back as
// several.
std::string WriteCsv(std::span<RecordList::Node* const> contacts);
std::string ExportContacts(ExchangeFormat format, std::span<RecordList::Node* const> contacts);
