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

// Books with contacts in many shapes: optional and reordered parts,
// services inside telephony, unknown elements and attributes, escaped
// values, numbers outside telephony and after the contact, nested contacts.
inline std::string GeneratedBook()
{
    const char* categories[] = {"", "<category />", "<category>0</category>", "<category>1</category>"};
    const char* persons[] = {"", "<person><realName>Anna Groß</realName></person>",
                             "<person><imageURL>file:///p.jpg</imageURL><realName>B|\\n</realName></person>",
                             "<realName>ohne person</realName>"};
    const char* phones[] = {"", "<telephony nid=\"2\"><number type=\"home\" prio=\"1\" id=\"0\">030 1</number>"
                                "<number type=\"a|b\\c\" x=\"y\" id=\"1\">0171</number></telephony>",
                            "<telephony><services><email>w@x</email></services><number prio=\"1\">**41</number>"
                            "</telephony>",
                            "<number type=\"work\">0555</number>"};
    const char* services[] = {"", "<services />",
                              "<services nid=\"2\"><email classifier=\"private\" id=\"0\">a@b</email>"
                              "<email id=\"1\">c@d</email></services>"};
    const char* rests[] = {"<setup /><features doorphone=\"0\" /><mod_time>1</mod_time><uniqueid>7</uniqueid>",
                           "<carddav_uid>U</carddav_uid><uniqueid>8</uniqueid><features />"};
    std::string book = "<phonebooks><phonebook name=\"G\">";
    int i = 0;
    for (const char* c : categories)
        for (const char* p : persons)
            for (const char* t : phones)
                for (const char* s : services)
                    for (const char* r : rests) {
                        const std::string contact = std::string("<contact>") + c + p + t + s + r + "</contact>";
                        // Every fifth one in a group, with a number after it.
                        book += ++i % 5 ? contact : "<group>" + contact + "<number>0999</number></group>";
                    }
    return book + "<contact><contact><realName>innen</realName></contact><number>1</number></contact>"
                  "</phonebook></phonebooks>";
}

// Every book the round trips run over: real exports (when present), the
// example books, the generated shapes.
inline std::vector<std::pair<std::string, RecordList>> Books()
{
    std::vector<std::pair<std::string, RecordList>> books;
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    const fs::path real = nwtest::SharedTestData() / "real";
    if (fs::is_directory(real))
        for (const auto& e : fs::directory_iterator(real))
            if (e.path().extension() == ".xml")
                files.push_back(e.path());
    for (const auto& e : fs::directory_iterator(fs::path(NW_EXAMPLES_DIR)))
        files.push_back(e.path());
    for (const fs::path& f : files)
        books.emplace_back(f.filename().string(), LoadRecords(f));
    books.emplace_back("generated", LoadText(GeneratedBook()));
    return books;
}

}  // namespace nwtest
