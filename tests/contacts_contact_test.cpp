// The typed contact: fields read from a contact's records and written back,
// over real exports, the example books and generated shapes, a table of
// edits, and the new contact's shape.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "contacts/attributes.h"
#include "contacts/contact.h"
#include "contacts_books.h"
#include "test_support.h"

using nwtest::Books;
using nwtest::Changes;
using nwtest::Contacts;
using nwtest::Lines;
using nwtest::LoadRecords;
using nwtest::LoadText;
using nwtest::U16;
using nwtest::U8;
namespace fs = std::filesystem;

namespace {

using Node = RecordList::Node;

// Every record with its node and unit: what must stay byte for byte.
std::string Snapshot(const Node* from, const Node* to = nullptr)
{
    std::string out;
    for (const Node* n = from; n != to; n = n->next) {
        const NodeRecord& r = n->record;
        out += U8(r.nr) + "|" + std::to_string(r.depth) + "|" + U8(r.name) + "|" + U8(r.attributes) + "|" + U8(r.text) +
               "|" + std::to_string(n->unit) + "|" + std::to_string(reinterpret_cast<std::uintptr_t>(n)) + "\n";
    }
    return out;
}

// A contact's run as "depth name attributes=text" lines, depths relative to
// the contact's; records made by writing show their nr.
std::string RunText(const Node* contact)
{
    std::string out;
    for (const Node* n = contact; n && (n == contact || n->record.name != u"contact"); n = n->next) {
        const NodeRecord& r = n->record;
        const std::string nr = U8(r.nr);
        out += std::to_string(r.depth - contact->record.depth) + " " + U8(r.name) + " " + U8(r.attributes) + "=" +
               U8(r.text) + (nr.find('.') != std::string::npos ? " #" + nr : "") + "\n";
    }
    return out;
}

ContactNumber Number(std::u16string text, std::u16string type, std::u16string prio = u"", std::u16string quickdial = u"",
                     std::u16string vanity = u"")
{
    ContactNumber n;
    n.text = text;
    n.type = type;
    n.prio = prio;
    n.quickdial = quickdial;
    n.vanity = vanity;
    return n;
}

ContactEmail Email(std::u16string text, std::u16string classifier)
{
    ContactEmail e;
    e.text = text;
    e.classifier = classifier;
    return e;
}

TEST(ContactsContact, ReadAndWrittenBackUnchangedKeepsEveryRecord)
{
    Contact fields;  // one object for all, as a check over a large book reads them
    for (auto& [name, records] : Books()) {
        const std::string before = Snapshot(records.FirstNode());
        EXPECT_FALSE(Contacts(records).empty()) << name;
        for (Node* contact : Contacts(records)) {
            ReadContact(contact, fields);
            EXPECT_FALSE(WriteContact(records, fields)) << name << "\n" << RunText(contact);
            EXPECT_EQ(fields, ReadContact(contact)) << name;
        }
        EXPECT_EQ(Snapshot(records.FirstNode()), before) << name;
    }
    if (!fs::is_directory(nwtest::SharedTestData() / "real"))
        GTEST_SKIP() << "no real exports in " << nwtest::SharedTestData() << "; examples and generated books passed";
}

// Every field changed on every contact: read back, the fields are what was
// written; unknown records stay in place; other contacts keep every record;
// each nid counts its children.
TEST(ContactsContact, EditedFieldsReadBackAndKeepTheRest)
{
    const auto unknown = [](Node* contact) {
        std::string out;
        for (const Node* n : UnknownRecords(ReadContact(contact)))
            out += Snapshot(n, n->next);
        return out;
    };
    for (auto& [name, records] : Books()) {
        const std::vector<Node*> contacts = Contacts(records);
        for (std::size_t i = 0; i < contacts.size(); ++i) {
            Node* contact = contacts[i];
            SCOPED_TRACE(name + "\n" + RunText(contact));
            Node* const next = i + 1 < contacts.size() ? contacts[i + 1] : nullptr;
            // The contacts on both sides, where a misplaced record would land.
            const auto neighbours = [&] {
                return Snapshot(i > 0 ? contacts[i - 1] : records.FirstNode(), contact) +
                       Snapshot(next, i + 2 < contacts.size() ? contacts[i + 2] : nullptr);
            };
            const std::string before = neighbours();
            const std::string unknownBefore = unknown(contact);

            Contact fields = ReadContact(contact);
            fields.name = fields.name.str() + u" Neu";
            fields.vip = !fields.vip;
            fields.imageUrl = fields.imageUrl.empty() ? u"file:///neu.jpg" : u"";
            fields.modTime = u"1700000000";
            if (fields.numbers.size() > 1)
                fields.numbers.pop_back();
            if (!fields.numbers.empty())
                fields.numbers.front().text = u"089 | 2";
            fields.numbers.push_back(Number(u"0170 3", std::u16string(NumberType::Mobile), u"", u"12", u"a|b"));
            fields.emails.push_back(Email(u"neu@example.com", u"private"));
            if (fields.emails.size() > 2)
                std::swap(fields.emails[0], fields.emails[1]);
            EXPECT_TRUE(WriteContact(records, fields));

            EXPECT_EQ(ReadContact(contact), fields);
            EXPECT_EQ(unknown(contact), unknownBefore);
            EXPECT_EQ(neighbours(), before);
            for (const Node* n = contact->next; n != next; n = n->next) {
                std::u16string nid;
                if (n->record.depth <= contact->record.depth || !FindAttribute(n->record.attributes, u"nid", nid))
                    continue;
                const std::u16string child = n->record.name == u"telephony" ? u"number" : u"email";
                int count = 0;
                for (const Node* c = n->next; c && c->record.depth > n->record.depth; c = c->next)
                    count += c->record.depth == n->record.depth + 1 && c->record.name == child;
                EXPECT_EQ(U8(nid), std::to_string(count)) << U8(n->record.name);
            }
        }
    }
}

TEST(ContactsContact, EditsChangeOnlyTheirRecords)
{
    // F: every field, an unknown attribute and element. B: no field at all.
    const std::string book =
        "<phonebooks><phonebook><contact><category>1</category><person><realName>Anna</realName><imageURL>a.jpg"
        "</imageURL></person><telephony nid=\"2\"><number type=\"home\" prio=\"1\" id=\"0\" x=\"y\">030 1</number>"
        "<number type=\"mobile\" prio=\"0\" id=\"1\">0171 2</number></telephony><services nid=\"1\"><email "
        "classifier=\"private\" id=\"0\">a@b.de</email></services><features doorphone=\"0\" /><mod_time>100"
        "</mod_time><uniqueid>7</uniqueid></contact><contact><carddav_uid>U</carddav_uid><setup /></contact>"
        "</phonebook></phonebooks>";
    using Edit = std::function<void(Contact&)>;
    const ContactNumber work = Number(u"0800", u"work");
    const ContactEmail mail = Email(u"n@x.de", u"private");
    struct Case {
        char contact;  // 'F' or 'B'
        Edit edit;
        const char* changes;
    };
    const Case cases[] = {
        {'F', [](Contact& c) { c.name = u"Bea"; }, "~3 ..realName=Bea "},
        {'F', [](Contact& c) { c.name = u""; }, "~3 ..realName "},
        {'B', [](Contact& c) { c.name = u"Anna"; }, "+2 .person +3 ..realName=Anna "},
        {'F', [](Contact& c) { c.imageUrl = u"b.jpg"; }, "~4 ..imageURL=b.jpg "},
        {'F', [](Contact& c) { c.imageUrl = u""; }, "-4 ..imageURL=a.jpg "},
        {'B', [](Contact& c) { c.imageUrl = u"b.jpg"; }, "+2 .person +3 ..imageURL=b.jpg "},
        {'F', [](Contact& c) { c.vip = false; }, "~1 .category=0 "},
        {'B', [](Contact& c) { c.vip = true; }, "+2 .category=1 "},
        {'F', [](Contact& c) { c.numbers[1].text = u"0171 9", c.numbers[1].type = u"work", c.numbers[1].quickdial = u"5"; },
         "~7 ..number type=\"work\"|quickdial=\"5\"|prio=\"0\"|id=\"1\"|=0171 9 "},
        {'F', [&](Contact& c) { c.numbers.push_back(work); },
         "~5 .telephony nid=\"3\"| +8 ..number type=\"work\"|prio=\"0\"|id=\"2\"|=0800 "},
        {'F', [&](Contact& c) { c.numbers.insert(c.numbers.begin(), work); },
         "~5 .telephony nid=\"3\"| +6 ..number type=\"work\"|prio=\"0\"|id=\"2\"|=0800 "},
        {'F', [](Contact& c) { c.numbers.erase(c.numbers.begin()); },
         "~5 .telephony nid=\"1\"| -6 ..number type=\"home\"|prio=\"1\"|id=\"0\"|x=\"y\"|=030 1 "},
        {'F', [](Contact& c) { std::swap(c.numbers[0], c.numbers[1]); },
         "^7 ..number type=\"home\"|prio=\"1\"|id=\"0\"|x=\"y\"|=030 1 "},
        {'B', [&](Contact& c) { c.numbers = {work}; },
         "+2 .telephony nid=\"1\"| +3 ..number type=\"work\"|prio=\"0\"|id=\"0\"|=0800 "},
        {'F', [](Contact& c) { c.emails[0].text = u"x@y.de", c.emails[0].classifier = u"work"; },
         "~9 ..email classifier=\"work\"|id=\"0\"|=x@y.de "},
        {'F', [&](Contact& c) { c.emails.push_back(mail); },
         "~8 .services nid=\"2\"| +10 ..email classifier=\"private\"|id=\"1\"|=n@x.de "},
        {'F', [](Contact& c) { c.emails.clear(); },
         "~8 .services nid=\"0\"| -9 ..email classifier=\"private\"|id=\"0\"|=a@b.de "},
        {'B', [&](Contact& c) { c.emails = {mail}; },
         "+2 .services nid=\"1\"| +3 ..email classifier=\"private\"|id=\"0\"|=n@x.de "},
        {'F', [](Contact& c) { c.modTime = u"200"; }, "~11 .mod_time=200 "},
        {'F', [](Contact& c) { c.modTime = u""; }, "-11 .mod_time=100 "},
        {'B', [](Contact& c) { c.modTime = u"200"; }, "+3 .mod_time=200 "},
        {'F', [](Contact& c) { c.uniqueId = u"8"; }, "~12 .uniqueid=8 "},
        {'F', [](Contact& c) { c.uniqueId = u""; }, "-12 .uniqueid=7 "},
        {'B', [](Contact& c) { c.uniqueId = u"8"; }, "+3 .uniqueid=8 "},
    };
    {
        RecordList records = LoadText(book);
        std::string names;
        for (Node* contact : Contacts(records))
            for (const Node* n : UnknownRecords(ReadContact(contact)))
                names += U8(n->record.name) + " ";
        EXPECT_EQ(names, "features carddav_uid setup ");
    }
    for (const Case& c : cases) {
        RecordList records = LoadText(book);
        Node* contact = Contacts(records)[c.contact == 'F' ? 0 : 1];
        const auto before = Lines(contact);
        Contact fields = ReadContact(contact);
        c.edit(fields);
        EXPECT_TRUE(WriteContact(records, fields)) << c.changes;
        EXPECT_EQ(Changes(before, contact), c.changes);
        EXPECT_EQ(ReadContact(contact), fields) << c.changes;
    }
}

TEST(ContactsContact, NewContactHasTheRoutersShape)
{
    Contact full;
    full.name = u"Neu";
    full.vip = true;
    full.uniqueId = u"12";
    full.modTime = u"1700000000";
    full.numbers = {Number(u"030 1", u"home", u"1"), Number(u"0171", u"mobile", u"", u"7")};
    full.emails = {Email(u"n@x.de", u"private")};
    Contact bare;
    bare.imageUrl = u"p.jpg";
    struct Case {
        Contact fields;
        const char* run;
    };
    Case cases[] = {
        {full,
         "0 contact =\n1 category =1 #9.1 (1)\n1 person = #9.2 (1)\n2 realName =Neu #9.3 (1)\n"
         "1 telephony nid=\"2\"|= #9.4 (1)\n2 number type=\"home\"|prio=\"1\"|id=\"0\"|=030 1 #9.5 (1)\n"
         "2 number type=\"mobile\"|quickdial=\"7\"|prio=\"0\"|id=\"1\"|=0171 #9.6 (1)\n"
         "1 services nid=\"1\"|= #9.7 (1)\n2 email classifier=\"private\"|id=\"0\"|=n@x.de #9.8 (1)\n"
         "1 setup = #9.9 (1)\n1 mod_time =1700000000 #9.10 (1)\n1 uniqueid =12 #9.11 (1)\n"},
        {bare,
         "0 contact =\n1 category =0 #9.1 (1)\n1 person = #9.2 (1)\n2 realName = #9.3 (1)\n"
         "2 imageURL =p.jpg #9.4 (1)\n1 telephony nid=\"0\"|= #9.5 (1)\n1 setup = #9.6 (1)\n"},
    };
    for (Case& c : cases) {
        RecordList records = LoadText("<phonebooks><phonebook name=\"B\" /></phonebooks>");
        Node* contact = AppendNewContact(records, c.fields, u"9 (1)", 2);
        EXPECT_EQ(contact->record.depth, 2);
        EXPECT_EQ(RunText(contact), c.run);
        EXPECT_EQ(ReadContact(contact), c.fields);
        EXPECT_FALSE(WriteContact(records, c.fields));
    }
}

}  // namespace
