#pragma once
// Checks on the phonebook's records and panels that the tests, the
// benchmarks and the fuzzer share; no test framework here.
#include <string>
#include <string_view>
#include <vector>

#include "phonebook/core.h"

struct ContactRow {
    std::u16string nr;
    std::u16string id;
    std::u16string name;
    std::u16string telefon;
    RecordList::Node* contact = nullptr;  // the row's "contact" record
};

// The rows ForEachContactRow visits, kept.
inline std::vector<ContactRow> BuildContactRows(const RecordList& records)
{
    std::vector<ContactRow> rows;
    ForEachContactRow(records, [&rows](RecordList::Node* contact, std::u16string_view nr, std::u16string_view id,
                                       std::u16string_view name, std::u16string_view telefon) {
        rows.push_back({std::u16string(nr), std::u16string(id), std::u16string(name), std::u16string(telefon), contact});
    });
    return rows;
}

// Checks that the rows of the panel's list and the contacts of its record
// list are in step: one row per "contact" record, in the same order, each
// row's key leading to its contact, whose nr is the row's "Nr." text, and no
// stale entries in the index.
bool PanelRowsInStep(int panel);
