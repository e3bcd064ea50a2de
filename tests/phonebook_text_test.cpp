// Date formatting and the small text helpers of the phonebook code.
#include <expat.h>
#include <gtest/gtest.h>

#include "phonebook/phonebook.h"
#include "phonebook/text.h"
#include "test_support.h"

using nwtest::U16;
using nwtest::U8;

namespace {

struct DateMaskCase {
    const char* mask;
    std::int64_t date;
    const char* expected;
};

// 2026-07-22 15:30:05 and 2001-02-03 04:05:06 as wall-clock seconds.
const std::int64_t July2026 = 1784734205;
const std::int64_t Feb2001 = 981173106;

class PhonebookDateMask : public ::testing::TestWithParam<DateMaskCase> {};

TEST_P(PhonebookDateMask, Formats)
{
    const DateMaskCase& c = GetParam();
    EXPECT_EQ(U8(DateMask(U16(c.mask), c.date)), c.expected) << "mask " << c.mask;
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, PhonebookDateMask,
    ::testing::Values(
        DateMaskCase{"%yy%mm%dd%hh%ii", July2026, "2607221530"},
        DateMaskCase{"%dd.%mm.%yyyy", July2026, "22.07.2026"},
        DateMaskCase{"%yy%mm%dd%hh%ii%ss", Feb2001, "010203040506"},
        DateMaskCase{"%YYYY-%Mm-%dD %HH:%iI:%Ss", Feb2001, "2001-02-03 04:05:06"},
        // "yyyy" wins over "yy"; a third y is copied.
        DateMaskCase{"%yyy", Feb2001, "01y"},
        DateMaskCase{"%yyyyy", Feb2001, "2001y"},
        // A "%" that starts no token stays, also at the end and doubled.
        DateMaskCase{"100% %x %", Feb2001, "100% %x %"},
        DateMaskCase{"%%dd", Feb2001, "%03"},
        DateMaskCase{"%m%d", Feb2001, "%m%d"},
        DateMaskCase{"", Feb2001, ""},
        DateMaskCase{"Datum: %dd.%mm.%yyyy ä", 0, "Datum: 01.01.1970 ä"},
        DateMaskCase{"%yyyy-%mm-%dd %hh:%ii:%ss", 2147483647, "2038-01-19 03:14:07"},
        DateMaskCase{"%yyyy-%mm-%dd %hh:%ii:%ss", 951782400, "2000-02-29 00:00:00"},
        // Invalid dates give zeros.
        DateMaskCase{"%yyyy|%yy|%mm|%dd|%hh|%ii|%ss", -1, "0000|00|00|00|00|00|00"},
        DateMaskCase{"%yyyy %dd", 2147483648LL, "0000 00"}));

struct PartsCase {
    int year, month, day, hour, minute, second;
    std::int64_t expected;
};

class PhonebookDateFromParts : public ::testing::TestWithParam<PartsCase> {};

TEST_P(PhonebookDateFromParts, Counts)
{
    const PartsCase& c = GetParam();
    EXPECT_EQ(DateFromParts(c.year, c.month, c.day, c.hour, c.minute, c.second), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Range, PhonebookDateFromParts,
                         ::testing::Values(PartsCase{1970, 1, 1, 0, 0, 0, 0},
                                           PartsCase{2026, 7, 22, 15, 30, 5, July2026},
                                           PartsCase{2001, 2, 3, 4, 5, 6, Feb2001},
                                           PartsCase{2000, 2, 29, 0, 0, 0, 951782400},
                                           PartsCase{2038, 1, 19, 3, 14, 7, 2147483647},
                                           PartsCase{2038, 1, 19, 3, 14, 8, -1},
                                           PartsCase{1969, 12, 31, 23, 59, 59, -1},
                                           PartsCase{2001, 2, 29, 0, 0, 0, -1},
                                           PartsCase{2001, 13, 1, 0, 0, 0, -1},
                                           PartsCase{2001, 1, 1, 24, 0, 0, -1}));

TEST(PhonebookClock, InjectedClockIsUsedAndRealClockIsInRange)
{
    SetClock([] { return std::int64_t{12345}; });
    EXPECT_EQ(CurrentLocalDate(), 12345);
    SetClock({});
    const std::int64_t now = CurrentLocalDate();
    // Any run of these tests happens after 2020 and before 2038.
    EXPECT_GT(now, DateFromParts(2020, 1, 1, 0, 0, 0));
    EXPECT_LE(now, 2147483647);
}

struct PathCase {
    const char* path;
    const char* directory;
    const char* file;
};

class PhonebookPathParts : public ::testing::TestWithParam<PathCase> {};

TEST_P(PhonebookPathParts, Splits)
{
    const PathCase& c = GetParam();
    EXPECT_EQ(U8(DirectoryPart(U16(c.path))), c.directory);
    EXPECT_EQ(U8(FilePart(U16(c.path))), c.file);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PhonebookPathParts,
    ::testing::Values(PathCase{"C:\\Daten\\Telefonbuch.xml", "C:\\Daten\\", "Telefonbuch.xml"},
                      PathCase{"/home/u/tb.xml", "/home/u/", "tb.xml"},
                      PathCase{"/home/u\\mixed/tb.xml", "/home/u\\mixed/", "tb.xml"},
                      PathCase{"tb.xml", "", "tb.xml"}, PathCase{"/home/u/", "/home/u/", ""},
                      PathCase{"\"C:\\Daten\\x.xml", "C:\\Daten\\", "x.xml"}, PathCase{"", "", ""}));

TEST(PhonebookUtf, ConvertsBothWaysIncludingSurrogatesAndBadBytes)
{
    const std::string text = "Grüße \xE2\x82\xAC \xF0\x9F\x93\x9E";  // umlaut, euro sign, telephone
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, (std::u16string{u'G', u'r', 0xFC, 0xDF, u'e', u' ', 0x20AC, u' ', 0xD83D, 0xDCDE}));
    EXPECT_EQ(Utf16ToUtf8(wide), text);
    // A broken sequence becomes a replacement character, not a crash or a
    // swallowed neighbour.
    EXPECT_EQ(Utf8ToUtf16("a\xC3(b"), (std::u16string{u'a', 0xFFFD, u'(', u'b'}));
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'x', 0xD800}), "x\xEF\xBF\xBD");
}

// The characters XML 1.0 can hold are exactly those Expat accepts as a
// character reference; the others are left out of a text, as is a surrogate
// that stands alone.
TEST(PhonebookXmlCharacters, AreThoseAParserAccepts)
{
    for (char32_t c : {0x0, 0x8, 0x9, 0xA, 0xB, 0xD, 0x1F, 0x20, 0x7F, 0xD7FF, 0xD800, 0xDFFF, 0xE000, 0xFFFD, 0xFFFE,
                       0xFFFF, 0x10000, 0x10FFFF, 0x110000}) {
        const std::string reference = "<a>&#" + std::to_string(c) + ";</a>";
        XML_Parser parser = XML_ParserCreate("UTF-8");
        const bool accepted = XML_Parse(parser, reference.data(), static_cast<int>(reference.size()), 1) == XML_STATUS_OK;
        XML_ParserFree(parser);
        EXPECT_EQ(IsXmlCharacter(c), accepted) << reference;
        if (c < 0xD800 || (c > 0xDFFF && c < 0x10000)) {
            const std::u16string text{u'a', static_cast<char16_t>(c), u'b'};
            EXPECT_EQ(HoldsNonXmlCharacters(text), !accepted) << reference;
            EXPECT_EQ(WithoutNonXmlCharacters(text), accepted ? text : u"ab") << reference;
        }
    }
    const std::u16string text{u'x', 0xD800, u'y', 0xDC00, 0xDC00, 0xD800, u'z', 0xD83D, 0xDCDE, 0xDBFF};
    EXPECT_TRUE(HoldsNonXmlCharacters(text));
    EXPECT_EQ(WithoutNonXmlCharacters(text), (std::u16string{u'x', u'y', u'z', 0xD83D, 0xDCDE}));
    EXPECT_FALSE(HoldsNonXmlCharacters(u"\t\n\r \U0001F4DE"));
}

TEST(PhonebookDecimal, Texts)
{
    EXPECT_EQ(DecimalText(0), u"0");
    EXPECT_EQ(DecimalText(120), u"120");
    EXPECT_EQ(DecimalText(-17), u"-17");
}

}  // namespace
