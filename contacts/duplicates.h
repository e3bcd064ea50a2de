#pragma once
// Duplicates in one phonebook or across two: contacts that are the same
// contact, and the weaker likenesses that are only shown.
//
// Two contacts are the same contact when they have the same name key and at
// least one number key in common, or when one of them has no name and every
// number it has (at least one) is among the other's. Groups are closed
// under this: A like B and B like C put A, B and C in one group. A contact
// without a name joins one group only: the one of the first named contact
// holding all its numbers, else of the first contact without a name that
// does. So no group ever holds two different names, and a number two named
// people share never makes them one.
//
// Besides these groups there are, shown and never merged:
// - the contacts with names that hold one number, when their names differ
//   (an office number shared by colleagues);
// - the contacts with one name, when they are not all one same contact.
//
// Number keys are worked out once per distinct text (most without
// libphonenumber, see NumberKeys), name keys once per distinct name, and
// contacts are grouped in hash maps by key, so the time grows with the size
// of the books, not with its square. Only a contact without a name looks
// further: at the holders of its rarest number.
#include <cstdint>
#include <string>
#include <vector>

#include "contacts/keys.h"
#include "contacts/records.h"

enum class DuplicateKind : std::uint8_t {
    SameContact,  // to merge
    SameNumber,   // one number, different names
    SameName,     // one name, different numbers
};

struct DuplicateMember {
    int book = 0;                          // 0 for the first book, 1 for the second
    RecordList::Node* contact = nullptr;   // its "contact" record
    RecordText nr;                         // the contact record's nr, as the list shows it
    RecordText name;                       // realName as written
};

struct DuplicateGroup {
    DuplicateKind kind = DuplicateKind::SameContact;
    // At least two, in document order, the first book's before the second's.
    std::vector<DuplicateMember> members;
    // SameName: the name key the members share. SameContact: the name key of
    // its named members (empty when none has a name).
    std::u16string nameKey;
    // SameNumber: the one number key. SameContact: every number key that two
    // or more members hold, in the order they are first met.
    std::vector<NumberKey> numberKeys;
};

// The groups of the three kinds in the first book, or across both books
// when second is not nullptr: first every SameContact group, then every
// SameNumber group, then every SameName group, each kind in the order of
// its groups' first members. The same books give the same groups.
std::vector<DuplicateGroup> FindDuplicates(const RecordList& first, const RecordList* second, NumberKeys& keys);

// The SameContact groups alone, as FindDuplicates gives them.
std::vector<DuplicateGroup> FindSameContacts(const RecordList& first, const RecordList* second, NumberKeys& keys);

// The contacts of book that are the same contact as an earlier contact of
// book or as any contact of other (when not nullptr), in document order:
// the ones "Dubletten markieren" ticks.
std::vector<RecordList::Node*> LaterDuplicates(const RecordList& book, const RecordList* other, NumberKeys& keys);
