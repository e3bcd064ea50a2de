// Dates, path parts, decimal texts and the UTF-16 <-> UTF-8 converter.
#include <gtest/gtest.h>

#include <expat.h>
#include <iconv.h>

#include <optional>
#include <random>

#include "base/date.h"
#include "base/path.h"
#include "base/text.h"
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

class BaseDateMask : public ::testing::TestWithParam<DateMaskCase> {};

TEST_P(BaseDateMask, Formats)
{
    const DateMaskCase& c = GetParam();
    EXPECT_EQ(U8(DateMask(U16(c.mask), c.date)), c.expected) << "mask " << c.mask;
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, BaseDateMask,
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

class BaseDateFromParts : public ::testing::TestWithParam<PartsCase> {};

TEST_P(BaseDateFromParts, Counts)
{
    const PartsCase& c = GetParam();
    EXPECT_EQ(DateFromParts(c.year, c.month, c.day, c.hour, c.minute, c.second), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Range, BaseDateFromParts,
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

struct PathCase {
    const char* path;
    const char* directory;
    const char* file;
};

class BasePathParts : public ::testing::TestWithParam<PathCase> {};

TEST_P(BasePathParts, Splits)
{
    const PathCase& c = GetParam();
    EXPECT_EQ(U8(DirectoryPart(U16(c.path))), c.directory);
    EXPECT_EQ(U8(FilePart(U16(c.path))), c.file);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BasePathParts,
    ::testing::Values(PathCase{"C:\\Daten\\Telefonbuch.xml", "C:\\Daten\\", "Telefonbuch.xml"},
                      PathCase{"/home/u/tb.xml", "/home/u/", "tb.xml"},
                      PathCase{"/home/u\\mixed/tb.xml", "/home/u\\mixed/", "tb.xml"},
                      PathCase{"tb.xml", "", "tb.xml"}, PathCase{"/home/u/", "/home/u/", ""},
                      PathCase{"\"C:\\Daten\\x.xml", "C:\\Daten\\", "x.xml"}, PathCase{"", "", ""}));

// glibc's iconv as the reference: UTF-16LE bytes of well-formed UTF-8, or
// nothing when iconv refuses the input as ill-formed.
std::optional<std::u16string> IconvUtf16(const std::string& utf8)
{
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    std::string in = utf8;
    std::string out(4 * in.size() + 8, '\0');
    char* ip = in.data();
    char* op = out.data();
    std::size_t il = in.size(), ol = out.size();
    const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0;
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    std::u16string units((out.size() - ol) / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                         static_cast<unsigned char>(out[2 * i + 1]) << 8);
    return units;
}

// s with every surrogate that has no partner replaced by U+FFFD.
std::u16string Repaired(std::u16string s)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
            ++i;
        else if (s[i] >= 0xD800 && s[i] <= 0xDFFF)
            s[i] = 0xFFFD;
    }
    return s;
}

TEST(BaseUtf, EveryCodePointRoundTripsAndMatchesIconv)
{
    std::u16string all;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        if (c < 0x10000) {
            all.push_back(static_cast<char16_t>(c));
        } else {
            all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    const std::string utf8 = Utf16ToUtf8(all);
    EXPECT_EQ(IconvUtf16(utf8), all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf8ToUtf16(utf8), all);
    EXPECT_EQ(NativePath(all), utf8);
    EXPECT_EQ(PathText(utf8), all);
}

// A lone surrogate, high or low, inserted at every place of a text with a
// pair: what is left without a partner becomes U+FFFD, in both directions.
TEST(BaseUtf, LoneSurrogateAtEveryPlaceBecomesReplacement)
{
    const std::u16string text = u"a\u00e4\u20ac\U0001F600z";
    for (char16_t lone : {u'\xD800', u'\xDBFF', u'\xDC00', u'\xDFFF'}) {
        for (std::size_t at = 0; at <= text.size(); ++at) {
            std::u16string broken = text;
            broken.insert(at, 1, lone);
            const std::u16string expected = Repaired(broken);
            SCOPED_TRACE(::testing::Message() << "unit " << std::hex << int(lone) << " at " << std::dec << at);
            EXPECT_EQ(Utf16ToUtf8(broken), U8(expected));
            EXPECT_EQ(NativePath(broken), U8(expected));
            EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(broken)), expected);
            // Walked code point by code point, the lone unit stands alone.
            std::u16string walked;
            for (std::size_t i = 0, length = 0; i < broken.size(); i += length) {
                const char32_t c = CodePointAt(broken, i, length);
                EXPECT_EQ(length, c > 0xFFFF ? 2u : 1u);
                walked += c >= 0xD800 && c <= 0xDFFF ? std::u16string(1, u'\uFFFD') : broken.substr(i, length);
            }
            EXPECT_EQ(walked, expected);
        }
    }
}

struct Utf8Case {
    const char* name;
    std::string bytes;
    std::u16string text;
};

// Each maximal ill-formed subpart is one U+FFFD; decoding goes on with the
// byte that ended it.
const Utf8Case kUtf8Cases[] = {
    {"UnicodeChapter3Example", "a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d",
     u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
    {"StrayContinuation", "\x80\xBF", u"\uFFFD\uFFFD"},
    {"Overlong", "\xC0\x80\xC1\xBF\xE0\x80\x80\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"EncodedSurrogates", "\xED\xA0\x80\xED\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"AboveLastCodePoint", "\xF4\x90\x80\x80\xF5\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"CutAtEnd", "x\xF0\x9F\x98", u"x\uFFFD"},
    {"CutBeforeAscii", "\xE2\x82(\xC3", u"\uFFFD(\uFFFD"},
    {"LeadByteEndsCut", "\xE2\xC3\xA4", u"\uFFFD\u00e4"},
    {"Boundaries", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
     u"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF"},
};

class BaseUtf8Decode : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(BaseUtf8Decode, ReplacesIllFormedParts)
{
    EXPECT_EQ(Utf8ToUtf16(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, BaseUtf8Decode, ::testing::ValuesIn(kUtf8Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Random bytes, mostly from the ranges that make sequences: iconv decides
// which are well-formed; every result is free of lone surrogates and
// encodes back to the input when it was well-formed.
TEST(BaseUtf, RandomBytesAgreeWithIconv)
{
    std::mt19937 random(12);
    const unsigned char pool[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                  0xDF, 0xE0, 0xE1, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFF};
    int valid = 0;
    for (int round = 0; round < 200000; ++round) {
        std::string bytes(1 + random() % 9, '\0');
        for (char& b : bytes)
            b = static_cast<char>(pool[random() % sizeof pool]);
        const std::u16string text = Utf8ToUtf16(bytes);
        const auto reference = IconvUtf16(bytes);
        ASSERT_EQ(IsValidUtf8(bytes), reference.has_value()) << ::testing::PrintToString(bytes);
        ASSERT_EQ(Repaired(text), text) << "a lone surrogate";
        if (reference) {
            ++valid;
            ASSERT_EQ(text, *reference);
            ASSERT_EQ(Utf16ToUtf8(text), bytes);
        } else {
            ASSERT_NE(text.find(u'\uFFFD'), std::u16string::npos);
            ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
        }
    }
    EXPECT_GT(valid, 1000) << "the pool should make well-formed sequences too";
}

// Every byte against glibc's CP1252; the five bytes the code page leaves
// free (iconv refuses them) stand for the code point of the same value.
TEST(BaseWindows1252, EveryByteMatchesIconv)
{
    iconv_t cd = iconv_open("UTF-16LE", "CP1252");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string all;
    int free = 0;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b), out[4] = {};
        char* ip = &in;
        char* op = out;
        std::size_t il = 1, ol = sizeof out;
        const bool mapped = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1);
        const char16_t expected =
            mapped ? static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8)
                   : static_cast<char16_t>(b);
        free += !mapped;
        EXPECT_EQ(Windows1252ToUtf16(std::string(1, in)), std::u16string(1, expected)) << b;
        all += in;
    }
    iconv_close(cd);
    EXPECT_EQ(free, 5);
    EXPECT_EQ(Windows1252ToUtf16(all).size(), 256u);
}

TEST(BaseDecimal, Texts)
{
    EXPECT_EQ(DecimalText(0), u"0");
    EXPECT_EQ(DecimalText(120), u"120");
    EXPECT_EQ(DecimalText(-17), u"-17");
}

}  // namespace

// The characters XML 1.0 can hold are exactly those Expat accepts as a
// character reference; the others are left out of a text, as is a surrogate
// that stands alone.
TEST(BaseXmlCharacters, AreThoseAParserAccepts)
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
