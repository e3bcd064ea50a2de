#pragma once
// Books for the contact tests: phonebook files loaded into records as loading
// makes them, a contact's run as lines, and what a change did to a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "contacts/records.h"
#include "phonebook/core.h"
#include "test_support.h"
#include "xml/xml.h"

namespace nwtest {

using Node = RecordList::Node;

// The records of a phonebook file, formatted and flattened as loading makes them.
inline RecordList LoadRecords(const std::filesystem::path& file)
{
    static const bool ready = (XmlLibraryInit(), true);
    (void)ready;
    RecordList records;
    std::u16string name;
    if (!XmlLoadFile(0, U16(file.string())) || XmlStatus(0) != 0) {
        ADD_FAILURE() << "cannot load " << file;
        XmlFreeDocument(0);
        return records;
    }
    XmlFormat(0, XmlFormatCutLineBreaks | XmlFormatCollapseLineBreaks | XmlFormatCollapseBlanks);
    FlattenDocument(XmlMainNode(0), u" (1)", records, name, nullptr);
    XmlFreeDocument(0);
    return records;
}

inline RecordList LoadText(const std::string& xml)
{
    nwtest::TempDir dir;
    nwtest::WriteFileBytes(dir / "book.xml", xml);
    return LoadRecords(dir / "book.xml");
}

inline std::vector<Node*> Contacts(const RecordList& records)
{
    std::vector<Node*> out;
    for (Node* n = records.FirstNode(); n; n = n->next)
        if (n->record.name == u"contact")
            out.push_back(n);
    return out;
}

// One record as "..name attributes=text", dots for its depth below the contact.
inline std::string Line(const Node* n, const Node* contact)
{
    const NodeRecord& r = n->record;
    std::string line(static_cast<std::size_t>(r.depth - contact->record.depth), '.');
    line += U8(r.name) + (r.attributes.empty() ? "" : " " + U8(r.attributes)) + (r.text.empty() ? "" : "=" + U8(r.text));
    return line;
}

inline std::vector<std::pair<std::string, std::string>> Lines(const Node* contact)  // nr, line
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const Node* n = contact; n && (n == contact || n->record.name != u"contact"); n = n->next)
        out.emplace_back(U8(n->record.nr), Line(n, contact));
    return out;
}

// What a write did to a run, record by record (known by its nr): "+i" made
// at index i of the new run, "~i" changed in place, "^i" moved there, "-j"
// record j of the old run removed.
inline std::string Changes(const std::vector<std::pair<std::string, std::string>>& before, const Node* contact)
{
    const auto after = Lines(contact);
    std::string out;
    std::size_t highest = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        std::size_t j = 0;
        while (j < before.size() && before[j].first != after[i].first)
            ++j;
        const std::string at = std::to_string(i) + " " + after[i].second + " ";
        if (j == before.size())
            out += "+" + at;
        else if (j < highest)
            out += "^" + at;
        else if (before[j].second != after[i].second)
            out += "~" + at;
        if (j < before.size())
            highest = std::max(highest, j);
    }
    for (std::size_t j = 0; j < before.size(); ++j) {
        bool kept = false;
        for (const auto& a : after)
            kept = kept || a.first == before[j].first;
        if (!kept)
            out += "-" + std::to_string(j) + " " + before[j].second + " ";
    }
    return out;
}

// Every record of a list, one a line: what a change that was refused must
// leave as it was.
inline std::string RunsText(const RecordList& list)
{
    std::string out;
    for (const NodeRecord& r : list)
        out += U8(r.nr) + "|" + std::to_string(r.depth) + "|" + U8(r.name) + "|" + U8(r.attributes) + "|" + U8(r.text) + "\n";
    return out;
}

}  // namespace nwtest
