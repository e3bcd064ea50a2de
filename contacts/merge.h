#pragma once
// Merging contacts into one: "Zusammenführen" on ticked contacts, and every
// group of the same contact in a book at once.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "contacts/keys.h"
#include "contacts/records.h"

// A value of a number that two merged contacts gave differently.
struct MergeConflict {
    enum class Field : std::uint8_t { Quickdial, Vanity };
    Field field = Field::Quickdial;
    RecordText number;       // the merged contact's number that keeps its value
    std::u16string kept;     // the earlier contact's value, which stays
    std::u16string dropped;  // a later contact's value, which goes
};

struct MergeResult {
    enum class Refusal : std::uint8_t {
        None,
        TooManyNumbers,  // the merged contact would hold more than ContactLimits::MaxNumbers
    };
    Refusal refusal = Refusal::None;  // when refused, nothing changed
    RecordList::Node* contact = nullptr;  // the first contact, that the others went into
    RecordText nr;                        // its nr
    RecordText name;                      // its name, as merged (or as it would have been)
    std::size_t merged = 0;    // contacts merged into the first and removed
    std::size_t numbers = 0;   // numbers it holds (when refused: would have held)
    std::vector<MergeConflict> conflicts;  // in the order met
};

// Merges the contacts (their "contact" records in list; nullptr, other
// records and repeats are passed over) into the first one:
// - its numbers stay; each number of the others whose key it does not hold
//   yet follows, in order, as a new number (type, quick-dial and vanity
//   kept, a new id);
// - a quick-dial or vanity that a kept number lacks comes from a later
//   contact's number with the same key; where two differ, the earlier one
//   stays and a conflict says so;
// - exactly one number has prio "1": the first contact's first such
//   number, else the first number; every other "1" becomes "0";
// - VIP when any of them was; name and picture from the first contact that
//   has one; e-mail addresses united (compared without regard to case);
// - uniqueid, mod_time and every other record of the first contact stay,
//   nid is recounted; the others' records are removed.
// More than ContactLimits::MaxNumbers numbers (and more than the first
// contact held before) is refused. Fewer than two contacts change nothing.
MergeResult MergeContacts(RecordList& list, std::span<RecordList::Node* const> contacts, NumberKeys& keys);

// Merges every group of the same contact in book (as FindSameContacts finds
// them) into its first member, as MergeContacts does, until no group is
// left that can be merged: a contact without a name whose numbers were
// spread over several members joins the merged contact in a second round.
// One result per merge, in order, then one per group that stays as it was
// because merging it was refused.
std::vector<MergeResult> MergeAllDuplicates(RecordList& book, NumberKeys& keys);
