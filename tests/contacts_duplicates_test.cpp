// Finding duplicates in one book and across two, the contacts
// "Dubletten markieren" ticks, and merging every group of a book.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <string_view>

#include "contacts/contact.h"
#include "contacts/duplicates.h"
#include "contacts/merge.h"
#include "test_support.h"

using nwtest::U16;
using nwtest::U8;

namespace {

using Node = RecordList::Node;

// A book from "name: number; number | name: ..."; the contacts' nrs are
// prefix and their place from 1 ("a1", "a2", ...).
RecordList Book(std::string_view text, const std::string& prefix)
{
    RecordList book;
    int count = 0;
    while (!text.empty()) {
        const std::size_t bar = text.find('|');
        std::string_view contact = text.substr(0, bar);
        text = bar == std::string_view::npos ? std::string_view() : text.substr(bar + 1);
        const std::size_t colon = contact.find(':');
        const auto trim = [](std::string_view s) {
            const std::size_t from = s.find_first_not_of(' ');
            return from == std::string_view::npos ? std::string_view() : s.substr(from, s.find_last_not_of(' ') - from + 1);
        };
        Contact fields;
        fields.name = U16(std::string(trim(contact.substr(0, colon))));
        for (std::string_view numbers = contact.substr(colon + 1); !numbers.empty();) {
            const std::size_t semicolon = numbers.find(';');
            if (const std::string_view number = trim(numbers.substr(0, semicolon)); !number.empty()) {
                ContactNumber n;
                n.text = U16(std::string(number));
                n.type = u"home";
                fields.numbers.push_back(n);
            }
            numbers = semicolon == std::string_view::npos ? std::string_view() : numbers.substr(semicolon + 1);
        }
        AppendNewContact(book, fields, U16(prefix + std::to_string(++count)), 2);
    }
    return book;
}

std::string Nrs(const std::vector<Node*>& contacts)
{
    std::string out;
    for (const Node* c : contacts)
        out += (out.empty() ? "" : " ") + U8(c->record.nr);
    return out;
}

// "S a1 b2 [key key]; N ...; M ...": the kind, the members' nrs and the shared keys.
std::string Text(const std::vector<DuplicateGroup>& groups)
{
    std::string out;
    for (const DuplicateGroup& g : groups) {
        out += out.empty() ? "" : "; ";
        out += g.kind == DuplicateKind::SameContact ? "S" : g.kind == DuplicateKind::SameNumber ? "N" : "M";
        for (const DuplicateMember& m : g.members)
            out += " " + U8(m.nr);
        std::string keys = g.kind == DuplicateKind::SameName ? U8(g.nameKey) : "";
        for (const NumberKey& k : g.numberKeys)
            keys += (keys.empty() ? "" : " ") + U8(k.text);
        out += " [" + keys + "]";
    }
    return out;
}

TEST(ContactsDuplicates, FindsTheThreeKinds)
{
    struct Case {
        const char* first;
        const char* second;
        const char* groups;
    };
    const Case cases[] = {
        // Numbers written three ways, names two ways.
        {"Anna Müller: 030 1234567 | Müller, Anna: +49 30 1234567; 0171 2222222 | ANNA MÜLLER: 0049301234567", "",
         "S a1 a2 a3 [+49301234567]"},
        // a1 and a3 share nothing but a2.
        {"Anna: 030 1111111 | Anna: 030 1111111; 030 2222222 | Anna: +49 30 2222222", "",
         "S a1 a2 a3 [+49301111111 +49302222222]"},
        {"Anna: 030 1111111 | Bernd: +49301111111", "", "N a1 a2 [+49301111111]"},
        {"Anna: 030 1111111 | anna: 030 2222222", "", "M a1 a2 [anna]"},
        {"Anna: 030 1111111 | Anna: 030 1111111 | Anna: 030 2222222", "",
         "S a1 a2 [+49301111111]; M a1 a2 a3 [anna]"},
        // Without a name: the first named contact holding all its numbers;
        // never a bridge between Anna and Bernd.
        {"Anna: 030 1111111; 030 2222222 | Bernd: 030 2222222 | : 030 2222222 | : 030 2222222; 030 3333333", "",
         "S a1 a3 [+49302222222]; N a1 a2 [+49302222222]"},
        {": 030 1111111 | : 030 1111111; 030 2222222 | Bernd: 030 3333333 | : 030 3333333", "",
         "S a1 a2 [+49301111111]; S a3 a4 [+49303333333]"},
        // A code is no dialable number; no numbers at all is no shared number.
        {"Anna: **610 | Anna: +49 610 | : | : unbekannt", "", "M a1 a2 [anna]"},
        {"Anna: 030 1111111 | Bernd: 030 2222222", "Carl: 030 3333333 | Anna: +49 30 1111111 | Bernd: 030 2222222",
         "S a1 b2 [+49301111111]; S a2 b3 [+49302222222]"},
        {"Bernd: 030 2222222", "Anna: 030 2222222 | Anna: 030 1111111",
         "N a1 b1 [+49302222222]; M b1 b2 [anna]"},
    };
    for (const Case& c : cases) {
        const RecordList first = Book(c.first, "a"), second = Book(c.second, "b");
        NumberKeys keys("DE");
        EXPECT_EQ(Text(FindDuplicates(first, *c.second ? &second : nullptr, keys)), c.groups) << c.first;
    }
}

TEST(ContactsDuplicates, TicksLaterDuplicatesAndThoseOfTheOtherBook)
{
    const char* const book = "Anna: 030 1111111 | Bernd: 030 2222222 | Anna: +49301111111 | Carl: 030 3333333 | "
                             ": 030 3333333";
    struct Case {
        const char* book;
        const char* other;
        const char* ticked;
    };
    const Case cases[] = {
        {book, "", "a3 a5"},
        {book, "Carl: 0049 30 3333333 | Bernd: 030 9999999", "a3 a4 a5"},
        {"Anna: 030 1111111", "Anna: 030 1111111 | Anna: 030 1111111", "a1"},
        {"Anna: 030 1111111 | Bernd: 030 1111111", "", ""},
    };
    for (const Case& c : cases) {
        const RecordList list = Book(c.book, "a"), other = Book(c.other, "b");
        NumberKeys keys("DE");
        EXPECT_EQ(Nrs(LaterDuplicates(list, *c.other ? &other : nullptr, keys)), c.ticked) << c.book << " / " << c.other;
    }
}

// Over random books: every group merged leaves no group behind, keeps
// every number key, removes as many contacts as the ticks name, and the
// result does not depend on the order in which books were read before.
TEST(ContactsDuplicates, MergingEveryGroupLeavesNone)
{
    const char* const names[] = {"Anna Müller", "Müller, Anna", "Bernd", "BERND", ""};
    const char* const numbers[] = {"030 1111111", "+49 30 1111111", "0049 30 2222222", "030/2222222",
                                   "0171 3333333", "+49171 3333333", "**610", "040 4444444"};
    std::mt19937 random(18);
    for (int round = 0; round < 30; ++round) {
        std::string text;
        for (int c = 0; c < 25; ++c) {
            text += std::string(c ? " | " : "") + names[random() % std::size(names)] + ":";
            for (int n = static_cast<int>(random() % 4); n > 0; --n)
                text += std::string(" ") + numbers[random() % std::size(numbers)] + ";";
        }
        RecordList book = Book(text, "a");
        NumberKeys keys("DE");
        const auto keySet = [&keys](const RecordList& list) {
            std::set<std::u16string> out;
            for (const NodeRecord& r : list)
                if (r.name == u"number")
                    out.insert(keys.Key(r.text).text);
            return out;
        };
        const std::set<std::u16string> before = keySet(book);
        const std::size_t ticked = LaterDuplicates(book, nullptr, keys).size();
        const std::size_t groups = FindSameContacts(book, nullptr, keys).size();
        NumberKeys reversed("DE");  // has met the numbers in the other order
        for (std::size_t n = std::size(numbers); n-- > 0;)
            reversed.Id(U16(numbers[n]));
        EXPECT_EQ(Text(FindDuplicates(book, nullptr, reversed)), Text(FindDuplicates(book, nullptr, keys))) << text;

        std::size_t merged = 0;
        const std::vector<MergeResult> results = MergeAllDuplicates(book, keys);
        for (const MergeResult& r : results) {
            EXPECT_EQ(r.refusal, MergeResult::Refusal::None);
            merged += r.merged;
        }
        EXPECT_GE(results.size(), groups) << text;
        EXPECT_GE(merged, ticked) << text;  // a second round may merge what the first could not see
        EXPECT_EQ(Text(FindSameContacts(book, nullptr, keys)), "") << text;
        EXPECT_EQ(keySet(book), before) << text;
        std::size_t contacts = 0;
        for (const NodeRecord& r : book)
            contacts += r.name == u"contact";
        EXPECT_EQ(contacts, 25 - merged) << text;
    }
}

}  // namespace
