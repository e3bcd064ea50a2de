// Attribute texts: fields written and split again, broken texts, and
// single attributes set in place.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "contacts/attributes.h"
#include "test_support.h"

using nwtest::U16;
using nwtest::U8;

namespace {

struct AttributeCase {
    const char* value;
    const char* field;  // as it stands in the attributes text
};

class ContactsAttributes : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(ContactsAttributes, FieldAndBack)
{
    const AttributeCase& c = GetParam();
    std::u16string text;
    AppendAttributeField(text, u"a", U16(c.value));
    AppendAttributeField(text, u"b", u"2");
    EXPECT_EQ(U8(text), std::string("a=\"") + c.field + "\"|b=\"2\"|");
    const auto pairs = SplitAttributes(text);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(U8(pairs[0].name), "a");
    EXPECT_EQ(U8(pairs[0].value), c.value);
    EXPECT_EQ(U8(pairs[1].name), "b");
    EXPECT_EQ(U8(pairs[1].value), "2");
}

INSTANTIATE_TEST_SUITE_P(Values, ContactsAttributes,
                         ::testing::Values(AttributeCase{"plain", "plain"}, AttributeCase{"", ""},
                                           AttributeCase{"x\"y=z", "x\"y=z"},
                                           // without a bar, backslashes stay as they are
                                           AttributeCase{"C:\\Pfad\\", "C:\\Pfad\\"},
                                           AttributeCase{"\\", "\\"}, AttributeCase{"a\\\\b", "a\\\\b"},
                                           // with a bar, bars and backslashes are escaped
                                           AttributeCase{"a|b", "a\\|b"}, AttributeCase{"|", "\\|"},
                                           AttributeCase{"||", "\\|\\|"}, AttributeCase{"a\\|b", "a\\\\\\|b"},
                                           AttributeCase{"end\\|", "end\\\\\\|"},
                                           AttributeCase{"|\\", "\\|\\\\"}));

TEST(ContactsAttributes, BrokenTextsNeverGiveANamelessAttribute)
{
    struct Case {
        const char* text;
        std::vector<std::pair<std::string, std::string>> pairs;
    };
    const Case cases[] = {
        {"", {}},
        {"|", {}},
        {"=\"x\"|", {}},
        {"noequals|a=\"1\"|", {{"a", "1"}}},
        {"a=\"1\"", {{"a", "1"}}},  // last separator missing
        {"a=|b=\"\"|", {{"a", ""}, {"b", ""}}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::string, std::string>> got;
        for (const AttributePair& p : SplitAttributes(U16(c.text)))
            got.emplace_back(U8(p.name), U8(p.value));
        EXPECT_EQ(got, c.pairs) << c.text;
    }
}

}  // namespace

// Setting one attribute changes that field only; a missing one goes where
// the given order puts it. Each result also splits back into the value set.
TEST(ContactsAttributes, SetsOneAttributeInPlaceOrInOrder)
{
    const std::u16string_view order[] = {u"type", u"prio", u"id"};
    struct Case {
        const char* text;
        const char* name;
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {R"(type="home"|prio="1"|id="0"|)", "prio", "0", R"(type="home"|prio="0"|id="0"|)"},
        {R"(x="a|\\"|prio="1"|)", "prio", "", R"(x="a|\\"|prio=""|)"},  // others stay as they stand
        {R"(type="home"|id="0"|)", "prio", "1", R"(type="home"|prio="1"|id="0"|)"},
        {R"(id="0"|type="home"|)", "prio", "1", R"(prio="1"|id="0"|type="home"|)"},  // before the first later one
        {R"(x="1"|)", "type", "a|b", R"(x="1"|type="a\|b"|)"},
        {"", "unknown", "v", R"(unknown="v"|)"},
        {R"(type="home"|)", "unknown", "v", R"(type="home"|unknown="v"|)"},
        {R"(noequals|=""|prio="1")", "id", "2", R"(noequals|=""|prio="1"|id="2"|)"},  // broken fields kept
    };
    for (const Case& c : cases) {
        const std::u16string text = WithAttribute(U16(c.text), U16(c.name), U16(c.value), order);
        EXPECT_EQ(U8(text), c.expected) << c.text << " " << c.name;
        std::u16string value;
        EXPECT_TRUE(FindAttribute(text, U16(c.name), value));
        EXPECT_EQ(U8(value), c.value);
    }
    std::u16string value = u"old";
    EXPECT_FALSE(FindAttribute(u"type=\"home\"|", u"typ", value));
    EXPECT_TRUE(value.empty());
}
