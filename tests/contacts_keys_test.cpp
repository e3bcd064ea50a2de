// Number and name keys: pairs that must agree or differ, the kinds the
// numbers are given, the default region, and the shortcut against
// libphonenumber over many generated numbers.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "contacts/keys.h"
#include "test_support.h"

using nwtest::U16;
using nwtest::U8;

namespace {

// "e164 +49301234567": a key as a failure shows it.
std::string Shown(const NumberKey& key)
{
    return std::string(NumberKindId(key.kind)) + " " + U8(key.text);
}

TEST(ContactsKeys, NumberPairs)
{
    using K = NumberKind;
    struct Pair {
        const char* region;
        const char* a;
        const char* b;
        bool same;
        K kindA, kindB;
    };
    const Pair pairs[] = {
        {"DE", "030 1234567", "+49 30 1234567", true, K::Dialable, K::Dialable},
        {"DE", "030 1234567", "0049301234567", true, K::Dialable, K::Dialable},
        {"DE", "(030) 123 45-67", "030/1234567", true, K::Dialable, K::Dialable},
        {"DE", "+49 (0)30 1234567", "030 1234567", true, K::Dialable, K::Dialable},
        {"DE", "0171 1234567", "+49 171 1234567", true, K::Dialable, K::Dialable},
        {"DE", "0800 FLOWERS", "0800 3569377", true, K::Dialable, K::Dialable},
        {"DE", "030 1234567 ext. 12", "030 1234567", false, K::Dialable, K::Dialable},
        // Without area code: the same local number, never the one with a code.
        {"DE", "123 45 67", "1234567", true, K::Dialable, K::Dialable},
        {"DE", "1234567", "030 1234567", false, K::Dialable, K::Dialable},
        // Foreign numbers, written from here.
        {"DE", "+1 650 253 0000", "001 650 2530000", true, K::Dialable, K::Dialable},
        {"DE", "+43 1 234567", "0043 1 234567", true, K::Dialable, K::Dialable},
        {"DE", "+44 20 7946 0000", "020 7946 0000", false, K::Dialable, K::Dialable},
        {"AT", "01 234567", "+43 1 234567", true, K::Dialable, K::Dialable},
        {"AT", "030 1234567", "+49 30 1234567", false, K::Dialable, K::Dialable},
        {"FR", "01 23 45 67 89", "+33 1 23 45 67 89", true, K::Dialable, K::Dialable},
        // Codes are compared as written: libphonenumber would read **610 as +49610.
        {"DE", "**610", "+49 610", false, K::Code, K::Dialable},
        {"DE", "** 610", "**610", true, K::Code, K::Code},
        {"DE", "#96*5*", "96 5", false, K::Code, K::Dialable},
        {"DE", "*21#", "*21#", true, K::Code, K::Code},
        {"DE", "anna@fritz.box", " anna@fritz.box", true, K::Sip, K::Sip},
        {"DE", "Anna@fritz.box", "anna@fritz.box", false, K::Sip, K::Sip},
        {"DE", "0301234*", "030 1234*", true, K::Wildcard, K::Wildcard},
        {"DE", "0301234*", "0301234", false, K::Wildcard, K::Dialable},
        // What libphonenumber cannot read keeps its digits.
        {"DE", "030 1234567#", "0301234567 #", true, K::Digits, K::Digits},
        {"DE", "030 1234567#", "030 1234567", false, K::Digits, K::Dialable},
        {"DE", "unbekannt", "anonym", false, K::None, K::None},
        {"DE", "", " ", false, K::None, K::None},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(std::string(p.region) + ": " + p.a + " / " + p.b);
        NumberKeys keys(p.region);
        const NumberKey a = keys.Key(U16(p.a)), b = keys.Key(U16(p.b));
        EXPECT_EQ(a.kind, p.kindA) << Shown(a);
        EXPECT_EQ(b.kind, p.kindB) << Shown(b);
        EXPECT_EQ(keys.Id(U16(p.a)) != 0 && keys.Id(U16(p.a)) == keys.Id(U16(p.b)), p.same)
            << Shown(a) << " / " << Shown(b);
    }
    NumberKeys keys("DE");
    EXPECT_EQ(Shown(keys.Key(u"**610")), "code **610");
    EXPECT_EQ(Shown(keys.Key(u"0049 30 1234567")), "e164 +49301234567");
}

// The shortcut gives what libphonenumber gives, for every shape and length
// around its bounds, in both regions it reads; the common forms never reach
// libphonenumber, and a text reaches it once.
TEST(ContactsKeys, ShortcutAgreesWithLibphonenumber)
{
    const char* const prefixes[] = {"", "0", "00", "+", "+49", "0049", "+43", "0043", "+490", "49", "43", "+1", "0044"};
    const char* const separators[] = {"", " ", "-", "/", " / ", "(", ")", ".", "\t", "\xC2\xA0", "x"};
    std::mt19937 random(18);
    for (const char* region : {"DE", "AT"}) {
        NumberKeys quick(region), library(region, NumberKeys::Reading::LibraryOnly);
        for (int i = 0; i < 2000; ++i) {
            std::string number = prefixes[random() % std::size(prefixes)];
            const int digits = 1 + static_cast<int>(random() % 16);
            for (int d = 0; d < digits; ++d) {
                if (random() % 4 == 0)
                    number += separators[random() % std::size(separators)];
                number += static_cast<char>('0' + random() % 10);
            }
            EXPECT_EQ(Shown(quick.Key(U16(number))), Shown(library.Key(U16(number)))) << region << " " << number;
        }
    }
    NumberKeys keys("DE");
    for (const char* number : {"030 1234567", "+49 30 1234567", "0049301234567", "0171/1234567", "1234567"})
        keys.Key(U16(number));
    EXPECT_EQ(keys.LibraryReadings(), 0u);
    keys.Key(u"+1 650 253 0000");
    keys.Key(u"+1 650 253 0000");
    EXPECT_EQ(keys.LibraryReadings(), 1u);
}

TEST(ContactsKeys, RegionFromTheLocale)
{
    struct Case {
        const char* lcAll;
        const char* lcTelephone;
        const char* lang;
        const char* region;
    };
    const Case cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", "DE"},
        {nullptr, "de_AT.UTF-8", "en_US.UTF-8", "AT"},
        {"fr_FR@euro", "de_AT.UTF-8", "de_CH.UTF-8", "FR"},
        {"", "", "de_ch", "CH"},
        {"C", "de_AT.UTF-8", nullptr, "DE"},
        {nullptr, nullptr, "POSIX", "DE"},
        {nullptr, nullptr, "C.UTF-8", "DE"},
        {nullptr, nullptr, "de", "DE"},
        {nullptr, nullptr, nullptr, "DE"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RegionFromEnvironment(c.lcAll, c.lcTelephone, c.lang), c.region) << (c.lang ? c.lang : "-");
    EXPECT_EQ(NumberKeys("ZZ").Region(), "DE");
    EXPECT_EQ(NumberKeys("AT").Region(), "AT");
}

TEST(ContactsKeys, NamePairs)
{
    struct Pair {
        const char* a;
        const char* b;
        bool same;
    };
    const Pair pairs[] = {
        {"Anna Müller", "anna müller", true},
        {"Anna Müller", "ANNA MÜLLER", true},
        {"Müller, Anna", "Anna Müller", true},
        {"Müller,Anna", "  anna   müller ", true},
        {"Anna\tMüller", "Anna Müller", true},
        {"Anna Groß", "ANNA GROSS", true},
        {"Meier & Söhne GmbH", "meier & söhne gmbh", true},
        {"Anna Müller", "Anna Mueller", false},
        {"Müller, Anna", "Müller Anna", false},
        {"Müller, Anna, Dr.", "Dr. Anna Müller", false},
        {"Anna", "Anna M.", false},
    };
    for (const Pair& p : pairs)
        EXPECT_EQ(NameKey(U16(p.a)) == NameKey(U16(p.b)), p.same)
            << p.a << " -> " << U8(NameKey(U16(p.a))) << " / " << p.b << " -> " << U8(NameKey(U16(p.b)));
    EXPECT_EQ(NameKey(u"Müller, Anna"), u"anna müller");
    EXPECT_EQ(NameKey(u" \t "), u"");
}

}  // namespace
