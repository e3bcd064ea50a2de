// "Zusammenführen": the records each merge rule leaves, what the result
// reports, and the refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contacts/limits.h"
#include "contacts/merge.h"
#include "contacts_books.h"

using nwtest::Changes;
using nwtest::Contacts;
using nwtest::Lines;
using nwtest::U8;

namespace {

using Node = RecordList::Node;

std::string NumberXml(const char* text, const char* attributes)
{
    return std::string("<number ") + attributes + ">" + text + "</number>";
}

// 0: Anna with a main number, a quick-dial, an address, an unknown element.
// 1: Anna again, VIP, the first number with another quick-dial and a vanity.
// 2: no name, no main number, Anna's mobile with a vanity.
// 3: Bernd with eight numbers.
std::string Book()
{
    std::string bernd;
    for (int i = 1; i <= 8; ++i)
        bernd += NumberXml(("040 100000" + std::to_string(i)).c_str(), "type=\"home\" prio=\"0\"");
    return "<phonebooks><phonebook>"
           "<contact><category>0</category><person><realName>Anna Müller</realName></person><telephony nid=\"2\">" +
           NumberXml("030 1111111", "type=\"home\" quickdial=\"5\" prio=\"0\" id=\"0\"") +
           NumberXml("0171 2222222", "type=\"mobile\" prio=\"1\" id=\"1\"") +
           "</telephony><services nid=\"1\"><email classifier=\"private\" id=\"0\">anna@x.de</email></services>"
           "<features doorphone=\"0\" /><uniqueid>10</uniqueid></contact>"
           "<contact><category>1</category><person><realName>Müller, Anna</realName></person><telephony nid=\"2\">" +
           NumberXml("+49 30 1111111", "type=\"home\" quickdial=\"7\" vanity=\"ANNA\" prio=\"1\" id=\"0\"") +
           NumberXml("089 3333333", "type=\"work\" prio=\"0\" id=\"1\"") +
           "</telephony><services nid=\"2\"><email classifier=\"private\" id=\"0\">ANNA@x.de</email>"
           "<email classifier=\"work\" id=\"1\">a2@y.de</email></services><uniqueid>11</uniqueid></contact>"
           "<contact><category>0</category><person><realName /></person><telephony nid=\"1\">" +
           NumberXml("0171/2222222", "type=\"mobile\" vanity=\"MOBIL\" prio=\"0\" id=\"0\"") +
           "</telephony><uniqueid>12</uniqueid></contact>"
           "<contact><person><realName>Bernd</realName></person><telephony nid=\"8\">" + bernd +
           "</telephony></contact></phonebook></phonebooks>";
}

TEST(ContactsMerge, EachRuleLeavesItsRecords)
{
    struct Case {
        std::vector<int> contacts;  // into the first
        const char* changes;        // to the first contact's run
        const char* conflicts;
        std::size_t left;           // contacts in the book afterwards
    };
    const Case cases[] = {
        // United by key: 089 comes with a new id, the vanity joins the kept
        // number, the quick-dials differ (5 stays), the second main number
        // is no main number here, VIP, one address new, nid recounted,
        // uniqueid and features stay.
        {{0, 1},
         "~1 .category=1 ~4 .telephony nid=\"3\"| "
         "~5 ..number type=\"home\"|quickdial=\"5\"|vanity=\"ANNA\"|prio=\"0\"|id=\"0\"|=030 1111111 "
         "+7 ..number type=\"work\"|prio=\"0\"|id=\"2\"|=089 3333333 "
         "~8 .services nid=\"2\"| +10 ..email classifier=\"work\"|id=\"1\"|=a2@y.de ",
         "quickdial 030 1111111: 5 / 7", 3},
        {{0, 2}, "~6 ..number type=\"mobile\"|vanity=\"MOBIL\"|prio=\"1\"|id=\"1\"|=0171 2222222 ", "", 3},
        // Without a main number the first number becomes it, and a main
        // number brought in is one no more; name and VIP come from the
        // contact that has them; the addresses get their own services.
        {{2, 1},
         "~1 .category=1 ~3 ..realName=Müller, Anna ~4 .telephony nid=\"3\"| "
         "~5 ..number type=\"mobile\"|vanity=\"MOBIL\"|prio=\"1\"|id=\"0\"|=0171/2222222 "
         "+6 ..number type=\"home\"|quickdial=\"7\"|vanity=\"ANNA\"|prio=\"0\"|id=\"1\"|=+49 30 1111111 "
         "+7 ..number type=\"work\"|prio=\"0\"|id=\"2\"|=089 3333333 +8 .services nid=\"2\"| "
         "+9 ..email classifier=\"private\"|id=\"0\"|=ANNA@x.de +10 ..email classifier=\"work\"|id=\"1\"|=a2@y.de ",
         "", 3},
        // Quick-dial and vanity meet on the number 2 and 0 both hold.
        {{1, 0, 2},
         "~4 .telephony nid=\"3\"| +7 ..number type=\"mobile\"|vanity=\"MOBIL\"|prio=\"0\"|id=\"2\"|=0171 2222222 ",
         "quickdial +49 30 1111111: 7 / 5", 2},
        {{0, 0}, "", "", 4},
    };
    for (const Case& c : cases) {
        RecordList book = nwtest::LoadText(Book());
        const std::vector<Node*> all = Contacts(book);
        std::vector<Node*> chosen;
        for (int i : c.contacts)
            chosen.push_back(all[static_cast<std::size_t>(i)]);
        const auto before = Lines(chosen.front());
        NumberKeys keys("DE");
        const MergeResult result = MergeContacts(book, chosen, keys);
        SCOPED_TRACE(c.changes);
        EXPECT_EQ(result.refusal, MergeResult::Refusal::None);
        EXPECT_EQ(result.contact, chosen.front());
        EXPECT_EQ(Changes(before, chosen.front()), c.changes);
        std::string conflicts;
        for (const MergeConflict& m : result.conflicts)
            conflicts += (m.field == MergeConflict::Field::Quickdial ? "quickdial " : "vanity ") + U8(m.number) + ": " +
                         U8(m.kept) + " / " + U8(m.dropped);
        EXPECT_EQ(conflicts, c.conflicts);
        EXPECT_EQ(Contacts(book).size(), c.left);
        EXPECT_EQ(result.merged, 4 - c.left);
    }
}

TEST(ContactsMerge, MoreNumbersThanTheRouterTakesAreRefused)
{
    RecordList book = nwtest::LoadText(Book());
    const std::string before = nwtest::RunsText(book);
    const std::vector<Node*> all = Contacts(book);
    NumberKeys keys("DE");
    const std::vector<Node*> chosen = {all[0], all[3]};
    const MergeResult result = MergeContacts(book, chosen, keys);
    EXPECT_EQ(result.refusal, MergeResult::Refusal::TooManyNumbers);
    EXPECT_EQ(U8(result.name), "Anna Müller");
    EXPECT_EQ(U8(result.nr), U8(all[0]->record.nr));
    EXPECT_EQ(result.numbers, ContactLimits::MaxNumbers + 1);
    EXPECT_EQ(result.merged, 0u);
    EXPECT_EQ(nwtest::RunsText(book), before);
}

}  // namespace
