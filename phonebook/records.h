#pragma once
// One element of a phonebook flattened into a record, and the ordered list of
// records that is a panel's phonebook.
#include <cstdint>
#include <string>

struct NodeRecord {
    std::u16string nr;          // element index in document order + " (1)" / " (2)"
    std::int32_t depth = 0;     // 0 for the main element
    std::u16string name;
    std::u16string attributes;  // name="value"| per attribute, run together
    std::u16string text;
};

// Doubly linked list of records with one current position, which may lie
// before the first record.
class RecordList;
