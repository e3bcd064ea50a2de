#pragma once
// Changing a contact and adding one: the rules the window's dialog and the
// command-line tool share. The fields are checked with CheckContact
// (contacts/checks.h) against the rest of the book; a finding of severity
// Error refuses the change.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "contacts/checks.h"
#include "contacts/contact.h"
#include "contacts/records.h"

// A value the router writes and the German word the window shows for it.
struct ValueLabel {
    std::u16string_view value;
    std::u16string_view label;
};

// A number's "type", in the order the window offers them.
inline constexpr ValueLabel NumberTypeLabels[] = {
    {NumberType::Home, u"Privat"},   {NumberType::Mobile, u"Mobil"},
    {NumberType::Work, u"Geschäftlich"}, {NumberType::FaxWork, u"Fax geschäftlich"},
    {NumberType::Intern, u"Intern"}, {NumberType::Memo, u"Notiz"},
    {NumberType::Other, u"Sonstige"},
};

// An e-mail address's "classifier".
inline constexpr ValueLabel EmailClassifierLabels[] = {
    {u"private", u"Privat"},
    {u"work", u"Geschäftlich"},
    {u"other", u"Sonstige"},
};

// The label of value in labels; the value itself when it has none, and
// "(ohne)" for the empty value.
std::u16string LabelOf(std::span<const ValueLabel> labels, std::u16string_view value);

// True when the findings refuse the change: one of them is an error.
bool RefusesChange(const std::vector<CheckFinding>& findings);

// The uniqueid a new contact of book gets: one above the highest uniqueid
// that is a whole number, "1" when there is none.
std::u16string NextUniqueId(const RecordList& book);

// A "contact" record's nr that no record of book carries: one above the
// highest number any nr of the book begins with, followed by suffix
// (" (1)" for panel 1).
std::u16string NextContactNr(const RecordList& book, std::u16string_view suffix);

// The depth a new contact takes in book: that of its last contact, else one
// below its last "phonebook", else 2 (phonebooks > phonebook > contact).
std::int32_t NewContactDepth(const RecordList& book);

// mod_time as the router writes it: seconds since 1970-01-01 00:00 UTC.
std::u16string ModTimeText(std::int64_t unixSeconds);

// Writes the fields of a contact of book back (WriteContact). When a
// record changed and the contact has a mod_time, that becomes now. True
// when a record changed.
bool ApplyContactEdit(RecordList& book, Contact& fields, std::int64_t now);

// Appends fields as a new contact at the end of book, in the router's shape
// (AppendNewContact), with an empty uniqueid made NextUniqueId, an empty
// mod_time made now, the contact's nr NextContactNr and its depth
// NewContactDepth. Returns its "contact" record.
RecordList::Node* AddContactToBook(RecordList& book, Contact& fields, std::int64_t now, std::u16string_view suffix);
