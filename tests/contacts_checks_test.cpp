// "Prüfen": the findings about small books, and about one contact checked
// against the rest of its book while it is edited.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>

#include "contacts/checks.h"
#include "contacts/limits.h"
#include "contacts_books.h"
#include "test_support.h"

using nwtest::U16;
using nwtest::U8;

namespace {

using Node = RecordList::Node;

std::string Book(const std::string& contacts)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><phonebooks><phonebook name=\"T\">" + contacts +
           "</phonebook></phonebooks>";
}

// A contact named name (nullptr: without realName) with these "telephony"
// children, and more elements after "telephony".
std::string C(const char* name, const std::string& numbers, const std::string& more = "")
{
    return std::string("<contact><category>0</category><person>") +
           (name ? "<realName>" + std::string(name) + "</realName>" : "") + "</person><telephony>" + numbers +
           "</telephony>" + more + "</contact>";
}

std::string N(const std::string& text, const std::string& attributes = "")
{
    return "<number type=\"home\"" + attributes + ">" + text + "</number>";
}

std::string Many(int count, const std::string& item)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += item;
    return out;
}

// Contacts named X with the uniqueids from to to.
std::string Numbered(int from, int to)
{
    std::string out;
    for (int id = from; id <= to; ++id)
        out += C("X", N("030 1"), "<uniqueid>" + std::to_string(id) + "</uniqueid>");
    return out;
}

// "code:Name" per finding ("code" alone for the whole book), with ">Name"
// of the contact a value is held twice with.
std::string Codes(const std::vector<CheckFinding>& findings)
{
    const auto name = [](const Node* contact) {
        for (const Node* n = contact->next; n && n->record.name != u"contact"; n = n->next)
            if (n->record.name == u"realName")
                return U8(n->record.text);
        return std::string();
    };
    std::string out;
    for (const CheckFinding& f : findings) {
        out += (out.empty() ? "" : " ") + std::string(CheckCodeId(f.code));
        if (f.contact)
            out += ":" + name(f.contact);
        if (f.other)
            out += ">" + name(f.other);
    }
    return out;
}

TEST(ContactsChecks, FindsWhatTheRouterRefusesOrChanges)
{
    const std::string one = N("030 1111111");
    const std::string a = C("A", one);
    struct Row {
        std::string xml;
        std::string codes;
        std::string mentions = "";      // held by the text of the last finding
        const char* poisoned = nullptr;  // a record whose text gets U+0001 after loading
    };
    const Row rows[] = {
        {Book(a + C("B", N("030 2222222", " prio=\"1\" quickdial=\"1\" vanity=\"MAX\"") +
                             N("030 3", " quickdial=\"99\" prio=\"0\""),
                    "<services nid=\"1\"><email>b@example.org</email></services><uniqueid>7</uniqueid>") +
                  C("C", N("030 4", " vanity=\"MAY\" quickdial=\"98\""), "<uniqueid>8</uniqueid>")),
         ""},
        {"<phonebooks/>", "not-phonebooks"},
        {"<other><phonebook>" + a + "</phonebook></other>", "not-phonebooks", "'other'"},
        {"<phonebooks><phonebook/><phonebook>" + C(nullptr, "") + "</phonebook></phonebooks>",
         "several-phonebooks no-number: no-name:", "Kein Element 'realName'"},
        {Book(C("A", Many(10, one))), "too-many-numbers:A", "10"},
        {Book(C("A", Many(9, one))), ""},
        {Book(C("A", "")), "no-number:A"},
        {Book(C("A", "<number type=\"mobile\"/>")), "no-number:A empty-number:A", "'mobile'"},
        {Book(C("A", N("") + one + N(""))), "empty-number:A empty-number:A", "Rufnummer 3"},
        {Book(C("", one)), "no-name:"},
        {Book(C("A", N("030 5", " quickdial=\"12\"")) + C("B", N("030 6", " quickdial=\"012\""))),
         "quickdial-twice:B>A", "Kurzwahl 012 (030 6) auch bei Nr. 2 (1) 'A'"},
        // An earlier contact comes before an earlier number of the same one.
        {Book(C("A", N("030 5", " quickdial=\"3\"")) + C("B", N("030 6", " quickdial=\"3\"") + N("030 7", " quickdial=\"3\""))),
         "quickdial-twice:B>A quickdial-twice:B>A"},
        {Book(C("A", N("030 5", " quickdial=\"4\"") + N("030 7", " quickdial=\"4\""))), "quickdial-twice:A>A",
         "Rufnummer 1 (030 5)"},
        {Book(C("A", N("030 5", " quickdial=\"0\"") + N("030 6", " quickdial=\"100\"") + N("030 7", " quickdial=\"x\""))),
         "quickdial-range:A quickdial-range:A quickdial-range:A", "'x' (030 7)"},
        {Book(C("A", N("030 5", " vanity=\"MAX\"")) + a + C("B", N("030 6", " vanity=\"MAX\""))), "vanity-twice:B>A",
         "'MAX'"},
        {Book(C("A", N("030 5", " prio=\"1\"") + N("030 6", " prio=\"1\""))), "prio-several:A", "030 5, 030 6"},
        // Compared as written: "07" is not "7".
        {Book(C("A", one, "<uniqueid>7</uniqueid>") + C("B", one, "<uniqueid>7</uniqueid>") +
              C("C", one, "<uniqueid>7</uniqueid>") + C("D", one, "<uniqueid>99999999</uniqueid>") +
              C("E", one, "<uniqueid>99999999</uniqueid>") + C("F", one, "<uniqueid>07</uniqueid>")),
         "uniqueid-twice:B>A uniqueid-twice:C>A uniqueid-twice:E>D", "ID 99999999 auch bei Nr. 23 (1) 'D'"},
        // A large id met early is found again after many small ones.
        {Book(C("A", one, "<uniqueid>70000</uniqueid>") + Numbered(1, 1200) + C("Z", one, "<uniqueid>70000</uniqueid>")),
         "uniqueid-twice:Z>A"},
        {"<phonebooks><phonebook><contact><person><realName>A</realName></person><telephony nid=\"2\">" + one +
             "</telephony><services nid=\"1\"/></contact></phonebook></phonebooks>",
         "nid-mismatch:A nid-mismatch:A", "nid 1 bei 'services', aber 0"},
        {Book(C("A", one, "<person><imageURL>http://x/a.jpg</imageURL></person>") +
              C("B", one, "<person><imageURL>file:///var/InternerSpeicher/FRITZ/fonpix/1.jpg</imageURL></person>")),
         "image-path:A", "'http://x/a.jpg'"},
        {Book(Many(2001, a)), "many-contacts", "2001"},
        {Book(Many(2000, a)), ""},
        {Book(a + C("B", one)), "control-characters:A\x01", "U+0001 im Text von 'realName'", "realName"},
    };
    std::set<std::string> seen;
    for (const Row& row : rows) {
        RecordList book = nwtest::LoadText(row.xml);
        if (row.poisoned)
            for (Node* n = book.FirstNode(); n; n = n->next)
                if (n->record.name == U16(row.poisoned)) {
                    n->record.text = n->record.text.str() + u'\x01';
                    break;
                }
        const std::vector<CheckFinding> findings = CheckBook(book);
        EXPECT_EQ(Codes(findings), row.codes) << row.xml.substr(0, 300);
        if (!findings.empty()) {
            EXPECT_NE(U8(findings.back().text).find(row.mentions), std::string::npos) << U8(findings.back().text);
        }
        for (const CheckFinding& f : findings) {
            seen.insert(std::string(CheckCodeId(f.code)));
            EXPECT_EQ(f.nr, f.contact ? f.contact->record.nr : RecordText());
        }
    }
    EXPECT_EQ(seen.size(), std::size(CheckCodes));
}

// While a contact is edited: its fields against the other contacts of the
// book, its own records not counting.
TEST(ContactsChecks, ChecksOneContactAgainstTheOthers)
{
    RecordList book = nwtest::LoadText(
        Book(C("A", N("030 1", " quickdial=\"12\" vanity=\"MAX\""), "<uniqueid>1</uniqueid>") +
             C("B", N("030 2", " quickdial=\"13\" vanity=\"MAY\""), "<uniqueid>2</uniqueid>")));
    const std::vector<Node*> contacts = nwtest::Contacts(book);
    const CheckIndex index(book);
    struct Row {
        std::function<void(Contact&)> edit;
        std::string codes;
    };
    const Row rows[] = {
        {[](Contact&) {}, ""},
        {[](Contact& b) { b.numbers[0].quickdial = u"12"; }, "quickdial-twice:B>A"},
        {[](Contact& b) { b.numbers.push_back(b.numbers[0]); }, "quickdial-twice:B>B vanity-twice:B>B"},
        {[](Contact& b) { b.numbers.resize(10, b.numbers[0]); for (ContactNumber& n : b.numbers) n.quickdial = n.vanity = u""; },
         "too-many-numbers:B"},
        {[](Contact& b) { b.numbers[0].vanity = u"MAX"; b.uniqueId = u"1"; }, "vanity-twice:B>A uniqueid-twice:B>A"},
        {[](Contact& b) { b.numbers[0].vanity = u"M\x07X"; }, "control-characters:B"},
        // A new contact: every other contact counts.
        {[](Contact& b) { b = Contact(); b.name = u"N"; b.numbers.resize(1); b.numbers[0].text = u"1"; b.numbers[0].quickdial = u"13"; },
         "quickdial-twice:N>B"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        Contact b = ReadContact(contacts[1]);
        rows[i].edit(b);
        const std::vector<CheckFinding> findings = CheckContact(b, index);
        std::string codes;
        for (const CheckFinding& f : findings)
            codes += (codes.empty() ? "" : " ") + std::string(CheckCodeId(f.code)) + ":" + U8(f.name) +
                     (f.other ? ">" + std::string(f.other == contacts[0] ? "A" : f.other == contacts[1] ? "B" : "?") : "");
        EXPECT_EQ(codes, rows[i].codes) << i;
        EXPECT_EQ(AnyFinding(findings, CheckSeverity::Error), !rows[i].codes.empty()) << i;
    }
    EXPECT_EQ(Codes(CheckContact(ReadContact(contacts[0]), index)), "");
}

// Over random books: a value held n times is reported n - 1 times, each at
// a later holder naming an earlier one; the findings come contact by
// contact in document order, by code within a contact; and checking each
// contact on its own finds what the book check finds for it, and at least
// as many values held twice.
TEST(ContactsChecks, BookAndSingleContactsAgreeOverRandomBooks)
{
    const char16_t* const names[] = {u"Anna", u"", u"Bernd"};
    const char16_t* const texts[] = {u"030 1", u"", u"0171 2"};
    const char16_t* const codes[] = {u"", u"", u"1", u"01", u"7", u"0", u"100", u"x"};
    const char16_t* const vanities[] = {u"", u"", u"MAX", u"MAY"};
    const char16_t* const ids[] = {u"", u"1", u"2", u"07", u"7", u"70000", u"99999999"};
    const std::u16string images[] = {u"", std::u16string(ContactLimits::ImageFolder) + u"a.jpg", u"http://x/a.jpg"};
    const auto twice = [](CheckCode c) {
        return c == CheckCode::QuickdialTwice || c == CheckCode::VanityTwice || c == CheckCode::UniqueidTwice;
    };
    std::mt19937 random(16);
    const auto pick = [&random](const auto& items) { return items[random() % std::size(items)]; };
    for (int round = 0; round < 40; ++round) {
        RecordList book;
        book.Append({.nr = u"0", .name = u"phonebooks", .attributes = u"", .text = u"", .depth = 0});
        book.Append({.nr = u"1", .name = u"phonebook", .attributes = u"", .text = u"", .depth = 1});
        std::map<std::u16string, int> held[3];  // per kind: value as compared -> holders
        for (int c = 0; c < 30; ++c) {
            Contact fields;
            fields.name = pick(names);
            fields.uniqueId = pick(ids);
            fields.imageUrl = pick(images);
            for (int n = static_cast<int>(random() % (round % 4 ? 4 : 12)); n > 0; --n) {
                ContactNumber& number = fields.numbers.emplace_back();
                number.text = pick(texts);
                number.quickdial = pick(codes);
                number.vanity = pick(vanities);
                number.prio = random() % 3 ? u"0" : u"1";
                if (!number.quickdial.empty()) {
                    const bool whole = std::all_of(number.quickdial.begin(), number.quickdial.end(),
                                                   [](char16_t d) { return d >= u'0' && d <= u'9'; });
                    ++held[0][whole ? U16(std::to_string(std::stoi(U8(number.quickdial)))) : number.quickdial];
                }
                if (!number.vanity.empty())
                    ++held[1][number.vanity];
            }
            if (!fields.uniqueId.empty())
                ++held[2][fields.uniqueId.str()];
            AppendNewContact(book, fields, U16(std::to_string(c)), 2);
        }
        const std::vector<Node*> contacts = nwtest::Contacts(book);
        const auto place = [&contacts](const Node* c) { return std::find(contacts.begin(), contacts.end(), c) - contacts.begin(); };
        const std::vector<CheckFinding> findings = CheckBook(book);
        const CheckCode kinds[] = {CheckCode::QuickdialTwice, CheckCode::VanityTwice, CheckCode::UniqueidTwice};
        for (int k = 0; k < 3; ++k) {
            int expected = 0;
            for (const auto& [value, holders] : held[k])
                expected += holders - 1;
            EXPECT_EQ(std::count_if(findings.begin(), findings.end(), [&](const CheckFinding& f) { return f.code == kinds[k]; }),
                      expected) << round << " " << k;
        }
        for (std::size_t i = 0; i < findings.size(); ++i) {
            const CheckFinding& f = findings[i];
            if (twice(f.code)) {
                EXPECT_LE(place(f.other), place(f.contact)) << round;
            }
            if (i > 0 && f.contact && findings[i - 1].contact) {
                const auto before = place(findings[i - 1].contact), here = place(f.contact);
                EXPECT_TRUE(before < here || (before == here && findings[i - 1].code <= f.code)) << round << " " << i;
            }
        }
        const CheckIndex index(book);
        for (Node* contact : contacts) {
            // Codes other than the ones held twice, and how many of those.
            const auto sum = [&](const std::vector<CheckFinding>& all, std::string& codes, int& twices) {
                for (const CheckFinding& f : all) {
                    if (f.contact != contact || f.code == CheckCode::NidMismatch)
                        continue;
                    if (twice(f.code))
                        ++twices;
                    else
                        codes += std::string(CheckCodeId(f.code)) + " ";
                }
            };
            std::string fromBook, alone;
            int twiceInBook = 0, twiceAlone = 0;
            sum(findings, fromBook, twiceInBook);
            sum(CheckContact(ReadContact(contact), index), alone, twiceAlone);
            EXPECT_EQ(alone, fromBook) << round;
            EXPECT_LE(twiceInBook, twiceAlone) << round;
        }
    }
}

}  // namespace
