// The record list: its current position and every operation on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contacts/records.h"
#include "test_support.h"

using nwtest::U16;
using nwtest::U8;

namespace {

NodeRecord Rec(const char* name)
{
    NodeRecord r;
    r.name = U16(name);
    return r;
}

std::string Names(const RecordList& list)
{
    std::string out;
    for (const NodeRecord& r : list)
        out += U8(r.name);
    return out;
}

std::string CurrentName(const RecordList& list)
{
    return list.Current() ? U8(list.Current()->name) : "-";
}

// Backwards through the links, to catch a broken prev pointer.
std::string NamesBackwards(const RecordList& list)
{
    std::string out;
    for (const RecordList::Node* n = list.LastNode(); n; n = n->prev)
        out += U8(n->record.name);
    return out;
}

RecordList Abc()
{
    RecordList list;
    list.Append(Rec("a"));
    list.Append(Rec("b"));
    list.Append(Rec("c"));
    return list;
}

TEST(ContactsRecordList, NextAndPreviousWalkAndStopAtTheEnds)
{
    RecordList list = Abc();
    list.Reset();
    EXPECT_EQ(CurrentName(list), "-");
    EXPECT_EQ(U8(list.Next()->name), "a");
    EXPECT_EQ(U8(list.Next()->name), "b");
    EXPECT_EQ(U8(list.Next()->name), "c");
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(CurrentName(list), "c");  // stays on the last record
    EXPECT_EQ(U8(list.Previous()->name), "b");
    EXPECT_EQ(U8(list.Previous()->name), "a");
    EXPECT_EQ(list.Previous(), nullptr);
    EXPECT_EQ(CurrentName(list), "-");  // before the first
    EXPECT_EQ(list.Previous(), nullptr);
    EXPECT_EQ(U8(list.Next()->name), "a");

    RecordList empty;
    EXPECT_EQ(empty.Next(), nullptr);
    EXPECT_EQ(empty.Last(), nullptr);
    EXPECT_EQ(empty.Previous(), nullptr);
}

TEST(ContactsRecordList, AddInsertsAfterCurrentOrAtTheFront)
{
    RecordList list = Abc();
    list.Reset();
    list.Add().name = u"x";  // at the front
    EXPECT_EQ(CurrentName(list), "x");
    list.Next();             // a
    list.Add().name = u"y";  // between a and b
    list.Last();
    list.Add().name = u"z";  // at the end
    EXPECT_EQ(Names(list), "xaybcz");
    EXPECT_EQ(NamesBackwards(list), "zcbyax");
    EXPECT_EQ(list.Size(), 6u);
    EXPECT_TRUE(list.Add().name.empty());  // a new record is empty
}

TEST(ContactsRecordList, DeleteCurrentStepsBack)
{
    struct Case {
        int steps;  // Next() calls after Reset before deleting
        const char* left;
        const char* current;
    };
    const Case cases[] = {{1, "bc", "-"}, {2, "ac", "a"}, {3, "ab", "b"}, {0, "abc", "-"}};
    for (const Case& c : cases) {
        RecordList list = Abc();
        list.Reset();
        for (int i = 0; i < c.steps; ++i)
            list.Next();
        list.DeleteCurrent();
        EXPECT_EQ(Names(list), c.left) << c.steps;
        const std::string left = c.left;
        EXPECT_EQ(NamesBackwards(list), std::string(left.rbegin(), left.rend())) << c.steps;
        EXPECT_EQ(CurrentName(list), c.current) << c.steps;
    }
    RecordList one;
    one.Append(Rec("a"));
    one.DeleteCurrent();
    EXPECT_TRUE(one.Empty());
    EXPECT_EQ(one.FirstNode(), nullptr);
    EXPECT_EQ(one.LastNode(), nullptr);
    one.Append(Rec("b"));  // the list is usable again
    EXPECT_EQ(Names(one), "b");
}

TEST(ContactsRecordList, ClearAndCopyWholeList)
{
    RecordList source = Abc();
    source.FirstNode()->record.nr = u"0 (1)";
    source.FirstNode()->record.depth = 3;
    source.FirstNode()->record.attributes = u"a=\"1\"|";
    source.FirstNode()->record.text = u"t";

    RecordList dest;
    dest.Append(Rec("old"));
    dest.CopyFrom(source);
    EXPECT_EQ(Names(dest), "abc");
    EXPECT_EQ(NamesBackwards(dest), "cba");
    EXPECT_EQ(CurrentName(dest), "-");
    const NodeRecord& first = dest.FirstNode()->record;
    EXPECT_EQ(first.nr, u"0 (1)");
    EXPECT_EQ(first.depth, 3);
    EXPECT_EQ(first.attributes, u"a=\"1\"|");
    EXPECT_EQ(first.text, u"t");
    // The copy owns its texts.
    dest.FirstNode()->record.text = u"changed";
    EXPECT_EQ(source.FirstNode()->record.text, u"t");
    EXPECT_EQ(Names(source), "abc");

    dest.CopyFrom(dest);  // copying onto itself keeps the records
    EXPECT_EQ(Names(dest), "abc");

    dest.Clear();
    EXPECT_TRUE(dest.Empty());
    EXPECT_EQ(CurrentName(dest), "-");
    EXPECT_EQ(dest.Next(), nullptr);
}

TEST(ContactsRecordList, EraseKeepsOtherNodesInPlace)
{
    RecordList list = Abc();
    RecordList::Node* a = list.FirstNode();
    RecordList::Node* b = a->next;
    RecordList::Node* c = list.LastNode();
    list.Reset();
    list.Next();
    list.Next();  // current b
    EXPECT_EQ(list.Erase(b), c);
    EXPECT_EQ(CurrentName(list), "a");
    EXPECT_EQ(a->next, c);  // the other nodes did not move
    EXPECT_EQ(c->prev, a);
    EXPECT_EQ(list.Erase(c), nullptr);
    EXPECT_EQ(list.LastNode(), a);
    EXPECT_EQ(list.Size(), 1u);
}

TEST(ContactsRecordList, AppendFromMovesARunOfNodes)
{
    struct Case {
        int from, to;  // node indices of the run in "abcde"; to = 5 runs to the end
        const char* left;
        const char* moved;
    };
    const Case cases[] = {{0, 2, "cde", "xyab"}, {1, 4, "ae", "xybcd"}, {3, 5, "abc", "xyde"}, {0, 5, "", "xyabcde"}};
    for (const Case& c : cases) {
        RecordList source;
        for (const char* n : {"a", "b", "c", "d", "e"})
            source.Append(Rec(n));
        std::vector<RecordList::Node*> nodes;
        for (RecordList::Node* n = source.FirstNode(); n; n = n->next)
            nodes.push_back(n);
        RecordList target;
        target.Append(Rec("x"));
        target.Append(Rec("y"));
        RecordList::Node* first = nodes[c.from];
        EXPECT_EQ(target.AppendFrom(source, first, c.to < 5 ? nodes[c.to] : nullptr), first);
        EXPECT_EQ(Names(source), c.left);
        EXPECT_EQ(Names(target), c.moved);
        const std::string left = c.left, moved = c.moved;
        EXPECT_EQ(NamesBackwards(source), std::string(left.rbegin(), left.rend()));
        EXPECT_EQ(NamesBackwards(target), std::string(moved.rbegin(), moved.rend()));
        EXPECT_EQ(source.Size(), left.size());
        EXPECT_EQ(target.Size(), moved.size());
    }
}

// Insert and Move work anywhere in the list and leave current on its node.
TEST(ContactsRecordList, InsertAndMoveKeepTheLinksWhole)
{
    struct Case {
        int at;             // node index in "abcde" after which to go; -1: the front
        int first, last;    // the run to move; first = -1 inserts "x" instead
        const char* result;
    };
    const Case cases[] = {{2, -1, 0, "abcxde"}, {-1, -1, 0, "xabcde"}, {4, -1, 0, "abcdex"}, {4, 1, 2, "adebc"},
                          {-1, 3, 4, "deabc"},  {0, 4, 4, "aebcd"},   {2, 0, 1, "cabde"}};
    for (const Case& c : cases) {
        RecordList list;
        for (const char* n : {"a", "b", "c", "d", "e"})
            list.Append(Rec(n));
        std::vector<RecordList::Node*> nodes;
        for (RecordList::Node* n = list.FirstNode(); n; n = n->next)
            nodes.push_back(n);
        list.Reset();
        list.Next();
        list.Next();  // current b
        RecordList::Node* at = c.at < 0 ? nullptr : nodes[c.at];
        if (c.first < 0)
            EXPECT_EQ(U8(list.Insert(at, Rec("x"))->record.name), "x");
        else
            list.Move(at, nodes[c.first], nodes[c.last]);
        const std::string result = c.result;
        EXPECT_EQ(Names(list), result) << c.result;
        EXPECT_EQ(NamesBackwards(list), std::string(result.rbegin(), result.rend())) << c.result;
        EXPECT_EQ(list.Size(), result.size());
        EXPECT_EQ(CurrentName(list), "b");
    }
}

}  // namespace

// Record texts are shared between copies; each operation must still behave
// like a plain string of its own.
TEST(ContactsRecordText, BehavesLikeAStringOfItsOwn)
{
    const std::u16string withNul(u"a\0b", 3);
    const std::u16string longText(5000, u'ß');
    struct Case {
        const char* what;
        RecordText text;
        std::u16string expected;
    };
    const Case cases[] = {
        {"default", RecordText(), u""},
        {"empty literal", RecordText(u""), u""},
        {"literal", RecordText(u"contact"), u"contact"},
        {"string", RecordText(std::u16string(u"0 (1)")), u"0 (1)"},
        {"view", RecordText(std::u16string_view(u"realName").substr(4)), u"Name"},
        {"inner NUL", RecordText(withNul), withNul},
        {"long", RecordText(longText), longText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.text.size(), c.expected.size());
        EXPECT_EQ(c.text.empty(), c.expected.empty());
        EXPECT_EQ(c.text.view(), c.expected);
        EXPECT_EQ(c.text.str(), c.expected);
        EXPECT_TRUE(c.text == c.expected);
        EXPECT_TRUE(c.expected == c.text);
        EXPECT_FALSE(c.text == c.expected + u"x");
        EXPECT_TRUE(c.text != std::u16string_view(u"x"));
        EXPECT_EQ(std::u16string(c.text.begin(), c.text.end()), c.expected);
        EXPECT_EQ(c.text.data()[c.text.size()], u'\0') << "data() ends where the text ends";
    }
}

TEST(ContactsRecordText, CopiesShareUntilOneIsAssigned)
{
    RecordText original(u"0301 1234");
    RecordText copy = original;
    EXPECT_TRUE(copy.SharesWith(original));
    EXPECT_EQ(copy, original);

    copy = u"0172";  // a new text; the original keeps its own
    EXPECT_FALSE(copy.SharesWith(original));
    EXPECT_EQ(original, u"0301 1234");
    EXPECT_EQ(copy, u"0172");

    RecordText moved = std::move(copy);
    EXPECT_EQ(moved, u"0172");
    EXPECT_TRUE(copy.empty());  // NOLINT: a moved-from text is empty

    moved = moved;  // self-assignment keeps the text
    EXPECT_EQ(moved, u"0172");
    RecordText& alias = moved;
    moved = std::move(alias);
    EXPECT_EQ(moved, u"0172");

    // Equal texts in different buffers compare equal; different ones do not.
    EXPECT_EQ(RecordText(u"abc"), RecordText(std::u16string(u"abc")));
    EXPECT_NE(RecordText(u"abc"), RecordText(u"abd"));
    EXPECT_NE(RecordText(u"abc"), RecordText());

    // The last holder of a buffer may go first or last.
    {
        RecordText a(u"shared");
        RecordText b = a;
        a.clear();
        EXPECT_TRUE(a.empty());
        EXPECT_EQ(b, u"shared");
    }
}

TEST(ContactsRecordList, CopiedListSharesTextsAndKeepsThemWhenTheSourceGoes)
{
    RecordList copy;
    {
        RecordList source = Abc();
        source.FirstNode()->record.text = u"0301 1234";
        copy.CopyFrom(source);
        EXPECT_TRUE(copy.FirstNode()->record.text.SharesWith(source.FirstNode()->record.text));
    }
    EXPECT_EQ(copy.FirstNode()->record.text, u"0301 1234");
    EXPECT_EQ(Names(copy), "abc");
}

// Nodes of all lists come from one store that is given back when the last
// node goes. Mixed use of many lists must never let two records share a
// node, and the store must work again after it was given back.
TEST(ContactsRecordList, ManyListsTakeAndGiveNodesInAnyOrder)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        RecordList a, b;
        for (int i = 0; i < 1500; ++i)
            a.Append(Rec(std::to_string(i).c_str()));
        b.CopyFrom(a);
        // Remove every other record of a, then refill b from the gaps.
        for (RecordList::Node* n = a.FirstNode(); n;) {
            n = a.Erase(n);
            if (n)
                n = n->next;
        }
        for (int i = 0; i < 700; ++i)
            b.Append(Rec(("x" + std::to_string(i)).c_str()));
        a.Clear();

        ASSERT_EQ(b.Size(), 2200u);
        int i = 0;
        for (const NodeRecord& r : b) {
            const std::string expected = i < 1500 ? std::to_string(i) : "x" + std::to_string(i - 1500);
            ASSERT_EQ(U8(r.name), expected) << "record " << i;
            ++i;
        }
        EXPECT_EQ(NamesBackwards(b).size(), Names(b).size());
    }
}
